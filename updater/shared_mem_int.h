// The updater's notification: a small named block whose flag word says that a version query
// has completed, and a named auto-reset event that wakes whoever waits for it.
//
// Block layout (little-endian): bytes 0-3 the magic 0x12345678 once initialised, then the data
// area (here one 32-bit flag: 0 after initialisation, 1 after every version query).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/named_signal.h"
#include "updater/notify_names.h"

namespace quorin::updater {

inline constexpr std::uint32_t kNotifyMagic = 0x12345678u;

// What the updater's run does with its notification (a fake records it in tests).
class QueryNotifier {
 public:
  virtual ~QueryNotifier() = default;
  // Stores 1 in the flag after a version query.
  virtual void StoreQueryDone() = 0;
  // Wakes a waiter.
  virtual void Signal() = 0;
};

class SharedMemInt : public QueryNotifier {
 public:
  // Creates or opens the block (data size + 4 bytes) and, with `withEvent`, the event, under the
  // names built from `baseName` and `session`. A block found without the magic gets a zeroed
  // data area and the magic; one with the magic is left as found. A part that cannot be set up
  // is left out silently (no flag store, or no signal).
  SharedMemInt(std::string_view baseName, std::uint32_t session, std::size_t dataSize = 4,
               bool withEvent = true, platform::NamedOpen mode = platform::NamedOpen::CreateOrOpen);

  bool HasData() const { return block_ != nullptr; }
  bool HasEvent() const { return event_ != nullptr; }
  const NotifyNames& names() const { return names_; }

  void StoreQueryDone() override { StoreFlag(1); }
  void Signal() override;

  void StoreFlag(std::uint32_t value);
  // The magic word and the flag as they stand; nothing without a block.
  std::optional<std::uint32_t> Magic() const;
  std::optional<std::uint32_t> Flag() const;
  // Waits for the event (for the waiting side); false on time-out or without an event.
  bool Wait(std::chrono::milliseconds timeout);

 private:
  std::uint32_t* Word(std::size_t index) const;

  NotifyNames names_;
  std::unique_ptr<platform::SharedMemoryBlock> block_;
  std::unique_ptr<platform::NamedEvent> event_;
};

}  // namespace quorin::updater
