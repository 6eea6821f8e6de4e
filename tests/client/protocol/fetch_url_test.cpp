#include "client/protocol/fetch_url.h"

#include <gtest/gtest.h>

#include "tests/support/temp_path.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "client/protocol/server_rotation.h"
#include "fake_network.h"

namespace quorin::client {
namespace {

using testing::FakeAnswer;
using testing::FakeHttpClient;
using namespace std::chrono_literals;

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST(FetchUrl, SendsTheAgentAndTheExactHeaderLines) {
  FakeHttpClient http;
  http.answers["http://h"] = FakeAnswer{200, "00ok"};
  EXPECT_EQ(FetchUrl("http://h:5353/p", 5000, "ddns1.example", "", http), "00ok");
  ASSERT_EQ(http.requests.size(), 1u);
  const auto& request = http.requests[0];
  EXPECT_EQ(request.url, "http://h:5353/p");
  EXPECT_EQ(request.userAgent, "HttpClient");
  EXPECT_EQ(request.extraHeaders,
            "Accept: */*\r\nUser-Agent:  Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
            "Host:   ddns1.example\r\n");
  EXPECT_EQ(request.openTimeout, 5000ms);

  EXPECT_EQ(FetchUrl("http://h:5353/p", 100, "", "", http), "00ok");
  EXPECT_EQ(http.requests[1].extraHeaders, "") << "no host name, no extra lines";
  EXPECT_EQ(FetchHeaderLines("evil\r\nX-Injected: 1"),
            std::string(kFetchAcceptAndAgentLines) + "Host:   evil\r\n");

  EXPECT_EQ(FetchUrl("", 100, "h", "", http), "");
  EXPECT_EQ(http.requests.size(), 2u) << "an empty URL asks nobody";
}

TEST(FetchUrl, TextBodiesAreJoinedWithCrLfAndTrimmed) {
  EXPECT_EQ(NormaliseFetchedText("12ab\n\n"), "12ab");
  EXPECT_EQ(NormaliseFetchedText("  a\nb\r\nc"), "a\r\nb\r\nc");
  EXPECT_EQ(NormaliseFetchedText("\t\r\n"), "");
  EXPECT_EQ(NormaliseFetchedText(""), "");

  FakeHttpClient http;
  http.answers["http://h"] = FakeAnswer{200, "12ab\r\n\r\n\r\n"};
  EXPECT_EQ(FetchUrl("http://h/", 1000, "", "", http), "12ab");
}

TEST(FetchUrl, EveryFailureGivesTheEmptyText) {
  FakeHttpClient http;
  http.answers["http://notfound"] = FakeAnswer{404, "00not found page"};
  http.answers["http://silent"] = FakeAnswer{200, "", true};
  FakeAnswer brokenBody{200, "00key=partial"};
  brokenBody.breaksOff = true;
  http.answers["http://broken"] = brokenBody;
  FakeAnswer late{200, "00late"};
  late.delay = 1300ms;
  http.answers["http://late"] = late;

  EXPECT_EQ(FetchUrl("http://notfound/", 1000, "", "", http), "");
  EXPECT_EQ(FetchUrl("http://silent/", 1000, "", "", http), "");
  EXPECT_EQ(FetchUrl("http://broken/", 1000, "", "", http), "") << "half a reply is no reply";
  EXPECT_EQ(FetchUrl("http://late/", 100, "", "", http), "") << "a late answer counts as none";
  EXPECT_EQ(FetchUrl("http://unknown/", 1000, "", "", http), "");

  FakeAnswer huge{200, std::string(kMaxFetchTextBytes + 1, 'x')};
  huge.piece = 1 << 16;
  http.answers["http://huge"] = huge;
  EXPECT_EQ(FetchUrl("http://huge/", 1000, "", "", http), "");
}

TEST(FetchUrl, SavesBodiesToFilesWholeOrNotAtAll) {
  const auto directory = quorin::testing::UniqueTempPath("quorin_fetch_url_test");
  std::filesystem::create_directories(directory);
  const std::string path = (directory / "download.bin").string();
  std::remove(path.c_str());

  // Short reads in the middle of the body must not end the file early.
  std::string body;
  for (int i = 0; i < 3000; ++i)
    body += static_cast<char>(i % 256);
  FakeHttpClient http;
  FakeAnswer answer{200, body};
  answer.piece = 1000;
  answer.announced = static_cast<std::int64_t>(body.size());
  http.answers["http://files"] = answer;
  EXPECT_EQ(FetchUrl("http://files/a", 1000, "", path, http), path);
  EXPECT_EQ(ReadWholeFile(path), body);

  FakeAnswer shortBody{200, body.substr(0, 1500)};
  shortBody.announced = static_cast<std::int64_t>(body.size());
  http.answers["http://short"] = shortBody;
  EXPECT_EQ(FetchUrl("http://short/a", 1000, "", path, http), "");
  EXPECT_FALSE(std::filesystem::exists(path)) << "an incomplete file is removed";

  EXPECT_EQ(FetchUrl("http://files/a", 1000, "", (directory / "no" / "dir").string(), http), "");
  std::filesystem::remove_all(directory);
}

class ServerRotationTest : public ::testing::Test {
 protected:
  static bool StartsWith00(std::string_view reply) { return reply.substr(0, 2) == "00"; }
  FakeHttpClient http_;
};

TEST_F(ServerRotationTest, AnsweringServerStaysFirstForTheNextFetch) {
  http_.answers["http://a:5353"] = FakeAnswer{200, "busy"};
  http_.answers["http://b:5353"] = FakeAnswer{404, ""};
  http_.answers["http://c:5353"] = FakeAnswer{200, "00third"};
  ServerRotation rotation(StartsWith00, 700, http_);
  EXPECT_EQ(rotation.CurrentHost(), "");
  rotation.AddServer("a", 5353, "a");
  rotation.AddServer("b", 5353, "");
  rotation.AddServer("c", 5353, "a");
  EXPECT_EQ(rotation.Fetch("/client_login.php?x=1&"), "00third");
  EXPECT_EQ(rotation.CurrentHost(), "c");
  EXPECT_EQ(rotation.CurrentIndex(), 2u);
  ASSERT_EQ(http_.requests.size(), 3u);
  EXPECT_EQ(http_.requests[0].url, "http://a:5353/client_login.php?x=1&");
  EXPECT_EQ(http_.requests[2].url, "http://c:5353/client_login.php?x=1&");
  EXPECT_NE(http_.requests[2].extraHeaders.find("Host:   a\r\n"), std::string::npos);
  EXPECT_EQ(http_.requests[1].openTimeout, 700ms);

  http_.requests.clear();
  EXPECT_EQ(rotation.Fetch("/again"), "00third");
  ASSERT_EQ(http_.requests.size(), 1u);
  EXPECT_EQ(http_.requests[0].url, "http://c:5353/again");
}

TEST_F(ServerRotationTest, AllFailingReturnsTheLastReplyAndComesBackToTheStart) {
  http_.answers["http://a:1"] = FakeAnswer{200, "first refusal"};
  http_.answers["http://b:2"] = FakeAnswer{200, "last refusal"};
  ServerRotation rotation(StartsWith00, 500, http_);
  rotation.AddServer("a", 1, "");
  rotation.AddServer("b", 2, "");
  EXPECT_EQ(rotation.Fetch("/p"), "last refusal");
  EXPECT_EQ(rotation.CurrentIndex(), 0u);
  EXPECT_EQ(rotation.CurrentHost(), "b");

  EXPECT_EQ(rotation.Fetch(""), "") << "an empty path asks nobody";
  EXPECT_EQ(http_.requests.size(), 2u);

  rotation.Clear();
  EXPECT_EQ(rotation.Size(), 0u);
  EXPECT_EQ(rotation.CurrentHost(), "") << "no host survives Clear";
  EXPECT_EQ(rotation.Fetch("/p"), "");
  EXPECT_EQ(http_.requests.size(), 2u);
}

TEST_F(ServerRotationTest, DefaultCheckAcceptsAnyNonEmptyReply) {
  EXPECT_TRUE(ReplyNotEmpty("x"));
  EXPECT_FALSE(ReplyNotEmpty(""));
  http_.answers["http://a:1"] = FakeAnswer{200, "\r\n \r\n"};
  http_.answers["http://b:1"] = FakeAnswer{200, "anything"};
  ServerRotation rotation(nullptr, 500, http_);
  rotation.AddServer("a", 1, "");
  rotation.AddServer("b", 1, "");
  EXPECT_EQ(rotation.Fetch("/p"), "anything") << "a blank body trims to nothing";
}

}  // namespace
}  // namespace quorin::client
