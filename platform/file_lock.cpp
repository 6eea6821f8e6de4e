#include "platform/file_lock.h"

#include <utility>

namespace quorin::platform {

FileLock::~FileLock() {
  Release();
}

FileLock::FileLock(FileLock&& other) noexcept : handle_(std::exchange(other.handle_, kNoHandle)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = std::exchange(other.handle_, kNoHandle);
  }
  return *this;
}

}  // namespace quorin::platform
