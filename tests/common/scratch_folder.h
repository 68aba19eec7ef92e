#pragma once

// A private folder for one test, optionally a small tmpfs so that a full disk
// or a read-only folder can be made for real. Mounting needs root (CI runs as
// root); elsewhere Mounted() is false and the caller skips.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/mount.h>

class ScratchFolder
{
public:
  // tmpfsSize: "" for a plain folder, else a tmpfs of that size ("64k").
  explicit ScratchFolder(const std::string& tmpfsSize = "")
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorva-scratch-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return;
    mDir = pattern;
    if (!tmpfsSize.empty())
      mMounted = mount("tmpfs", mDir.c_str(), "tmpfs", 0, ("size=" + tmpfsSize).c_str()) == 0;
  }
  ~ScratchFolder()
  {
    if (mMounted) umount2(mDir.c_str(), MNT_DETACH);
    std::error_code ignored;
    if (!mDir.empty()) std::filesystem::remove_all(mDir, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  bool Mounted() const { return mMounted; }
  // Read-only for everyone, root included (permission bits do not stop root).
  bool MakeReadOnly()
  {
    return mMounted && mount(nullptr, mDir.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }
  // Takes every free byte of the tmpfs: the next write meets a full disk.
  void Fill() const
  {
    std::FILE* filler = std::fopen((mDir + "/filler").c_str(), "wb");
    if (!filler) return;
    static const char kPage[4096] = {};
    while (std::fwrite(kPage, 1, sizeof kPage, filler) == sizeof kPage && std::fflush(filler) == 0) {}
    std::fclose(filler);
  }
  std::string Path(const std::string& name = "") const { return name.empty() ? mDir : mDir + "/" + name; }
  // Names in the folder, to check that no temporary was left behind.
  std::size_t Count() const
  {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(mDir)) ++n;
    return n;
  }

private:
  std::string mDir;
  bool mMounted = false;
};
