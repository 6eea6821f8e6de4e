#include "client/monitor/udp_address_query.h"

#include <gtest/gtest.h>

#include "tests/client/monitor/fake_udp_network.h"
#include "tests/client/protocol/test_settings.h"

namespace quorin::client {
namespace {

using namespace std::chrono_literals;
using testing::FakeUdpNetwork;
using testing::ScriptedDatagram;
using testing::SentDatagram;

const Ipv4Address kPrimary{192, 0, 2, 1};
const Ipv4Address kSecondary{192, 0, 2, 2};
const AccountCredentials kAlice{"alice", "010ns.example.net-x", "R1"};

// Questions that a reply ends wait long, so that no machine is too slow for the reply to
// count; questions that nothing usable answers end at a short time-out.
UdpQueryOptions Answered() {
  return UdpQueryOptions{5353, 60s};
}
UdpQueryOptions Quick() {
  return UdpQueryOptions{5353, 300ms};
}

// A network where the two update hosts resolve.
class HostsNetwork : public FakeUdpNetwork {
 public:
  HostsNetwork() {
    AddHost("primary.test", kPrimary);
    AddHost("secondary.test", kSecondary);
  }
};

TEST(AddressDatagram, IsAlwaysTheTextThenZerosUpTo1024Bytes) {
  const std::string datagram = BuildAddressDatagram(kAlice);
  ASSERT_EQ(datagram.size(), kAddressDatagramSize);
  EXPECT_EQ(datagram.substr(0, 29), std::string("alice;010ns.example.net-x;R1\0", 29));
  EXPECT_EQ(datagram.find_first_not_of('\0', 28), std::string::npos) << "zero padding";

  EXPECT_EQ(BuildAddressDatagram({}).substr(0, 3), std::string(";;\0", 3));
  EXPECT_EQ(BuildAddressDatagram({}).size(), kAddressDatagramSize);

  const std::string huge = BuildAddressDatagram({std::string(3000, 'u'), "k", "r"});
  ASSERT_EQ(huge.size(), kAddressDatagramSize) << "never longer, whatever the texts";
  EXPECT_EQ(huge.back(), '\0') << "the text stays terminated";
}

TEST(AddressReply, AcceptsOnlyDottedAddresses) {
  EXPECT_EQ(ReadAddressReply("203.0.113.9"), "203.0.113.9");
  EXPECT_EQ(ReadAddressReply(std::string("203.0.113.9\0garbage", 19)), "203.0.113.9")
      << "the text ends at the first zero byte";
  EXPECT_EQ(ReadAddressReply("10.1"), "10.1") << "a short form is kept as the server wrote it";
  EXPECT_EQ(ReadAddressReply("010.1.2.3"), "010.1.2.3") << "not rewritten as 8.1.2.3";
  EXPECT_FALSE(ReadAddressReply(""));
  EXPECT_FALSE(
      ReadAddressReply(std::string("\0"
                                   "1.2.3.4",
                                   8)));
  EXPECT_FALSE(ReadAddressReply("not-an-address"));
  EXPECT_FALSE(ReadAddressReply("255.255.255.255")) << "the error value of inet_addr";
  EXPECT_FALSE(ReadAddressReply("1.2.3.4 "));
  EXPECT_FALSE(ReadAddressReply(std::string(1024, '7'))) << "1024 bytes without a zero";
}

TEST(QueryPublicAddressUdp, SendsOneDatagramAndTakesTheHostsReply) {
  HostsNetwork network;
  network.SetResponder([](const SentDatagram& sent) {
    return std::vector<ScriptedDatagram>{{"198.51.100.23", sent.to, sent.port, 20ms}};
  });
  EXPECT_EQ(QueryPublicAddressUdp(kAlice, "primary.test", network, Answered()), "198.51.100.23");
  const auto sent = network.Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].to, kPrimary);
  EXPECT_EQ(sent[0].port, 5353);
  EXPECT_EQ(sent[0].bytes, BuildAddressDatagram(kAlice));
  EXPECT_EQ(sent[0].bytes.size(), 1024u);
}

TEST(QueryPublicAddressUdp, IgnoresDatagramsFromAnyoneButTheHostAsked) {
  HostsNetwork network;
  // A forged answer from another address and one from the right address but another port
  // both arrive before the host's own answer.
  network.SetResponder([](const SentDatagram& sent) {
    return std::vector<ScriptedDatagram>{{"6.6.6.6", Ipv4Address{203, 0, 113, 66}, sent.port, 5ms},
                                         {"7.7.7.7", sent.to, 5354, 10ms},
                                         {"198.51.100.23", sent.to, sent.port, 40ms}};
  });
  EXPECT_EQ(QueryPublicAddressUdp(kAlice, "primary.test", network, Answered()), "198.51.100.23");

  network.SetResponder([](const SentDatagram& sent) {
    return std::vector<ScriptedDatagram>{{"7.7.7.7", sent.to, 5354, 5ms}};
  });
  EXPECT_EQ(QueryPublicAddressUdp(kAlice, "primary.test", network, Quick()), "")
      << "only another port answered";
}

TEST(QueryPublicAddressUdp, GivesNothingForUnusableOrMissingReplies) {
  HostsNetwork network;
  network.SetResponder([](const SentDatagram& sent) {
    return std::vector<ScriptedDatagram>{{"not-an-address", sent.to, sent.port, 5ms},
                                         {"1.2.3.4", sent.to, sent.port, 10ms}};
  });
  EXPECT_EQ(QueryPublicAddressUdp(kAlice, "primary.test", network, Answered()), "")
      << "the host's own unusable reply ends the attempt";

  network.SetResponder([](const SentDatagram& sent) {
    return std::vector<ScriptedDatagram>{{"", sent.to, sent.port, 5ms}};
  });
  EXPECT_EQ(QueryPublicAddressUdp(kAlice, "primary.test", network, Answered()), "")
      << "an empty datagram";

  network.SetResponder([](const SentDatagram& sent) {
    return std::vector<ScriptedDatagram>{{"1.2.3.4", sent.to, sent.port, 120s}};
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(QueryPublicAddressUdp(kAlice, "primary.test", network, Quick()), "")
      << "a reply after the time-out";
  EXPECT_LT(std::chrono::steady_clock::now() - start, 60s) << "the time-out bounds the wait";

  const auto sentBefore = network.Sent().size();
  EXPECT_EQ(QueryPublicAddressUdp(kAlice, "unknown.test", network, Quick()), "");
  EXPECT_EQ(network.Sent().size(), sentBefore) << "nothing is sent to a host that does not resolve";

  HostsNetwork refusing;
  refusing.FailReceives();
  EXPECT_EQ(QueryPublicAddressUdp(kAlice, "primary.test", refusing, Quick()), "");
}

TEST(QueryPublicAddress, AsksTheSecondaryHostOnlyWhenThePrimaryGaveNothing) {
  testing::TestSettings test;
  test.settings.WriteSetting("UpdateHostFree1", "primary.test");
  test.settings.WriteSetting("UpdateHostFree2", "secondary.test");
  HostsNetwork network;
  // The primary gives no address, the secondary does.
  network.SetResponder([](const SentDatagram& sent) {
    const std::string text = sent.to == kPrimary ? "no address" : "198.51.100.2";
    return std::vector<ScriptedDatagram>{{text, sent.to, sent.port, 5ms}};
  });
  EXPECT_EQ(QueryPublicAddress(kAlice, test.settings, network, Answered()), "198.51.100.2");
  const auto asked = network.Sent();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].to, kPrimary);
  EXPECT_EQ(asked[1].to, kSecondary);

  HostsNetwork prompt;
  prompt.SetResponder([](const SentDatagram& sent) {
    return std::vector<ScriptedDatagram>{{"198.51.100.1", sent.to, sent.port, 5ms}};
  });
  EXPECT_EQ(QueryPublicAddress(kAlice, test.settings, prompt, Answered()), "198.51.100.1");
  EXPECT_EQ(prompt.Sent().size(), 1u) << "the secondary is not asked";

  // A VIP login switches to the VIP hosts.
  test.settings.SetLastLoginWasVip(true);
  test.settings.WriteSetting("UpdateHostVip1", "secondary.test");
  HostsNetwork vip;
  vip.SetResponder([](const SentDatagram& sent) {
    return std::vector<ScriptedDatagram>{{"198.51.100.9", sent.to, sent.port, 5ms}};
  });
  EXPECT_EQ(QueryPublicAddress(kAlice, test.settings, vip, Answered()), "198.51.100.9");
  ASSERT_EQ(vip.Sent().size(), 1u);
  EXPECT_EQ(vip.Sent()[0].to, kSecondary);
}

TEST(QueryPublicAddress, EndsPromptlyWhenStopped) {
  testing::TestSettings test;
  test.settings.WriteSetting("UpdateHostFree1", "primary.test");
  test.settings.WriteSetting("UpdateHostFree2", "secondary.test");
  HostsNetwork network;
  platform::StopSource stop;
  stop.RequestStop();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(
      QueryPublicAddress(kAlice, test.settings, network, UdpQueryOptions{5353, 120s}, stop.Token()),
      "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 60s) << "not the two hosts' time-outs";
  EXPECT_LE(network.Sent().size(), 1u) << "the secondary is not asked after a stop";
}

}  // namespace
}  // namespace quorin::client
