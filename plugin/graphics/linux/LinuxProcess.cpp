// Helper programs (file choosers, the URL opener), started without a shell so that no
// file name or URL is ever read as a command.

#include "LinuxKit.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

extern char** environ;

namespace zlinux {

std::string FindProgram(const std::string& name)
{
  const char* path = std::getenv("PATH");
  std::stringstream folders(path && *path ? path : "/usr/local/bin:/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    // An empty entry means the current folder.
    std::string candidate = folder.empty() ? std::string(1, '.') : folder;
    candidate.append(1, '/').append(name);
    struct stat info
    {
    };
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

bool Spawn(const std::vector<std::string>& argv, bool captureOutput, Child* child)
{
  if (argv.empty()) return false;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  int pipeFds[2] = {-1, -1};
  if (captureOutput && pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The helper reads nothing from us; its output is ours only when captured.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (captureOutput) {
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = -1;
  const int error = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (captureOutput) close(pipeFds[1]);
  if (error != 0) {
    if (captureOutput) close(pipeFds[0]);
    return false;
  }
  child->pid = pid;
  child->out = captureOutput ? pipeFds[0] : -1;
  return true;
}

std::vector<std::string> ChooserCommand(const std::string& program, bool save, const std::string& startFolder,
                                        const std::string& proposedName, const std::string& extensions)
{
  std::vector<std::string> patterns;
  std::stringstream words(extensions);
  for (std::string ext; std::getline(words, ext, ' ');) {
    if (!ext.empty()) patterns.push_back("*." + ext);
  }
  std::string filter;
  for (const std::string& p : patterns) filter += (filter.empty() ? "" : " ") + p;
  std::string start = startFolder;
  if (!start.empty() && start.back() != '/') start += '/';
  const std::string base = program.substr(program.rfind('/') + 1);
  std::vector<std::string> argv{program};
  if (base == "kdialog") {
    argv.push_back(save ? "--getsavefilename" : "--getopenfilename");
    argv.push_back(start + proposedName);
    if (!filter.empty()) argv.push_back(filter);
  } else {
    argv.push_back("--file-selection");
    if (save) {
      argv.push_back("--save");
      argv.push_back("--confirm-overwrite");
    }
    argv.push_back("--filename=" + start + proposedName);
    if (!filter.empty()) argv.push_back("--file-filter=" + filter);
  }
  return argv;
}

} // namespace zlinux
