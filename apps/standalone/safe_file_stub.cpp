#include "apps/standalone/safe_file_stub.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

bool WriteFileSafely(const std::string& path, const void* data, size_t size, std::string* error)
{
  auto fail = [&](const std::string& what) {
    if (error) *error = path + ": " + what + ": " + std::strerror(errno);
    return false;
  };
  // A symlinked target is updated through its link.
  std::error_code ec;
  std::filesystem::path target = std::filesystem::weakly_canonical(path, ec);
  if (ec) target = path;
  std::string temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(temp.data());
  if (fd < 0) return fail("cannot create a temporary file");
  const char* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int saved = errno;
      close(fd);
      unlink(temp.c_str());
      errno = saved;
      return fail("cannot write");
    }
    done += size_t(n);
  }
  if (fsync(fd) != 0 || close(fd) != 0) {
    const int saved = errno;
    unlink(temp.c_str());
    errno = saved;
    return fail("cannot flush");
  }
  if (rename(temp.c_str(), target.c_str()) != 0) {
    const int saved = errno;
    unlink(temp.c_str());
    errno = saved;
    return fail("cannot replace");
  }
  return true;
}
