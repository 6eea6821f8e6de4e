#include "client/monitor/first_hop_probe.h"

#include <gtest/gtest.h>

#include "client/monitor/alert_sound.h"

namespace quorin::client {
namespace {

struct EchoLog {
  std::vector<Ipv4Address> targets;
  std::vector<int> ttls;
  std::vector<std::chrono::milliseconds> timeouts;
  bool answer = true;
};

class FakeEcho : public platform::IcmpEcho {
 public:
  explicit FakeEcho(EchoLog& log) : log_(log) {}
  bool Echo(const Ipv4Address& target, int ttl, std::chrono::milliseconds timeout) override {
    log_.targets.push_back(target);
    log_.ttls.push_back(ttl);
    log_.timeouts.push_back(timeout);
    return log_.answer;
  }

 private:
  EchoLog& log_;
};

TEST(FirstHopProbe, LooksTheTargetUpAndSendsOneEchoWithTheTtl) {
  EchoLog log;
  std::optional<Ipv4Address> reverseEntry;
  std::vector<Ipv4Address> reversed;
  ProbeLookups lookups;
  lookups.reverse = [&](const Ipv4Address& address) {
    reversed.push_back(address);
    return reverseEntry;
  };
  lookups.resolve = [](std::string_view name) -> std::optional<Ipv4Address> {
    if (name == "gw.example.net")
      return Ipv4Address{198, 51, 100, 1};
    return std::nullopt;
  };
  FirstHopProbe probe(std::make_unique<FakeEcho>(log), lookups);

  EXPECT_TRUE(probe.Probe("203.0.113.4", 1));
  ASSERT_EQ(log.targets.size(), 1u);
  EXPECT_EQ(log.targets[0], (Ipv4Address{203, 0, 113, 4})) << "nothing found in reverse";
  EXPECT_EQ(log.ttls[0], 1);
  EXPECT_EQ(log.timeouts[0], std::chrono::milliseconds(1000));
  ASSERT_EQ(reversed.size(), 1u) << "a dotted address is looked up in reverse first";

  reverseEntry = Ipv4Address{203, 0, 113, 40};
  EXPECT_TRUE(probe.Probe("203.0.113.4", 3));
  EXPECT_EQ(log.targets.back(), (Ipv4Address{203, 0, 113, 40})) << "the entry's first address";
  EXPECT_EQ(log.ttls.back(), 3);

  EXPECT_TRUE(probe.Probe("gw.example.net", 1));
  EXPECT_EQ(log.targets.back(), (Ipv4Address{198, 51, 100, 1})) << "a name is resolved";

  const std::size_t echoes = log.targets.size();
  EXPECT_FALSE(probe.Probe("", 1));
  EXPECT_FALSE(probe.Probe("unknown.example.net", 1));
  EXPECT_EQ(log.targets.size(), echoes) << "no echo without a target";

  log.answer = false;
  EXPECT_FALSE(probe.Probe("203.0.113.4", 1)) << "an unanswered echo";

  FirstHopProbe unusable(nullptr, lookups);
  EXPECT_FALSE(unusable.Probe("203.0.113.4", 1));
}

class RecordingTones : public platform::TonePlayer {
 public:
  void Play(int frequencyHz, int durationMs) override {
    frequencies.push_back(frequencyHz);
    durations.push_back(durationMs);
  }
  std::vector<int> frequencies;
  std::vector<int> durations;
};

TEST(AlertSound, PlaysThirtyFourRisingTonesPerSweep) {
  RecordingTones tones;
  AlertSound(3, tones);
  ASSERT_EQ(tones.frequencies.size(), 102u);
  EXPECT_EQ(tones.frequencies.front(), 220);
  EXPECT_EQ(tones.frequencies[33], 1210) << "the last tone of a sweep";
  EXPECT_EQ(tones.frequencies[34], 220) << "the next sweep starts over";
  for (std::size_t i = 1; i < 34; ++i)
    EXPECT_EQ(tones.frequencies[i] - tones.frequencies[i - 1], 30);
  for (const int duration : tones.durations)
    EXPECT_EQ(duration, 5);

  RecordingTones silent;
  AlertSound(0, silent);
  AlertSound(-2, silent);
  EXPECT_TRUE(silent.frequencies.empty());
}

}  // namespace
}  // namespace quorin::client
