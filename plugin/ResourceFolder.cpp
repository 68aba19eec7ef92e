#include "ResourceFolder.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string FolderOf(const std::string& path)
{
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

bool HoldsFactoryBank(const std::string& folder)
{
  struct stat info;
  return stat((folder + "init.fxb").c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

std::string ResourceFolder()
{
  const char* set = std::getenv("ZORVA_RESOURCES");
  if (set && *set) {
    std::string folder = set;
    if (folder.back() != '/') folder += '/';
    return folder;
  }
  std::string exeFolder;
  char exe[PATH_MAX];
  const ssize_t len = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (len > 0) exeFolder = FolderOf(std::string(exe, size_t(len)));
  std::string moduleFolder = exeFolder;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ResourceFolder), &info) && info.dli_fname && info.dli_fname[0] == '/')
    moduleFolder = FolderOf(info.dli_fname);
  if (moduleFolder.empty()) moduleFolder = "./";
  if (HoldsFactoryBank(moduleFolder)) return moduleFolder;
  if (!exeFolder.empty())
    for (const std::string& folder : {exeFolder, exeFolder + "../share/zorva/"})
      if (HoldsFactoryBank(folder)) return folder;
  return moduleFolder;
}
