#include "client/record/account_key.h"

#include <gtest/gtest.h>

#include "client/protocol/provider_config.h"
#include "common/provider_defaults.h"
#include "platform/memory_settings_store.h"

namespace quorin::client {
namespace {

TEST(AccountKey, ReadsTheAccountTypeAndAdvertisementFlag) {
  EXPECT_TRUE(IsFreeAccount("10xdns.example.net-abc"));
  EXPECT_FALSE(IsFreeAccount("1Vxdns.example.net")) << "a letter marks a VIP account";
  EXPECT_FALSE(IsFreeAccount("11x"));
  EXPECT_TRUE(ShowsAdvertisement("1Zz"));
  EXPECT_FALSE(ShowsAdvertisement("00x"));
  EXPECT_FALSE(IsFreeAccount("0")) << "a one-character key has no type character";
}

TEST(AccountKey, CutsTheDnsServerAtTheFirstDash) {
  EXPECT_EQ(KeyServerPart("110ns1.example.net-rest-more"), "ns1.example.net");
  EXPECT_EQ(KeyServerPart("110192.0.2.53"), "192.0.2.53") << "no dash: to the end";
  EXPECT_EQ(KeyServerPart("110"), "") << "three characters: no server";
  EXPECT_EQ(KeyServerPart("110-"), "");
  EXPECT_EQ(KeyPrefix("110ns1"), "110");
  EXPECT_EQ(KeyPrefix("1"), "1");
}

TEST(AccountKey, AnEmptyKeyIsNoAccount) {
  EXPECT_FALSE(IsFreeAccount(""));
  EXPECT_FALSE(ShowsAdvertisement(""));
  EXPECT_FALSE(KeyPrefix(""));
  EXPECT_FALSE(KeyServerPart(""));
  EXPECT_FALSE(KeyPresent(""));
  EXPECT_TRUE(KeyPresent("x"));
}

TEST(AccountKey, ReadsTheKeyOfTheRecord) {
  ClientContext context;
  EXPECT_FALSE(KeyPresent(context));
  context.Edit([](ClientState& state) { state.key = "10xns.example.net-1"; });
  EXPECT_TRUE(KeyPresent(context));
  EXPECT_TRUE(IsFreeAccount(context));
  EXPECT_TRUE(ShowsAdvertisement(context));
  EXPECT_EQ(KeyServerPart(context), "ns.example.net");
  EXPECT_EQ(KeyPrefix(context), "10x");
}

class UpdateHostsTest : public ::testing::Test {
 protected:
  void Put(std::string_view name, std::string_view text) {
    store_.Write(platform::RootKey::LocalMachine, kSettingsKey, name, text);
  }
  struct NoAutoStart : platform::AutoStartEntry {
    std::optional<std::string> Read() override { return std::nullopt; }
    bool Write(std::string_view) override { return false; }
    bool Remove() override { return true; }
  } autoStart_;
  platform::MemorySettingsStore store_;
  Settings settings_{store_, autoStart_, ""};
};

TEST_F(UpdateHostsTest, FollowTheAccountTypeOfTheLastLogin) {
  EXPECT_EQ(UpdateHostPrimary(settings_), provider::kFreeUpdateHostPrimary) << "vu absent";
  EXPECT_EQ(UpdateHostSecondary(settings_), provider::kFreeUpdateHostSecondary);
  Put("vu", "2");
  EXPECT_EQ(UpdateHostPrimary(settings_), provider::kVipUpdateHostPrimary);
  EXPECT_EQ(UpdateHostSecondary(settings_), provider::kVipUpdateHostSecondary);
  Put("vu", "0");
  EXPECT_EQ(UpdateHostPrimary(settings_), provider::kFreeUpdateHostPrimary);
}

TEST_F(UpdateHostsTest, SettingsOverrideEachHostAndTheSite) {
  Put("UpdateHostFree1", "127.0.0.21");
  Put("UpdateHostFree2", "127.0.0.22");
  Put("UpdateHostVip1", "127.0.0.31");
  Put("UpdateHostVip2", "");
  Put("ProviderSite", "http://127.0.0.40:8080");
  EXPECT_EQ(UpdateHostPrimary(settings_), "127.0.0.21");
  EXPECT_EQ(UpdateHostSecondary(settings_), "127.0.0.22");
  Put("vu", "1");
  EXPECT_EQ(UpdateHostPrimary(settings_), "127.0.0.31");
  EXPECT_EQ(UpdateHostSecondary(settings_), provider::kVipUpdateHostSecondary)
      << "an empty override means the built-in host";
  EXPECT_EQ(ProviderSite(settings_), "http://127.0.0.40:8080");
}

}  // namespace
}  // namespace quorin::client
