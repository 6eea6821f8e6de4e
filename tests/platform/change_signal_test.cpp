#include "platform/change_signal.h"

#include <gtest/gtest.h>

#include <future>

#include "platform/address_change_notifier.h"
#include "tests/support/driven_clock.h"

namespace quorin::platform {
namespace {

TEST(ChangeSignal, AMarkEndsTheWaitOnceAndAStopOutweighsIt) {
  ManualClock clock;
  ChangeSignal signal;
  EXPECT_EQ(signal.WaitFor(clock, 60000, {}), ChangeWaitEnd::kElapsed);
  signal.Set();
  signal.Set();
  EXPECT_EQ(signal.WaitFor(clock, 60000, {}), ChangeWaitEnd::kSignalled);
  EXPECT_EQ(clock.NowMs(), 60000) << "a mark made before the wait ends it at once";
  EXPECT_TRUE(signal.Take());
  EXPECT_FALSE(signal.Take()) << "two marks before a Take are one change";
  StopSource stop;
  stop.RequestStop();
  signal.Set();
  EXPECT_EQ(signal.WaitFor(clock, 60000, stop.Token()), ChangeWaitEnd::kStopped);
}

// The mark comes from another thread, as the system's does, while the waiter is blocked.
TEST(ChangeSignal, ASetFromAnotherThreadEndsAWaitInProgress) {
  quorin::testing::DrivenClock clock;
  ChangeSignal signal;
  StopSource stop;
  auto wait = [&] {
    return std::async(std::launch::async,
                      [&] { return signal.WaitFor(clock, 60000, stop.Token()); });
  };
  auto waiter = wait();
  ASSERT_TRUE(clock.AwaitBlocked(1));
  std::async(std::launch::async, [&] { signal.Set(); }).get();
  EXPECT_EQ(waiter.get(), ChangeWaitEnd::kSignalled);
  EXPECT_TRUE(signal.Take());
  waiter = wait();
  ASSERT_TRUE(clock.AwaitBlocked(1));
  stop.RequestStop();
  EXPECT_EQ(waiter.get(), ChangeWaitEnd::kStopped);
  EXPECT_EQ(clock.NowMs(), 0) << "neither wait lasted its time";
}

// The system's notifier registers and goes again without hanging. (Under Wine the
// registration is taken, but no change is ever reported.)
TEST(AddressChangeNotifier, TheSystemsNotifierOpensAndClosesCleanly) {
  for (int i = 0; i < 20; ++i)
    ASSERT_NE(OpenAddressChangeNotifier(), nullptr) << "round " << i;
}

}  // namespace
}  // namespace quorin::platform
