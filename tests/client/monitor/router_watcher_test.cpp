// The router's datagrams, the ranges a router's report must not lie in, and the router watcher
// against a scripted router: a driven clock sets the moments of its questions, and every
// datagram the test announces is handled before the test looks at the wake-up signal.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "client/monitor/local_address.h"
#include "client/monitor/router_datagram.h"
#include "client/monitor/router_watcher.h"
#include "tests/client/monitor/fake_router.h"
#include "tests/support/driven_clock.h"
#include "tests/support/wait_until.h"

namespace quorin::client {
namespace {

using testing::NatPmpAnswer;
using testing::PcpAnnounce;

TEST(RouterDatagram, OnlyWholeMessagesOfEitherProtocolCount) {
  const auto answer = ParseRouterDatagram(NatPmpAnswer({11, 2, 3, 4}));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->kind, RouterMessageKind::kExternalAddress);
  EXPECT_EQ(answer->externalAddress, (Ipv4Address{11, 2, 3, 4}));
  EXPECT_EQ(answer->secondsSinceEpoch, 0x1234u);

  const auto noAddress = ParseRouterDatagram(NatPmpAnswer({0, 0, 0, 0}, kNatPmpNetworkFailure));
  ASSERT_TRUE(noAddress);
  EXPECT_EQ(noAddress->resultCode, kNatPmpNetworkFailure);
  EXPECT_FALSE(noAddress->externalAddress) << "a failure's address field means nothing";

  const std::string full = NatPmpAnswer({11, 2, 3, 4});
  const auto refusal = ParseRouterDatagram(NatPmpAnswer({}, 1).substr(0, 8));
  ASSERT_TRUE(refusal) << "a refusal may leave out the address";
  EXPECT_EQ(refusal->resultCode, 1);
  EXPECT_FALSE(ParseRouterDatagram(full.substr(0, 8))) << "a success without its address";
  EXPECT_FALSE(ParseRouterDatagram(full.substr(0, 11)));
  EXPECT_FALSE(ParseRouterDatagram(full + '\0')) << "longer than the answer";
  std::string other = full;
  other[0] = 1;
  EXPECT_FALSE(ParseRouterDatagram(other)) << "an unknown version";
  other = full;
  other[1] = 0;
  EXPECT_FALSE(ParseRouterDatagram(other)) << "a request, as another client on the LAN sends";
  other[1] = static_cast<char>(129);
  EXPECT_FALSE(ParseRouterDatagram(other)) << "a mapping's answer";
  EXPECT_FALSE(ParseRouterDatagram(""));
  EXPECT_FALSE(ParseRouterDatagram(std::string(1, '\0')));

  const auto announce = ParseRouterDatagram(PcpAnnounce());
  ASSERT_TRUE(announce);
  EXPECT_EQ(announce->kind, RouterMessageKind::kPcpAnnounce);
  EXPECT_FALSE(announce->externalAddress);
  EXPECT_TRUE(ParseRouterDatagram(PcpAnnounce() + std::string(4, '\0'))) << "with an option";
  EXPECT_FALSE(ParseRouterDatagram(PcpAnnounce().substr(0, 20))) << "shorter than the header";
  EXPECT_FALSE(ParseRouterDatagram(PcpAnnounce() + "ab")) << "not a whole number of words";
  EXPECT_FALSE(ParseRouterDatagram(PcpAnnounce() + std::string(1080, '\0'))) << "over 1100";
  other = PcpAnnounce();
  other[1] = 0;
  EXPECT_FALSE(ParseRouterDatagram(other)) << "an ANNOUNCE request, not the server's";
  other[1] = static_cast<char>(0x81);
  EXPECT_FALSE(ParseRouterDatagram(other)) << "a MAP answer";

  EXPECT_EQ(ExternalAddressRequest(), std::string(2, '\0'));
}

TEST(IsInternetAddress, LeavesOutEveryRangeThatNeverReachesTheInternetAsIs) {
  for (const Ipv4Address address : std::vector<Ipv4Address>{{10, 1, 2, 3},
                                                            {172, 16, 0, 1},
                                                            {192, 168, 1, 1},
                                                            {127, 0, 0, 1},
                                                            {169, 254, 1, 1},
                                                            {100, 64, 0, 1},
                                                            {100, 127, 255, 1},
                                                            {0, 1, 2, 3},
                                                            {192, 0, 0, 8},
                                                            {192, 0, 2, 1},
                                                            {198, 18, 0, 1},
                                                            {198, 19, 255, 1},
                                                            {198, 51, 100, 7},
                                                            {203, 0, 113, 9},
                                                            {224, 0, 0, 1},
                                                            {240, 0, 0, 1},
                                                            {255, 255, 255, 255}}) {
    EXPECT_FALSE(IsInternetAddress(address)) << FormatIpv4(address);
  }
  for (const Ipv4Address address : std::vector<Ipv4Address>{{11, 2, 3, 4},
                                                            {100, 63, 255, 255},
                                                            {100, 128, 0, 0},
                                                            {192, 0, 1, 1},
                                                            {198, 17, 0, 1},
                                                            {198, 20, 0, 1},
                                                            {203, 0, 114, 1},
                                                            {223, 255, 255, 254}}) {
    EXPECT_TRUE(IsInternetAddress(address)) << FormatIpv4(address) << " lies just outside";
  }
}

constexpr Ipv4Address kGateway{192, 168, 1, 1};
constexpr Ipv4Address kNeighbour{192, 168, 1, 66};

class RouterWatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    router_.SetRoute(platform::DefaultRoute{kGateway, 3});
    known_.Set("11.0.0.1");
    SetRouterAddress({11, 0, 0, 1});
    router_.network.SetResponder([this](const testing::SentDatagram& sent) {
      std::lock_guard lock(mutex_);
      std::vector<testing::ScriptedDatagram> answers;
      if (sent.to != kGateway || sent.port != kRouterServerPort ||
          sent.bytes != ExternalAddressRequest())
        return answers;
      // Another host on the LAN answers first, with an address of its own choosing.
      answers.push_back({NatPmpAnswer({11, 6, 6, 6}), kNeighbour, kRouterServerPort});
      answers.push_back({NatPmpAnswer(routerAddress_), kGateway, kRouterServerPort});
      return answers;
    });
  }

  void Start() {
    watcher_ = std::make_unique<RouterWatcher>(
        router_.Link(), wake_, known_,
        [this](std::string_view line) {
          std::lock_guard lock(mutex_);
          logged_.emplace_back(line);
        },
        [this] {
          ++switchReadings_;
          return switchedOn_.load();
        });
  }
  void SetRouterAddress(const Ipv4Address& address) {
    std::lock_guard lock(mutex_);
    routerAddress_ = address;
  }
  // Waits until the watcher has asked `count` questions in all and handled the answers.
  void AwaitAsked(std::size_t count) {
    ASSERT_TRUE(quorin::testing::WaitUntil([&] { return router_.network.Sent().size() >= count; }));
    ASSERT_TRUE(router_.AwaitHandled());
    EXPECT_EQ(router_.network.Sent().size(), count);
  }
  void Announce(std::string bytes, const Ipv4Address& sender) {
    router_.Announce(std::move(bytes), sender);
    ASSERT_TRUE(router_.AwaitHandled());
  }
  std::vector<std::string> Logged() {
    std::lock_guard lock(mutex_);
    return logged_;
  }

  quorin::testing::DrivenClock clock_;
  platform::ScopedClockOverride useClock_{clock_};
  testing::FakeRouter router_;
  platform::ChangeSignal wake_;
  KnownAddress known_;
  std::mutex mutex_;
  Ipv4Address routerAddress_{};
  std::vector<std::string> logged_;
  std::atomic<bool> switchedOn_{true};
  std::atomic<int> switchReadings_{0};
  std::unique_ptr<RouterWatcher> watcher_;  // last: it goes first
};

TEST_F(RouterWatcherTest, OnlyTheGatewaysAnnouncementOfAnotherAddressWakesAndOnlyOnce) {
  Start();
  AwaitAsked(1);
  EXPECT_EQ(router_.JoinedInterface(), 3u) << "the group is joined on the route's interface";
  EXPECT_FALSE(wake_.IsSet()) << "the router reports the known address; a neighbour's word";

  Announce(NatPmpAnswer({11, 0, 0, 2}), kNeighbour);
  Announce(NatPmpAnswer({11, 0, 0, 1}), kGateway);
  Announce(NatPmpAnswer({11, 0, 0, 2}, kNatPmpNetworkFailure), kGateway);
  EXPECT_FALSE(wake_.IsSet()) << "a neighbour, the known address, a failure";

  Announce(NatPmpAnswer({11, 0, 0, 2}), kGateway);
  EXPECT_TRUE(wake_.Take());
  Announce(NatPmpAnswer({11, 0, 0, 2}), kGateway);
  EXPECT_FALSE(wake_.IsSet()) << "the same report again waits for the router's next change";
  EXPECT_EQ(router_.network.Sent().size(), 1u) << "announcements cost no question";
}

TEST_F(RouterWatcherTest, QuestionsEveryTenSecondsAndAfterAPcpAnnounce) {
  Start();
  AwaitAsked(1);
  SetRouterAddress({11, 0, 0, 9});
  clock_.Advance(kRouterPollMs - 1);
  Announce(PcpAnnounce(), kNeighbour);
  EXPECT_EQ(router_.network.Sent().size(), 1u) << "not yet time, and not the gateway's ANNOUNCE";
  clock_.Advance(1);
  AwaitAsked(2);
  EXPECT_TRUE(wake_.Take()) << "a lost announcement is made up by the next question";
  clock_.Advance(kRouterPollMs);
  AwaitAsked(3);
  EXPECT_FALSE(wake_.IsSet());

  SetRouterAddress({11, 0, 0, 5});
  Announce(PcpAnnounce(), kGateway);
  AwaitAsked(4);
  EXPECT_TRUE(wake_.Take()) << "PCP names no address: the question that follows does";
  for (const auto& sent : router_.network.Sent()) {
    EXPECT_EQ(sent.to, kGateway);
    EXPECT_EQ(sent.port, kRouterServerPort);
  }
}

TEST_F(RouterWatcherTest, BehindAnotherNatTheWatcherStaysQuietAndSaysSoOnce) {
  SetRouterAddress({100, 64, 0, 5});
  Start();
  AwaitAsked(1);
  for (std::size_t asked = 2; asked <= 4; ++asked) {
    clock_.Advance(kRouterPollMs);
    AwaitAsked(asked);
  }
  Announce(NatPmpAnswer({10, 0, 0, 3}), kGateway);
  EXPECT_FALSE(wake_.IsSet());
  EXPECT_EQ(Logged(), std::vector<std::string>{std::string(kDoubleNatLogText)});

  SetRouterAddress({11, 0, 0, 7});
  clock_.Advance(kRouterPollMs);
  AwaitAsked(5);
  EXPECT_TRUE(wake_.Take()) << "a public address again counts at once";
  EXPECT_EQ(Logged().size(), 1u);
}

TEST_F(RouterWatcherTest, WithoutNatPmpUpnpAnswersAndIsAskedFirstFromThenOn) {
  router_.network.FailReceives();  // no NAT-PMP server on the router
  router_.SetIgdAddress(Ipv4Address{11, 0, 0, 1});
  Start();
  AwaitAsked(kRouterTries);
  EXPECT_EQ(router_.IgdQuestions(), 1) << "UPnP after NAT-PMP's silence";
  EXPECT_FALSE(wake_.IsSet());
  router_.SetIgdAddress(Ipv4Address{11, 0, 0, 4});
  clock_.Advance(kRouterPollMs);
  ASSERT_TRUE(quorin::testing::WaitUntil([&] { return router_.IgdQuestions() == 2; }));
  ASSERT_TRUE(router_.AwaitHandled());
  EXPECT_TRUE(wake_.Take()) << "the router's UPnP answer names another address";
  EXPECT_EQ(router_.network.Sent().size(), static_cast<std::size_t>(kRouterTries))
      << "a router that answered over UPnP is asked so first";
  // An IGD that goes: NAT-PMP is tried again, then UPnP, and the fast rhythm holds until three
  // such questions went unanswered.
  router_.SetIgdAddress(std::nullopt);
  clock_.Advance(kRouterPollMs);
  AwaitAsked(2 * kRouterTries);
  EXPECT_EQ(router_.IgdQuestions(), 4);
}

TEST_F(RouterWatcherTest, FollowsANewGatewayAndAsksASilentRouterOnlyOnceAMinute) {
  Start();
  AwaitAsked(1);
  router_.network.FailReceives();  // from now on no answer comes, as from a router without NAT-PMP
  router_.SetRoute(platform::DefaultRoute{{192, 168, 2, 1}, 4});
  clock_.Advance(kRouterPollMs);
  ASSERT_TRUE(quorin::testing::WaitUntil([&] { return router_.JoinedInterface() == 4u; }));
  // The new gateway is asked at once; the old one's announcements no longer count.
  AwaitAsked(1 + kRouterTries);
  Announce(NatPmpAnswer({11, 0, 0, 8}), kGateway);
  EXPECT_FALSE(wake_.IsSet());
  EXPECT_EQ(router_.network.Sent().back().to, (Ipv4Address{192, 168, 2, 1}));

  // Unanswered three times in a row: from then on once a minute.
  clock_.Advance(kRouterPollMs);
  AwaitAsked(1 + 2 * kRouterTries);
  clock_.Advance(kRouterPollMs);
  AwaitAsked(1 + 3 * kRouterTries);
  clock_.Advance(kRouterSlowPollMs - 1);
  ASSERT_TRUE(router_.AwaitHandled());
  EXPECT_EQ(router_.network.Sent().size(), 1u + 3 * kRouterTries);
  clock_.Advance(1);
  AwaitAsked(1 + 4 * kRouterTries);
}

TEST_F(RouterWatcherTest, SwitchedOffItAsksNothingAndSwitchedOnItAsksAtOnce) {
  Start();
  AwaitAsked(1);
  switchedOn_ = false;
  // Two looks at the route while off: the second begins only once the first is done with.
  for (int look = 0; look < 2; ++look) {
    const int before = switchReadings_;
    clock_.Advance(kRouterPollMs);
    ASSERT_TRUE(quorin::testing::WaitUntil([&] { return switchReadings_ > before; }));
  }
  EXPECT_EQ(router_.network.Sent().size(), 1u) << "no question while switched off";
  switchedOn_ = true;
  clock_.Advance(kRouterPollMs);
  AwaitAsked(2);
}

}  // namespace
}  // namespace quorin::client
