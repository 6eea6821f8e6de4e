// The service switch's account side against a real profile file.
#include "client/local/service_switch_account.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "client/local/profile_file.h"
#include "tests/support/temp_path.h"

namespace quorin::client {
namespace {

class ServiceSwitchAccountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing::UniqueTempPath("switch-account");
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / "userprofie.dat").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  void Remember(const char* user, const char* password, int savePassword, bool current) {
    UserProfile profile;
    profile.userName = user;
    profile.password = password;
    profile.savePassword = savePassword;
    ASSERT_TRUE(SaveProfile(path_, profile, current));
  }
  void LogIn(const char* user, const char* password, const char* key) {
    context_.Edit([&](ClientState& state) {
      state.userName = user;
      state.password = password;
      state.key = key;
    });
  }

  std::filesystem::path folder_;
  std::string path_;
  ClientContext context_;
};

TEST_F(ServiceSwitchAccountTest, CredentialsComeFromTheLoginOrTheRememberedCurrentProfile) {
  const ServiceSwitchAccount account = ProfileServiceSwitchAccount(context_, path_);
  EXPECT_FALSE(account.hasCredentials()) << "no login and no file";

  Remember("alice", "secret", 0, true);
  EXPECT_FALSE(account.hasCredentials()) << "the current profile forgets its password";

  Remember("bob", "pw", 1, false);
  EXPECT_FALSE(account.hasCredentials()) << "a remembered profile that is not the current one";

  Remember("bob", "pw", 1, true);
  EXPECT_TRUE(account.hasCredentials()) << "the file is read again at every click";

  std::filesystem::remove(path_);
  LogIn("carol", "pw", "000ns.example.net-c");
  EXPECT_TRUE(account.hasCredentials()) << "a login's key is enough";
}

TEST_F(ServiceSwitchAccountTest, TheLoggedInAccountBecomesTheRememberedCurrentProfile) {
  Remember("alice", "old", 0, true);
  Remember("carol", "", 0, false);
  LogIn("carol", "new & secret", "000ns.example.net-c");

  ProfileServiceSwitchAccount(context_, path_).rememberAccount();

  const ProfileSet set = LoadProfiles(path_);
  ASSERT_EQ(set.count, 2) << "carol's entry is replaced, not added again";
  const auto current = CurrentProfile(set);
  ASSERT_TRUE(current.has_value());
  EXPECT_EQ(current->userName.str(), "carol");
  EXPECT_EQ(current->password.str(), "new & secret");
  EXPECT_EQ(current->savePassword, 1);
  EXPECT_EQ(set.profiles[0].password.str(), "old") << "other profiles stay as they were";
}

// A registration that does not happen (declined, or failed) takes back what the switch stored:
// the file as it was, or no file at all when there was none.
TEST_F(ServiceSwitchAccountTest, RestoringPutsTheFileBackAsItWas) {
  Remember("alice", "old", 0, true);
  const std::string before = EncodeProfiles(LoadProfiles(path_));
  LogIn("carol", "secret", "000ns.example.net-c");
  const ServiceSwitchAccount account = ProfileServiceSwitchAccount(context_, path_);
  account.rememberAccount();
  ASSERT_NE(EncodeProfiles(LoadProfiles(path_)), before);
  account.restoreAccount();
  EXPECT_EQ(EncodeProfiles(LoadProfiles(path_)), before);

  std::filesystem::remove(path_);
  account.rememberAccount();
  ASSERT_TRUE(std::filesystem::exists(path_));
  account.restoreAccount();
  EXPECT_FALSE(std::filesystem::exists(path_)) << "carol's password does not stay behind";
}

TEST_F(ServiceSwitchAccountTest, WithoutALoginTheRememberedProfileIsLeftAsItIs) {
  Remember("alice", "pw", 1, true);
  const std::string before = EncodeProfiles(LoadProfiles(path_));

  ProfileServiceSwitchAccount(context_, path_).rememberAccount();

  EXPECT_EQ(EncodeProfiles(LoadProfiles(path_)), before);
}

}  // namespace
}  // namespace quorin::client
