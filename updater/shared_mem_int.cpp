#include "updater/shared_mem_int.h"

#include <atomic>
#include <cstring>

namespace quorin::updater {

SharedMemInt::SharedMemInt(std::string_view baseName, std::uint32_t session, std::size_t dataSize,
                           bool withEvent, platform::NamedOpen mode)
    : names_(NotifyNamesFor(baseName, session)) {
  const std::size_t total = dataSize + 4;
  block_ = platform::OpenSharedMemoryBlock(names_.block, total, mode);
  if (block_) {
    std::atomic_ref<std::uint32_t> magic(*Word(0));
    if (magic.load() != kNotifyMagic) {
      std::memset(static_cast<unsigned char*>(block_->data()) + 4, 0, dataSize);
      magic.store(kNotifyMagic);
    }
  }
  if (withEvent)
    event_ = platform::OpenNamedEvent(names_.event, mode);
}

std::uint32_t* SharedMemInt::Word(std::size_t index) const {
  return static_cast<std::uint32_t*>(block_->data()) + index;
}

void SharedMemInt::StoreFlag(std::uint32_t value) {
  if (!block_ || block_->size() < 8)
    return;
  // One aligned 32-bit store, made before the event is set, so a woken waiter reads it.
  std::atomic_ref<std::uint32_t>(*Word(1)).store(value, std::memory_order_release);
}

void SharedMemInt::Signal() {
  if (event_)
    event_->Signal();
}

std::optional<std::uint32_t> SharedMemInt::Magic() const {
  if (!block_)
    return std::nullopt;
  return std::atomic_ref<std::uint32_t>(*Word(0)).load();
}

std::optional<std::uint32_t> SharedMemInt::Flag() const {
  if (!block_ || block_->size() < 8)
    return std::nullopt;
  return std::atomic_ref<std::uint32_t>(*Word(1)).load(std::memory_order_acquire);
}

bool SharedMemInt::Wait(std::chrono::milliseconds timeout) {
  return event_ && event_->Wait(timeout);
}

}  // namespace quorin::updater
