// Tells the address monitor that the machine has woken from sleep. A laptop that wakes has often
// got a new public address, and a wait counted on the monotonic clock may not count the time
// asleep, so the monitor should look at once (after its usual settling time) rather than at the
// end of a minute that began before the sleep.
//
// Windows: the programs hear of a resume themselves (the main window's WM_POWERBROADCAST, the
// service's SERVICE_CONTROL_POWEREVENT) and call AnnounceResume(), which sets the target of
// every open watcher. Linux: besides the announcements, a thread of the watcher compares the
// boot-time clock (which counts suspended time) with the monotonic one (which does not) every
// few seconds; a gap that grew means the machine slept in between.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/change_signal.h"

namespace quorin::platform {

class ResumeWatcher {
 public:
  // Destroying the watcher ends its registration and its thread before it returns.
  virtual ~ResumeWatcher() = default;
};

// A watcher that sets `target` at every resume until it goes; `target` must outlive it.
// Nothing where it cannot be set up (the monitor then keeps to its other wake-ups).
std::unique_ptr<ResumeWatcher> OpenResumeWatcher(ChangeSignal& target);

// Sets the target of every open watcher. Safe from any thread; never blocks on more than the
// watchers' short locks, so a window procedure or a service control handler may call it.
void AnnounceResume();

// Keeps `target` in the list that AnnounceResume() sets, for its own lifetime.
class ResumeSubscription {
 public:
  explicit ResumeSubscription(ChangeSignal& target);
  ~ResumeSubscription();
  ResumeSubscription(const ResumeSubscription&) = delete;
  ResumeSubscription& operator=(const ResumeSubscription&) = delete;

 private:
  ChangeSignal& target_;
};

// How much time the machine spent suspended: the boot-time clock less the monotonic clock. A
// sleep shows as growth of this gap between two readings; it never shrinks, and small growth
// (clock adjustments, rounding) is no sleep.
class SuspendGap {
 public:
  // Shorter sleeps are not worth an extra check: the minute's check comes soon enough.
  static constexpr std::int64_t kMinimumSleepMs = 5000;

  // True when `suspendedMs` grew by at least kMinimumSleepMs since the reading that last
  // counted (the first reading only sets the base).
  bool Grew(std::int64_t suspendedMs);

 private:
  bool started_ = false;
  std::int64_t baseMs_ = 0;
};

}  // namespace quorin::platform
