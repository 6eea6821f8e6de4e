#include "platform/bounded_call.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>

#include "tests/support/wait_until.h"

namespace quorin::platform {
namespace {

using namespace std::chrono_literals;

TEST(CallWithin, HandsBackAResultThatCameInTime) {
  EXPECT_EQ(CallWithin<std::string>(5s, [] { return std::string("found"); }), "found");
  EXPECT_EQ(CallWithin<bool>(5s, [] { return false; }), false)
      << "a false result is a result, not a time-out";
}

TEST(CallWithin, GivesUpOnTimeAndTheLateCallWritesNothingOfTheCallers) {
  auto release = std::make_shared<std::promise<void>>();
  auto finished = std::make_shared<std::atomic<bool>>(false);
  std::shared_future<void> released = release->get_future().share();

  const auto start = std::chrono::steady_clock::now();
  const std::optional<int> result = CallWithin<int>(100ms, [released, finished] {
    released.wait();
    finished->store(true);
    return 7;
  });
  EXPECT_FALSE(result);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 60s) << "the caller does not wait for it";

  // Let the call end after its caller has gone; it must finish without touching freed memory
  // (the sanitizers of the native build watch this).
  release->set_value();
  EXPECT_TRUE(quorin::testing::WaitUntil([&] { return finished->load(); }));
}

TEST(CallWithin, AStopEndsTheWaitAtOnce) {
  auto release = std::make_shared<std::promise<void>>();
  std::shared_future<void> released = release->get_future().share();
  StopSource stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(100ms);
    stop.RequestStop();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(CallWithin<int>(
      120s,
      [released] {
        released.wait();
        return 1;
      },
      stop.Token()));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s) << "the promised bound of a stop";
  stopper.join();
  release->set_value();

  StopSource early;
  early.RequestStop();
  EXPECT_FALSE(CallWithin<int>(
      120s, [released] { return 2; }, early.Token()))
      << "a stop requested before the call is no reason to wait";
}

}  // namespace
}  // namespace quorin::platform
