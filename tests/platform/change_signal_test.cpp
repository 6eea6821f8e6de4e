#include "platform/change_signal.h"

#include <gtest/gtest.h>

#include <future>

#include "platform/address_change_notifier.h"
#include "tests/support/driven_clock.h"

namespace quorin::platform {
namespace {

using quorin::testing::DrivenClock;

TEST(ChangeSignal, AMarkEndsTheWaitAndIsTakenOnce) {
  ManualClock clock;
  ChangeSignal signal;
  EXPECT_EQ(signal.WaitFor(clock, 60000, StopToken()), ChangeWaitEnd::kElapsed);
  EXPECT_EQ(clock.NowMs(), 60000) << "an unmarked wait lasts its whole time";

  signal.Set();
  signal.Set();
  EXPECT_EQ(signal.WaitFor(clock, 60000, StopToken()), ChangeWaitEnd::kSignalled)
      << "a change marked before the wait ends it at once";
  EXPECT_EQ(clock.NowMs(), 60000);
  EXPECT_TRUE(signal.IsSet()) << "the wait leaves the mark for Take";
  EXPECT_TRUE(signal.Take());
  EXPECT_FALSE(signal.Take()) << "two marks before a Take are one change";

  StopSource stop;
  stop.RequestStop();
  signal.Set();
  EXPECT_EQ(signal.WaitFor(clock, 60000, stop.Token()), ChangeWaitEnd::kStopped)
      << "a stop outweighs a change";
}

// The setter runs on another thread, as the system's does, while the waiter is blocked.
TEST(ChangeSignal, ASetFromAnotherThreadEndsAWaitInProgress) {
  DrivenClock clock;
  ChangeSignal signal;
  StopSource stop;

  auto waiter =
      std::async(std::launch::async, [&] { return signal.WaitFor(clock, 60000, stop.Token()); });
  ASSERT_TRUE(clock.AwaitBlocked(1));
  std::async(std::launch::async, [&] { signal.Set(); }).get();
  EXPECT_EQ(waiter.get(), ChangeWaitEnd::kSignalled);
  EXPECT_EQ(clock.NowMs(), 0) << "the wait ended before its time";
  EXPECT_TRUE(signal.Take());

  waiter =
      std::async(std::launch::async, [&] { return signal.WaitFor(clock, 60000, stop.Token()); });
  ASSERT_TRUE(clock.AwaitBlocked(1));
  stop.RequestStop();
  EXPECT_EQ(waiter.get(), ChangeWaitEnd::kStopped);
  EXPECT_FALSE(signal.IsSet());

  // A set after the wait has ended reaches nobody's wait, but the next one sees it.
  signal.Set();
  EXPECT_EQ(signal.WaitFor(clock, 1000, StopToken()), ChangeWaitEnd::kSignalled);
}

// The system's notifier registers and goes again without hanging, any number of times. (On
// Linux any process may join the route groups; under Wine the registration is taken but no
// change is ever reported.)
TEST(AddressChangeNotifier, TheSystemsNotifierOpensAndClosesCleanly) {
  for (int i = 0; i < 20; ++i) {
    auto notifier = OpenAddressChangeNotifier();
    ASSERT_NE(notifier, nullptr) << "round " << i;
    notifier->Changes().Take();
  }
}

}  // namespace
}  // namespace quorin::platform
