#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "platform/atomic_file.h"
#include "platform/posix/unique_fd.h"

namespace quorin::platform {
namespace {

constexpr int kTemporaryNameTries = 100;

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Owner read and write, or the stricter owner bits of the file being replaced: the files
// written this way hold passwords and settings, which no other user may read.
mode_t ModeFor(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode))
    return status.st_mode & (S_IRUSR | S_IWUSR);
  return S_IRUSR | S_IWUSR;
}

// Creates a temporary file that no other writer uses: this process's id and a counter, and
// O_EXCL in case a file of that name survives from a killed process with the same id.
UniqueFd CreateTemporary(const std::string& path, mode_t mode, std::string& temporary) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    temporary = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (fd || errno != EEXIST)
      return fd;
  }
  return UniqueFd();
}

// Makes the rename itself durable: without it a power cut can bring back the old file.
void SyncParentDirectory(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string directory =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  UniqueFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd)
    ::fsync(fd.get());
}

// Opens `path` for writing and waits for the lock that orders its appends and truncations; the
// lock goes with the descriptor.
UniqueFd OpenLocked(const std::string& path, int flags) {
  if (path.empty())
    return UniqueFd();
  UniqueFd fd(::open(path.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  if (!fd)
    return fd;
  int result = 0;
  while ((result = ::flock(fd.get(), LOCK_EX)) != 0 && errno == EINTR) {
  }
  if (result != 0)
    return UniqueFd();
  return fd;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         const AtomicWriteOptions& options) {
  if (path.empty())
    return false;
  std::string temporary;
  UniqueFd fd = CreateTemporary(path, ModeFor(path), temporary);
  if (!fd)
    return false;
  // Once fsync has succeeded the bytes are on the disk, so closing cannot lose them.
  const bool written = WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
  fd.reset();
  if (written && options.beforeReplace && !options.beforeReplace(temporary))
    return false;
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  SyncParentDirectory(path);
  return true;
}

bool AppendTextWhole(const std::string& path, std::string_view text) {
  UniqueFd fd = OpenLocked(path, O_APPEND);
  if (!fd)
    return false;
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0)
    return false;
  if (WriteAll(fd.get(), text))
    return true;
  // Half a line would glue the next entry to it; no other appender runs while the lock is held.
  while (::ftruncate(fd.get(), status.st_size) != 0 && errno == EINTR) {
  }
  return false;
}

bool EmptyFile(const std::string& path) {
  UniqueFd fd = OpenLocked(path, 0);
  return fd && ::ftruncate(fd.get(), 0) == 0;
}

}  // namespace quorin::platform
