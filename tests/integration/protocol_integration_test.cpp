// The client's side of the login server protocol against the provider simulator: the real
// sockets, the real HTTP stack (libcurl natively, WinINet under Wine) and the simulator's
// recorded bytes. The simulators run on 127.0.0.41 (primary update host, start-up's host) and
// 127.0.0.42 (secondary update host); the CTest fixture starts them and names them in
// QUORIN_SIM_PRIMARY/_PORT and QUORIN_SIM_SECONDARY/_PORT.
#include <gtest/gtest.h>

#include "tests/support/temp_path.h"

#include <chrono>
#include <filesystem>
#include <memory>

#include "client/local/log_file.h"
#include "client/protocol/account_requests.h"
#include "client/protocol/login.h"
#include "client/texts/client_texts.h"
#include "client/texts/reply_codes.h"
#include "client/texts/string_table.h"
#include "common/text_tools.h"
#include "platform/memory_settings_store.h"
#include "tests/support/simulator_control.h"

namespace quorin::client {
namespace {

using namespace std::chrono_literals;
using quorin::testing::SimulatorControl;
using quorin::testing::SimulatorRecord;
using Clock = std::chrono::steady_clock;

class NoAutoStart : public platform::AutoStartEntry {
 public:
  std::optional<std::string> Read() override { return std::nullopt; }
  bool Write(std::string_view) override { return false; }
  bool Remove() override { return true; }
};

// The value of a header line in recorded request bytes (name without regard to case), with
// the blanks after the colon kept.
std::optional<std::string> HeaderValue(const std::string& request, std::string_view name) {
  std::size_t start = request.find("\r\n");
  while (start != std::string::npos && start + 2 < request.size()) {
    const std::size_t end = request.find("\r\n", start + 2);
    const std::string line = request.substr(start + 2, end - start - 2);
    if (line.empty())
      break;
    if (line.size() > name.size() && line[name.size()] == ':' &&
        EqualsIgnoreCase(line.substr(0, name.size()), name)) {
      return line.substr(name.size() + 1);
    }
    start = end;
  }
  return std::nullopt;
}

class ProtocolIntegration : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    primary_ = std::make_unique<SimulatorControl>(
        quorin::testing::SimulatorFromEnvironment("QUORIN_SIM_PRIMARY", "QUORIN_SIM_PRIMARY_PORT"));
    secondary_ = std::make_unique<SimulatorControl>(quorin::testing::SimulatorFromEnvironment(
        "QUORIN_SIM_SECONDARY", "QUORIN_SIM_SECONDARY_PORT"));
    accounts_ = primary_->Accounts();
  }
  static void TearDownTestSuite() {
    primary_.reset();
    secondary_.reset();
  }

  ProtocolIntegration() {
    BuiltinStringTable strings;
    texts_.Fill(strings);
    replyCodes_.Fill(strings);
    for (SimulatorControl* sim : {primary_.get(), secondary_.get()}) {
      sim->ClearFaults();
      sim->SetAccounts(accounts_);
      sim->SetAddress("{\"address\": null}");
    }
    settings_.EnsureSettingsKey();
    for (const char* name : {"UpdateHostFree1", "UpdateHostVip1"}) {
      settings_.WriteSetting(name, primary_->host());
    }
    for (const char* name : {"UpdateHostFree2", "UpdateHostVip2"}) {
      settings_.WriteSetting(name, secondary_->host());
    }
    settings_.SetLogEnabled(true);
    SetDdnsHostName(primary_->host());
    std::filesystem::remove_all(directory_);
    std::filesystem::create_directories(directory_);
    context_.Edit(
        [&](ClientState& state) { state.logFileName = (directory_ / "quorin.log").string(); });
    environment_.showMessage = [this](std::string_view text) { shown_.emplace_back(text); };
    since_ = primary_->LastSeq();
    secondSince_ = secondary_->LastSeq();
  }
  ~ProtocolIntegration() override {
    SetDdnsHostName("");
    context_.LogReader().reset();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  std::string Text(unsigned id) const { return BuiltinStringTable().Load(id); }
  std::optional<std::string> Stored(std::string_view name) {
    return store_.Read(platform::RootKey::LocalMachine, kSettingsKey, name);
  }
  std::vector<LogViewerItem> Log() { return LogViewerItems(context_, 1000); }

  void LoginOrFail(std::string_view user, std::string_view password) {
    std::string message;
    ASSERT_TRUE(Login(environment_, user, password, message)) << message;
  }

  // The request of `path` that the primary simulator received since the test began.
  SimulatorRecord RequestOf(std::string_view path, SimulatorControl* sim = nullptr) {
    sim = sim == nullptr ? primary_.get() : sim;
    const std::int64_t since = sim == primary_.get() ? since_ : secondSince_;
    for (int round = 0; round < 2; ++round) {
      for (const auto& record : sim->RecordsSince(since, 1, 3000)) {
        if (record.path == path)
          return record;
      }
    }
    ADD_FAILURE() << "no request of " << path << " was recorded";
    return SimulatorRecord();
  }

  static inline std::unique_ptr<SimulatorControl> primary_;
  static inline std::unique_ptr<SimulatorControl> secondary_;
  static inline std::string accounts_;

  platform::MemorySettingsStore store_;
  NoAutoStart autoStart_;
  Settings settings_{store_, autoStart_, ""};
  ClientTexts texts_;
  ReplyCodeTable replyCodes_;
  ClientContext context_;
  RequestEnvironment environment_{context_, settings_, texts_, replyCodes_};
  std::filesystem::path directory_ = quorin::testing::UniqueTempPath("quorin_protocol_integration");
  std::vector<std::string> shown_;
  std::int64_t since_ = 0;
  std::int64_t secondSince_ = 0;
};

TEST_F(ProtocolIntegration, LoginFillsKeyRandTextAndZones) {
  LoginOrFail("alice", "pw");
  const ClientState state = context_.Snapshot();
  EXPECT_EQ(state.userName, "alice");
  EXPECT_EQ(state.key, "000127.0.0.41-alice");
  EXPECT_EQ(state.randText, "R1");
  EXPECT_EQ(state.statusTexts[kStatusUser], "alice");
  ASSERT_TRUE(state.zones[0].has_value());
  EXPECT_EQ(state.zones[0]->zoneName, "example.net");
  EXPECT_EQ(state.zones[0]->hosts[0].label, "www");
  EXPECT_EQ(state.zones[0]->hosts[0].kind, 'A');
  EXPECT_EQ(state.zones[0]->hosts[1].label, "ftp");
  EXPECT_EQ(state.zones[0]->hosts[1].kind, '\0');
  EXPECT_FALSE(state.expired);
  EXPECT_EQ(Stored("LoginSvrIP"), "127.0.0.41");
  EXPECT_EQ(Stored("vu"), "0");
  const auto log = Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].message, Text(text_id::kLogLoggedIn));

  const auto records = primary_->RecordsSince(since_, 2);
  ASSERT_GE(records.size(), 2u);
  EXPECT_EQ(records[0].form, "none") << "the connectivity check carries no request";
  const SimulatorRecord login = RequestOf("/client_login.php");
  EXPECT_EQ(login.bytes.rfind(
                "GET /client_login.php?user_name=alice&passwd=pw&agent=windows& HTTP/1.", 0),
            0u)
      << login.bytes;
  // The client hands the stack the lines with their extra blanks; libcurl sends them as they
  // are, WinINet folds the blanks after the colon. The values must arrive either way.
  EXPECT_EQ(TrimText(HeaderValue(login.bytes, "Accept").value_or("")), "*/*");
  EXPECT_EQ(TrimText(HeaderValue(login.bytes, "User-Agent").value_or("")),
            "Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)");
  EXPECT_EQ(TrimText(HeaderValue(login.bytes, "Host").value_or("")), "127.0.0.41");
}

TEST_F(ProtocolIntegration, PasswordWithAmpersandPlusAndBlankLogsIn) {
  LoginOrFail("carol", "a&b+c d");
  EXPECT_EQ(context_.Key(), "010127.0.0.41-carol");
  EXPECT_EQ(Stored("vu"), "1") << "a VIP account";
  const SimulatorRecord login = RequestOf("/client_login.php");
  EXPECT_NE(login.bytes.find("user_name=carol&passwd=a%26b%2Bc%20d&agent=windows&"),
            std::string::npos)
      << login.bytes;
}

TEST_F(ProtocolIntegration, ExpiredAccountFailsAfterTheSuccessLine) {
  std::string message;
  EXPECT_FALSE(Login(environment_, "dora", "pw", message));
  EXPECT_EQ(message, Text(text_id::kAccountExpired));
  EXPECT_FALSE(context_.Snapshot().zones[0].has_value());
  const auto log = Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].message, Text(text_id::kLogLoggedIn));
}

TEST_F(ProtocolIntegration, LoginFaultsGiveTheirMessagesAndLogEntries) {
  environment_.loginTimeoutMs = 1500;
  struct Case {
    std::string fault;
    unsigned text;
  };
  const std::vector<Case> cases = {
      {R"("mode": "code", "code": "01")", text_id::kReply01},
      {R"("mode": "code", "code": "03")", text_id::kReply03},
      {R"("mode": "code", "code": "05")", text_id::kServerUnreachable},
      {R"("mode": "nonnumeric")", text_id::kServerUnreachable},
      {R"("mode": "empty")", text_id::kServerUnreachable},
      {R"("mode": "status", "status": 404)", text_id::kServerUnreachable},
      {R"("mode": "cut", "bytes": 10)", text_id::kServerUnreachable},
      {R"("mode": "close")", text_id::kServerUnreachable},
      {R"("mode": "delay", "ms": 2500)", text_id::kServerUnreachable},
  };
  std::size_t failures = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    for (SimulatorControl* sim : {primary_.get(), secondary_.get()}) {
      sim->SetFault(R"({"server": "login", "path": "/client_login.php", )" + c.fault + "}");
    }
    std::string message;
    EXPECT_FALSE(Login(environment_, "alice", "pw", message));
    EXPECT_EQ(message, Text(c.text));
    ++failures;
    const auto log = Log();
    ASSERT_EQ(log.size(), failures);
    EXPECT_EQ(log[0].message, message);
    EXPECT_EQ(log[0].image, 4) << "a failed request";
  }
  EXPECT_TRUE(context_.Key().empty());
}

TEST_F(ProtocolIntegration, SecondaryAnswersWhenThePrimaryDoesNot) {
  primary_->SetFault(R"({"server": "login", "path": "/client_login.php", "mode": "nonnumeric"})");
  LoginOrFail("alice", "pw");
  EXPECT_EQ(Stored("LoginSvrIP"), "127.0.0.42");
  const SimulatorRecord login = RequestOf("/client_login.php", secondary_.get());
  EXPECT_EQ(TrimText(HeaderValue(login.bytes, "Host").value_or("")), "127.0.0.42");
}

TEST_F(ProtocolIntegration, SilentPrimaryCostsTheFullLoginTimeOut) {
  // The real five seconds: a login server that takes the request and says nothing.
  primary_->SetFault(
      R"({"server": "login", "path": "/client_login.php", "mode": "silent", "hold_ms": 60000})");
  const auto started = Clock::now();
  LoginOrFail("alice", "pw");
  const auto took = Clock::now() - started;
  EXPECT_GE(took, 4500ms);
  EXPECT_LT(took, 30s) << "not the server's minute of silence";
  EXPECT_EQ(Stored("LoginSvrIP"), "127.0.0.42");
}

TEST_F(ProtocolIntegration, ADrippingPrimaryCostsNoMoreThanTheLoginTimeOut) {
  // One byte every 400 ms: each byte comes well within the time-out, the whole reply would
  // take about a minute. The login gives the primary its five seconds, then asks the
  // secondary.
  primary_->SetFault(
      R"({"server": "login", "path": "/client_login.php", "mode": "trickle", "interval_ms": 400})");
  const auto started = Clock::now();
  LoginOrFail("alice", "pw");
  const auto took = Clock::now() - started;
  EXPECT_GE(took, 4500ms);
  EXPECT_LT(took, 30s) << "not the minute the dripping reply would take";
  EXPECT_EQ(Stored("LoginSvrIP"), "127.0.0.42");
}

TEST_F(ProtocolIntegration, SilentServerFailsWithinTheExchangeTimeOut) {
  LoginOrFail("alice", "pw");
  environment_.connectionTimeouts.receive = 1500ms;
  primary_->SetFault(
      R"({"server": "login", "path": "/client_getDomainList.php", "mode": "silent", "hold_ms": 60000})");
  std::string message;
  const auto started = Clock::now();
  EXPECT_FALSE(GetDomainList(environment_, message));
  EXPECT_LT(Clock::now() - started, 30s) << "not the server's minute of silence";
  EXPECT_EQ(message, Text(text_id::kServerUnreachable));
  EXPECT_EQ(Log().front().message, message);
  EXPECT_EQ(Log().front().image, 4);
  EXPECT_TRUE(context_.FindHost("example.net", "www")) << "the domains survive the failure";
}

TEST_F(ProtocolIntegration, RequestFaultsGiveTheirMessages) {
  LoginOrFail("alice", "pw");
  std::string message;
  primary_->SetFault(
      R"({"server": "login", "path": "/client_getDomainList.php", "mode": "code", "code": "04"})");
  EXPECT_FALSE(GetDomainList(environment_, message));
  EXPECT_EQ(message, Text(text_id::kReply04));
  for (const char* mode : {R"("mode": "empty")", R"("mode": "close")", R"("mode": "reset")",
                           R"("mode": "status", "status": 404)"}) {
    SCOPED_TRACE(mode);
    primary_->SetFault(std::string(R"({"server": "login", "path": "/client_getDomainList.php", )") +
                       mode + "}");
    message.clear();
    EXPECT_FALSE(GetDomainList(environment_, message));
    EXPECT_EQ(message, Text(text_id::kServerUnreachable));
  }
  EXPECT_EQ(Log().size(), 6u) << "the login line and five failures";
  ASSERT_TRUE(context_.FindHost("example.net", "www"));

  context_.Edit([](ClientState& state) { state.zones[0]->hosts[0].changed = true; });
  primary_->SetFault(
      R"({"server": "login", "path": "/client_saveDomainList.php", "mode": "cut", "bytes": 10})");
  EXPECT_FALSE(SaveDomainChange(environment_, message, true, true));
  EXPECT_EQ(message, Text(text_id::kServerUnreachable));
  EXPECT_EQ(Log().size(), 6u) << "a reply without its header end writes no log entry";
  primary_->SetFault(
      R"({"server": "login", "path": "/client_saveDomainList.php", "mode": "code", "code": "02"})");
  EXPECT_FALSE(SaveDomainChange(environment_, message, true, true));
  EXPECT_EQ(message, Text(text_id::kReply02));
  EXPECT_EQ(Log().size(), 7u);

  primary_->SetFault(
      R"({"server": "login", "path": "/client_getIP.php", "mode": "code", "code": "01"})");
  std::string address;
  EXPECT_FALSE(QueryAddressHttp(environment_, address, message));
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0], Text(text_id::kReply01));

  primary_->SetFault(
      R"({"server": "login", "path": "/client_getUpgradeInfo.php", "mode": "status", "status": 404})");
  UpgradeInfo info;
  EXPECT_FALSE(GetUpgradeInfo(environment_, info, message));
  EXPECT_EQ(message, Text(text_id::kServerUnreachable));
}

TEST_F(ProtocolIntegration, RequestsGoOutByteForByte) {
  LoginOrFail("alice", "pw");
  const std::string session = "user_name=alice&key=000127.0.0.41-alice&randText=R1&";
  std::string message;

  ASSERT_TRUE(GetDomainList(environment_, message)) << message;
  EXPECT_EQ(RequestOf("/client_getDomainList.php").bytes,
            "GET  /client_getDomainList.php?" + session + "\n");

  context_.Edit([](ClientState& state) {
    state.zones[0]->hosts[0].address = "9.8.7.6";
    state.zones[0]->hosts[0].changed = true;
  });
  ASSERT_TRUE(SaveDomainChange(environment_, message, true, true)) << message;
  const std::string params = session + "domain=example.net,x,y|www,9.8.7.6,z,A&";
  EXPECT_EQ(RequestOf("/client_saveDomainList.php").bytes,
            "POST /client_saveDomainList.php HTTP/1.0\n"
            "Content-Type:application/x-www-form-urlencoded\n"
            "Content-Length:" +
                std::to_string(params.size()) + "\n\n" + params + "\n");

  primary_->SetAddress("203.0.113.7");
  std::string address;
  ASSERT_TRUE(QueryAddressHttp(environment_, address, message));
  EXPECT_EQ(address, "203.0.113.7");
  EXPECT_EQ(RequestOf("/client_getIP.php").bytes, "GET  /client_getIP.php?" + session + "\n");

  primary_->Call(
      "POST", "/control/upgrade",
      R"({"version": "4.3.0", "base": "http://127.0.0.41/u", "items": [["QuorinFree.exe", 1234], ["lang/uires.dll", 99]]})");
  settings_.SetCurrentVersion("ver4.2.0");
  UpgradeInfo info;
  ASSERT_TRUE(GetUpgradeInfo(environment_, info, message)) << message;
  EXPECT_EQ(info.text1, "4.3.0");
  EXPECT_EQ(info.baseLocation, "http://127.0.0.41/u");
  EXPECT_EQ(info.count, 2);
  EXPECT_EQ(info.items[1].name, "lang/uires.dll");
  EXPECT_EQ(info.items[1].value, 99);
  EXPECT_EQ(RequestOf("/client_getUpgradeInfo.php").bytes,
            "GET  "
            "/client_getUpgradeInfo.php?userVersion=ver4.2.0&userName=alice&key=000127.0.0.41-"
            "alice&randText=R1&\n");

  // The saved address comes back with the next list.
  ASSERT_TRUE(GetDomainList(environment_, message));
  EXPECT_EQ(context_.FindHost("example.net", "www")->address, "9.8.7.6");
}

TEST_F(ProtocolIntegration, TenZonesOfTwentyHostsRoundTrip) {
  LoginOrFail("big", "pw");
  ClientState state = context_.Snapshot();
  for (std::size_t z = 0; z < kMaxZones; ++z) {
    ASSERT_TRUE(state.zones[z].has_value()) << z;
    EXPECT_EQ(state.zones[z]->hosts[19].label, "host19") << z;
  }
  context_.Edit([](ClientState& edited) {
    for (std::size_t z = 0; z < kMaxZones; ++z) {
      for (std::size_t h = 0; h < kMaxHostsPerZone; ++h) {
        HostRecord& host = edited.zones[z]->hosts[h];
        host.address = "192.0." + std::to_string(z) + "." + std::to_string(h + 1);
        host.changed = true;
      }
    }
  });
  std::string message;
  ASSERT_TRUE(SaveDomainChange(environment_, message, true, true)) << message;
  context_.ClearChangedMarks();
  ASSERT_TRUE(GetDomainList(environment_, message)) << message;
  state = context_.Snapshot();
  std::size_t matching = 0;
  for (std::size_t z = 0; z < kMaxZones; ++z) {
    ASSERT_TRUE(state.zones[z].has_value());
    for (std::size_t h = 0; h < kMaxHostsPerZone; ++h) {
      const std::string expected = "192.0." + std::to_string(z) + "." + std::to_string(h + 1);
      if (state.zones[z]->hosts[h].address.str() == expected)
        ++matching;
    }
  }
  EXPECT_EQ(matching, 200u) << "every host of every zone came back";
}

}  // namespace
}  // namespace quorin::client
