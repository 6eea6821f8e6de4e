#include "client/monitor/current_address.h"

#include <gtest/gtest.h>

#include "client/monitor/local_address.h"

namespace quorin::client {
namespace {

// Sources that answer from fields and count the network questions.
struct FakeSources {
  std::vector<Ipv4Address> machine;
  std::string udpAnswer;
  HttpAddressAnswer httpAnswer;
  int udpQuestions = 0;
  int httpQuestions = 0;

  AddressSources Make() {
    AddressSources sources;
    sources.machineAddresses = [this] { return machine; };
    sources.queryUdp = [this](const AccountCredentials&, platform::StopToken) {
      ++udpQuestions;
      return udpAnswer;
    };
    sources.queryHttp = [this](platform::StopToken) {
      ++httpQuestions;
      return httpAnswer;
    };
    return sources;
  }
};

const AccountCredentials kAccount{"alice", "000", "R"};

TEST(FindLocalPublicAddress, SkipsPrivateLinkLocalAndLoopbackRanges) {
  EXPECT_TRUE(IsPrivateOrLocalAddress({10, 0, 0, 1}));
  EXPECT_TRUE(IsPrivateOrLocalAddress({10, 255, 255, 255}));
  EXPECT_FALSE(IsPrivateOrLocalAddress({11, 0, 0, 1}));
  EXPECT_FALSE(IsPrivateOrLocalAddress({172, 15, 0, 1})) << "just below 172.16/12";
  EXPECT_TRUE(IsPrivateOrLocalAddress({172, 16, 0, 1}));
  EXPECT_TRUE(IsPrivateOrLocalAddress({172, 31, 255, 1}));
  EXPECT_FALSE(IsPrivateOrLocalAddress({172, 32, 0, 1})) << "just above 172.16/12";
  EXPECT_TRUE(IsPrivateOrLocalAddress({192, 168, 1, 1}));
  EXPECT_FALSE(IsPrivateOrLocalAddress({192, 169, 1, 1}));
  EXPECT_TRUE(IsPrivateOrLocalAddress({169, 254, 3, 4}));
  EXPECT_FALSE(IsPrivateOrLocalAddress({169, 253, 3, 4}));
  EXPECT_TRUE(IsPrivateOrLocalAddress({127, 0, 0, 1}));
  EXPECT_TRUE(IsPrivateOrLocalAddress({127, 0, 1, 1})) << "Debian's host-name address";

  EXPECT_EQ(FindLocalPublicAddress({{192, 168, 0, 2}, {203, 0, 113, 4}, {198, 51, 100, 1}}),
            "203.0.113.4")
      << "the first address not skipped, in the order given";
  EXPECT_FALSE(FindLocalPublicAddress({{10, 1, 1, 1}, {127, 0, 0, 1}}));
  EXPECT_FALSE(FindLocalPublicAddress({}));
}

TEST(GetCurrentAddress, AsksTheServersUntilTheyReportAnAddressTheMachineHolds) {
  FakeSources fake;
  fake.machine = {{192, 168, 0, 2}, {203, 0, 113, 4}};
  fake.udpAnswer = "203.0.113.4";
  const AddressSources sources = fake.Make();
  std::atomic<int> behindRouter{1};

  CurrentAddress first = GetCurrentAddress(sources, kAccount, behindRouter);
  EXPECT_TRUE(first.found);
  EXPECT_EQ(first.address, "203.0.113.4");
  EXPECT_EQ(first.behindRouter, 0);
  EXPECT_EQ(behindRouter.load(), 0) << "the machine holds the reported address";
  EXPECT_EQ(fake.udpQuestions, 1) << "the first question of a process goes to the servers";

  // From now on the machine's own address is the answer, without any network question.
  fake.machine = {{198, 51, 100, 9}};
  const CurrentAddress local = GetCurrentAddress(sources, kAccount, behindRouter);
  EXPECT_EQ(local.address, "198.51.100.9");
  EXPECT_EQ(local.behindRouter, 0);
  EXPECT_EQ(fake.udpQuestions, 1);
  EXPECT_EQ(fake.httpQuestions, 0);

  // Without a public address of its own the machine asks the servers again.
  fake.machine = {{10, 0, 0, 5}};
  fake.udpAnswer = "198.51.100.200";
  const CurrentAddress behind = GetCurrentAddress(sources, kAccount, behindRouter);
  EXPECT_EQ(behind.address, "198.51.100.200");
  EXPECT_EQ(behind.behindRouter, 1);
  EXPECT_EQ(behindRouter.load(), 1);
  EXPECT_EQ(fake.udpQuestions, 2);
}

TEST(GetCurrentAddress, StaysBehindTheRouterWhenTheFirstPublicAddressDiffers) {
  // Two public addresses; the reported one is the second.
  FakeSources fake;
  fake.machine = {{203, 0, 113, 4}, {198, 51, 100, 7}};
  fake.udpAnswer = "198.51.100.7";
  std::atomic<int> behindRouter{1};
  const CurrentAddress result = GetCurrentAddress(fake.Make(), kAccount, behindRouter);
  EXPECT_EQ(result.address, "198.51.100.7");
  EXPECT_EQ(behindRouter.load(), 1);
  GetCurrentAddress(fake.Make(), kAccount, behindRouter);
  EXPECT_EQ(fake.udpQuestions, 2) << "still asking the servers";
}

TEST(GetCurrentAddress, FallsBackToTheLoginServer) {
  FakeSources fake;
  fake.machine = {{10, 0, 0, 5}};
  fake.httpAnswer = {HttpAddressStatus::kAddress, "198.51.100.30"};
  std::atomic<int> behindRouter{1};
  CurrentAddress result = GetCurrentAddress(fake.Make(), kAccount, behindRouter);
  EXPECT_TRUE(result.found);
  EXPECT_EQ(result.address, "198.51.100.30");
  EXPECT_EQ(fake.udpQuestions, 1);
  EXPECT_EQ(fake.httpQuestions, 1);

  fake.httpAnswer = {HttpAddressStatus::kAddress, "010.1.2.3"};
  result = GetCurrentAddress(fake.Make(), kAccount, behindRouter);
  EXPECT_EQ(result.address, "010.1.2.3") << "kept as the server wrote it, not read as octal";

  fake.httpAnswer = {HttpAddressStatus::kAddress, ""};
  result = GetCurrentAddress(fake.Make(), kAccount, behindRouter);
  EXPECT_FALSE(result.found) << "a success code without an address is no address";
  EXPECT_EQ(result.address, "");

  fake.httpAnswer = {HttpAddressStatus::kAddress, "<html>"};
  EXPECT_FALSE(GetCurrentAddress(fake.Make(), kAccount, behindRouter).found);

  fake.httpAnswer = {HttpAddressStatus::kFailed, ""};
  EXPECT_FALSE(GetCurrentAddress(fake.Make(), kAccount, behindRouter).found);
}

TEST(GetCurrentAddress, LeavesTheFlagAloneAfterAServerErrorCode) {
  // A machine known to hold its address, whose public address has just gone away.
  FakeSources fake;
  fake.machine = {{10, 0, 0, 5}};
  fake.httpAnswer = {HttpAddressStatus::kServerError, ""};
  std::atomic<int> behindRouter{0};
  const CurrentAddress error = GetCurrentAddress(fake.Make(), kAccount, behindRouter);
  EXPECT_FALSE(error.found);
  EXPECT_EQ(behindRouter.load(), 0) << "an error code returns at once";

  fake.httpAnswer = {HttpAddressStatus::kFailed, ""};
  const CurrentAddress failed = GetCurrentAddress(fake.Make(), kAccount, behindRouter);
  EXPECT_FALSE(failed.found);
  EXPECT_EQ(behindRouter.load(), 1) << "a failed request still decides the flag";
  EXPECT_EQ(failed.behindRouter, 1);
}

}  // namespace
}  // namespace quorin::client
