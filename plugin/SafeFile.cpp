#include "SafeFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The registry the signal handler reads: fixed storage, no locks, no
// allocation. A slot is claimed (1), filled, then published (2).
constexpr int kSlots = 64;
struct TempSlot
{
  std::atomic<int> mState{0};
  char mPath[PATH_MAX];
};
TempSlot gSlots[kSlots];
std::atomic<int> gFolderState{0};
char gFolder[PATH_MAX];

int RegisterTemp(const std::string& path)
{
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = 0;
    if (!gSlots[i].mState.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(gSlots[i].mPath, path.c_str(), path.size() + 1);
    gSlots[i].mState.store(2);
    return i;
  }
  return -1; // more than kSlots files at once: still safe, only not cleaned on a signal
}

void UnregisterTemp(int slot)
{
  if (slot >= 0) gSlots[slot].mState.store(0);
}

// Only async-signal-safe calls from here on.
void EmptyAndRemoveFolder(const char* folder)
{
  const int dir = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    alignas(8) char buffer[4096];
    for (;;) {
      const long n = syscall(SYS_getdents64, dir, buffer, sizeof buffer);
      if (n <= 0) break;
      for (long at = 0; at < n;) {
        // struct linux_dirent64: ino (8), off (8), reclen (2), type (1), name
        unsigned short reclen;
        std::memcpy(&reclen, buffer + at + 16, sizeof reclen);
        const char* name = buffer + at + 19;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) unlinkat(dir, name, 0);
        at += reclen;
      }
    }
    close(dir);
  }
  rmdir(folder);
}

void CleanUp()
{
  for (TempSlot& slot : gSlots)
    if (slot.mState.load() == 2) unlink(slot.mPath);
  if (gFolderState.load() == 2) EmptyAndRemoveFolder(gFolder);
}

void OnSignal(int signal)
{
  const int savedErrno = errno;
  CleanUp();
  errno = savedErrno;
  // SA_RESETHAND restored the default action: the process ends as the signal asks.
  raise(signal);
}

std::string Describe(const std::string& path, const char* what, int err)
{
  return path + ": " + what + ": " + std::strerror(err);
}

std::string FolderOf(const std::string& path)
{
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string RandomSuffix()
{
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char bytes[8];
  if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != ssize_t(sizeof bytes)) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t mix = uint64_t(now.tv_nsec) * 6364136223846793005ull ^ uint64_t(getpid()) ^ uint64_t(&now);
    std::memcpy(bytes, &mix, sizeof bytes);
  }
  std::string suffix;
  for (unsigned char b : bytes) suffix += kLetters[b % (sizeof kLetters - 1)];
  return suffix;
}

} // namespace

std::string ResolveWriteTarget(const std::string& path)
{
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info;
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    char link[PATH_MAX];
    const ssize_t n = readlink(current.c_str(), link, sizeof link - 1);
    if (n <= 0) return current;
    link[n] = '\0';
    current = link[0] == '/' ? std::string(link) : FolderOf(current) + "/" + link;
  }
  return current; // a loop of links: opening the temporary beside it fails later with ELOOP or works
}

bool SafeFileWriter::Open(const std::string& path, std::string* error)
{
  Abort();
  mTarget = ResolveWriteTarget(path);
  struct stat existing;
  const bool exists = stat(mTarget.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    if (error) *error = path + ": not a regular file; not replaced";
    return false;
  }
  // A name can be at most NAME_MAX bytes: long targets get a shortened prefix.
  std::string base = NameOf(mTarget).substr(0, 200);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temp = FolderOf(mTarget) + "/." + base + "." + RandomSuffix() + ".tmp";
    // Register before the file exists, so a signal in between leaves nothing behind.
    mSlot = RegisterTemp(temp);
    // 0666: the kernel applies the umask, as for any new file.
    mFd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (mFd >= 0) {
      mTemp = temp;
      break;
    }
    const int err = errno;
    UnregisterTemp(mSlot);
    mSlot = -1;
    if (err != EEXIST) {
      if (error) *error = Describe(path, "cannot create a temporary file beside it", err);
      return false;
    }
  }
  if (mFd < 0) {
    if (error) *error = path + ": cannot create a temporary file beside it: every name tried is taken";
    return false;
  }
  if (exists) {
    // The replacement keeps the owner and permissions the user gave the old file.
    if (fchown(mFd, existing.st_uid, existing.st_gid) != 0) {
      // Only root may give a file away; an ordinary user keeps ownership.
    }
    fchmod(mFd, existing.st_mode & 07777);
  }
  return true;
}

bool SafeFileWriter::Write(const void* data, size_t size, std::string* error)
{
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(mFd, at, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (error) *error = Describe(mTarget, "write failed", n < 0 ? errno : ENOSPC);
      return false;
    }
    at += n;
    size -= size_t(n);
  }
  return true;
}

bool SafeFileWriter::Commit(std::string* error)
{
  if (mFd < 0) {
    if (error) *error = mTarget + ": no file is open";
    return false;
  }
  // Delayed write errors (a full disk on some file systems) surface here.
  if (fsync(mFd) != 0) {
    if (error) *error = Describe(mTarget, "cannot write to disk", errno);
    Abort();
    return false;
  }
  const int fd = mFd;
  mFd = -1;
  if (close(fd) != 0) {
    if (error) *error = Describe(mTarget, "cannot write to disk", errno);
    Abort();
    return false;
  }
  if (rename(mTemp.c_str(), mTarget.c_str()) != 0) {
    if (error) *error = Describe(mTarget, "cannot replace the file", errno);
    Abort();
    return false;
  }
  UnregisterTemp(mSlot);
  mSlot = -1;
  mTemp.clear();
  // The rename itself reaches the disk with the folder.
  const int dir = open(FolderOf(mTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

void SafeFileWriter::Abort()
{
  if (mFd >= 0) close(mFd);
  mFd = -1;
  if (!mTemp.empty()) unlink(mTemp.c_str());
  mTemp.clear();
  UnregisterTemp(mSlot);
  mSlot = -1;
}

bool WriteFileSafely(const std::string& path, const void* data, size_t size, std::string* error)
{
  SafeFileWriter writer;
  return writer.Open(path, error) && writer.Write(data, size, error) && writer.Commit(error);
}

void InstallTempCleanupOnSignals()
{
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal ignored by whoever started us (nohup, a background job) stays ignored.
    struct sigaction previous = {};
    if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

void RegisterTempFolder(const std::string& folder)
{
  gFolderState.store(0);
  if (folder.empty() || folder.size() >= PATH_MAX) return;
  std::memcpy(gFolder, folder.c_str(), folder.size() + 1);
  gFolderState.store(2);
}

void RemoveRegisteredTemps()
{
  CleanUp();
}
