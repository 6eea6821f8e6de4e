#include "tests/support/driven_clock.h"

#include <algorithm>

namespace quorin::testing {

DrivenClock::DrivenClock(platform::CalendarTime start) : start_(start) {}

std::int64_t DrivenClock::NowMs() {
  std::lock_guard lock(mutex_);
  return nowMs_;
}

platform::CalendarTime DrivenClock::LocalTime() {
  return platform::AddMilliseconds(start_, NowMs());
}

bool DrivenClock::WaitFor(std::int64_t ms, platform::StopToken stop) {
  // Registered before the lock is taken: a stop requested earlier runs it on this thread.
  const platform::StopCallback wake(stop, [this] {
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
  });
  std::unique_lock lock(mutex_);
  const Waiter waiter{nowMs_ + std::max<std::int64_t>(ms, 0), stop};
  waiters_.push_back(&waiter);
  changed_.notify_all();
  changed_.wait(lock, [&] { return nowMs_ >= waiter.until || stop.StopRequested(); });
  std::erase(waiters_, &waiter);
  changed_.notify_all();
  return !stop.StopRequested();
}

void DrivenClock::Advance(std::int64_t ms) {
  {
    std::lock_guard lock(mutex_);
    nowMs_ += ms;
  }
  changed_.notify_all();
}

int DrivenClock::BlockedLocked() const {
  return static_cast<int>(std::count_if(waiters_.begin(), waiters_.end(), [this](const Waiter* w) {
    return w->until > nowMs_ && !w->stop.StopRequested();
  }));
}

bool DrivenClock::AwaitBlocked(int count, std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return BlockedLocked() >= count; });
}

std::vector<std::int64_t> DrivenClock::BlockedUntil() {
  std::lock_guard lock(mutex_);
  std::vector<std::int64_t> ends;
  for (const Waiter* waiter : waiters_) {
    if (waiter->until > nowMs_ && !waiter->stop.StopRequested())
      ends.push_back(waiter->until);
  }
  std::sort(ends.begin(), ends.end());
  return ends;
}

}  // namespace quorin::testing
