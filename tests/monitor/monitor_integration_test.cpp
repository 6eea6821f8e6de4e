// The monitor against real servers: dnsmasq for the confirmation's DNS question, the provider
// simulator for the UDP address service and the login server. CTest's fixtures start them and
// pass their addresses in the environment; run alone, each test says what it misses.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "client/monitor/monitor_wiring.h"
#include "client/monitor/resolve_at_server.h"
#include "client/monitor/start_monitoring.h"
#include "client/monitor/udp_address_query.h"
#include "client/protocol/login.h"
#include "client/texts/client_texts.h"
#include "client/texts/reply_codes.h"
#include "platform/clock.h"
#include "platform/network.h"
#include "tests/client/protocol/test_settings.h"
#include "tests/monitor/test_environment.h"
#include "tests/support/driven_clock.h"
#include "tests/support/simulator_control.h"
#include "tests/support/wait_until.h"

namespace quorin::client {
namespace {

using namespace std::chrono_literals;
using quorin::testing::Setting;

using quorin::testing::DrivenClock;
using quorin::testing::WaitUntil;

struct DnsServer {
  std::string address;
  std::string hostsFile;
  std::string pidFile;

  static std::optional<DnsServer> FromEnvironment(const char* prefix) {
    const std::string p(prefix);
    const auto address = Setting((p + "_ADDRESS").c_str());
    const auto hosts = Setting((p + "_HOSTS").c_str());
    const auto pid = Setting((p + "_PID").c_str());
    if (!address || !hosts || !pid)
      return std::nullopt;
    return DnsServer{*address, *hosts, *pid};
  }

  void Publish(const std::string& lines) const {
    ASSERT_TRUE(quorin::testing::WriteHostsFile(hostsFile, lines));
    quorin::testing::ReloadDnsServer(pidFile);
  }

  // Asks until the server gives `expected` (a reload takes effect a moment later).
  bool Answers(const std::string& name, const std::string& expected) const {
    return WaitUntil([&] { return ResolveAtServer(address, name) == expected; });
  }
};

TEST(DnsServer, ResolveAtServerAsksTheGivenServerOnly) {
  const auto dns = DnsServer::FromEnvironment("QUORIN_DNS");
  if (!dns)
    GTEST_SKIP() << "needs the dnsmasq fixture (QUORIN_DNS_ADDRESS, _HOSTS, _PID)";
  platform::NetworkSession session;

  dns->Publish("198.51.100.7 www.example.test\n198.51.100.8 ftp.example.test\n");
  ASSERT_TRUE(dns->Answers("www.example.test", "198.51.100.7"));
  EXPECT_EQ(ResolveAtServer(dns->address, "ftp.example.test"), "198.51.100.8");
  EXPECT_EQ(ResolveAtServer(dns->address, "WWW.EXAMPLE.TEST"), "198.51.100.7");
  EXPECT_EQ(ResolveAtServer(dns->address, "nowhere.example.test"), "")
      << "no such name at this server";

  // A changed record is seen at once: nothing caches between the client and the server.
  dns->Publish("203.0.113.50 www.example.test\n");
  EXPECT_TRUE(dns->Answers("www.example.test", "203.0.113.50"));

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ResolveAtServer("127.0.0.70", "www.example.test", kDnsPort,
                            platform::SystemUdpNetwork(), DnsQueryTimeouts{1000ms, 400ms}),
            "")
      << "no server on that address";
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s) << "bounded by its own time-out";
}

struct Simulator {
  std::string host;
  std::uint16_t controlPort = 0;

  static std::optional<Simulator> FromEnvironment(const char* prefix) {
    const std::string p(prefix);
    const auto host = Setting((p + "_HOST").c_str());
    const auto control = Setting((p + "_CONTROL").c_str());
    if (!host || !control)
      return std::nullopt;
    return Simulator{*host, static_cast<std::uint16_t>(std::stoi(*control))};
  }

  quorin::testing::SimulatorControl Control() const { return {host, controlPort}; }
};

TEST(UdpService, AcceptsOnlyTheHostsOwnAddressReply) {
  const auto simulator = Simulator::FromEnvironment("QUORIN_SIM_UDP");
  if (!simulator)
    GTEST_SKIP() << "needs the simulator fixture (QUORIN_SIM_UDP_HOST, _CONTROL)";
  platform::NetworkSession session;
  auto control = simulator->Control();
  const AccountCredentials bob{"bob", "000127.0.0.72-bob", "R2"};
  ASSERT_NE(control.Call("POST", "/control/fault/clear", "{}"), "");
  ASSERT_NE(control.Call("POST", "/control/address", R"({"address": "203.0.113.77"})"), "");

  EXPECT_EQ(QueryPublicAddressUdp(bob, simulator->host), "203.0.113.77");
  const std::string records = control.Call("GET", "/control/records?since=0");
  EXPECT_NE(records.find("\"length\": 1024"), std::string::npos) << records.substr(0, 400);

  control.Call("POST", "/control/fault", R"({"server": "udp", "mode": "other_port"})");
  EXPECT_EQ(QueryPublicAddressUdp(bob, simulator->host), "") << "an answer from another port";

  control.Call("POST", "/control/fault", R"({"server": "udp", "mode": "other_address"})");
  EXPECT_EQ(QueryPublicAddressUdp(bob, simulator->host), "")
      << "an answer from another address, on the service's own port";

  control.Call("POST", "/control/fault", R"({"server": "udp", "mode": "text", "text": "hello"})");
  EXPECT_EQ(QueryPublicAddressUdp(bob, simulator->host), "") << "an answer that is no address";

  control.Call("POST", "/control/fault", R"({"server": "udp", "mode": "empty"})");
  EXPECT_EQ(QueryPublicAddressUdp(bob, simulator->host), "") << "an empty datagram";

  // The primary host answers too late; the secondary (here the same service, its fault used
  // up) answers at once.
  control.Call("POST", "/control/fault",
               R"({"server": "udp", "mode": "delay", "ms": 3500, "times": 1})");
  quorin::client::testing::TestSettings test;
  test.settings.WriteSetting("UpdateHostFree1", simulator->host);
  test.settings.WriteSetting("UpdateHostFree2", simulator->host);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(QueryPublicAddress(bob, test.settings), "203.0.113.77");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 2900ms) << "the primary had its 3000 ms";
  EXPECT_LT(took, 30s) << "and no more";
  control.Call("POST", "/control/fault/clear", "{}");
}

TEST(EndToEnd, SavesTheNewAddressAndConfirmsItAtTheAccountsDnsServer) {
  const auto simulator = Simulator::FromEnvironment("QUORIN_SIM_E2E");
  const auto dns = DnsServer::FromEnvironment("QUORIN_DNS_E2E");
  if (!simulator || !dns)
    GTEST_SKIP() << "needs the simulator and dnsmasq fixtures";
  platform::NetworkSession session;
  auto control = simulator->Control();
  dns->Publish("198.51.100.1 www.example.test\n198.51.100.1 ftp.example.test\n");
  ASSERT_TRUE(dns->Answers("www.example.test", "198.51.100.1"));

  quorin::client::testing::TestSettings test;
  for (const char* name :
       {"UpdateHostVip1", "UpdateHostVip2", "UpdateHostFree1", "UpdateHostFree2"}) {
    test.settings.WriteSetting(name, simulator->host);
  }
  SetDdnsHostName(simulator->host);
  BuiltinStringTable strings;
  ClientTexts texts;
  texts.Fill(strings);
  ReplyCodeTable replyCodes;
  replyCodes.Fill(strings);
  ClientContext context;
  RequestEnvironment environment{context, test.settings, texts, replyCodes};
  std::string message;
  ASSERT_TRUE(Login(environment, "alice", "pw", message)) << message;
  ASSERT_EQ(context.Key(), "010127.0.0.74-alice") << "a VIP account whose DNS server is dnsmasq";
  ASSERT_NE(control.Call("POST", "/control/address", R"({"address": "203.0.113.10"})"), "");

  // The test moves the client's minutes. The probe is left out: its echo would leave the
  // machine.
  DrivenClock clock;
  platform::ScopedClockOverride useClock(clock);
  ConfirmationRegistry confirmations;
  TaskReaper reaper;
  auto services =
      std::make_shared<MonitorServices>(*MakeMonitorServices(environment, strings, confirmations));
  services->openProbe = nullptr;
  services->sources.machineAddresses = [] { return std::vector<Ipv4Address>{}; };
  // The setting switches the system's announcements off: a change on the machine running the
  // test must not add a check that the test does not move itself.
  test.settings.WriteSetting("watchAddressChanges", "0");
  EXPECT_EQ(services->openChangeNotifier(), nullptr);
  test.settings.WriteSetting("checkAfterResume", "0");
  platform::ChangeSignal unused;
  EXPECT_EQ(services->openResumeWatcher(unused), nullptr);
  StartMonitoring(context, services, ProcessMonitorShared(), reaper);

  auto savedWith = [&](const std::string& text) {
    return control.Call("GET", "/control/saved").find(text) != std::string::npos;
  };
  // The first check runs at once; then the watchdog, the monitor and the confirmation wait.
  EXPECT_TRUE(WaitUntil([&] { return savedWith("www,203.0.113.10"); }))
      << control.Call("GET", "/control/saved");
  ASSERT_TRUE(clock.AwaitBlocked(3));
  EXPECT_EQ(context.StatusText(kStatusAddress), "203.0.113.10");
  EXPECT_TRUE(context.FindHost("example.test", "www")->changed);
  EXPECT_TRUE(confirmations.IsRunning(context));

  // A minute on, the DNS server still has the old address: the confirmation saves again.
  const std::size_t savesBefore = control.Call("GET", "/control/saved").size();
  clock.Advance(kConfirmIntervalMs);
  EXPECT_TRUE(
      WaitUntil([&] { return control.Call("GET", "/control/saved").size() > savesBefore; }));
  ASSERT_TRUE(clock.AwaitBlocked(3));
  EXPECT_TRUE(context.FindHost("example.test", "www")->changed)
      << "not confirmed while the DNS server still has the old address";

  dns->Publish("203.0.113.10 www.example.test\n203.0.113.10 ftp.example.test\n");
  ASSERT_TRUE(dns->Answers("www.example.test", "203.0.113.10"));
  clock.Advance(kConfirmIntervalMs);
  EXPECT_TRUE(WaitUntil([&] { return !confirmations.IsRunning(context); }))
      << "the confirmation ends once the server answers with the new address";
  EXPECT_FALSE(context.FindHost("example.test", "www")->changed);
  EXPECT_FALSE(context.FindHost("example.test", "ftp")->changed);

  // The next change is found at the next minute and saved again.
  ASSERT_TRUE(clock.AwaitBlocked(2));
  ASSERT_NE(control.Call("POST", "/control/address", R"({"address": "203.0.113.11"})"), "");
  clock.Advance(kMonitorIntervalMs);
  EXPECT_TRUE(WaitUntil([&] { return savedWith("www,203.0.113.11"); }));
  EXPECT_TRUE(WaitUntil([&] { return context.StatusText(kStatusAddress) == "203.0.113.11"; }));

  const auto stopStart = std::chrono::steady_clock::now();
  context.StopWatchdog();
  confirmations.StopAll();
  reaper.WaitForAll();
  EXPECT_LT(std::chrono::steady_clock::now() - stopStart, 15s);
}

// Wine takes the registration for address changes but never reports one: with the system's
// notifier, on by default, the monitor checks exactly once a minute. (Run under Wine only: a
// real machine may announce changes of its own at any moment.)
TEST(AddressWatch, WithNothingAnnouncedTheMonitorKeepsItsMinute) {
  quorin::client::testing::TestSettings test;
  BuiltinStringTable strings;
  ClientTexts texts;
  ReplyCodeTable replyCodes;
  ClientContext context;
  RequestEnvironment environment{context, test.settings, texts, replyCodes};
  MonitorServices services = *MakeMonitorServices(environment, strings);
  ASSERT_NE(services.openChangeNotifier(), nullptr) << "on by default, and the system takes it";

  // The machine holds its public address: every check after the first looks at it alone.
  DrivenClock clock;
  platform::ScopedClockOverride useClock(clock);
  std::mutex mutex;
  std::vector<std::int64_t> checks;
  services.sources.machineAddresses = [&] {
    std::lock_guard lock(mutex);
    checks.push_back(clock.NowMs());
    return std::vector<Ipv4Address>{*ParseInetAddr("203.0.113.5")};
  };
  services.sources.queryUdp = [](const AccountCredentials&, platform::StopToken) {
    return std::string("203.0.113.5");
  };
  services.save = [] { return true; };
  services.openProbe = nullptr;
  services.appendLog = nullptr;
  services.postStatusRefresh = nullptr;
  context.Edit([](ClientState& state) {
    state.userName = "alice";
    state.key = "000ns.example.net-alice";
  });
  MonitorShared shared;
  platform::StopSource stop;
  std::thread monitor([&] {
    RunAddressMonitor(context, services, shared, context.BeginGeneration(), stop.Token());
  });
  for (std::int64_t minute = 1; minute <= 4; ++minute) {
    const std::vector<std::int64_t> waitEnd{minute * kMonitorIntervalMs};
    if (!WaitUntil([&] { return clock.BlockedUntil() == waitEnd; }) || minute == 4)
      break;
    clock.Advance(kMonitorIntervalMs);
  }
  stop.RequestStop();
  monitor.join();
  EXPECT_EQ(checks, (std::vector<std::int64_t>{0, 60000, 120000, 180000}));
}

}  // namespace
}  // namespace quorin::client
