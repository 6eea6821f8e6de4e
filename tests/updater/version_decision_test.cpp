#include "updater/version_decision.h"

#include <gtest/gtest.h>

#include <set>

namespace quorin::updater {
namespace {

TEST(IsNewerVersion, ComparesTheDotlessTextsByteByByte) {
  EXPECT_TRUE(IsNewerVersion("2.0", "1.9.9")) << "20 sorts after 199";
  EXPECT_FALSE(IsNewerVersion("1.10", "1.9")) << "110 sorts before 19: no numeric reading";
  EXPECT_TRUE(IsNewerVersion("1.9", "1.10"));
  EXPECT_FALSE(IsNewerVersion("2.1.0", "2.1.0"));
  EXPECT_FALSE(IsNewerVersion("2.1.0", "210")) << "the dots do not count";
  EXPECT_TRUE(IsNewerVersion("2.1.0.1", "2.1.0"));
  EXPECT_TRUE(IsNewerVersion("1", ""));
  EXPECT_FALSE(IsNewerVersion("", ""));
  EXPECT_TRUE(IsNewerVersion("\xe9", "z")) << "bytes compare as unsigned values, as strcmp does";
}

class NeedsDownloadTest : public ::testing::Test {
 protected:
  bool Needs(const VersionOffer& offer) {
    return NeedsDownload(offer, info_,
                         [this](const std::string& path) { return existing_.count(path) > 0; });
  }
  VersionOffer Offer(std::string version, std::string strict = "false") {
    VersionOffer offer;
    offer.currentVersion = std::move(version);
    offer.strictVersion = std::move(strict);
    return offer;
  }
  ProductInfo info_;
  std::set<std::string> existing_;
};

TEST_F(NeedsDownloadTest, WantsANewerVersionUnlessItIsStagedAlready) {
  info_.version = "2.0";
  EXPECT_FALSE(Needs(Offer("2.0"))) << "the installed version itself";
  EXPECT_FALSE(Needs(Offer("1.9")));
  EXPECT_TRUE(Needs(Offer("2.1"))) << "nothing recorded yet";

  info_.newVersionNumber = "2.1";
  info_.newVersionFile = "C:\\Q\\InstallFiles\\q.exe";
  EXPECT_TRUE(Needs(Offer("2.1"))) << "recorded, but its file is gone";
  existing_.insert(info_.newVersionFile);
  EXPECT_FALSE(Needs(Offer("2.1"))) << "recorded and staged";
  EXPECT_TRUE(Needs(Offer("2.2"))) << "newer than the recorded version";
}

TEST_F(NeedsDownloadTest, StrictOffersAreWantedWhenTheyDifferFromTheInstalledVersion) {
  info_.version = "2.0";
  EXPECT_TRUE(Needs(Offer("1.0", "true"))) << "an older strict offer, not recorded";
  EXPECT_FALSE(Needs(Offer("2.0", "true"))) << "equal to the installed version";
  EXPECT_FALSE(Needs(Offer("1.0", "True"))) << "only exactly \"true\" is strict";

  info_.newVersionNumber = "1.0";
  info_.newVersionFile = "f";
  EXPECT_TRUE(Needs(Offer("1.0", "true"))) << "recorded, file missing";
  existing_.insert("f");
  EXPECT_FALSE(Needs(Offer("1.0", "true")))
      << "recorded and staged: the ordinary rule applies, and 1.0 is not newer";
  EXPECT_FALSE(Needs(Offer("2.0", "false")));
}

}  // namespace
}  // namespace quorin::updater
