#include "client/protocol/account_requests.h"

#include <gtest/gtest.h>

#include "tests/support/temp_path.h"

#include <filesystem>

#include "client/local/log_file.h"
#include "client/protocol/zone_list.h"
#include "fake_network.h"
#include "platform/system_text.h"
#include "test_settings.h"

namespace quorin::client {
namespace {

using namespace std::chrono_literals;

class AccountRequestsTest : public ::testing::Test {
 protected:
  AccountRequestsTest() {
    settings_.SetLogEnabled(true);
    SetDdnsHostName("10.0.0.1");
    environment_.connectionTimeouts.pause = 0ms;
    environment_.showMessage = [this](std::string_view text) { shown_.emplace_back(text); };
    std::filesystem::create_directories(directory_);
    const std::string logPath = (directory_ / "quorin.log").string();
    std::filesystem::remove(logPath);
    context_.Edit([&](ClientState& state) {
      state.logFileName = logPath;
      state.userName = "alice";
      state.key = "000k";
      state.randText = "R1";
    });
    AddZonesFromReply(context_, "example.net,x,y|www,1.2.3.4,z,A|ftp,1.2.3.4,z", settings_);
  }
  ~AccountRequestsTest() override {
    SetDdnsHostName("");
    context_.LogReader().reset();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  std::string Sent(std::size_t connection = 0) {
    return connection < connector_.logs.size() ? connector_.logs[connection]->sent : "";
  }
  std::vector<LogViewerItem> Log() { return LogViewerItems(context_, 1000); }
  std::string Text(unsigned id) { return texts_.Text(id); }

  testing::TestSettings test_;
  Settings& settings_ = test_.settings;
  testing::BuiltinTexts texts_;
  ClientContext context_;
  testing::FakeConnector connector_;
  testing::FakeHttpClient http_;
  RequestEnvironment environment_{context_,          settings_,  texts_.texts,
                                  texts_.replyCodes, connector_, http_};
  std::filesystem::path directory_ =
      quorin::testing::UniqueTempPath("quorin_account_requests_test");
  std::vector<std::string> shown_;
  std::string message_;
};

TEST_F(AccountRequestsTest, DomainListReplacesTheZonesOnlyOnSuccess) {
  connector_.Serve("10.0.0.1", "00fresh.net,a,b|mail,5.6.7.8,t,A");
  ASSERT_TRUE(GetDomainList(environment_, message_));
  EXPECT_EQ(Sent(), "GET  /client_getDomainList.php?user_name=alice&key=000k&randText=R1&\n");
  ClientState state = context_.Snapshot();
  EXPECT_EQ(state.zones[0]->zoneName, "fresh.net");
  EXPECT_FALSE(state.zones[1].has_value());

  connector_.Serve("10.0.0.1", "04");
  EXPECT_FALSE(GetDomainList(environment_, message_));
  EXPECT_EQ(message_, Text(text_id::kReply04));
  connector_.Serve("10.0.0.1", "");  // the server closed without a word
  EXPECT_FALSE(GetDomainList(environment_, message_));
  EXPECT_EQ(message_, Text(text_id::kServerUnreachable)) << "never an empty message";
  connector_.reachable.clear();
  EXPECT_FALSE(GetDomainList(environment_, message_));
  EXPECT_EQ(message_, Text(text_id::kServerUnreachable));
  state = context_.Snapshot();
  ASSERT_TRUE(state.zones[0].has_value()) << "a failed refresh keeps the user's domains";
  EXPECT_EQ(state.zones[0]->hosts[0].label, "mail");

  const auto log = Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].message, Text(text_id::kServerUnreachable));
  EXPECT_EQ(log[2].message, Text(text_id::kReply04));
}

TEST_F(AccountRequestsTest, DomainListCutAtTheReplyLimitKeepsTheZones) {
  // Ten zones of twenty hosts with long third fields: a list longer than the reply limit.
  // Read only up to the limit, its last zone would lose hosts and the rest of the text.
  std::string list = "00";
  for (int z = 0; z < 10; ++z) {
    if (z > 0)
      list += "#";
    list += "zone" + std::to_string(z) + ".example.net,a,b";
    for (int h = 0; h < 20; ++h)
      list += "|host" + std::to_string(h) + ",10.1.1.1," + std::string(320, 't') + ",A";
  }
  ASSERT_GT(list.size(), kMaxReplyBytes);
  context_.Edit([](ClientState& state) {
    SetStatusText(state, kStatusLine, "line");
    SetStatusText(state, kStatusAddress, "1.2.3.4");
    state.zones[0]->hosts[0].changed = true;
  });
  const ClientState before = context_.Snapshot();

  connector_.Serve("10.0.0.1", list);
  EXPECT_FALSE(GetDomainList(environment_, message_)) << "a cut reply is no reply";
  EXPECT_EQ(message_, Text(text_id::kServerUnreachable));
  const ClientState after = context_.Snapshot();
  ASSERT_TRUE(after.zones[0].has_value());
  EXPECT_EQ(after.zones[0]->zoneName, "example.net") << "the user's domains stay";
  EXPECT_EQ(after.zones[0]->hosts[1].label, "ftp");
  EXPECT_TRUE(after.zones[0]->hosts[0].changed) << "an unsaved change is not lost";
  EXPECT_FALSE(after.zones[1].has_value());
  for (std::size_t i = 0; i < kStatusTextCount; ++i)
    EXPECT_EQ(after.statusTexts[i].str(), before.statusTexts[i].str()) << "status text " << i;
  EXPECT_EQ(after.expired, before.expired);
  const auto log = Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].message, Text(text_id::kServerUnreachable));

  // The same list without its last zone fits, and replaces the zones.
  list.resize(list.rfind('#'));
  ASSERT_LE(list.size(), kMaxReplyBytes);
  connector_.Serve("10.0.0.1", list);
  ASSERT_TRUE(GetDomainList(environment_, message_)) << message_;
  EXPECT_EQ(context_.Snapshot().zones[8]->hosts[19].label, "host19");
  EXPECT_FALSE(context_.Snapshot().zones[9].has_value());
}

TEST_F(AccountRequestsTest, SaveSendsTheChangedRecordsAsAPost) {
  EXPECT_TRUE(SaveDomainChange(environment_, message_, true, true));
  EXPECT_TRUE(connector_.attempts.empty()) << "nothing changed, nothing sent";

  context_.Edit([](ClientState& state) {
    state.zones[0]->hosts[0].changed = true;
    state.zones[0]->hosts[0].address = "9.9.9.9";
  });
  EXPECT_TRUE(SaveDomainChange(environment_, message_, false, true));
  EXPECT_TRUE(connector_.attempts.empty()) << "switched off by the caller";

  connector_.Serve("10.0.0.1", "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n 00\r\n");
  ASSERT_TRUE(SaveDomainChange(environment_, message_, true, true)) << message_;
  const std::string params =
      "user_name=alice&key=000k&randText=R1&domain=example.net,x,y|www,9.9.9.9,z,A&";
  EXPECT_EQ(Sent(),
            "POST /client_saveDomainList.php HTTP/1.0\n"
            "Content-Type:application/x-www-form-urlencoded\n"
            "Content-Length:" +
                std::to_string(params.size()) + "\n\n" + params + "\n");
  EXPECT_TRUE(context_.FindHost("example.net", "www")->changed) << "the marks are the caller's";

  connector_.Serve("10.0.0.1", "00 but no header end");
  EXPECT_FALSE(SaveDomainChange(environment_, message_, true, true));
  EXPECT_EQ(message_, Text(text_id::kServerUnreachable));
  EXPECT_TRUE(Log().empty()) << "no log entry for a reply without a header end";

  connector_.Serve("10.0.0.1", "HTTP/1.0 200 OK\r\n\r\n02");
  EXPECT_FALSE(SaveDomainChange(environment_, message_, true, true));
  EXPECT_EQ(message_, Text(text_id::kReply02));
  EXPECT_EQ(Log().size(), 1u);

  connector_.reachable.clear();
  EXPECT_TRUE(SaveDomainChange(environment_, message_, true, false)) << "sent blind";
  EXPECT_FALSE(SaveDomainChange(environment_, message_, true, true));
}

// Runs where the system code page is 936 (the Wine run with LANG=zh_CN.UTF-8).
TEST_F(AccountRequestsTest, CodePage936ZoneTextsGoBackAsTheServerWroteThem) {
  if (platform::SystemTextFromUtf8("\xE5\xBC\xA0") != std::string("\xD5\xC5"))
    GTEST_SKIP() << "the system code page is not 936";
  context_.Edit([](ClientState& state) { state.userName = "\xE5\xBC\xA0\xE4\xB8\x89"; });
  // Zone texts 北京 (B1B1 BEA9) and 电信 (B5E7 D0C5), a host text 主机 (D6F7 BBFA).
  connector_.Serve("10.0.0.1",
                   "00fresh.net,\xB1\xB1\xBE\xA9,\xB5\xE7\xD0\xC5|mail,5.6.7.8,\xD6\xF7\xBB\xFA,A");
  ASSERT_TRUE(GetDomainList(environment_, message_)) << message_;
  EXPECT_EQ(Sent(),
            "GET  /client_getDomainList.php?user_name=%D5%C5%C8%FD&key=000k&randText=R1&\n");
  EXPECT_EQ(context_.Snapshot().zones[0]->zoneText2, "\xE5\x8C\x97\xE4\xBA\xAC") << "北京";

  context_.Edit([](ClientState& state) {
    state.zones[0]->hosts[0].changed = true;
    state.zones[0]->hosts[0].address = "9.9.9.9";
  });
  connector_.Serve("10.0.0.1", "HTTP/1.0 200 OK\r\n\r\n00\r\n");
  ASSERT_TRUE(SaveDomainChange(environment_, message_, true, true)) << message_;
  const std::string params =
      "user_name=%D5%C5%C8%FD&key=000k&randText=R1&domain=fresh.net,%B1%B1%BE%A9,"
      "%B5%E7%D0%C5|mail,9.9.9.9,%D6%F7%BB%FA,A&";
  EXPECT_NE(Sent(1).find("Content-Length:" + std::to_string(params.size()) + "\n\n" + params),
            std::string::npos)
      << Sent(1);
}

TEST_F(AccountRequestsTest, SaveOfManyRecordsGoesOutWhole) {
  std::string list;
  for (int z = 0; z < 10; ++z) {
    if (z > 0)
      list += "#";
    list += "zone" + std::to_string(z) + ".example.net,a,b";
    for (int h = 0; h < 20; ++h)
      list += "|host" + std::to_string(h) + ",10.1.1.1,t,A";
  }
  context_.FreeZones();
  AddZonesFromReply(context_, list, settings_);
  context_.Edit([](ClientState& state) {
    for (auto& zone : state.zones) {
      for (auto& host : zone->hosts)
        host.changed = true;
    }
  });
  connector_.Serve("10.0.0.1", "HTTP/1.0 200 OK\r\n\r\n00");
  ASSERT_TRUE(SaveDomainChange(environment_, message_, true, true));
  const std::string sent = Sent();
  std::size_t hosts = 0;
  for (std::size_t at = sent.find("|host"); at != std::string::npos;
       at = sent.find("|host", at + 1)) {
    ++hosts;
  }
  EXPECT_EQ(hosts, 200u) << "ten zones of twenty hosts, none cut";
  EXPECT_NE(sent.find("zone9.example.net,a,b|host0,10.1.1.1,t,A"), std::string::npos);
  EXPECT_EQ(sent.substr(sent.size() - 22), "|host19,10.1.1.1,t,A&\n");
  EXPECT_NE(sent.find("%23zone1.example.net"), std::string::npos) << "zone separators escaped";
}

TEST_F(AccountRequestsTest, AddressQuery) {
  connector_.Serve("10.0.0.1", "001.2.3.4");
  std::string address;
  ASSERT_TRUE(QueryAddressHttp(environment_, address, message_));
  EXPECT_EQ(address, "1.2.3.4");
  EXPECT_EQ(Sent(), "GET  /client_getIP.php?user_name=alice&key=000k&randText=R1&\n");

  connector_.Serve("10.0.0.1", "01");
  EXPECT_FALSE(QueryAddressHttp(environment_, address, message_));
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0], Text(text_id::kReply01));

  connector_.Serve("10.0.0.1", "<html>Bad Gateway</html>");
  EXPECT_FALSE(QueryAddressHttp(environment_, address, message_));
  ASSERT_EQ(shown_.size(), 2u);
  EXPECT_EQ(shown_[1], Text(text_id::kServerUnreachable)) << "never an empty message box";

  connector_.reachable.clear();
  message_.clear();
  EXPECT_FALSE(QueryAddressHttp(environment_, address, message_));
  EXPECT_EQ(message_, "") << "an unreachable server is not the user's business here";
  EXPECT_EQ(shown_.size(), 2u);
  EXPECT_TRUE(Log().empty());
}

TEST_F(AccountRequestsTest, UpgradeInfoCarriesTheVersion) {
  settings_.SetCurrentVersion("ver4.2.1");
  connector_.Serve("10.0.0.1", "004.3|http://h/u|QuorinFree.exe,1234");
  UpgradeInfo info;
  ASSERT_TRUE(GetUpgradeInfo(environment_, info, message_));
  EXPECT_EQ(Sent(),
            "GET  /client_getUpgradeInfo.php?userVersion=ver4.2.1&userName=alice&key=000k&"
            "randText=R1&\n");
  EXPECT_EQ(info.text1, "4.3");
  EXPECT_EQ(info.items[0].value, 1234);

  connector_.Serve("10.0.0.1", "99");
  EXPECT_FALSE(GetUpgradeInfo(environment_, info, message_));
  EXPECT_EQ(message_, Text(text_id::kReply99));
  connector_.reachable.clear();
  EXPECT_FALSE(GetUpgradeInfo(environment_, info, message_));
  EXPECT_EQ(message_, Text(text_id::kServerUnreachable));
  EXPECT_EQ(Log().size(), 2u);
}

}  // namespace
}  // namespace quorin::client
