#include "client/monitor/advertisement.h"

#include <gtest/gtest.h>

#include "client/monitor/status_refresh.h"
#include "tests/client/monitor/monitor_test_context.h"
#include "tests/client/protocol/test_settings.h"

namespace quorin::client {
namespace {

TEST(AdvertisementAddress, CarriesTheAccountOnTheProvidersPage) {
  testing::TestSettings test;
  const AccountCredentials alice{"alice", "100ns-a", "R1"};
  EXPECT_EQ(AdvertisementAddress(alice, test.settings),
            "http://www.tilro.net/us/report/open_ad.php?user_name=alice&key=100ns-a&randText=R1");

  test.settings.WriteSetting("ProviderSite", "http://127.0.0.9:8080");
  EXPECT_EQ(
      AdvertisementAddress({"a&b c", "k=1", "#"}, test.settings),
      "http://127.0.0.9:8080/us/report/open_ad.php?user_name=a%26b%20c&key=k%3D1&randText=%23")
      << "values cannot add parameters of their own";

  const std::string longAddress =
      AdvertisementAddress({std::string(300, 'u'), "k", "r"}, test.settings);
  EXPECT_EQ(longAddress.size(), kMaxAdvertisementChars);
  // Cut by characters, never inside one: 54 characters of site and path, 200 of 'u', then
  // two of the Chinese ones fit.
  std::string user(200, 'u');
  for (int i = 0; i < 60; ++i)
    user += "用";
  const std::string chinese = AdvertisementAddress({user, "k", "r"}, test.settings);
  std::size_t characters = 0;
  for (const char c : chinese)
    characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  EXPECT_EQ(characters, kMaxAdvertisementChars);
  EXPECT_EQ(chinese.size(), 254u + 2 * 3);
  EXPECT_EQ(chinese.substr(chinese.size() - 3), "用");
}

TEST(OpenAdvertisement, HandsTheAddressToTheHtmlDialog) {
  testing::TestSettings test;
  ClientContext context;
  testing::LogIn(context, "alice", "100ns-a", "R1");
  std::string shown;
  EXPECT_EQ(OpenAdvertisement(context, test.settings,
                              [&](std::string_view address) {
                                shown = address;
                                return 7;
                              }),
            7);
  EXPECT_EQ(shown, AdvertisementAddress({"alice", "100ns-a", "R1"}, test.settings));
  EXPECT_EQ(OpenAdvertisement(context, test.settings, nullptr), 0) << "not shown";
}

TEST(StatusRefresh, GoesToTheInstalledTarget) {
  int calls = 0;
  SetStatusRefreshCallback([&calls] { ++calls; });
  PostStatusRefresh();
  PostStatusRefresh();
  EXPECT_EQ(calls, 2);
  SetStatusRefreshCallback(nullptr);
  PostStatusRefresh();
  EXPECT_EQ(calls, 2) << "dropped without a target";
  EXPECT_EQ(kWmStatusRefresh, 0x2402u);
}

}  // namespace
}  // namespace quorin::client
