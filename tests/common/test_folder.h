#pragma once

// A private folder for one test, whole-file reads and writes, and the
// environment that points the instrument at its configuration and resources.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/mount.h>

inline std::string readFile(const std::string& file)
{
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& file, const std::string& bytes)
{
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// A fresh folder under the system's temporary one, removed with the object.
// Given a size ("64k"), it is a small tmpfs, so that a full disk or a read-only
// folder can be made for real. Mounting needs root (CI runs as root); elsewhere
// Mounted() is false and the caller skips.
class TempFolder
{
public:
  explicit TempFolder(const std::string& tag = "zorva-test", const std::string& tmpfsSize = "")
  {
    std::string pattern = (std::filesystem::temp_directory_path() / (tag + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
    mDir = pattern;
    if (!tmpfsSize.empty())
      mMounted = mount("tmpfs", pattern.c_str(), "tmpfs", 0, ("size=" + tmpfsSize).c_str()) == 0;
  }
  ~TempFolder()
  {
    if (mMounted) umount2(mDir.c_str(), MNT_DETACH);
    std::error_code ignored;
    std::filesystem::remove_all(mDir, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& dir() const { return mDir; }
  std::string path(const std::string& name) const { return (mDir / name).string(); }

  bool Mounted() const { return mMounted; }
  // Read-only for everyone, root included (permission bits do not stop root).
  bool MakeReadOnly()
  {
    return mMounted && mount(nullptr, mDir.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }
  // Takes every free byte of the tmpfs: the next write meets a full disk.
  void Fill() const
  {
    std::FILE* filler = std::fopen(path("filler").c_str(), "wb");
    if (!filler) return;
    static const char kPage[4096] = {};
    while (std::fwrite(kPage, 1, sizeof kPage, filler) == sizeof kPage && std::fflush(filler) == 0) {}
    std::fclose(filler);
  }
  // Names in the folder, to check that no temporary was left behind.
  std::size_t Count() const
  {
    const std::filesystem::directory_iterator entries(mDir);
    return std::size_t(std::distance(begin(entries), end(entries)));
  }

private:
  std::filesystem::path mDir;
  bool mMounted = false;
};

// ZORVA_CONFIG_DIR and ZORVA_RESOURCES point at the given folders while the object lives.
class ZorvaFolders
{
public:
  ZorvaFolders(const std::string& config, const std::string& resources)
  {
    setenv("ZORVA_CONFIG_DIR", config.c_str(), 1);
    setenv("ZORVA_RESOURCES", resources.c_str(), 1);
  }
  ~ZorvaFolders()
  {
    unsetenv("ZORVA_CONFIG_DIR");
    unsetenv("ZORVA_RESOURCES");
  }
  ZorvaFolders(const ZorvaFolders&) = delete;
  ZorvaFolders& operator=(const ZorvaFolders&) = delete;
};
