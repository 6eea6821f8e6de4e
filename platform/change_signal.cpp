#include "platform/change_signal.h"

namespace quorin::platform {

void ChangeSignal::Set() {
  std::optional<StopSource> wake;
  {
    std::lock_guard lock(mutex_);
    set_ = true;
    wake = wake_;
  }
  // Outside the lock: ending the wait may run the clock's wake-up code.
  if (wake)
    wake->RequestStop();
}

bool ChangeSignal::Take() {
  std::lock_guard lock(mutex_);
  const bool was = set_;
  set_ = false;
  return was;
}

bool ChangeSignal::IsSet() {
  std::lock_guard lock(mutex_);
  return set_;
}

ChangeWaitEnd ChangeSignal::WaitFor(Clock& clock, std::int64_t ms, const StopToken& stop) {
  const StopSource wake;
  // The caller's stop ends the wait as well; registered first, so a stop requested earlier
  // has already ended it.
  const StopCallback forward(stop, [wake] { wake.RequestStop(); });
  {
    std::lock_guard lock(mutex_);
    if (set_)
      return stop.StopRequested() ? ChangeWaitEnd::kStopped : ChangeWaitEnd::kSignalled;
    wake_ = wake;
  }
  clock.WaitFor(ms, wake.Token());
  bool signalled = false;
  {
    std::lock_guard lock(mutex_);
    wake_.reset();
    signalled = set_;
  }
  if (stop.StopRequested())
    return ChangeWaitEnd::kStopped;
  return signalled ? ChangeWaitEnd::kSignalled : ChangeWaitEnd::kElapsed;
}

}  // namespace quorin::platform
