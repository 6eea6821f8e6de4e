// When the address monitor looks at the address next: once a minute, as always, and in
// addition soon after the system announces that the machine's own addresses or routes changed,
// or that it has resumed from sleep (both set the one signal the rhythm waits on).
// A machine that holds its public address itself (a PPPoE or mobile connection, a VPN, a
// server's public interface) then has a change saved within seconds, and nothing more is sent
// while nothing changes.
//
// After an announcement the check waits a short settling time, so that an address being
// replaced (removed, then added) is seen in its final state. Announcements that come in bursts
// (a flapping interface) give at most one extra check per kExtraCheckSpacingMs. The minute
// checks keep their times: an extra check neither moves nor replaces them.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/change_signal.h"
#include "platform/clock.h"
#include "platform/stop_token.h"

namespace quorin::client {

inline constexpr std::int64_t kMonitorIntervalMs = 60000;
inline constexpr std::int64_t kSettleMs = 1000;
inline constexpr std::int64_t kExtraCheckSpacingMs = 10000;

enum class CheckReason {
  kMinute,         // the minute since the last minute check (or query) has passed
  kAddressChange,  // the system announced a change (or a resume)
};

class CheckRhythm {
 public:
  // `changes` may be null: then only the minute counts.
  CheckRhythm(platform::Clock& clock, platform::ChangeSignal* changes)
      : clock_(clock), changes_(changes) {}

  // Waits until the next check is due; nothing when `stop` was requested. The next minute is
  // counted from the first call after a minute check, that is from the end of that check.
  std::optional<CheckReason> WaitForNextCheck(const platform::StopToken& stop);

 private:
  std::optional<CheckReason> WaitForMinute(std::int64_t now, const platform::StopToken& stop);

  platform::Clock& clock_;
  platform::ChangeSignal* const changes_;
  std::optional<std::int64_t> minuteAt_;     // when the next minute check is due
  std::optional<std::int64_t> lastExtraAt_;  // when the last extra check ran
};

}  // namespace quorin::client
