// Time for the programs' periodic work. Code that waits or reads the time takes it from
// CurrentClock(), which tests replace so that minutes of the programs' rhythm pass in
// milliseconds of real time.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

#include "platform/stop_token.h"

namespace quorin::platform {

// A local wall-clock time broken into its fields.
struct CalendarTime {
  int year = 1970;    // four digits
  int month = 1;      // 1 to 12
  int dayOfWeek = 4;  // 0 (Sunday) to 6
  int day = 1;        // 1 to 31
  int hour = 0;       // 0 to 23
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;

  // Milliseconds of a monotonic time line (never set back).
  virtual std::int64_t NowMs() = 0;
  // The local wall-clock time.
  virtual CalendarTime LocalTime() = 0;
  // Waits `ms` milliseconds of this clock's time, or less when `stop` is requested.
  // Returns false when the wait ended because of the stop request.
  virtual bool WaitFor(std::int64_t ms, StopToken stop) = 0;

  void SleepFor(std::int64_t ms) { WaitFor(ms, StopToken()); }
};

// The real clock of the machine.
Clock& SystemClock();

// The machine's local wall-clock time now (each backend reads it from its system).
CalendarTime LocalCalendarNow();

// The clock the programs run on: SystemClock() unless a test installed another one.
Clock& CurrentClock();

// Installs a clock for the lifetime of this object. Install it before starting the threads
// that use it, and let them end before it goes away.
class ScopedClockOverride {
 public:
  explicit ScopedClockOverride(Clock& clock);
  ~ScopedClockOverride();
  ScopedClockOverride(const ScopedClockOverride&) = delete;
  ScopedClockOverride& operator=(const ScopedClockOverride&) = delete;

 private:
  Clock* previous_;
};

// A clock whose time runs `speed` times faster than real time, from a given start. Many
// threads may wait on it at once, so it suits tests of the monitor and the watchdog.
class ScaledClock : public Clock {
 public:
  explicit ScaledClock(double speed, CalendarTime start = {});
  std::int64_t NowMs() override;
  CalendarTime LocalTime() override;
  bool WaitFor(std::int64_t ms, StopToken stop) override;

 private:
  const double speed_;
  const CalendarTime start_;
  const std::chrono::steady_clock::time_point origin_;
};

// A clock that moves only when told, or when someone waits on it: a wait moves the time on by
// the waited amount at once. For single-threaded tests of code that sleeps.
class ManualClock : public Clock {
 public:
  explicit ManualClock(CalendarTime start = {});
  std::int64_t NowMs() override;
  CalendarTime LocalTime() override;
  bool WaitFor(std::int64_t ms, StopToken stop) override;

  void Advance(std::int64_t ms);
  std::int64_t TotalWaitedMs() const;

 private:
  mutable std::mutex mutex_;
  const CalendarTime start_;
  std::int64_t nowMs_ = 0;
  std::int64_t waitedMs_ = 0;
};

// A calendar time `ms` milliseconds after `start` (the proleptic Gregorian calendar, no
// daylight-saving changes).
CalendarTime AddMilliseconds(const CalendarTime& start, std::int64_t ms);

// Waits real time until the deadline or the stop request; false when stopped.
bool WaitRealTime(std::chrono::steady_clock::duration duration, StopToken stop);

}  // namespace quorin::platform
