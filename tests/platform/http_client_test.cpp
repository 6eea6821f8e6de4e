// The system's HTTP stack (libcurl or WinINet) against a scripted server on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/http_client.h"
#include "platform/network.h"
#include "tests/support/scripted_server.h"

namespace quorin::platform {
namespace {

using namespace std::chrono_literals;
using quorin::testing::ScriptedServer;
using quorin::testing::ScriptStep;

// The value of the first header line of that name, without the blanks around it.
std::string HeaderValue(const std::string& request, const std::string& name) {
  const std::size_t at = request.find("\r\n" + name + ":");
  if (at == std::string::npos)
    return "<none>";
  const std::size_t start = at + name.size() + 3;
  std::string value = request.substr(start, request.find("\r\n", start) - start);
  value.erase(0, value.find_first_not_of(' '));
  return value;
}

std::string ReadAll(HttpResponse& response) {
  std::string body;
  char buffer[7];  // small on purpose: reads must continue across pieces
  for (std::ptrdiff_t n; (n = response.Read(buffer, sizeof buffer)) > 0;) {
    body.append(buffer, static_cast<std::size_t>(n));
  }
  return body;
}

TEST(SystemHttpClient, ReadsStatusLengthAndBodyAndSendsTheGivenHeaders) {
  std::string request;
  {
    ScriptedServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 12\r\nConnection: close\r\n\r\n"},
                           {"12ab\r\n", 50ms},
                           {"\r\n\r\n  "}});
    HttpRequest get;
    get.url = server.Url("/client_login.php?user_name=a&");
    get.extraHeaders = "Accept: */*\r\nUser-Agent:  Mozilla/4.0\r\nHost:   ddns1.example\r\n";
    auto response = SystemHttpClient().Open(get);
    ASSERT_NE(response, nullptr);
    EXPECT_EQ(response->Status(), 200);
    EXPECT_EQ(response->ContentLength(), 12);
    EXPECT_EQ(ReadAll(*response), "12ab\r\n\r\n\r\n  ");
    EXPECT_EQ(response->Read(request.data(), 0), 0);
    request = server.request();
  }
  EXPECT_EQ(request.rfind("GET /client_login.php?user_name=a& HTTP/1.1\r\n", 0), 0u) << request;
  // WinINet folds the blanks after a header name; libcurl sends the lines as given.
  EXPECT_EQ(HeaderValue(request, "User-Agent"), "Mozilla/4.0") << request;
  EXPECT_EQ(HeaderValue(request, "Host"), "ddns1.example") << request;
  EXPECT_EQ(request.find("HttpClient"), std::string::npos) << "the given agent line replaces it";
  // The lines go out in the order given, the Host line last (libcurl would move it up).
  const std::size_t accept = request.find("\r\nAccept:");
  const std::size_t agent = request.find("\r\nUser-Agent:");
  const std::size_t host = request.find("\r\nHost:");
  EXPECT_LT(accept, agent) << request;
  EXPECT_LT(agent, host) << request;
  EXPECT_NE(host, std::string::npos) << request;
  EXPECT_EQ(request.find("\r\nHost:", host + 1), std::string::npos) << "one Host line";
}

TEST(SystemHttpClient, UsesTheAgentNameWithoutExtraHeaders) {
  ScriptedServer server({{"HTTP/1.0 404 Not Found\r\n\r\n"}});
  HttpRequest get;
  get.url = server.Url();
  auto response = SystemHttpClient().Open(get);
  ASSERT_NE(response, nullptr);
  EXPECT_EQ(response->Status(), 404);
  EXPECT_FALSE(response->ContentLength());
  EXPECT_EQ(ReadAll(*response), "");
  EXPECT_EQ(HeaderValue(server.request(), "User-Agent"), "HttpClient");
}

TEST(SystemHttpClient, GivesUpWhenTheHeadersComeTooLate) {
  // The answer would come long after the time-out: whatever the machine's speed, only the
  // time-out can end the wait first.
  ScriptedServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx", 120s}});
  HttpRequest get;
  get.url = server.Url();
  get.openTimeout = 300ms;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SystemHttpClient().Open(get), nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 60s);
}

TEST(SystemHttpClient, BoundsTheSilenceWhileTheBodyArrives) {
  ScriptedServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"}, {"defg", 120s}});
  HttpRequest get;
  get.url = server.Url();
  get.readTimeout = 300ms;
  auto response = SystemHttpClient().Open(get);
  ASSERT_NE(response, nullptr);
  char buffer[16];
  EXPECT_EQ(response->Read(buffer, sizeof buffer), 3);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(response->Read(buffer, sizeof buffer), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 60s);
}

TEST(SystemHttpClient, BoundsTheWholeExchangeOfADrippingServer) {
  // One byte every 100 ms: no single read waits long, yet the body would take ten seconds.
  std::vector<ScriptStep> drip{{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"}};
  for (int i = 0; i < 100; ++i)
    drip.push_back({"x", 100ms});
  ScriptedServer server(std::move(drip));
  HttpRequest get;
  get.url = server.Url();
  get.readTimeout = 30s;
  get.totalTimeout = 1s;
  const auto start = std::chrono::steady_clock::now();
  auto response = SystemHttpClient().Open(get);
  ASSERT_NE(response, nullptr);
  char buffer[16];
  std::ptrdiff_t n = 0;
  std::size_t received = 0;
  while ((n = response->Read(buffer, sizeof buffer)) > 0)
    received += static_cast<std::size_t>(n);
  EXPECT_EQ(n, -1) << "the exchange's deadline is an error";
  EXPECT_LT(received, 100u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 8s) << "not the ten seconds of the drip";
}

TEST(SystemHttpClient, ACutBodyIsAnErrorNotAnEnd) {
  ScriptedServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this"}});
  HttpRequest get;
  get.url = server.Url();
  auto response = SystemHttpClient().Open(get);
  ASSERT_NE(response, nullptr);
  char buffer[256];
  std::ptrdiff_t n = 0;
  std::string body;
  while ((n = response->Read(buffer, sizeof buffer)) > 0)
    body.append(buffer, std::size_t(n));
  EXPECT_EQ(body, "only this");
  EXPECT_EQ(n, -1);
}

TEST(SystemHttpClient, StopsPromptlyOnRequest) {
  ScriptedServer server({{"HTTP/1.1 200 OK\r\n\r\n", 120s}});
  HttpRequest get;
  get.url = server.Url();
  get.openTimeout = 120s;
  platform::StopSource stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(100ms);
    stop.RequestStop();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SystemHttpClient().Open(get, stop.Token()), nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s) << "the promised bound of a stop";
  stopper.join();
}

TEST(SystemHttpClient, RefusesOtherSchemesAndUnreachableServers) {
  HttpRequest get;
  get.url = "ftp://127.0.0.1/file";
  EXPECT_EQ(SystemHttpClient().Open(get), nullptr);
  get.url = "file:///etc/passwd";
  EXPECT_EQ(SystemHttpClient().Open(get), nullptr);
  get.url = "http://127.0.0.1:1/";  // nothing listens on port 1
  EXPECT_EQ(SystemHttpClient().Open(get), nullptr);
}

}  // namespace
}  // namespace quorin::platform
