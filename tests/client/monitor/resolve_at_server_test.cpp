#include "client/monitor/resolve_at_server.h"

#include <gtest/gtest.h>

#include "client/monitor/dns_message.h"
#include "tests/client/monitor/dns_test_messages.h"
#include "tests/client/monitor/fake_udp_network.h"

namespace quorin::client {
namespace {

using namespace std::chrono_literals;
using testing::ARecord;
using testing::ARecordData;
using testing::DnsAnswerFor;
using testing::DnsRecord;
using testing::FakeUdpNetwork;
using testing::RecordWithData;
using testing::ScriptedDatagram;
using testing::SentDatagram;

const Ipv4Address kServer{192, 0, 2, 53};
constexpr std::uint16_t kPort = 5300;
// Questions that an answer ends wait long, so that no machine is too slow for the answer to
// count; questions that nothing answers wait briefly, but long enough to ask again.
const DnsQueryTimeouts kAnswered{60s, 30s};
const DnsQueryTimeouts kUnanswered{2s, 100ms};

std::string Resolve(FakeUdpNetwork& network, std::string_view server = "192.0.2.53",
                    std::string_view name = "www.example.net",
                    DnsQueryTimeouts timeouts = kAnswered) {
  return ResolveAtServer(server, name, kPort, network, timeouts);
}

TEST(ResolveAtServer, AsksTheOneServerForTheARecord) {
  FakeUdpNetwork network;
  network.SetResponder([](const SentDatagram& sent) {
    return std::vector<ScriptedDatagram>{
        {DnsAnswerFor(sent.bytes, {ARecord(203, 0, 113, 5)}), sent.to, sent.port, 5ms}};
  });
  EXPECT_EQ(Resolve(network), "203.0.113.5");
  const auto sent = network.Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].to, kServer);
  EXPECT_EQ(sent[0].port, kPort);
  const std::uint16_t id =
      static_cast<std::uint16_t>(static_cast<unsigned char>(sent[0].bytes[0]) << 8 |
                                 static_cast<unsigned char>(sent[0].bytes[1]));
  EXPECT_EQ(sent[0].bytes, BuildDnsQuery(id, "www.example.net"));

  network.AddHost("ns.example.net", kServer);
  EXPECT_EQ(Resolve(network, "ns.example.net"), "203.0.113.5") << "a server given by name";
}

TEST(ResolveAtServer, WaitsPastForgedUnrelatedAndBrokenDatagrams) {
  FakeUdpNetwork network;
  network.SetResponder([](const SentDatagram& sent) {
    const std::string good = DnsAnswerFor(sent.bytes, {ARecord(203, 0, 113, 5)});
    const std::string forged = DnsAnswerFor(sent.bytes, {ARecord(6, 6, 6, 6)});
    std::string wrongId = forged;
    wrongId[0] = static_cast<char>(wrongId[0] ^ 0x55);
    return std::vector<ScriptedDatagram>{
        {forged, Ipv4Address{198, 51, 100, 66}, sent.port, 2ms},     // another sender
        {forged, sent.to, 5301, 4ms},                                // another port
        {wrongId, sent.to, sent.port, 6ms},                          // another id
        {good.substr(0, good.size() - 2), sent.to, sent.port, 8ms},  // cut short
        {good, sent.to, sent.port, 20ms}};
  });
  EXPECT_EQ(Resolve(network), "203.0.113.5");
}

TEST(ResolveAtServer, GivesNothingWithoutAUsableAnswer) {
  FakeUdpNetwork silent;
  EXPECT_EQ(Resolve(silent, "192.0.2.53", "www.example.net", kUnanswered), "");
  EXPECT_GE(silent.Sent().size(), 2u) << "a lost datagram is sent again";

  FakeUdpNetwork broken;
  broken.SetResponder([](const SentDatagram& sent) {
    std::string answer = DnsAnswerFor(sent.bytes, {ARecord(203, 0, 113, 5)});
    answer[7] = 2;  // announces a second record that is not there
    return std::vector<ScriptedDatagram>{{answer, sent.to, sent.port, 5ms}};
  });
  EXPECT_EQ(Resolve(broken, "192.0.2.53", "www.example.net", kUnanswered), "");

  FakeUdpNetwork noSuchName;
  noSuchName.SetResponder([](const SentDatagram& sent) {
    return std::vector<ScriptedDatagram>{
        {DnsAnswerFor(sent.bytes, {}, 3), sent.to, sent.port, 5ms}};
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Resolve(noSuchName), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s) << "an answer ends the wait";
  EXPECT_EQ(noSuchName.Sent().size(), 1u);

  FakeUdpNetwork unused;
  EXPECT_EQ(Resolve(unused, "", "www.example.net"), "");
  EXPECT_EQ(Resolve(unused, "192.0.2.53", ""), "");
  EXPECT_EQ(Resolve(unused, "unknown.test"), "");
  EXPECT_EQ(Resolve(unused, "192.0.2.53", "bad..name"), "");
  EXPECT_TRUE(unused.Sent().empty());
}

TEST(ResolveAtServer, AnswersTheResentQuestion) {
  FakeUdpNetwork network;
  int asked = 0;
  network.SetResponder([&asked](const SentDatagram& sent) {
    if (++asked == 1)
      return std::vector<ScriptedDatagram>{};  // the first one is lost
    return std::vector<ScriptedDatagram>{
        {DnsAnswerFor(sent.bytes, {ARecord(203, 0, 113, 6)}), sent.to, sent.port, 5ms}};
  });
  EXPECT_EQ(Resolve(network, "192.0.2.53", "www.example.net", {60s, 100ms}), "203.0.113.6");
  EXPECT_EQ(asked, 2);
}

}  // namespace
}  // namespace quorin::client
