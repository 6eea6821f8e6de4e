#include "platform/tcp_connection.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/network.h"

namespace quorin::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const Ipv4Address kLoopback{127, 0, 0, 1};

class TcpConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(session_.ok());
    listener_ = ListenTcp(kLoopback, 0);
    ASSERT_NE(listener_, nullptr);
    ASSERT_NE(listener_->Port(), 0);
  }

  std::unique_ptr<TcpConnection> ConnectClient() {
    return SystemTcpConnector().Connect(kLoopback, listener_->Port(), 60s);
  }

  NetworkSession session_;
  std::unique_ptr<TcpListener> listener_;
};

TEST_F(TcpConnectionTest, LargeSendsArriveWholeAndReceivesRunUntilClose) {
  // Far more than the socket buffers hold, so sends must be continued after short ones.
  std::string payload(8 * 1024 * 1024, '\0');
  for (std::size_t i = 0; i < payload.size(); ++i)
    payload[i] = static_cast<char>(i * 7 % 251);

  auto serverSide = std::async(std::launch::async, [&] {
    auto server = listener_->Accept(60s);
    if (!server)
      return std::string("no connection");
    std::string received;
    // The reader starts late and reads slowly at first, so the client's sends fill up.
    std::this_thread::sleep_for(200ms);
    const ReceiveEnd end = ReceiveUntilClose(*server, received, payload.size() + 10, 60s);
    if (end != ReceiveEnd::kClosed)
      return std::string("receive did not end with the close");
    return received;
  });

  auto client = ConnectClient();
  ASSERT_NE(client, nullptr);
  ASSERT_TRUE(SendAll(*client, payload, 60s));
  client.reset();  // the server reads until this side closes
  const std::string received = serverSide.get();
  ASSERT_EQ(received.size(), payload.size()) << received.substr(0, 60);
  EXPECT_TRUE(received == payload);
}

TEST_F(TcpConnectionTest, PiecesOfAReplyAreCollectedUntilThePeerCloses) {
  auto serverSide = std::async(std::launch::async, [&] {
    auto server = listener_->Accept(60s);
    if (!server)
      return false;
    char request[64];
    if (server->ReceiveSome(request, sizeof request, 60s) <= 0)
      return false;
    for (const char* piece : {"00key=", "K&randText=", "R&%zone"}) {
      if (!SendAll(*server, piece, 60s))
        return false;
      std::this_thread::sleep_for(80ms);
    }
    return true;  // destroying the connection closes it
  });
  auto client = ConnectClient();
  ASSERT_NE(client, nullptr);
  ASSERT_TRUE(SendAll(*client, "GET  /x?\n", 60s));
  std::string reply;
  EXPECT_EQ(ReceiveUntilClose(*client, reply, 64 * 1024, 60s), ReceiveEnd::kClosed);
  EXPECT_EQ(reply, "00key=K&randText=R&%zone");
  EXPECT_TRUE(serverSide.get());
}

TEST_F(TcpConnectionTest, LimitAndSilenceEndTheReceive) {
  std::promise<void> clientDone;
  auto serverSide = std::async(std::launch::async, [&] {
    auto big = listener_->Accept(60s);
    if (!big)
      return false;
    SendAll(*big, std::string(100 * 1024, 'z'), 60s);
    auto silent = listener_->Accept(60s);
    if (!silent)
      return false;
    // Accepts, then says nothing until the client has given up.
    return clientDone.get_future().wait_for(120s) == std::future_status::ready;
  });
  auto first = ConnectClient();
  ASSERT_NE(first, nullptr);
  std::string reply;
  EXPECT_EQ(ReceiveUntilClose(*first, reply, 64 * 1024, 60s), ReceiveEnd::kLimit);
  EXPECT_EQ(reply.size(), 64u * 1024u);

  auto second = ConnectClient();
  ASSERT_NE(second, nullptr);
  reply.clear();
  const auto started = Clock::now();
  EXPECT_EQ(ReceiveUntilClose(*second, reply, 1024, 400ms), ReceiveEnd::kTimedOut);
  const auto waited = Clock::now() - started;
  EXPECT_GE(waited, 350ms);
  EXPECT_LT(waited, 60s) << "the time-out bounds a silent server";

  // A stop request ends the wait for the silent server long before a minute's time-out.
  StopSource stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(100ms);
    stop.RequestStop();
  });
  const auto stopStarted = Clock::now();
  EXPECT_EQ(ReceiveUntilClose(*second, reply, 1024, 60s, stop.Token()), ReceiveEnd::kTimedOut);
  EXPECT_LT(Clock::now() - stopStarted, 3s) << "the promised bound of a stop";
  stopper.join();
  EXPECT_FALSE(SendAll(*second, "late", 60s, stop.Token())) << "a stopped send sends nothing";
  clientDone.set_value();
  EXPECT_TRUE(serverSide.get());
}

TEST_F(TcpConnectionTest, RefusedConnectionsFailQuickly) {
  const std::uint16_t port = listener_->Port();
  listener_.reset();  // nobody listens on the port any more
  const auto started = Clock::now();
  EXPECT_EQ(SystemTcpConnector().Connect(kLoopback, port, 120s), nullptr);
  EXPECT_LT(Clock::now() - started, 60s) << "a refusal is not a time-out";
  EXPECT_EQ(SystemTcpConnector().Resolve("127.0.0.9"), (Ipv4Address{127, 0, 0, 9}));
  EXPECT_FALSE(SystemTcpConnector().Resolve(""));
}

}  // namespace
}  // namespace quorin::platform
