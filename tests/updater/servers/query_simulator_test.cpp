// The version query against the provider simulator's update service, through the system's
// HTTP stack. The fixture runs four simulators: one with an offer, one that answers late, one
// with an empty answer and one that answers with status 500.
#include <gtest/gtest.h>

#include <chrono>

#include "../temp_folder.h"
#include "platform/http_client.h"
#include "server_environment.h"
#include "updater/utf8_path.h"
#include "updater/version_query.h"

namespace quorin::updater {
namespace {

std::string QueryUrl(const std::string& hostAndPort) {
  return "http://" + hostAndPort +
         "/GetNewVersion.php?ProductName=QuorinFree&vendor=tilro"
         "&CurrVersion=2.0.0&Language=&OSVer=6.1.7601_1.0&HardwareID=abc";
}

TEST(SimulatorQuery, ReadsTheOfferAndSendsTheQueryAsBuilt) {
  QUORIN_REQUIRE_FIXTURE(offer, "QUORIN_SIM_OFFER");
  const VersionOffer result = QueryVersion(platform::SystemHttpClient(), QueryUrl(offer));
  EXPECT_EQ(result.currentVersion, "2.1.0");
  EXPECT_EQ(result.url, "/files/app.bin");
  EXPECT_EQ(result.checkSum, "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(result.description, "ForceUpdate=true");
  EXPECT_EQ(result.forceUpdate, "true") << "from the Description line";
  EXPECT_EQ(result.strictVersion, "false");

  const std::string records =
      testing::ReadWholeFile(PathFromUtf8(testing::FixtureVariable("QUORIN_SIM_OFFER_RECORDS")));
  EXPECT_NE(records.find("GET /GetNewVersion.php?ProductName=QuorinFree&vendor=tilro"
                         "&CurrVersion=2.0.0&Language=&OSVer=6.1.7601_1.0&HardwareID=abc "),
            std::string::npos)
      << records;
  EXPECT_NE(records.find("User-Agent: HttpClient"), std::string::npos);
}

TEST(SimulatorQuery, CountsALateAnswerAsNone) {
  QUORIN_REQUIRE_FIXTURE(late, "QUORIN_SIM_LATE");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(QueryVersion(platform::SystemHttpClient(), QueryUrl(late)), VersionOffer());
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(3500));
  EXPECT_LT(waited, std::chrono::milliseconds(5900)) << "the answer comes after 6000 ms";
}

TEST(SimulatorQuery, GivesNoOfferForEmptyOrFailedAnswers) {
  QUORIN_REQUIRE_FIXTURE(empty, "QUORIN_SIM_EMPTY");
  QUORIN_REQUIRE_FIXTURE(failing, "QUORIN_SIM_STATUS500");
  EXPECT_EQ(QueryVersion(platform::SystemHttpClient(), QueryUrl(empty)), VersionOffer());
  EXPECT_EQ(QueryVersion(platform::SystemHttpClient(), QueryUrl(failing)), VersionOffer())
      << "any status but 200 gives no offer";
}

TEST(SimulatorQuery, FallsBackToTheSecondaryAndResolvesAgainstThePrimary) {
  QUORIN_REQUIRE_FIXTURE(offer, "QUORIN_SIM_OFFER");
  QUORIN_REQUIRE_FIXTURE(empty, "QUORIN_SIM_EMPTY");
  const VersionOffer result =
      QueryVersionWithFallback(platform::SystemHttpClient(), QueryUrl(empty), QueryUrl(offer));
  EXPECT_EQ(result.currentVersion, "2.1.0");
  EXPECT_EQ(result.url, "http://" + empty + "/files/app.bin");
}

}  // namespace
}  // namespace quorin::updater
