// The monitor's wait with announced address changes and resumes: a fake notifier whose signal
// the test sets, a scripted router whose announcements the test sends, the process's resume
// announcements, a driven clock, and a machine that holds its public address itself, so that
// every check after the first is one look at the machine's addresses, recorded with its time.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "client/monitor/address_monitor.h"
#include "client/texts/string_table.h"
#include "platform/resume_watcher.h"
#include "tests/client/monitor/fake_router.h"
#include "tests/client/monitor/monitor_test_context.h"
#include "tests/support/driven_clock.h"
#include "tests/support/wait_until.h"

namespace quorin::client {
namespace {

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
  void SetUp() override {
    testing::LogIn(context_, "alice", "000ns.example.net-alice");
    testing::AddZone(context_, 0, "example.net", {{"www", "1.1.1.1"}});
    services_.sources.machineAddresses = [this] {
      std::lock_guard lock(mutex_);
      checks_.push_back(clock_.NowMs());
      return std::vector<Ipv4Address>{machine_};
    };
    // Only the first check asks the update host; it reports the machine's own address.
    services_.sources.queryUdp = [this](const AccountCredentials&, platform::StopToken) {
      std::lock_guard lock(mutex_);
      return FormatIpv4(machine_);
    };
    services_.save = [this] {
      std::lock_guard lock(mutex_);
      saved_.push_back(context_.FindHost("example.net", "www")->address.str());
      return true;
    };
    services_.loadText = [this](unsigned id) { return strings_.Load(id); };
    if (WatchAddresses()) {
      services_.openChangeNotifier = [this] {
        return std::make_unique<FakeNotifier>(changes_, open_);
      };
    }
    // The router answers no question (each is over at once); it only announces.
    router_.SetRoute(platform::DefaultRoute{kGateway, 2});
    router_.network.FailReceives();
    services_.openRouterWatcher = [this](platform::ChangeSignal& wake, const KnownAddress& known) {
      return std::make_unique<RouterWatcher>(router_.Link(), wake, known, nullptr);
    };
    services_.openResumeWatcher = platform::OpenResumeWatcher;
    monitor_ = std::thread([this] {
      RunAddressMonitor(context_, services_, shared_, context_.BeginGeneration(), stop_.Token());
    });
    AwaitWaitUntil(60000);  // the first check runs at once
  }
  virtual bool WatchAddresses() const { return true; }
  void TearDown() override {
    if (monitor_.joinable())
      Stop();
  }

  void Stop() {
    stop_.RequestStop();
    monitor_.join();
  }
  void AwaitWaitUntil(std::int64_t end) {
    ASSERT_TRUE(quorin::testing::WaitUntil([&] { return clock_.BlockedUntil() == Times{end}; }));
  }
  void AdvanceTo(std::int64_t ms) { clock_.Advance(ms - clock_.NowMs()); }
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

  quorin::testing::DrivenClock clock_;
  platform::ScopedClockOverride useClock_{clock_};
  ClientContext context_;
  MonitorShared shared_;
  platform::StopSource stop_;
  BuiltinStringTable strings_;
  MonitorServices services_;
  static constexpr Ipv4Address kGateway{192, 168, 0, 1};
  platform::ChangeSignal changes_;
  std::atomic<bool> open_{false};
  testing::FakeRouter router_;
  std::mutex mutex_;
  Ipv4Address machine_ = *ParseInetAddr("203.0.113.5");
  Times checks_;
  std::vector<std::string> saved_;
  std::thread monitor_;
};

TEST_F(AddressChangeWait, AChangeIsCheckedOnceSettledAndTheMinuteKeepsItsTime) {
  AdvanceTo(20000);
  // The old address goes; the new one comes half a second later, within the settling time.
  MoveMachineTo("10.0.0.7");
  changes_.Set();
  AwaitWaitUntil(21000);
  AdvanceTo(20500);
  MoveMachineTo("203.0.113.77");
  changes_.Set();
  EXPECT_EQ(Checks(), (Times{0})) << "no check before the address has settled";
  AdvanceTo(21000);
  AwaitWaitUntil(60000);
  EXPECT_EQ(Saved(), (std::vector<std::string>{"203.0.113.5", "203.0.113.77"}))
      << "the settled address is saved, never the one in between";
  EXPECT_EQ(context_.StatusText(kStatusAddress), "203.0.113.77");
  // The announcement during the settling time was seen by that check; the minutes keep
  // their times, and an address that stayed is not saved again.
  AdvanceTo(60000);
  AwaitWaitUntil(120000);
  AdvanceTo(120000);
  AwaitWaitUntil(180000);
  EXPECT_EQ(Checks(), (Times{0, 21000, 60000, 120000}));
  EXPECT_EQ(Saved().size(), 2u);
}

TEST_F(AddressChangeWait, BurstsGiveAtMostOneExtraCheckPerTenSeconds) {
  AdvanceTo(5000);
  changes_.Set();
  AwaitWaitUntil(6000);
  AdvanceTo(6000);
  AwaitWaitUntil(60000);
  // A flapping interface: an announcement every second, all covered by one check ten seconds
  // after the last extra one.
  for (std::int64_t at = 7000; at <= 15000; at += 1000) {
    AdvanceTo(at);
    changes_.Set();
    AwaitWaitUntil(16000);
  }
  AdvanceTo(16000);
  AwaitWaitUntil(60000);
  // One whose check would fall at or after the minute is left to the minute's check.
  AdvanceTo(59500);
  changes_.Set();
  AwaitWaitUntil(60000);
  AdvanceTo(60000);
  AwaitWaitUntil(120000);
  EXPECT_EQ(Checks(), (Times{0, 6000, 16000, 60000}));
}

TEST_F(AddressChangeWait, TheRoutersAnnouncementTakesTheSameWayAsTheSystems) {
  AdvanceTo(20000);
  MoveMachineTo("11.0.0.77");
  router_.Announce(testing::NatPmpAnswer({11, 0, 0, 77}), kGateway);
  AwaitWaitUntil(21000);
  EXPECT_EQ(Checks(), (Times{0})) << "the settling time first";
  AdvanceTo(21000);
  AwaitWaitUntil(60000);
  EXPECT_EQ(Saved(), (std::vector<std::string>{"203.0.113.5", "11.0.0.77"}))
      << "the monitor's own check found and saved it";
  // A second change soon after waits for the ten seconds since the last extra check, and a
  // system announcement in between joins the same check.
  AdvanceTo(23000);
  MoveMachineTo("11.0.0.78");
  router_.Announce(testing::NatPmpAnswer({11, 0, 0, 78}), kGateway);
  AwaitWaitUntil(31000);
  changes_.Set();
  AdvanceTo(31000);
  AwaitWaitUntil(60000);
  EXPECT_EQ(Checks(), (Times{0, 21000, 31000}));
  EXPECT_EQ(Saved().back(), "11.0.0.78");
}

TEST_F(AddressChangeWait, AStopWhileSettlingEndsTheMonitorWithoutACheck) {
  EXPECT_TRUE(open_);
  AdvanceTo(10000);
  changes_.Set();
  AwaitWaitUntil(11000);
  Stop();
  EXPECT_EQ(Checks(), (Times{0}));
  EXPECT_FALSE(open_) << "the monitor closes its notifier when it ends";
}

// A resume takes the address change's way: settled, then one check, the minute unmoved.
TEST_F(AddressChangeWait, AResumeIsCheckedOnceSettled) {
  AdvanceTo(30000);
  MoveMachineTo("198.51.100.9");
  platform::AnnounceResume();
  AwaitWaitUntil(31000);
  AdvanceTo(31000);
  AwaitWaitUntil(60000);
  EXPECT_EQ(Checks(), (Times{0, 31000}));
  EXPECT_EQ(Saved(), (std::vector<std::string>{"203.0.113.5", "198.51.100.9"}));
}

class ResumeWithoutAddressNotifier : public AddressChangeWait {
 protected:
  bool WatchAddresses() const override { return false; }
};

TEST_F(ResumeWithoutAddressNotifier, AResumeStillEndsTheMinuteAndNotOnceTheMonitorEnded) {
  AdvanceTo(45000);
  MoveMachineTo("198.51.100.10");
  platform::AnnounceResume();
  AwaitWaitUntil(46000);
  AdvanceTo(46000);
  AwaitWaitUntil(60000);
  EXPECT_EQ(Checks(), (Times{0, 46000}));
  EXPECT_EQ(Saved().back(), "198.51.100.10");
  Stop();
  // The ended monitor's watcher has left the announcements: nothing is set that has gone.
  platform::AnnounceResume();
  EXPECT_EQ(Checks(), (Times{0, 46000}));
}

}  // namespace
}  // namespace quorin::client
