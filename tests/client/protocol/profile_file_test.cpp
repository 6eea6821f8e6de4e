#include "client/protocol/profile_file.h"

#include <gtest/gtest.h>

#include "tests/support/temp_path.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace quorin::client {
namespace {

class ProfileFileTest : public ::testing::Test {
 protected:
  ProfileFileTest() {
    std::filesystem::remove_all(directory_);
    std::filesystem::create_directories(directory_);
  }
  ~ProfileFileTest() override { std::filesystem::remove_all(directory_); }

  static UserProfile Profile(std::string_view name, std::string_view password = "",
                             std::int32_t save = 0) {
    UserProfile profile;
    profile.userName = name;
    profile.password = password;
    profile.savePassword = save;
    return profile;
  }
  std::string Bytes() {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }
  void WriteBytes(const std::string& bytes) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes;
  }

  std::filesystem::path directory_ = quorin::testing::UniqueTempPath("quorin_profile_file_test");
  std::string path_ = (directory_ / "userprofie.dat").string();
};

TEST_F(ProfileFileTest, FileLayoutIsLittleEndianFixedRecords) {
  ASSERT_TRUE(SaveProfile(path_, Profile("a", "pa", 1), true));
  ASSERT_TRUE(SaveProfile(path_, Profile("b"), true));
  ASSERT_TRUE(SaveProfile(path_, Profile("c", "secret"), true));
  const std::string bytes = Bytes();
  ASSERT_EQ(bytes.size(), 4u + 3u * 260u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x02\x00\x00\x00", 4));
  EXPECT_EQ(bytes.substr(4, 2), std::string("a\0", 2));
  EXPECT_EQ(bytes.substr(4 + 128, 3), std::string("pa\0", 3));
  EXPECT_EQ(bytes.substr(4 + 256, 4), std::string("\x01\x00\x00\x00", 4));
  EXPECT_EQ(bytes.substr(4 + 260 + 128, 128), std::string(128, '\0')) << "no password stored";
  EXPECT_EQ(bytes.substr(4 + 520 + 128, 6), "secret");
  EXPECT_EQ(bytes.substr(4 + 520 + 134, 122), std::string(122, '\0')) << "zero-filled behind";
  EXPECT_FALSE(std::filesystem::exists(path_ + ".tmp")) << "the temporary file is gone";

  // Saving a again replaces profile 0 in place.
  ASSERT_TRUE(SaveProfile(path_, Profile("a", "new", 1), true));
  const ProfileSet set = LoadProfiles(path_);
  EXPECT_EQ(set.count, 3);
  EXPECT_EQ(set.currentIndex, 0);
  EXPECT_EQ(set.profiles[0].password, "new");
  EXPECT_EQ(set.profiles[1].userName, "b");
  ASSERT_TRUE(SaveProfile(path_, Profile("b", "x"), false));
  EXPECT_EQ(LoadProfiles(path_).currentIndex, 0) << "not made current";
}

TEST_F(ProfileFileTest, FindIgnoresCaseWhileSaveMatchesExactly) {
  ASSERT_TRUE(SaveProfile(path_, Profile("alice", "one", 1), true));
  const auto found = FindProfile(path_, "ALICE");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->password, "one");
  ASSERT_TRUE(SaveProfile(path_, Profile("Alice", "two", 1), true));
  const ProfileSet set = LoadProfiles(path_);
  EXPECT_EQ(set.count, 2) << "a name in another case is another profile";
  EXPECT_EQ(FindProfile(path_, "aLiCe")->password, "one") << "the lower index wins";
  EXPECT_FALSE(FindProfile(path_, "bob").has_value());
}

TEST_F(ProfileFileTest, EleventhUserReplacesTheFirst) {
  for (int i = 0; i < 10; ++i)
    ASSERT_TRUE(SaveProfile(path_, Profile("u" + std::to_string(i)), true));
  EXPECT_EQ(LoadProfiles(path_).currentIndex, 9);
  ASSERT_TRUE(SaveProfile(path_, Profile("eleventh"), true));
  const ProfileSet set = LoadProfiles(path_);
  EXPECT_EQ(set.count, 10);
  EXPECT_EQ(set.currentIndex, 0);
  EXPECT_EQ(set.profiles[0].userName, "eleventh");
  EXPECT_EQ(set.profiles[1].userName, "u1");
  EXPECT_EQ(Bytes().size(), 2604u);
}

TEST_F(ProfileFileTest, ShortOddAndMissingFiles) {
  ProfileSet set = LoadProfiles(path_);
  EXPECT_EQ(set.count, 0);
  EXPECT_EQ(set.currentIndex, -1);

  WriteBytes(std::string("\x05\x00", 2));
  set = LoadProfiles(path_);
  EXPECT_EQ(set.count, 0);
  EXPECT_EQ(set.currentIndex, -1) << "shorter than the index";

  WriteBytes(std::string("\x00\x00\x00\x00", 4));
  EXPECT_EQ(LoadProfiles(path_).count, 0);
  EXPECT_EQ(LoadProfiles(path_).currentIndex, 0);

  // Three profiles, an index of 5 and a partial fourth record.
  ProfileSet three;
  three.count = 3;
  three.currentIndex = 5;
  for (int i = 0; i < 3; ++i)
    three.profiles[static_cast<std::size_t>(i)].userName = "p" + std::to_string(i);
  WriteBytes(EncodeProfiles(three) + std::string(100, 'x'));
  set = LoadProfiles(path_);
  EXPECT_EQ(set.count, 3);
  EXPECT_FALSE(CurrentProfile(set).has_value()) << "an index beyond the profiles";
  set.currentIndex = 2;
  EXPECT_EQ(CurrentProfile(set)->userName, "p2");
  set.currentIndex = -1;
  EXPECT_FALSE(CurrentProfile(set).has_value());

  // A name field without its terminating zero is read as 127 characters, no further.
  std::string raw = std::string("\x00\x00\x00\x00", 4) + std::string(128, 'n') + "pw" +
                    std::string(126, '\0') + std::string("\x01\x00\x00\x00", 4);
  WriteBytes(raw);
  set = LoadProfiles(path_);
  ASSERT_EQ(set.count, 1);
  EXPECT_EQ(set.profiles[0].userName, std::string(127, 'n'));
  EXPECT_EQ(set.profiles[0].password, "pw");
  EXPECT_EQ(set.profiles[0].savePassword, 1);
}

TEST_F(ProfileFileTest, FailedWriteKeepsTheOldFile) {
  ASSERT_TRUE(SaveProfile(path_, Profile("keep", "me", 1), true));
  const std::string before = Bytes();
  // A directory where the temporary file should go makes the write fail.
  std::filesystem::create_directories(path_ + ".tmp");
  EXPECT_FALSE(SaveProfile(path_, Profile("other"), true));
  EXPECT_EQ(Bytes(), before);
  std::filesystem::remove_all(path_ + ".tmp");
  EXPECT_FALSE(
      SaveProfile((directory_ / "missing" / "userprofie.dat").string(), Profile("x"), true));
}

}  // namespace
}  // namespace quorin::client
