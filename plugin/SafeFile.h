#pragma once

// Files are replaced whole or not at all: a full disk, a write error or a
// signal must never leave a user's bank, WAV or configuration half written.

#include <cstddef>
#include <string>

// Writes a whole file safely: a temporary file in the target's folder (created
// with O_CREAT|O_EXCL), written, fsynced, renamed over the target; a symlinked
// target is updated through its link (temporary beside the link's final target).
// A replaced file keeps its mode; a new one gets 0666 less the umask. An
// existing target that is not a regular file (FIFO, folder, device) is refused.
// False, with the temporary removed and the old file untouched, on any failure.
bool WriteFileSafely(const std::string& path, const void* data, size_t size, std::string* error = nullptr);

// For streaming writers (libsndfile through a file descriptor, libpng through
// a FILE* made with fdopen(dup(Fd()))): the same guarantees as WriteFileSafely.
class SafeFileWriter
{
public:
  SafeFileWriter() = default;
  ~SafeFileWriter() { Abort(); } // an uncommitted file never replaces the target
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;

  bool Open(const std::string& path, std::string* error = nullptr);
  int Fd() const { return mFd; }
  // Writes all of data, retrying short writes; false on any error.
  bool Write(const void* data, size_t size, std::string* error = nullptr);
  // fsync, close and rename over the target; false → temporary removed.
  bool Commit(std::string* error = nullptr);
  void Abort();
  const std::string& TempPath() const { return mTemp; }
  // The file that Commit replaces: the link's final target for a symlink.
  const std::string& TargetPath() const { return mTarget; }

private:
  std::string mTarget;
  std::string mTemp;
  int mFd = -1;
  int mSlot = -1;
};

// The final file a path names: symlinks followed (even to a target that does
// not exist yet), relative links resolved against their own folder.
std::string ResolveWriteTarget(const std::string& path);

// Temporaries of every SafeFileWriter are listed where a signal handler can
// reach them. InstallTempCleanupOnSignals makes SIGINT, SIGTERM and SIGHUP
// unlink them (and empty and remove a folder given to RegisterTempFolder),
// then end the process with the same signal. Signals already ignored stay so.
void InstallTempCleanupOnSignals();
// One folder at a time (the renderer's private configuration); "" forgets it.
void RegisterTempFolder(const std::string& folder);
// Runs the handler's clean-up now: for tests and for callers about to _exit.
void RemoveRegisteredTemps();
