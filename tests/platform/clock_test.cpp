#include "platform/clock.h"
#include "platform/resume_watcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace quorin::platform {
namespace {

TEST(AddMilliseconds, CarriesIntoDaysMonthsAndYears) {
  const CalendarTime start{2010, 8, 3, 4, 9, 56, 53, 7};  // Wednesday 2010-08-04
  const CalendarTime later = AddMilliseconds(start, 60'000);
  EXPECT_EQ(later.minute, 57);
  EXPECT_EQ(later.second, 53);
  EXPECT_EQ(later.millisecond, 7);

  const CalendarTime newYear = AddMilliseconds({2010, 12, 5, 31, 23, 59, 59, 999}, 1);
  EXPECT_EQ(newYear.year, 2011);
  EXPECT_EQ(newYear.month, 1);
  EXPECT_EQ(newYear.day, 1);
  EXPECT_EQ(newYear.hour, 0);
  EXPECT_EQ(newYear.dayOfWeek, 6) << "2011-01-01 was a Saturday";

  const CalendarTime leap = AddMilliseconds({2024, 2, 3, 28, 12, 0, 0, 0}, 86'400'000);
  EXPECT_EQ(leap.month, 2);
  EXPECT_EQ(leap.day, 29);
}

TEST(ManualClock, WaitsMoveTimeOnWithoutSleeping) {
  ManualClock clock;
  const auto before = std::chrono::steady_clock::now();
  EXPECT_TRUE(clock.WaitFor(300'000, {}));
  EXPECT_EQ(clock.NowMs(), 300'000);
  EXPECT_EQ(clock.TotalWaitedMs(), 300'000);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(60))
      << "five minutes of waiting take no real time";
  clock.Advance(5);
  EXPECT_EQ(clock.NowMs(), 300'005);
  EXPECT_EQ(clock.LocalTime().minute, 5) << "calendar time follows the clock";

  platform::StopSource stop;
  stop.RequestStop();
  EXPECT_FALSE(clock.WaitFor(1000, stop.Token()));
  EXPECT_EQ(clock.NowMs(), 300'005) << "a stopped wait does not move time";
}

TEST(ScaledClock, RunsFasterThanRealTimeAndStopsPromptly) {
  ScaledClock clock(1000.0);  // a minute passes in 60 ms
  const auto before = std::chrono::steady_clock::now();
  EXPECT_TRUE(clock.WaitFor(60'000, {}));
  const auto elapsed = std::chrono::steady_clock::now() - before;
  EXPECT_GE(elapsed, std::chrono::milliseconds(55));
  EXPECT_LT(elapsed, std::chrono::seconds(30));
  EXPECT_GE(clock.NowMs(), 55'000);

  platform::StopSource stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop.RequestStop();
  });
  const auto waitStart = std::chrono::steady_clock::now();
  EXPECT_FALSE(clock.WaitFor(3'600'000'000LL, stop.Token())) << "a thousand hours, stopped";
  EXPECT_LT(std::chrono::steady_clock::now() - waitStart, std::chrono::seconds(30));
  stopper.join();
}

TEST(CurrentClock, IsReplacedWithinTheOverrideOnly) {
  EXPECT_EQ(&CurrentClock(), &SystemClock());
  ManualClock manual;
  {
    ScopedClockOverride use(manual);
    EXPECT_EQ(&CurrentClock(), &manual);
    CurrentClock().SleepFor(1234);
    EXPECT_EQ(manual.NowMs(), 1234);
  }
  EXPECT_EQ(&CurrentClock(), &SystemClock());
}

TEST(SuspendGap, CountsOnlyASleepOfSomeSeconds) {
  SuspendGap gap;
  EXPECT_FALSE(gap.Grew(120000)) << "the first reading is the base, whatever it holds";
  EXPECT_FALSE(gap.Grew(120000 + SuspendGap::kMinimumSleepMs - 1)) << "drift is no sleep";
  EXPECT_TRUE(gap.Grew(120000 + SuspendGap::kMinimumSleepMs)) << "counted from the base";
  EXPECT_FALSE(gap.Grew(120000 + SuspendGap::kMinimumSleepMs + 10)) << "the sleep is counted once";
  EXPECT_FALSE(gap.Grew(1000)) << "a reading below the base sets a new base";
  EXPECT_TRUE(gap.Grew(1000 + 3600000));
}

TEST(SystemClock, ReadsAPlausibleLocalTime) {
  const CalendarTime now = SystemClock().LocalTime();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_LT(now.millisecond, 1000);
  EXPECT_GE(now.dayOfWeek, 0);
  EXPECT_LE(now.dayOfWeek, 6);
  const std::int64_t first = SystemClock().NowMs();
  SystemClock().SleepFor(5);
  EXPECT_GE(SystemClock().NowMs() - first, 4);
}

}  // namespace
}  // namespace quorin::platform
