#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_lock.h"

namespace quorin::platform {

FileLock FileLock::Acquire(const std::string& lockPath, Mode mode, bool createMissing) {
  if (lockPath.empty())
    return FileLock();
  const int flags = O_RDWR | O_CLOEXEC | (createMissing ? O_CREAT : 0);
  const int fd = ::open(lockPath.c_str(), flags, 0600);
  if (fd < 0)
    return FileLock();
  // Each Acquire opens the file anew, so two threads of one process exclude each other as two
  // processes do: flock belongs to the open file, not to the process.
  const int operation = mode == Mode::Exclusive ? LOCK_EX : LOCK_SH;
  int result = 0;
  while ((result = ::flock(fd, operation)) != 0 && errno == EINTR) {
  }
  if (result != 0) {
    ::close(fd);
    return FileLock();
  }
  return FileLock(fd);
}

void FileLock::Release() {
  if (handle_ == kNoHandle)
    return;
  // Closing the only descriptor of the open file releases its lock.
  ::close(static_cast<int>(handle_));
  handle_ = kNoHandle;
}

}  // namespace quorin::platform
