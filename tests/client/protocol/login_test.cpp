#include "client/protocol/login.h"

#include <gtest/gtest.h>

#include "platform/system_text.h"
#include "tests/support/temp_path.h"

#include <filesystem>

#include "client/local/log_file.h"
#include "fake_network.h"
#include "test_settings.h"

namespace quorin::client {
namespace {

using testing::FakeAnswer;
using namespace std::chrono_literals;

TEST(ReplyHasCode, NeedsTwoLeadingDigits) {
  EXPECT_TRUE(ReplyHasCode("00"));
  EXPECT_TRUE(ReplyHasCode("99rest"));
  EXPECT_FALSE(ReplyHasCode("0"));
  EXPECT_FALSE(ReplyHasCode(""));
  EXPECT_FALSE(ReplyHasCode("0a"));
  EXPECT_FALSE(ReplyHasCode(" 00"));
  EXPECT_FALSE(ReplyHasCode("<html>"));
}

TEST(ParseLoginValues, LastValueWinsNamesIgnoreCaseAndWidthsHold) {
  LoginValues values = ParseLoginValues("key=A&key=B&randText=R1&other=x%zones");
  EXPECT_EQ(values.key, "B");
  EXPECT_EQ(values.randText, "R1");
  values = ParseLoginValues("KEY=A&RANDTEXT=r2");
  EXPECT_EQ(values.key, "A");
  EXPECT_EQ(values.randText, "r2");
  values = ParseLoginValues("key=" + std::string(60, 'k') + "&randText=0123456789abc");
  EXPECT_EQ(values.key, std::string(49, 'k'));
  EXPECT_EQ(values.randText, "012345678");
  values = ParseLoginValues("key&=v&randText=");
  EXPECT_EQ(values.key, "");
  EXPECT_EQ(values.randText, "");
  EXPECT_EQ(ParseLoginValues("").key, "");
}

TEST(LoginPath, KeepsOrdinaryCredentialsAndEncodesTheRest) {
  EXPECT_EQ(LoginPath("alice", "pw"), "/client_login.php?user_name=alice&passwd=pw&agent=windows&");
  EXPECT_EQ(LoginPath("bob smith", "a&b+c d"),
            "/client_login.php?user_name=bob%20smith&passwd=a%26b%2Bc%20d&agent=windows&");
}

class LoginTest : public ::testing::Test {
 protected:
  LoginTest() {
    settings_.WriteSetting("UpdateHostFree1", "10.0.0.1");
    settings_.WriteSetting("UpdateHostFree2", "10.0.0.2");
    settings_.WriteSetting("UpdateHostVip1", "10.0.1.1");
    settings_.SetLogEnabled(true);
    SetDdnsHostName("10.0.0.1");
    connector_.Serve("10.0.0.1", "");
    environment_.connectionTimeouts.pause = 0ms;
    std::filesystem::create_directories(directory_);
    logPath_ = (directory_ / "quorin.log").string();
    std::filesystem::remove(logPath_);
    context_.Edit([&](ClientState& state) { state.logFileName = logPath_; });
  }
  ~LoginTest() override {
    SetDdnsHostName("");
    context_.LogReader().reset();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  std::vector<LogViewerItem> Log() { return LogViewerItems(context_, 1000); }
  std::string Text(unsigned id) { return texts_.Text(id); }
  void Answer(const std::string& server, std::string body, int status = 200) {
    http_.answers["http://" + server + ":5353"] = FakeAnswer{status, std::move(body)};
  }

  testing::TestSettings test_;
  Settings& settings_ = test_.settings;
  testing::BuiltinTexts texts_;
  ClientContext context_;
  testing::FakeConnector connector_;
  testing::FakeHttpClient http_;
  RequestEnvironment environment_{context_,          settings_,  texts_.texts,
                                  texts_.replyCodes, connector_, http_};
  std::filesystem::path directory_ = quorin::testing::UniqueTempPath("quorin_login_test");
  std::string logPath_;
  std::string message_;
};

TEST_F(LoginTest, SuccessFillsTheRecordAndTheSettings) {
  Answer("10.0.0.1", "00key=111ns.example.net-x&randText=R1&%example.net,x,y|www,1.2.3.4,z,A\r\n");
  ASSERT_TRUE(Login(environment_, "alice", "pw", message_)) << message_;
  const ClientState state = context_.Snapshot();
  EXPECT_EQ(state.userName, "alice");
  EXPECT_EQ(state.password, "pw");
  EXPECT_EQ(state.key, "111ns.example.net-x");
  EXPECT_EQ(state.randText, "R1");
  EXPECT_EQ(state.statusTexts[kStatusUser], "alice");
  ASSERT_TRUE(state.zones[0]);
  EXPECT_EQ(state.zones[0]->hosts[0].label, "www");
  EXPECT_FALSE(state.expired);
  EXPECT_EQ(test_.Stored("vu"), "1") << "key character 1 is not '0': a VIP account";
  EXPECT_EQ(test_.Stored("LoginSvrIP"), "10.0.0.1");
  ASSERT_EQ(http_.requests.size(), 1u);
  EXPECT_EQ(http_.requests[0].url,
            "http://10.0.0.1:5353/client_login.php?user_name=alice&passwd=pw&agent=windows&");
  EXPECT_NE(http_.requests[0].extraHeaders.find("Host:   10.0.0.1\r\n"), std::string::npos);
  EXPECT_EQ(http_.requests[0].openTimeout, 5000ms);
  const auto log = Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].message, Text(text_id::kLogLoggedIn));
  EXPECT_EQ(log[0].image, 2);
}

TEST_F(LoginTest, RotationAddsTheRememberedServerOnlyWhenItIsAnAddress) {
  Answer("10.0.0.1", "busy");
  Answer("10.0.0.2", "nope");
  settings_.SetLoginServerAddress("ddns.example");
  EXPECT_FALSE(Login(environment_, "alice", "pw", message_));
  EXPECT_EQ(http_.requests.size(), 2u) << "a name is not a remembered address";
  EXPECT_EQ(message_, Text(text_id::kServerUnreachable));
  EXPECT_EQ(test_.Stored("LoginSvrIP"), "10.0.0.2") << "written even after a failure";

  http_.requests.clear();
  settings_.SetLoginServerAddress("10.0.0.9");
  Answer("10.0.0.9", "00key=000x&randText=R&%a.net,,|www,1.1.1.1,,A");
  EXPECT_TRUE(Login(environment_, "alice", "pw", message_));
  ASSERT_EQ(http_.requests.size(), 3u);
  EXPECT_EQ(http_.requests[2].url.rfind("http://10.0.0.9:5353/", 0), 0u);
  EXPECT_NE(http_.requests[2].extraHeaders.find("Host:   10.0.0.1\r\n"), std::string::npos)
      << "the remembered server is asked with the primary host's name";
  EXPECT_EQ(test_.Stored("vu"), "0") << "a free account";
  EXPECT_EQ(test_.Stored("LoginSvrIP"), "10.0.0.9");
}

TEST_F(LoginTest, SecondaryAnswersWhenThePrimaryDoesNot) {
  settings_.WriteSetting("UpdateHostFree2", "second.example");
  connector_.names["second.example"] = "10.0.0.2";
  Answer("10.0.0.1", "<html>maintenance</html>");
  Answer("second.example", "00key=000&randText=R&%a.net,,|www,1.1.1.1,,A");
  ASSERT_TRUE(Login(environment_, "alice", "pw", message_));
  EXPECT_EQ(test_.Stored("LoginSvrIP"), "10.0.0.2") << "the name is stored as its address";
}

TEST_F(LoginTest, FailuresGiveTheirMessagesAndLogEntries) {
  connector_.reachable.clear();
  EXPECT_FALSE(Login(environment_, "alice", "pw", message_));
  EXPECT_EQ(message_, Text(text_id::kServerUnreachable));
  EXPECT_TRUE(http_.requests.empty()) << "no login without a reachable host";
  connector_.Serve("10.0.0.1", "");

  Answer("10.0.0.1", "03");
  EXPECT_FALSE(Login(environment_, "alice", "pw", message_));
  EXPECT_EQ(message_, Text(text_id::kReply03));
  Answer("10.0.0.1", "05whatever");
  message_.clear();
  EXPECT_FALSE(Login(environment_, "alice", "pw", message_));
  EXPECT_EQ(message_, Text(text_id::kServerUnreachable)) << "a code the table lacks";
  Answer("10.0.0.1", "", 404);
  EXPECT_FALSE(Login(environment_, "alice", "pw", message_));

  const auto log = Log();
  ASSERT_EQ(log.size(), 4u);
  for (const auto& item : log)
    EXPECT_EQ(item.image, 4);
  EXPECT_EQ(log[2].message, Text(text_id::kReply03));
  const ClientState state = context_.Snapshot();
  EXPECT_TRUE(state.key.empty()) << "a failed login leaves the record as it was";
  EXPECT_TRUE(state.userName.empty());
}

// Runs where the system code page is 936 (the Wine run with LANG=zh_CN.UTF-8): the name goes
// out as GBK, the zone texts come back from GBK, a name outside the code page is refused.
TEST_F(LoginTest, CodePage936NameAndZoneTextsCrossTheWireAsGbk) {
  if (platform::SystemTextFromUtf8("\xE5\xBC\xA0") != std::string("\xD5\xC5"))
    GTEST_SKIP() << "the system code page is not 936";
  const std::string zhangSan = "\xE5\xBC\xA0\xE4\xB8\x89";  // 张三, D5C5 C8FD in GBK
  // The zone's second text 北京 is B1B1 BEA9 in GBK.
  Answer("10.0.0.1", "00key=K1&randText=R1&%example.net,\xB1\xB1\xBE\xA9,y|www,1.2.3.4,");
  ASSERT_TRUE(Login(environment_, zhangSan, "pw", message_)) << message_;
  ASSERT_FALSE(http_.requests.empty());
  EXPECT_NE(http_.requests.back().url.find("user_name=%D5%C5%C8%FD&"), std::string::npos)
      << http_.requests.back().url;
  const ClientState state = context_.Snapshot();
  EXPECT_EQ(state.userName, zhangSan);
  ASSERT_TRUE(state.zones[0]);
  EXPECT_EQ(state.zones[0]->zoneText2, "\xE5\x8C\x97\xE4\xBA\xAC") << "北京 read from GBK";

  // Fourteen two-byte characters fill the 29-byte name; the fifteenth is cut whole.
  std::string longName;
  for (int i = 0; i < 15; ++i)
    longName += "\xE5\xBC\xA0";
  ASSERT_TRUE(Login(environment_, longName, "pw", message_)) << message_;
  EXPECT_EQ(context_.Snapshot().userName.size(), 14u * 3);

  // Hangul is outside code page 936: refused before anything is sent or stored.
  const std::size_t sent = http_.requests.size();
  EXPECT_FALSE(Login(environment_, "\xED\x95\x9C", "pw", message_));
  EXPECT_EQ(message_, kUnrepresentableAccountMessage);
  EXPECT_EQ(http_.requests.size(), sent);
  EXPECT_EQ(context_.Snapshot().userName.size(), 14u * 3) << "the record keeps the last login";
}

TEST_F(LoginTest, ExpiredAccountsFailAfterTheSuccessLine) {
  Answer("10.0.0.1", "00key=K1&randText=R1&%example.net,x,y|expired,0.0.0.0,");
  EXPECT_FALSE(Login(environment_, "alice", "pw", message_));
  EXPECT_EQ(message_, Text(text_id::kAccountExpired));
  ClientState state = context_.Snapshot();
  EXPECT_FALSE(state.zones[0].has_value()) << "no zones are left";
  EXPECT_EQ(state.key, "K1");
  auto log = Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].message, Text(text_id::kLogLoggedIn));

  Answer("10.0.0.1", "00key=K1&randText=R1&");  // no '%': the values read as one empty zone
  EXPECT_FALSE(Login(environment_, "alice", "pw", message_));
  EXPECT_EQ(message_, Text(text_id::kAccountExpired));

  Answer("10.0.0.1", "00key=K1&randText=R1&%example.net,x,y|expired,0.0.0.0,|www,1.1.1.1,,A");
  EXPECT_TRUE(Login(environment_, "alice", "pw", message_));
}

TEST_F(LoginTest, LogoutDropsTheSessionButKeepsTheUser) {
  Answer("10.0.0.1", "00key=K1&randText=R1&%example.net,x,y|www,1.1.1.1,,A");
  ASSERT_TRUE(Login(environment_, "alice", "pw", message_));
  Logout(environment_);
  ClientState state = context_.Snapshot();
  EXPECT_TRUE(state.expired);
  EXPECT_TRUE(state.key.empty());
  EXPECT_TRUE(state.randText.empty());
  EXPECT_FALSE(state.zones[0].has_value());
  EXPECT_EQ(state.userName, "alice");
  EXPECT_EQ(state.password, "pw");
  EXPECT_EQ(state.statusTexts[kStatusUser], "<未登录>");
  EXPECT_EQ(Log().front().message, Text(text_id::kLogLoggedOut));

  // The next login starts from the expired mark again.
  Answer("10.0.0.1", "00key=K1&randText=R1&%example.net,x,y");
  EXPECT_FALSE(Login(environment_, "alice", "pw", message_));
  EXPECT_EQ(message_, Text(text_id::kAccountExpired));
}

}  // namespace
}  // namespace quorin::client
