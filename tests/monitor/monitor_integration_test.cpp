// The monitor against real servers: dnsmasq for the confirmation's DNS question, the provider
// simulator for the UDP address service and the login server. CTest's fixtures start them and
// pass their addresses in the environment; run alone, each test says what it misses.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "client/monitor/monitor_wiring.h"
#include "client/monitor/resolve_at_server.h"
#include "client/monitor/router_datagram.h"
#include "client/monitor/router_watcher.h"
#include "client/monitor/start_monitoring.h"
#include "client/monitor/udp_address_query.h"
#include "client/protocol/login.h"
#include "client/texts/client_texts.h"
#include "client/texts/reply_codes.h"
#include "platform/clock.h"
#include "platform/network.h"
#include "platform/router_link.h"
#include "tests/client/protocol/test_settings.h"
#include "tests/monitor/test_environment.h"
#include "tests/support/driven_clock.h"
#include "tests/support/mini_json.h"
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

// The system's router link and the router watcher against the simulator's home router, each
// on a side of a LAN between two network namespaces (tests/monitor/router_sim_netns.sh). The
// program's default route leads to the router's gateway address; a second address on the LAN
// plays a neighbour that is not the gateway.
struct SimulatedRouter {
  Ipv4Address gateway{};
  Ipv4Address neighbour{};
  quorin::testing::SimulatorControl control;

  static std::optional<SimulatedRouter> FromEnvironment() {
    const auto gateway = Setting("QUORIN_ROUTER_GATEWAY");
    const auto port = Setting("QUORIN_ROUTER_CONTROL");
    const auto neighbour = Setting("QUORIN_ROUTER_NEIGHBOUR");
    if (!gateway || !port || !neighbour || !ParseInetAddr(*gateway) || !ParseInetAddr(*neighbour))
      return std::nullopt;
    return SimulatedRouter{*ParseInetAddr(*gateway),
                           *ParseInetAddr(*neighbour),
                           {*gateway, static_cast<std::uint16_t>(std::stoi(*port))}};
  }

  // Applies a control document ("natpmp", "wan", "announce") to the router.
  void Change(std::string_view json) { control.Call("POST", "/control/router", json); }

  // How many of `what` the router has answered or sent so far.
  int Count(const std::string& what) {
    const auto state = quorin::testing::ParseJson(control.Call("GET", "/control/router"));
    return state ? static_cast<int>((*state)["counts"][what].number) : -1;
  }
};

// What the watcher's announcement listener handed it: the test learns that the watcher has
// judged a datagram (it listens again afterwards), so that "it did not wake" is checked after
// the fact rather than after a guessed time.
class ListenerLog {
 public:
  void Started() {
    std::lock_guard lock(mutex_);
    ++receives_;
  }
  void Returned(const platform::UdpReceive& got) {
    std::lock_guard lock(mutex_);
    if (got.status == platform::UdpReceiveStatus::kDatagram)
      heard_.emplace_back(got.datagram.sender, receives_);
  }
  void Forget() {
    std::lock_guard lock(mutex_);
    heard_.clear();
  }
  // True once a datagram from another host than `gateway` came and the watcher listened again.
  bool JudgedOneNotFrom(const Ipv4Address& gateway) {
    std::lock_guard lock(mutex_);
    return std::any_of(heard_.begin(), heard_.end(), [&](const auto& heard) {
      return heard.first != gateway && receives_ > heard.second;
    });
  }

 private:
  std::mutex mutex_;
  int receives_ = 0;
  std::vector<std::pair<Ipv4Address, int>> heard_;  // sender, and the receive that returned it
};

class LoggedSocket : public platform::UdpSocket {
 public:
  LoggedSocket(std::unique_ptr<platform::UdpSocket> inner, ListenerLog& log)
      : inner_(std::move(inner)), log_(log) {}
  bool SendTo(const Ipv4Address& address, std::uint16_t port, std::string_view bytes) override {
    return inner_->SendTo(address, port, bytes);
  }
  platform::UdpReceive Receive(std::size_t maxBytes, std::chrono::milliseconds timeout) override {
    log_.Started();
    platform::UdpReceive got = inner_->Receive(maxBytes, timeout);
    log_.Returned(got);
    return got;
  }
  std::uint16_t LocalPort() const override { return inner_->LocalPort(); }

 private:
  const std::unique_ptr<platform::UdpSocket> inner_;
  ListenerLog& log_;
};

// The system's link, its announcement listener logged.
class LoggedLink : public platform::RouterLink {
 public:
  LoggedLink(std::unique_ptr<platform::RouterLink> inner, ListenerLog& log)
      : inner_(std::move(inner)), log_(log) {}
  std::optional<platform::DefaultRoute> FindDefaultRoute() override {
    return inner_->FindDefaultRoute();
  }
  std::unique_ptr<platform::UdpSocket> OpenMulticastListener(const Ipv4Address& group,
                                                             std::uint16_t port,
                                                             unsigned interfaceIndex) override {
    auto socket = inner_->OpenMulticastListener(group, port, interfaceIndex);
    return socket ? std::make_unique<LoggedSocket>(std::move(socket), log_) : nullptr;
  }
  std::unique_ptr<platform::UdpSocket> OpenSocket() override { return inner_->OpenSocket(); }
  std::optional<Ipv4Address> AskIgdExternalAddress(const platform::DefaultRoute& route) override {
    return inner_->AskIgdExternalAddress(route);
  }

 private:
  const std::unique_ptr<platform::RouterLink> inner_;
  ListenerLog& log_;
};

platform::ChangeWaitEnd AwaitWake(platform::ChangeSignal& wake) {
  platform::StopSource never;
  return wake.WaitFor(platform::SystemClock(),
                      std::chrono::milliseconds(quorin::testing::kPatience).count(), never.Token());
}

TEST(RouterLink, TheGatewaysAnnouncementsWakeTheWatcherAndANeighboursDoNot) {
  auto router = SimulatedRouter::FromEnvironment();
  if (!router)
    GTEST_SKIP() << "needs the simulated router (tests/monitor/router_sim_netns.sh)";
  platform::NetworkSession session;
  auto link = platform::OpenRouterLink();
  if (!link)
    GTEST_SKIP() << "this platform has no router link";
  router->Change(R"({"natpmp": true, "wan": "11.4.0.2", "announce": []})");
  const auto route = link->FindDefaultRoute();
  ASSERT_TRUE(route);
  EXPECT_EQ(FormatIpv4(route->gateway), FormatIpv4(router->gateway));

  // The watcher's clock stands still, so its next question never comes: only an announcement
  // can wake it. Its first question is answered with the address the monitor knows.
  DrivenClock clock;
  platform::ScopedClockOverride useClock(clock);
  KnownAddress known;
  known.Set("11.4.0.2");
  platform::ChangeSignal wake;
  ListenerLog heard;
  const int answered = router->Count("natpmp_answers");
  RouterWatcher watcher(std::make_unique<LoggedLink>(std::move(link), heard), wake, known, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return router->Count("natpmp_answers") > answered; }));

  router->Change(R"({"wan": "11.5.0.2"})");
  EXPECT_EQ(AwaitWake(wake), platform::ChangeWaitEnd::kSignalled)
      << "the gateway's NAT-PMP announcement of a new address";
  wake.Take();

  // A neighbour announces yet another address to the LAN: it is not the gateway. (Wine binds
  // a datagram socket to the interface of the address given, as Windows does to hear
  // broadcasts, so under Wine the datagram leaves with the LAN's first address, the program's
  // own: not the gateway either.)
  const auto neighbour = platform::BindUdpSocket(router->neighbour, 0);
  ASSERT_NE(neighbour, nullptr);
  std::string announcement("\0\x80\0\0\0\0\0\x07", 8);
  announcement += std::string{11, 6, 0, 2};
  heard.Forget();
  ASSERT_TRUE(neighbour->SendTo({224, 0, 0, 1}, kRouterAnnouncementPort, announcement));
  ASSERT_TRUE(WaitUntil([&] { return heard.JudgedOneNotFrom(router->gateway); }))
      << "the watcher's listener hears the LAN";
  EXPECT_FALSE(wake.IsSet()) << "a neighbour's announcement";

  // A change that the router tells only through PCP's ANNOUNCE, which names no address: the
  // watcher asks and learns it.
  router->Change(R"({"wan": "11.7.0.2", "announce": ["pcp"]})");
  EXPECT_EQ(AwaitWake(wake), platform::ChangeWaitEnd::kSignalled)
      << "PCP's ANNOUNCE, then the question";
}

TEST(RouterLink, WithoutNatPmpTheGatewaysIgdReportsItsAddress) {
  auto router = SimulatedRouter::FromEnvironment();
  if (!router)
    GTEST_SKIP() << "needs the simulated router (tests/monitor/router_sim_netns.sh)";
  platform::NetworkSession session;
  const auto link = platform::OpenRouterLink();
  if (!link)
    GTEST_SKIP() << "this platform has no router link";
  router->Change(R"({"natpmp": false, "wan": "11.8.0.2", "announce": []})");
  const auto route = link->FindDefaultRoute();
  ASSERT_TRUE(route);

  EXPECT_EQ(link->AskIgdExternalAddress(*route), ParseInetAddr("11.8.0.2"));
  const int described = router->Count("descriptions");
  router->Change(R"({"wan": "11.9.0.2"})");
  EXPECT_EQ(link->AskIgdExternalAddress(*route), ParseInetAddr("11.9.0.2"));
  EXPECT_EQ(router->Count("descriptions"), described) << "the service found first is kept";
  router->Change(R"({"natpmp": true})");
}

}  // namespace
}  // namespace quorin::client
