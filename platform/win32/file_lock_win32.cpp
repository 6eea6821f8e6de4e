#include <windows.h>

#include "platform/file_lock.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

HANDLE AsHandle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// The first byte of the lock file; the file holds no data, so nothing ever reads that range.
OVERLAPPED LockedRange() {
  OVERLAPPED range{};
  return range;
}

}  // namespace

FileLock FileLock::Acquire(const std::string& lockPath, Mode mode, bool createMissing) {
  if (lockPath.empty())
    return FileLock();
  const std::wstring path = WideFromUtf8(lockPath);
  const HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    createMissing ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return FileLock();
  // Byte-range locks belong to the handle, so two threads of one process, each with its own
  // handle, exclude each other as two processes do.
  OVERLAPPED range = LockedRange();
  const DWORD flags = mode == Mode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0;
  if (!::LockFileEx(file, flags, 0, 1, 0, &range)) {
    ::CloseHandle(file);
    return FileLock();
  }
  return FileLock(reinterpret_cast<std::intptr_t>(file));
}

void FileLock::Release() {
  if (handle_ == kNoHandle)
    return;
  OVERLAPPED range = LockedRange();
  ::UnlockFileEx(AsHandle(handle_), 0, 1, 0, &range);
  ::CloseHandle(AsHandle(handle_));
  handle_ = kNoHandle;
}

}  // namespace quorin::platform
