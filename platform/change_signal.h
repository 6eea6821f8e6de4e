// A flag that a source of change sets from any thread and one waiter consumes. The setter only
// marks the change and ends the waiter's current wait; it never runs the waiter's code, so a
// system thread that reports a change does nothing but set this flag.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

#include "platform/clock.h"
#include "platform/stop_token.h"

namespace quorin::platform {

enum class ChangeWaitEnd {
  kStopped,    // the stop was requested
  kElapsed,    // the time passed without a change
  kSignalled,  // a change was marked (before or during the wait)
};

class ChangeSignal {
 public:
  // Marks a change and ends the wait in progress, if any. Safe from any thread.
  void Set();
  // True when a change was marked since the last call; clears the mark.
  bool Take();
  // True while a change is marked (the mark stays).
  bool IsSet();

  // Waits `ms` of `clock`'s time, ending early at a change or a stop. A change marked before
  // the call ends it at once. The mark is left for Take(). One waiter at a time.
  ChangeWaitEnd WaitFor(Clock& clock, std::int64_t ms, const StopToken& stop);

 private:
  std::mutex mutex_;
  bool set_ = false;
  std::optional<StopSource> wake_;  // ends the wait in progress
};

}  // namespace quorin::platform
