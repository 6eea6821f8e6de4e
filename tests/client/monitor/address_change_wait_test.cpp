// The monitor's wait with announcements of address changes: a fake notifier whose signal the
// test sets, a driven clock, and a machine that holds its public address itself, so that every
// check after the first is one look at the machine's addresses, recorded with its time.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "client/monitor/address_monitor.h"
#include "client/texts/string_table.h"
#include "tests/client/monitor/monitor_test_context.h"
#include "tests/support/driven_clock.h"
#include "tests/support/wait_until.h"

namespace quorin::client {
namespace {

using quorin::testing::DrivenClock;
using quorin::testing::WaitUntil;
using Times = std::vector<std::int64_t>;

class FakeNotifier : public platform::AddressChangeNotifier {
 public:
  FakeNotifier(platform::ChangeSignal& signal, std::atomic<bool>& open)
      : signal_(signal), open_(open) {
    open_ = true;
  }
  ~FakeNotifier() override { open_ = false; }
  platform::ChangeSignal& Changes() override { return signal_; }

 private:
  platform::ChangeSignal& signal_;
  std::atomic<bool>& open_;
};

class AddressChangeWait : public ::testing::Test {
 protected:
  ~AddressChangeWait() override { Stop(); }

  void Start(bool withNotifier = true) {
    testing::LogIn(context_, "alice", "000ns.example.net-alice");
    testing::AddZone(context_, 0, "example.net", {{"www", "1.1.1.1"}});
    services_.sources.machineAddresses = [this] {
      std::lock_guard lock(mutex_);
      checks_.push_back(clock_.NowMs());
      return std::vector<Ipv4Address>{machine_};
    };
    // The first check asks the update host, which reports the machine's own address; from then
    // on the machine's address is the answer and nothing goes out.
    services_.sources.queryUdp = [this](const AccountCredentials&, platform::StopToken) {
      std::lock_guard lock(mutex_);
      ++udpQueries_;
      return FormatIpv4(machine_);
    };
    services_.save = [this] {
      std::lock_guard lock(mutex_);
      saved_.push_back(context_.FindHost("example.net", "www")->address.str());
      return true;
    };
    services_.loadText = [this](unsigned id) { return strings_.Load(id); };
    if (withNotifier) {
      services_.openChangeNotifier = [this] {
        return std::make_unique<FakeNotifier>(changes_, notifierOpen_);
      };
    }
    monitor_ = std::thread([this] {
      RunAddressMonitor(context_, services_, shared_, context_.BeginGeneration(), stop_.Token());
    });
    // The first check runs at once; then the minute's wait begins.
    AwaitWaitsUntil({kMonitorIntervalMs});
  }

  void Stop() {
    stop_.RequestStop();
    if (monitor_.joinable())
      monitor_.join();
  }

  // Waits until the monitor is blocked in a wait that ends at `ends`.
  void AwaitWaitsUntil(const Times& ends) {
    ASSERT_TRUE(WaitUntil([&] { return clock_.BlockedUntil() == ends; }))
        << "blocked until " << (clock_.BlockedUntil().empty() ? -1 : clock_.BlockedUntil()[0]);
  }

  void AdvanceTo(std::int64_t ms) { clock_.Advance(ms - clock_.NowMs()); }

  void Announce() { changes_.Set(); }

  void MoveMachineTo(const char* address) {
    std::lock_guard lock(mutex_);
    machine_ = *ParseInetAddr(address);
  }

  Times Checks() {
    std::lock_guard lock(mutex_);
    return checks_;
  }
  std::vector<std::string> Saved() {
    std::lock_guard lock(mutex_);
    return saved_;
  }

  DrivenClock clock_;
  platform::ScopedClockOverride useClock_{clock_};
  ClientContext context_;
  MonitorShared shared_;
  platform::StopSource stop_;
  BuiltinStringTable strings_;
  MonitorServices services_;
  platform::ChangeSignal changes_;
  std::atomic<bool> notifierOpen_{false};
  std::mutex mutex_;
  Ipv4Address machine_ = *ParseInetAddr("203.0.113.5");
  Times checks_;
  std::vector<std::string> saved_;
  int udpQueries_ = 0;
  std::thread monitor_;
};

TEST_F(AddressChangeWait, AnAnnouncedChangeIsCheckedAfterTheSettlingTimeAndSaved) {
  Start();
  EXPECT_TRUE(notifierOpen_);
  AdvanceTo(20000);
  AwaitWaitsUntil({60000});
  EXPECT_EQ(Checks(), (Times{0})) << "nothing ends the minute but an announcement";

  // The old address goes; the new one comes half a second later, within the settling time.
  MoveMachineTo("10.0.0.7");
  Announce();
  AwaitWaitsUntil({21000});
  EXPECT_EQ(Checks(), (Times{0})) << "no check before the address has settled";
  AdvanceTo(20500);
  MoveMachineTo("203.0.113.77");
  Announce();
  AdvanceTo(21000);
  // The check is the usual one: the machine's own address, found without a request, saved.
  EXPECT_TRUE(WaitUntil([&] { return Saved().size() == 2; }));
  EXPECT_EQ(Saved(), (std::vector<std::string>{"203.0.113.5", "203.0.113.77"}))
      << "the settled address is saved, never the one in between";
  EXPECT_EQ(context_.StatusText(kStatusAddress), "203.0.113.77");
  EXPECT_EQ(udpQueries_, 1) << "only the first check asked the update host";

  // The announcement that came during the settling time was seen by that check; the minute
  // keeps its time.
  AwaitWaitsUntil({60000});
  EXPECT_EQ(Checks(), (Times{0, 21000}));
  AdvanceTo(60000);
  AwaitWaitsUntil({120000});
  EXPECT_EQ(Checks(), (Times{0, 21000, 60000}));
  EXPECT_EQ(Saved().size(), 2u) << "an address that stayed is not saved again";
  EXPECT_EQ(shared_.heartbeat.load(), kHeartbeatAlive);
}

TEST_F(AddressChangeWait, BurstsGiveAtMostOneExtraCheckPerTenSeconds) {
  Start();
  AdvanceTo(5000);
  Announce();
  AwaitWaitsUntil({6000});
  AdvanceTo(6000);
  AwaitWaitsUntil({60000});
  EXPECT_EQ(Checks(), (Times{0, 6000}));

  // A flapping interface: announcements every second. The next check waits for ten seconds
  // after the last extra one, and one check covers them all.
  for (std::int64_t at = 7000; at <= 15000; at += 1000) {
    AdvanceTo(at);
    Announce();
    AwaitWaitsUntil({16000});
  }
  AdvanceTo(16000);
  AwaitWaitsUntil({60000});
  EXPECT_EQ(Checks(), (Times{0, 6000, 16000}));

  // An announcement whose check would fall at or after the minute is left to the minute's
  // check, which follows at its usual time and sees it.
  AdvanceTo(59500);
  Announce();
  AwaitWaitsUntil({60000});
  AdvanceTo(60000);
  AwaitWaitsUntil({120000});
  EXPECT_EQ(Checks(), (Times{0, 6000, 16000, 60000}))
      << "no second check follows the minute's: the announcement was taken with it";
}

TEST_F(AddressChangeWait, TheMinuteRhythmIsTheSameWithAndWithoutTheNotifier) {
  Start(/*withNotifier=*/true);
  for (std::int64_t minute = 1; minute <= 3; ++minute) {
    AdvanceTo(minute * kMonitorIntervalMs);
    AwaitWaitsUntil({(minute + 1) * kMonitorIntervalMs});
  }
  EXPECT_EQ(Checks(), (Times{0, 60000, 120000, 180000}));
  Stop();
  EXPECT_FALSE(notifierOpen_) << "the monitor closes its notifier when it ends";
}

TEST_F(AddressChangeWait, WithoutANotifierAnnouncementsChangeNothing) {
  Start(/*withNotifier=*/false);
  MoveMachineTo("203.0.113.77");
  Announce();  // nobody listens: the notifier was switched off or could not be opened
  AdvanceTo(30000);
  AwaitWaitsUntil({60000});
  EXPECT_EQ(Checks(), (Times{0}));
  AdvanceTo(60000);
  AwaitWaitsUntil({120000});
  EXPECT_EQ(Checks(), (Times{0, 60000}));
  EXPECT_EQ(Saved(), (std::vector<std::string>{"203.0.113.5", "203.0.113.77"}));
}

TEST_F(AddressChangeWait, AStopDuringTheSettlingTimeEndsTheMonitorWithoutACheck) {
  Start();
  AdvanceTo(10000);
  Announce();
  AwaitWaitsUntil({11000});
  Stop();
  EXPECT_EQ(Checks(), (Times{0}));
  EXPECT_FALSE(notifierOpen_);
  EXPECT_EQ(Saved().size(), 1u);
}

}  // namespace
}  // namespace quorin::client
