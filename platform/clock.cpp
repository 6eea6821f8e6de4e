#include "platform/clock.h"

#include <atomic>

namespace quorin::platform {
namespace {

std::atomic<Clock*> g_currentClock{nullptr};

// Days since 1970-01-01 of a civil date, and the inverse (Howard Hinnant's algorithms).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

class RealClock : public Clock {
 public:
  std::int64_t NowMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  CalendarTime LocalTime() override { return LocalCalendarNow(); }
  bool WaitFor(std::int64_t ms, StopToken stop) override {
    return WaitRealTime(std::chrono::milliseconds(ms), stop);
  }
};

}  // namespace

Clock& SystemClock() {
  static RealClock clock;
  return clock;
}

Clock& CurrentClock() {
  Clock* clock = g_currentClock.load();
  return clock != nullptr ? *clock : SystemClock();
}

ScopedClockOverride::ScopedClockOverride(Clock& clock)
    : previous_(g_currentClock.exchange(&clock)) {}

ScopedClockOverride::~ScopedClockOverride() {
  g_currentClock.store(previous_);
}

bool WaitRealTime(std::chrono::steady_clock::duration duration, StopToken stop) {
  if (stop.StopRequested())
    return false;
  if (duration <= std::chrono::steady_clock::duration::zero())
    return true;
  return !stop.WaitFor(duration);
}

CalendarTime AddMilliseconds(const CalendarTime& start, std::int64_t ms) {
  const std::int64_t days = DaysFromCivil(start.year, start.month, start.day);
  std::int64_t total = ((days * 24 + start.hour) * 60 + start.minute) * 60 + start.second;
  total = total * 1000 + start.millisecond + ms;
  std::int64_t dayCount = total / 86400000;
  std::int64_t inDay = total % 86400000;
  if (inDay < 0) {
    inDay += 86400000;
    --dayCount;
  }
  CalendarTime result;
  CivilFromDays(dayCount, result.year, result.month, result.day);
  result.dayOfWeek = static_cast<int>(((dayCount % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  result.hour = static_cast<int>(inDay / 3600000);
  result.minute = static_cast<int>(inDay / 60000 % 60);
  result.second = static_cast<int>(inDay / 1000 % 60);
  result.millisecond = static_cast<int>(inDay % 1000);
  return result;
}

ScaledClock::ScaledClock(double speed, CalendarTime start)
    : speed_(speed), start_(start), origin_(std::chrono::steady_clock::now()) {}

std::int64_t ScaledClock::NowMs() {
  const auto real =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - origin_);
  return static_cast<std::int64_t>(real.count() * speed_);
}

CalendarTime ScaledClock::LocalTime() {
  return AddMilliseconds(start_, NowMs());
}

bool ScaledClock::WaitFor(std::int64_t ms, StopToken stop) {
  const auto real = std::chrono::duration<double, std::milli>(static_cast<double>(ms) / speed_);
  return WaitRealTime(std::chrono::duration_cast<std::chrono::steady_clock::duration>(real), stop);
}

ManualClock::ManualClock(CalendarTime start) : start_(start) {}

std::int64_t ManualClock::NowMs() {
  std::lock_guard lock(mutex_);
  return nowMs_;
}

CalendarTime ManualClock::LocalTime() {
  return AddMilliseconds(start_, NowMs());
}

bool ManualClock::WaitFor(std::int64_t ms, StopToken stop) {
  if (stop.StopRequested())
    return false;
  std::lock_guard lock(mutex_);
  if (ms > 0) {
    nowMs_ += ms;
    waitedMs_ += ms;
  }
  return true;
}

void ManualClock::Advance(std::int64_t ms) {
  std::lock_guard lock(mutex_);
  nowMs_ += ms;
}

std::int64_t ManualClock::TotalWaitedMs() const {
  std::lock_guard lock(mutex_);
  return waitedMs_;
}

}  // namespace quorin::platform
