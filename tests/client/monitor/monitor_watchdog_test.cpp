#include "client/monitor/monitor_watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "client/app/string_table.h"
#include "client/monitor/start_monitoring.h"
#include "platform/clock.h"
#include "tests/client/monitor/monitor_test_context.h"

namespace quorin::client {
namespace {

using namespace std::chrono_literals;
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
      std::function<std::string(const AccountCredentials&, std::stop_token)> queryUdp) {
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

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit = 5s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

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
  platform::ScaledClock clock(500.0);  // five minutes in 600 ms
  platform::ScopedClockOverride useClock(clock);
  ClientContext context;
  FreeAccount(context);
  MonitorShared shared;
  Surroundings surroundings;
  HungQuestion hung;
  std::atomic<int> questions{0};
  std::atomic<std::int64_t> firstAskedMs{-1};
  std::atomic<std::int64_t> secondAskedMs{-1};
  auto services = surroundings.Services([&](const AccountCredentials&, std::stop_token) {
    const int question = ++questions;
    if (question == 1) {
      firstAskedMs = clock.NowMs();
      hung.Hang();
      return std::string("198.51.100.99");  // arrives after the replacement: stale
    }
    if (question == 2)
      secondAskedMs = clock.NowMs();
    return std::string("203.0.113.5");
  });

  auto watchdog = std::make_unique<MonitorWatchdog>(context, services, shared);
  ASSERT_TRUE(WaitUntil([&] { return questions.load() >= 2; }, 10s));
  const std::int64_t stalledFor = secondAskedMs.load() - firstAskedMs.load();
  EXPECT_GE(stalledFor, 300000) << "not before a whole period without a sign of life";
  EXPECT_LE(stalledFor, 700000) << "replaced within two periods (with room for scheduling)";
  EXPECT_EQ(watchdog->MonitorsStarted(), 2);

  ASSERT_TRUE(WaitUntil([&] { return context.StatusText(kStatusAddress) == "203.0.113.5"; }));
  hung.Release();
  ASSERT_TRUE(WaitUntil([&] { return surroundings.monitorsAlive.load() == 1; }))
      << "the stalled monitor ends once its question returns";
  EXPECT_EQ(context.StatusText(kStatusAddress), "203.0.113.5");
  EXPECT_EQ(Host(context, "example.net", "www").address, "203.0.113.5");
  EXPECT_EQ(surroundings.saves.load(), 1) << "the stale answer saved nothing";

  const auto start = std::chrono::steady_clock::now();
  watchdog.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(surroundings.monitorsAlive.load(), 0) << "stopping the watchdog ends its monitor";
}

TEST(MonitorWatchdog, KeepsAMonitorThatWaitsForItsUser) {
  platform::ScaledClock clock(1000.0);
  platform::ScopedClockOverride useClock(clock);
  ClientContext context;  // nobody logged in
  MonitorShared shared;
  Surroundings surroundings;
  auto services = surroundings.Services(
      [](const AccountCredentials&, std::stop_token) { return std::string("203.0.113.5"); });
  MonitorWatchdog watchdog(context, services, shared);
  std::this_thread::sleep_for(2200ms);  // more than seven watchdog periods
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
  auto services = surroundings.Services([&](const AccountCredentials&, std::stop_token) {
    if (++questions == 1)
      hung.Hang();
    return std::string("203.0.113.5");
  });

  StartMonitoring(context, services, shared, reaper);
  ASSERT_TRUE(WaitUntil([&] { return questions.load() == 1; }));
  const auto start = std::chrono::steady_clock::now();
  StartMonitoring(context, services, shared, reaper);  // a second login
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms)
      << "the UI thread does not wait for the hung question";
  EXPECT_TRUE(context.HasWatchdog());
  ASSERT_TRUE(WaitUntil([&] { return context.StatusText(kStatusAddress) == "203.0.113.5"; }));

  hung.Release();
  reaper.WaitForAll();
  EXPECT_EQ(surroundings.monitorsAlive.load(), 1) << "only the new watchdog's monitor is left";

  // Shutting down: the monitors wait a whole real minute, yet stop at once.
  const auto stopStart = std::chrono::steady_clock::now();
  context.StopWatchdog();
  EXPECT_LT(std::chrono::steady_clock::now() - stopStart, 2s);
  EXPECT_EQ(surroundings.monitorsAlive.load(), 0);
  EXPECT_FALSE(context.HasWatchdog());
}

}  // namespace
}  // namespace quorin::client
