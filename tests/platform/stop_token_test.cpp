#include "platform/stop_token.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/stoppable_thread.h"
#include "tests/support/wait_until.h"

namespace quorin::platform {
namespace {

using namespace std::chrono_literals;

// The pattern that lost its wake-up with the standard stop token of the Windows toolchain: a
// thread waits for an hour with a callback registered, and is stopped and joined at once,
// while its callback may still be running on the stopping thread.
TEST(StopToken, EveryStopEndsItsWaitAndItsJoin) {
  for (int i = 0; i < 2000; ++i) {
    std::atomic<bool> woke{false};
    StoppableThread thread([&](StopToken stop) {
      std::mutex mutex;
      const StopCallback callback(stop, [&] { std::lock_guard lock(mutex); });
      woke = stop.WaitFor(1h);
    });
    if (i % 2 == 0)
      std::this_thread::yield();
    thread.RequestStop();
    thread.Join();
    ASSERT_TRUE(woke.load()) << "round " << i;
  }
}

TEST(StopToken, WaitsEndAtTheirTimeWhenNobodyStops) {
  StopSource source;
  EXPECT_FALSE(source.Token().WaitFor(10ms));
  EXPECT_FALSE(StopToken().WaitFor(10ms)) << "a token nobody can stop just sleeps";
  EXPECT_FALSE(StopToken().StopPossible());
  EXPECT_TRUE(source.Token().StopPossible());

  EXPECT_TRUE(source.RequestStop());
  EXPECT_FALSE(source.RequestStop()) << "only the first request counts";
  EXPECT_TRUE(source.Token().WaitFor(1h)) << "a stopped token does not wait";

  StopSource moved;
  const StopSource taken = std::move(moved);
  EXPECT_FALSE(moved.RequestStop()) << "a moved-from source stops nothing";  // NOLINT
  EXPECT_FALSE(moved.Token().StopRequested());                               // NOLINT
}

TEST(StopCallback, RunsOnceOnTheRequestingThreadOrAtOnce) {
  StopSource source;
  std::atomic<int> runs{0};
  std::thread::id ranOn;
  {
    const StopCallback callback(source.Token(), [&] {
      ++runs;
      ranOn = std::this_thread::get_id();
    });
    std::thread requester([&] { source.RequestStop(); });
    const std::thread::id requesterId = requester.get_id();
    requester.join();
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(ranOn, requesterId);
    source.RequestStop();
    EXPECT_EQ(runs.load(), 1) << "never twice";
  }
  const StopCallback late(source.Token(), [&] { ++runs; });
  EXPECT_EQ(runs.load(), 2) << "registered after the stop: runs in the constructor";

  StopSource unused;
  {
    const StopCallback removed(unused.Token(), [&] { ++runs; });
  }
  unused.RequestStop();
  EXPECT_EQ(runs.load(), 2) << "a destroyed callback is not run";
}

TEST(StopCallback, DestructionWaitsForTheCallbackRunningElsewhere) {
  StopSource source;
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> callbackReturned{false};
  auto callback = std::make_unique<StopCallback>(source.Token(), [&] {
    entered.set_value();
    released.wait();
    callbackReturned = true;
  });
  std::thread requester([&] { source.RequestStop(); });
  entered.get_future().wait();

  std::atomic<bool> destroyed{false};
  std::atomic<bool> returnedFirst{false};
  std::thread destroyer([&] {
    callback.reset();
    returnedFirst = callbackReturned.load();
    destroyed = true;
  });
  // The destructor cannot return while the callback is blocked.
  EXPECT_FALSE(destroyed.load());
  release.set_value();
  destroyer.join();
  EXPECT_TRUE(returnedFirst.load()) << "the callback had returned before its destructor did";
  requester.join();

  // A callback may end its own registration without waiting for itself.
  StopSource selfSource;
  std::optional<StopCallback> self;
  self.emplace(selfSource.Token(), [&] { self.reset(); });
  selfSource.RequestStop();
  EXPECT_FALSE(self.has_value());
}

}  // namespace
}  // namespace quorin::platform
