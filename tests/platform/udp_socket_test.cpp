#include "platform/udp_socket.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/icmp_echo.h"
#include "platform/network.h"
#include "platform/reverse_lookup.h"
#include "platform/thread_message.h"

namespace quorin::platform {
namespace {

using namespace std::chrono_literals;

const Ipv4Address kLoopback{127, 0, 0, 1};

TEST(UdpSocket, ExchangesDatagramsAndNamesTheSender) {
  NetworkSession session;
  auto server = BindUdpSocket(kLoopback, 0);
  ASSERT_TRUE(server);
  const std::uint16_t serverPort = server->LocalPort();
  ASSERT_NE(serverPort, 0);

  auto client = SystemUdpNetwork().Open();
  ASSERT_TRUE(client);
  const std::string request(1024, 'q');
  ASSERT_TRUE(client->SendTo(kLoopback, serverPort, request));

  const UdpReceive got = server->Receive(2048, 2000ms);
  ASSERT_EQ(got.status, UdpReceiveStatus::kDatagram);
  EXPECT_EQ(got.datagram.bytes, request);
  EXPECT_EQ(got.datagram.sender, kLoopback);
  EXPECT_EQ(got.datagram.senderPort, client->LocalPort()) << "the port the client sent from";

  ASSERT_TRUE(server->SendTo(got.datagram.sender, got.datagram.senderPort, "203.0.113.9"));
  const UdpReceive reply = client->Receive(1024, 2000ms);
  ASSERT_EQ(reply.status, UdpReceiveStatus::kDatagram);
  EXPECT_EQ(reply.datagram.bytes, "203.0.113.9");
  EXPECT_EQ(reply.datagram.senderPort, serverPort);

  // A datagram longer than the buffer arrives cut to it.
  ASSERT_TRUE(server->SendTo(kLoopback, client->LocalPort(), std::string(3000, 'x')));
  const UdpReceive cut = client->Receive(1024, 2000ms);
  ASSERT_EQ(cut.status, UdpReceiveStatus::kDatagram);
  EXPECT_EQ(cut.datagram.bytes, std::string(1024, 'x'));

  ASSERT_TRUE(server->SendTo(kLoopback, client->LocalPort(), ""));
  const UdpReceive empty = client->Receive(1024, 2000ms);
  ASSERT_EQ(empty.status, UdpReceiveStatus::kDatagram) << "an empty datagram is a datagram";
  EXPECT_TRUE(empty.datagram.bytes.empty());
}

TEST(UdpSocket, ReceiveEndsAtItsTimeOut) {
  NetworkSession session;
  auto socket = BindUdpSocket(kLoopback, 0);
  ASSERT_TRUE(socket);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(socket->Receive(1024, 200ms).status, UdpReceiveStatus::kTimedOut);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 150ms);
  EXPECT_LT(waited, 60s);

  EXPECT_FALSE(BindUdpSocket(kLoopback, socket->LocalPort())) << "the port is taken";
}

TEST(IcmpEcho, LoopbackAnswersEvenWithTtlOne) {
  auto echo = OpenIcmpEcho();
  if (!echo) {
    GTEST_SKIP() << "this process may open neither a ping socket nor a raw ICMP socket "
                    "(net.ipv4.ping_group_range excludes it and it lacks CAP_NET_RAW)";
  }
  // The machine itself owns the loopback address, so no router has to forward the echo.
  EXPECT_TRUE(echo->Echo(kLoopback, 1, 1000ms));
  EXPECT_TRUE(echo->Echo(kLoopback, 64, 1000ms));
}

TEST(ReverseLookup, FindsLocalhostAndGivesTheAddressBack) {
  NetworkSession session;
  const auto found = ReverseLookupIPv4(kLoopback, 5000);
  ASSERT_TRUE(found) << "127.0.0.1 has a name in every hosts file";
  EXPECT_EQ(*found, kLoopback);
}

TEST(ThreadMessage, NumbersEachThreadApart) {
  const std::uint32_t mine = CurrentThreadNumber();
  std::uint32_t other = mine;
  std::thread([&other] { other = CurrentThreadNumber(); }).join();
  EXPECT_NE(mine, 0u);
  EXPECT_NE(other, mine);
}

}  // namespace
}  // namespace quorin::platform
