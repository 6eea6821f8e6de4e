#include "client/monitor/address_monitor.h"

#include <gtest/gtest.h>

#include "client/texts/string_table.h"
#include "platform/clock.h"
#include "tests/client/monitor/monitor_test_context.h"

namespace quorin::client {
namespace {

using testing::AddZone;
using testing::Host;
using testing::LogIn;

// A manual clock that ends the monitor at its n-th wait of `ms`: the time moves on at every
// wait, and the test decides how many monitor cycles run.
class CycleClock : public platform::Clock {
 public:
  CycleClock(std::int64_t ms, int allowed, platform::StopSource& stop)
      : ms_(ms), allowed_(allowed), stop_(stop) {}
  std::int64_t NowMs() override { return manual_.NowMs(); }
  platform::CalendarTime LocalTime() override { return manual_.LocalTime(); }
  bool WaitFor(std::int64_t ms, platform::StopToken token) override {
    if (ms == ms_ && ++waits_ > allowed_) {
      stop_.RequestStop();
      return false;
    }
    return manual_.WaitFor(ms, token);
  }
  int waits() const { return waits_; }

 private:
  platform::ManualClock manual_;
  const std::int64_t ms_;
  const int allowed_;
  int waits_ = 0;
  platform::StopSource& stop_;
};

class FakeProbe : public AddressProbe {
 public:
  FakeProbe(std::vector<bool>& answers, std::vector<std::pair<std::string, int>>& calls)
      : answers_(answers), calls_(calls) {}
  bool Probe(std::string_view address, int ttl) override {
    calls_.emplace_back(std::string(address), ttl);
    const std::size_t index = calls_.size() - 1;
    return index < answers_.size() && answers_[index];
  }

 private:
  std::vector<bool>& answers_;
  std::vector<std::pair<std::string, int>>& calls_;
};

// The monitor's surroundings, every one of them recorded.
struct Harness {
  ClientContext context;
  MonitorShared shared;
  platform::StopSource stop;
  BuiltinStringTable strings;

  std::vector<Ipv4Address> machine;
  std::vector<std::string> udpAnswers{"203.0.113.5"};
  std::vector<bool> saveResults{true};
  std::vector<bool> probeAnswers;
  bool probeUsable = false;
  bool autoDial = false;
  std::function<void()> duringQuery;

  int queries = 0;
  int saves = 0;
  int confirmations = 0;
  int refreshes = 0;
  std::vector<int> alerts;
  std::vector<std::pair<int, std::string>> logs;
  std::vector<std::pair<std::string, int>> probeCalls;
  // The changed marks as they stood at each save, as "label=address" texts.
  std::vector<std::vector<std::string>> savedRecords;

  MonitorServices Services() {
    MonitorServices services;
    services.sources.machineAddresses = [this] { return machine; };
    services.sources.queryUdp = [this](const AccountCredentials& credentials, platform::StopToken) {
      EXPECT_EQ(credentials.userName, "alice");
      if (duringQuery)
        duringQuery();
      const std::size_t index = static_cast<std::size_t>(queries++);
      return index < udpAnswers.size() ? udpAnswers[index] : udpAnswers.back();
    };
    services.sources.queryHttp = [](platform::StopToken) { return HttpAddressAnswer{}; };
    services.save = [this] {
      std::vector<std::string> marked;
      context.Read([&](const ClientState& state) {
        for (const auto& zone : state.zones) {
          if (!zone)
            continue;
          for (const auto& host : zone->hosts) {
            if (host.changed)
              marked.push_back(host.label.str() + "=" + host.address.str());
          }
        }
        return 0;
      });
      savedRecords.push_back(marked);
      const std::size_t index = static_cast<std::size_t>(saves++);
      return index < saveResults.size() ? saveResults[index] : saveResults.back();
    };
    services.startConfirmation = [this](ClientContext&) { ++confirmations; };
    services.appendLog = [this](int type, std::string_view message) {
      logs.emplace_back(type, std::string(message));
    };
    services.openProbe = [this]() -> std::unique_ptr<AddressProbe> {
      if (!probeUsable)
        return nullptr;
      return std::make_unique<FakeProbe>(probeAnswers, probeCalls);
    };
    services.autoDial = [this] { return autoDial; };
    services.alertSound = [this](int count) { alerts.push_back(count); };
    services.postStatusRefresh = [this] { ++refreshes; };
    services.loadText = [this](unsigned id) { return strings.Load(id); };
    return services;
  }

  // Runs the monitor through `cycles` one-minute waits.
  void Run(int cycles) {
    CycleClock clock(kMonitorIntervalMs, cycles, stop);
    platform::ScopedClockOverride useClock(clock);
    const MonitorServices services = Services();
    RunAddressMonitor(context, services, shared, context.BeginGeneration(), stop.Token());
  }

  std::string Status(int index) const { return context.StatusText(index); }
};

void FreeAccountWithDomains(Harness& harness) {
  LogIn(harness.context, "alice", "000ns.example.net-alice");
  AddZone(harness.context, 0, "example.net",
          {{"www", "1.1.1.1"}, {"ftp", "1.1.1.1", false}, {"", "9.9.9.9"}});
  AddZone(harness.context, 3, "example.org", {{"mail", "203.0.113.5"}});
}

TEST(AddressMonitor, WritesTheFirstAddressIntoEnabledRecordsAndSavesIt) {
  Harness harness;
  FreeAccountWithDomains(harness);
  harness.Run(1);

  ASSERT_EQ(harness.saves, 1);
  EXPECT_EQ(harness.savedRecords[0],
            (std::vector<std::string>{"www=203.0.113.5", "mail=203.0.113.5"}))
      << "every enabled record, also one that held the address already";
  EXPECT_EQ(Host(harness.context, "example.net", "www").address, "203.0.113.5");
  EXPECT_EQ(Host(harness.context, "example.net", "ftp").address, "1.1.1.1") << "disabled";
  EXPECT_FALSE(Host(harness.context, "example.net", "ftp").changed);
  EXPECT_FALSE(Host(harness.context, "example.net", "www").changed) << "cleared after the save";
  harness.context.Read([](const ClientState& state) {
    EXPECT_EQ(state.zones[0]->hosts[2].address, "9.9.9.9") << "a free record stays as it was";
    EXPECT_FALSE(state.zones[0]->hosts[2].changed);
    return 0;
  });

  EXPECT_EQ(harness.Status(kStatusUser), "alice");
  EXPECT_EQ(harness.Status(kStatusLine), "Address change saved");
  EXPECT_EQ(harness.Status(kStatusConnection), "Behind a router");
  EXPECT_EQ(harness.Status(kStatusAddress), "203.0.113.5");
  EXPECT_EQ(harness.logs, (std::vector<std::pair<int, std::string>>{{0, "IP Change"}}));
  EXPECT_EQ(harness.refreshes, 3) << "at the start, after the save and after the minute";
  EXPECT_EQ(harness.confirmations, 0) << "a free account is not confirmed";
  EXPECT_EQ(harness.shared.heartbeat.load(), kHeartbeatAlive);
}

TEST(AddressMonitor, ComparesOnlyTheShownAddress) {
  Harness harness;
  FreeAccountWithDomains(harness);
  harness.Run(3);
  EXPECT_EQ(harness.queries, 4) << "without the probe the servers are asked every minute";
  EXPECT_EQ(harness.saves, 1) << "the same address is not saved again";

  // A record changed meanwhile is not corrected while the shown address stays the same.
  Harness second;
  FreeAccountWithDomains(second);
  second.udpAnswers = {"203.0.113.5"};
  second.duringQuery = [&second] {
    if (second.queries == 1) {
      second.context.Edit([](ClientState& state) {
        FindHost(state, "example.net", "www")->address = "5.5.5.5";
        return 0;
      });
    }
  };
  second.Run(2);
  EXPECT_EQ(second.saves, 1);
  EXPECT_EQ(Host(second.context, "example.net", "www").address, "5.5.5.5");
}

TEST(AddressMonitor, RepeatsAFailedFreeAccountSaveEveryMinute) {
  Harness harness;
  FreeAccountWithDomains(harness);
  harness.saveResults = {false, false, true};
  harness.Run(3);

  ASSERT_EQ(harness.saves, 3) << "saved at the change and repeated at the next two minutes";
  EXPECT_EQ(harness.savedRecords[1], harness.savedRecords[0]) << "the same records each time";
  EXPECT_FALSE(Host(harness.context, "example.net", "www").changed) << "cleared once saved";
  EXPECT_EQ(harness.Status(kStatusLine), "Address change saved");
  EXPECT_EQ(harness.logs.size(), 1u) << "the change is logged once";

  Harness failing;
  FreeAccountWithDomains(failing);
  failing.saveResults = {false};
  failing.Run(2);
  EXPECT_EQ(failing.saves, 3);
  EXPECT_TRUE(Host(failing.context, "example.net", "www").changed)
      << "the marks stay while no save succeeded";
  EXPECT_EQ(failing.Status(kStatusLine), "") << "no claim of a saved change";
}

TEST(AddressMonitor, StartsTheConfirmationForAVipAccount) {
  Harness harness;
  FreeAccountWithDomains(harness);
  LogIn(harness.context, "alice", "010ns.example.net-alice");
  harness.saveResults = {false};
  harness.Run(2);
  EXPECT_EQ(harness.saves, 1) << "the confirmation repeats a VIP save, not the monitor";
  EXPECT_EQ(harness.confirmations, 1);
  EXPECT_TRUE(Host(harness.context, "example.net", "www").changed)
      << "the confirmation clears the marks";
}

TEST(AddressMonitor, ReportsAMissingAddressAndSavesAgainOnceItIsBack) {
  Harness harness;
  FreeAccountWithDomains(harness);
  harness.autoDial = true;
  harness.udpAnswers = {"203.0.113.5", "", "203.0.113.5"};
  harness.Run(2);

  EXPECT_EQ(harness.saves, 2) << "the first address after an outage counts as a change";
  EXPECT_EQ(harness.alerts, (std::vector<int>{3}));
  ASSERT_EQ(harness.logs.size(), 3u);
  EXPECT_EQ(harness.logs[1], (std::pair<int, std::string>{1, "No public address could be found"}));

  Harness outage;
  FreeAccountWithDomains(outage);
  outage.udpAnswers = {""};
  outage.Run(0);
  EXPECT_EQ(outage.Status(kStatusLine), "No public address found");
  EXPECT_EQ(outage.Status(kStatusAddress), "No address");
  EXPECT_TRUE(outage.alerts.empty()) << "no alert without the dial-up option";
  EXPECT_EQ(outage.saves, 0);
}

TEST(AddressMonitor, BehindARouterProbesTheLastAddressInsteadOfAsking) {
  Harness harness;
  FreeAccountWithDomains(harness);
  harness.probeUsable = true;
  harness.probeAnswers = {true, true, false, true, true};
  harness.Run(5);

  EXPECT_EQ(harness.queries, 2) << "asked at the start and after the unanswered probe";
  ASSERT_EQ(harness.probeCalls.size(), 5u);
  for (const auto& [address, ttl] : harness.probeCalls) {
    EXPECT_EQ(address, "203.0.113.5");
    EXPECT_EQ(ttl, 1);
  }

  // A machine that holds its public address asks itself every minute and never probes.
  Harness direct;
  FreeAccountWithDomains(direct);
  direct.probeUsable = true;
  direct.probeAnswers = {true};
  direct.machine = {{203, 0, 113, 5}};
  direct.Run(3);
  EXPECT_TRUE(direct.probeCalls.empty());
  EXPECT_EQ(direct.queries, 1) << "only the first question went to the servers";
  EXPECT_EQ(direct.Status(kStatusConnection), "Public address");
}

TEST(AddressMonitor, WaitsForAUserWithTheHeartbeatAlive) {
  Harness harness;
  harness.shared.heartbeat = kHeartbeatChecked;
  CycleClock clock(kUserWaitMs, 30, harness.stop);
  platform::ScopedClockOverride useClock(clock);
  const MonitorServices services = harness.Services();
  RunAddressMonitor(harness.context, services, harness.shared, harness.context.BeginGeneration(),
                    harness.stop.Token());
  EXPECT_EQ(clock.waits(), 31);
  EXPECT_EQ(harness.shared.heartbeat.load(), kHeartbeatAlive);
  EXPECT_EQ(harness.queries, 0);
  EXPECT_EQ(harness.Status(kStatusUser), "<未登录>") << "nothing written without a user";
}

TEST(AddressMonitor, AReplacedMonitorWritesNothing) {
  Harness harness;
  FreeAccountWithDomains(harness);
  // A newer monitor starts while this one's question is under way.
  harness.duringQuery = [&harness] { harness.context.BeginGeneration(); };
  harness.Run(5);
  EXPECT_EQ(harness.queries, 1) << "the replaced monitor ends";
  EXPECT_EQ(harness.saves, 0);
  EXPECT_TRUE(harness.logs.empty());
  EXPECT_EQ(harness.Status(kStatusAddress), "Checking...");
  EXPECT_EQ(Host(harness.context, "example.net", "www").address, "1.1.1.1");
}

}  // namespace
}  // namespace quorin::client
