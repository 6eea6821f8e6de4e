// A lock that orders the processes and threads that change one file. The lock is taken on a
// separate lock file beside the data (the data file itself is replaced by a rename, which would
// leave a lock on the old file behind), and it is released when the object goes away, also
// when its process dies. POSIX uses flock on the lock file, Windows LockFileEx.
#pragma once

#include <cstdint>
#include <string>

namespace quorin::platform {

class FileLock {
 public:
  enum class Mode {
    Shared,     // readers: any number at once, none while a writer holds the lock
    Exclusive,  // one writer, alone
  };

  FileLock() = default;  // holds no lock
  ~FileLock();
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Waits until the lock file at `lockPath` is locked in `mode`. A missing lock file is created
  // (readable by its owner only on POSIX) unless `createMissing` is false, in which case the
  // result holds no lock. Also empty when the file cannot be opened or locked.
  static FileLock Acquire(const std::string& lockPath, Mode mode, bool createMissing = true);

  explicit operator bool() const { return handle_ != kNoHandle; }

 private:
  // A file descriptor on POSIX, a HANDLE on Windows; -1 is invalid for both.
  static constexpr std::intptr_t kNoHandle = -1;
  explicit FileLock(std::intptr_t handle) : handle_(handle) {}
  void Release();

  std::intptr_t handle_ = kNoHandle;
};

}  // namespace quorin::platform
