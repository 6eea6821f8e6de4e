// Which account the client without windows (and the service program) logs in with.
#include <gtest/gtest.h>

#include <filesystem>

#include "client/headless/headless_session.h"
#include "client/local/profile_file.h"
#include "tests/client/protocol/test_settings.h"
#include "tests/support/temp_path.h"

namespace quorin::client {
namespace {

class HeadlessAccountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = quorin::testing::UniqueTempPath("headless-account");
    std::filesystem::create_directories(folder_);
    config_.profilePath = (folder_ / "userprofie.dat").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  void Remember(const char* user, const char* password, int savePassword) {
    UserProfile profile;
    profile.userName = user;
    profile.password = password;
    profile.savePassword = savePassword;
    ASSERT_TRUE(SaveProfile(config_.profilePath, profile, true));
  }

  std::filesystem::path folder_;
  HeadlessRunConfig config_;
  testing::TestSettings settings_;
};

TEST_F(HeadlessAccountTest, TheRememberedAccountNeedsAStoredPassword) {
  EXPECT_FALSE(RememberedAccount(config_.profilePath)) << "no file";
  Remember("alice", "", 1);
  EXPECT_FALSE(RememberedAccount(config_.profilePath)) << "flag set, password empty";
  Remember("alice", "pw", 0);
  EXPECT_FALSE(RememberedAccount(config_.profilePath)) << "password kept, flag off";
  Remember("alice", "pw", 1);
  const auto account = RememberedAccount(config_.profilePath);
  ASSERT_TRUE(account);
  EXPECT_EQ(account->user, "alice");
  EXPECT_EQ(account->password, "pw");
}

TEST_F(HeadlessAccountTest, TheCommandLineWinsAndTheProfileNeedsAutoLogin) {
  Remember("alice", "pw", 1);
  EXPECT_FALSE(ChooseAccount(config_, settings_.settings)) << "autoLogin is off";

  settings_.settings.SetAutoLogin(true);
  auto account = ChooseAccount(config_, settings_.settings);
  ASSERT_TRUE(account);
  EXPECT_EQ(account->user, "alice");

  config_.silent = SilentAccount{"bob", "other"};
  account = ChooseAccount(config_, settings_.settings);
  ASSERT_TRUE(account);
  EXPECT_EQ(account->user, "bob");
}

}  // namespace
}  // namespace quorin::client
