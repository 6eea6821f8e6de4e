#include "client/monitor/check_rhythm.h"

#include <algorithm>

namespace quorin::client {

std::optional<CheckReason> CheckRhythm::WaitForNextCheck(const platform::StopToken& stop) {
  std::int64_t now = clock_.NowMs();
  // An extra check that ran past the minute stands in for it: the next minute counts from now,
  // so two checks never follow each other at once.
  if (!minuteAt_ || *minuteAt_ <= now)
    minuteAt_ = now + kMonitorIntervalMs;
  if (changes_ == nullptr)
    return WaitForMinute(now, stop);

  switch (changes_->WaitFor(clock_, *minuteAt_ - now, stop)) {
    case platform::ChangeWaitEnd::kStopped:
      return std::nullopt;
    case platform::ChangeWaitEnd::kElapsed:
      minuteAt_.reset();
      return CheckReason::kMinute;
    case platform::ChangeWaitEnd::kSignalled:
      break;
  }

  now = clock_.NowMs();
  std::int64_t checkAt = now + kSettleMs;
  if (lastExtraAt_)
    checkAt = std::max(checkAt, *lastExtraAt_ + kExtraCheckSpacingMs);
  // The minute's check comes first and sees the change.
  if (checkAt >= *minuteAt_)
    return WaitForMinute(now, stop);
  if (!clock_.WaitFor(checkAt - now, stop))
    return std::nullopt;
  // Every change announced up to here is seen by this check; a later one starts a new wait.
  changes_->Take();
  lastExtraAt_ = clock_.NowMs();
  return CheckReason::kAddressChange;
}

std::optional<CheckReason> CheckRhythm::WaitForMinute(std::int64_t now,
                                                      const platform::StopToken& stop) {
  if (!clock_.WaitFor(*minuteAt_ - now, stop))
    return std::nullopt;
  if (changes_ != nullptr)
    changes_->Take();
  minuteAt_.reset();
  return CheckReason::kMinute;
}

}  // namespace quorin::client
