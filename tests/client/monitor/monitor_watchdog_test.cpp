#include "client/monitor/monitor_watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>

#include "client/monitor/start_monitoring.h"
#include "client/texts/string_table.h"
#include "platform/clock.h"
#include "tests/client/monitor/monitor_test_context.h"
#include "tests/support/driven_clock.h"
#include "tests/support/wait_until.h"

namespace quorin::client {
namespace {

using namespace std::chrono_literals;
using quorin::testing::DrivenClock;
using quorin::testing::WaitUntil;
using testing::AddZone;
using testing::Host;
using testing::LogIn;

// Counts the monitors alive: each monitor loads its own probe and drops it when it ends.
class CountedProbe : public AddressProbe {
 public:
  explicit CountedProbe(std::atomic<int>& alive) : alive_(alive) { ++alive_; }
  ~CountedProbe() override { --alive_; }
  bool Probe(std::string_view, int) override { return false; }

 private:
  std::atomic<int>& alive_;
};

struct Surroundings {
  BuiltinStringTable strings;
  std::atomic<int> monitorsAlive{0};
  std::atomic<int> saves{0};

  std::shared_ptr<MonitorServices> Services(
      std::function<std::string(const AccountCredentials&, platform::StopToken)> queryUdp) {
    auto services = std::make_shared<MonitorServices>();
    services->sources.queryUdp = std::move(queryUdp);
    services->save = [this] {
      ++saves;
      return true;
    };
    services->openProbe = [this] { return std::make_unique<CountedProbe>(monitorsAlive); };
    services->loadText = [this](unsigned id) { return strings.Load(id); };
    return services;
  }
};

void FreeAccount(ClientContext& context) {
  LogIn(context, "alice", "000ns.example.net-alice");
  AddZone(context, 0, "example.net", {{"www", "1.1.1.1"}});
}

// A question that hangs until the test lets it go, whatever stop requests say, as a network
// call inside the system would.
struct HungQuestion {
  std::mutex mutex;
  std::condition_variable released;
  bool release = false;

  void Hang() {
    std::unique_lock lock(mutex);
    released.wait(lock, [this] { return release; });
  }
  void Release() {
    std::lock_guard lock(mutex);
    release = true;
    released.notify_all();
  }
};

TEST(MonitorWatchdog, ReplacesAHungMonitorAndSilencesIt) {
  DrivenClock clock;
  platform::ScopedClockOverride useClock(clock);
  ClientContext context;
  FreeAccount(context);
  MonitorShared shared;
  Surroundings surroundings;
  HungQuestion hung;
  std::atomic<int> questions{0};
  std::atomic<std::int64_t> secondAskedMs{-1};
  auto services = surroundings.Services([&](const AccountCredentials&, platform::StopToken) {
    const int question = ++questions;
    if (question == 1) {
      hung.Hang();
      return std::string("198.51.100.99");  // arrives after the replacement: stale
    }
    if (question == 2)
      secondAskedMs = clock.NowMs();
    return std::string("203.0.113.5");
  });

  auto watchdog = std::make_unique<MonitorWatchdog>(context, services, shared);
  ASSERT_TRUE(WaitUntil([&] { return questions.load() == 1; }));
  ASSERT_TRUE(clock.AwaitBlocked(1)) << "the watchdog waits for its first check";
  EXPECT_EQ(clock.BlockedUntil(), std::vector<std::int64_t>{kWatchdogIntervalMs});

  // The first check still sees the heartbeat the monitor was started with.
  clock.Advance(kWatchdogIntervalMs);
  ASSERT_TRUE(clock.AwaitBlocked(1));
  EXPECT_EQ(watchdog->MonitorsStarted(), 1) << "not before a whole period without a sign of life";
  EXPECT_EQ(questions.load(), 1);

  // The second finds no sign of life since the first and starts a fresh monitor at once.
  clock.Advance(kWatchdogIntervalMs);
  ASSERT_TRUE(clock.AwaitBlocked(2)) << "the watchdog and the new monitor wait";
  EXPECT_EQ(watchdog->MonitorsStarted(), 2);
  EXPECT_EQ(secondAskedMs.load(), 2 * kWatchdogIntervalMs);
  EXPECT_EQ(context.StatusText(kStatusAddress), "203.0.113.5");

  hung.Release();
  ASSERT_TRUE(WaitUntil([&] { return surroundings.monitorsAlive.load() == 1; }))
      << "the stalled monitor ends once its question returns";
  EXPECT_EQ(context.StatusText(kStatusAddress), "203.0.113.5");
  EXPECT_EQ(Host(context, "example.net", "www").address, "203.0.113.5");
  EXPECT_EQ(surroundings.saves.load(), 1) << "the stale answer saved nothing";

  watchdog.reset();
  EXPECT_EQ(surroundings.monitorsAlive.load(), 0) << "stopping the watchdog ends its monitor";
}

TEST(MonitorWatchdog, KeepsAMonitorThatWaitsForItsUser) {
  DrivenClock clock;
  platform::ScopedClockOverride useClock(clock);
  ClientContext context;  // nobody logged in
  MonitorShared shared;
  Surroundings surroundings;
  auto services = surroundings.Services(
      [](const AccountCredentials&, platform::StopToken) { return std::string("203.0.113.5"); });
  MonitorWatchdog watchdog(context, services, shared);

  // Three watchdog periods, one second at a time: the monitor's wait for its user beats.
  for (std::int64_t ms = 0; ms < 3 * kWatchdogIntervalMs; ms += kUserWaitMs) {
    ASSERT_TRUE(clock.AwaitBlocked(2)) << "at " << ms << " ms";
    clock.Advance(kUserWaitMs);
  }
  ASSERT_TRUE(clock.AwaitBlocked(2));
  EXPECT_EQ(watchdog.MonitorsStarted(), 1);
  EXPECT_EQ(surroundings.monitorsAlive.load(), 1);
}

TEST(StartMonitoring, ReplacesTheWatchdogWithoutWaitingForItsMonitor) {
  ClientContext context;
  FreeAccount(context);
  MonitorShared shared;
  Surroundings surroundings;
  TaskReaper reaper;
  HungQuestion hung;
  std::atomic<int> questions{0};
  auto services = surroundings.Services([&](const AccountCredentials&, platform::StopToken) {
    if (++questions == 1)
      hung.Hang();
    return std::string("203.0.113.5");
  });

  StartMonitoring(context, services, shared, reaper);
  ASSERT_TRUE(WaitUntil([&] { return questions.load() == 1; }));
  // A second login: the question hangs until released, so a call that waited for the old
  // monitor would not return at all.
  auto second =
      std::async(std::launch::async, [&] { StartMonitoring(context, services, shared, reaper); });
  if (second.wait_for(quorin::testing::kPatience) != std::future_status::ready) {
    hung.Release();
    FAIL() << "the UI thread waited for the hung question";
  }
  EXPECT_TRUE(context.HasWatchdog());
  ASSERT_TRUE(WaitUntil([&] { return context.StatusText(kStatusAddress) == "203.0.113.5"; }));

  hung.Release();
  reaper.WaitForAll();
  EXPECT_EQ(surroundings.monitorsAlive.load(), 1) << "only the new watchdog's monitor is left";

  // Shutting down: the monitors wait a whole real minute, yet stop within the promised 3 s.
  const auto stopStart = std::chrono::steady_clock::now();
  context.StopWatchdog();
  EXPECT_LT(std::chrono::steady_clock::now() - stopStart, 3s);
  EXPECT_EQ(surroundings.monitorsAlive.load(), 0);
  EXPECT_FALSE(context.HasWatchdog());
}

}  // namespace
}  // namespace quorin::client
