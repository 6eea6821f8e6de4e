#include "client/local/profile_file.h"

#include <gtest/gtest.h>

#include "tests/support/full_disk.h"
#include "tests/support/temp_path.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/system_text.h"

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
  std::vector<std::string> FileNames() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
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
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"userprofie.dat", "userprofie.dat.lock"}))
      << "the temporary file is gone";

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

TEST(WithProfile, StoresOneProfileAndKeepsTheRest) {
  ProfileSet set;
  UserProfile a;
  a.userName = "a";
  set = WithProfile(set, a, false);
  EXPECT_EQ(set.count, 1);
  EXPECT_EQ(set.currentIndex, -1) << "not made current";
  set.count = 42;  // a set no file can give
  set = WithProfile(set, a, true);
  EXPECT_EQ(set.count, 10) << "never more than ten";
  EXPECT_EQ(set.currentIndex, 0);
  set.count = -3;
  set = WithProfile(set, a, true);
  EXPECT_EQ(set.count, 1);
  EXPECT_EQ(set.profiles[0].userName, "a");
}

TEST(WithLoginProfile, RecordsALoginAsTheLoginDialogDoes) {
  ProfileSet set = WithLoginProfile(ProfileSet(), "alice", "one", true);
  set = WithLoginProfile(set, "bob", "two", true);
  EXPECT_EQ(set.currentIndex, 1);
  // The stored profile is found regardless of case and keeps its own name.
  set = WithLoginProfile(set, "ALICE", "new", true);
  ASSERT_EQ(set.count, 2) << "no second alice";
  EXPECT_EQ(set.currentIndex, 0);
  EXPECT_EQ(set.profiles[0].userName, "alice");
  EXPECT_EQ(set.profiles[0].password, "new");
  EXPECT_EQ(set.profiles[0].savePassword, 1);
  // A cleared box clears the flag but leaves the password stored earlier.
  set = WithLoginProfile(set, "alice", "other", false);
  EXPECT_EQ(set.profiles[0].savePassword, 0);
  EXPECT_EQ(set.profiles[0].password, "new");
}

TEST(WithoutProfile, ClosesTheGapAndKeepsTheCurrentProfileOrNone) {
  ProfileSet set;
  for (const char* name : {"a", "b", "c", "d"})
    set = WithLoginProfile(set, name, "pw", true);
  set.currentIndex = 2;  // c

  ProfileSet after = WithoutProfile(set, 0);
  ASSERT_EQ(after.count, 3);
  EXPECT_EQ(after.profiles[0].userName, "b");
  EXPECT_EQ(after.profiles[2].userName, "d");
  EXPECT_EQ(after.profiles[3].userName, "") << "the freed record is zero";
  EXPECT_EQ(after.currentIndex, 1) << "the current index follows c";

  after = WithoutProfile(set, 3);
  EXPECT_EQ(after.currentIndex, 2) << "a profile behind the current one";
  after = WithoutProfile(set, 2);
  EXPECT_EQ(after.currentIndex, -1) << "no other account becomes current";
  EXPECT_EQ(after.profiles[2].userName, "d");

  set.currentIndex = 7;  // marks none
  after = WithoutProfile(set, 0);
  EXPECT_FALSE(CurrentProfile(after).has_value());
  after = WithoutProfile(set, 4);
  EXPECT_EQ(after.count, 4) << "an index beyond the profiles removes nothing";
  EXPECT_EQ(EncodeProfiles(WithoutProfile(after, -1)).size(), 4u + 4u * 260u);
}

TEST_F(ProfileFileTest, ForgetTakesTheExactNameFirstAndNeverGuesses) {
  ASSERT_TRUE(SaveProfile(path_, Profile("alice", "one", 1), true));
  ASSERT_TRUE(SaveProfile(path_, Profile("Alice", "two", 1), true));
  EXPECT_EQ(ForgetProfile(path_, "Alice"), ForgetResult::kForgottenCurrent);
  EXPECT_EQ(ForgetProfile(path_, "ALICE"), ForgetResult::kForgotten) << "else any letter case";
  EXPECT_EQ(Bytes(), std::string("\xff\xff\xff\xff", 4)) << "no profile, none current";
  EXPECT_EQ(ForgetProfile(path_, "alice"), ForgetResult::kNotFound);

  std::filesystem::remove(path_);
  EXPECT_EQ(ForgetProfile(path_, "alice"), ForgetResult::kNotFound);
  EXPECT_FALSE(std::filesystem::exists(path_)) << "no file is made";
  std::filesystem::create_directories(path_);
  EXPECT_EQ(ForgetProfile(path_, "alice"), ForgetResult::kFileError) << "unreadable";
}

TEST_F(ProfileFileTest, CodePage936FieldsHoldGbk) {
  if (platform::SystemTextFromUtf8("\xE5\xBC\xA0") != std::string("\xD5\xC5"))
    GTEST_SKIP() << "the system code page is not 936";
  const std::string zhangSan = "\xE5\xBC\xA0\xE4\xB8\x89";                      // 张三
  ASSERT_TRUE(SaveProfile(path_, Profile(zhangSan, "\xE5\xAF\x86", 1), true));  // 密
  const std::string bytes = Bytes();
  ASSERT_EQ(bytes.size(), 4u + kProfileRecordSize);
  EXPECT_EQ(bytes.substr(4, 5), std::string("\xD5\xC5\xC8\xFD\0", 5)) << "the name in GBK";
  EXPECT_EQ(bytes.substr(4 + 128, 3), std::string("\xC3\xDC\0", 3)) << "the password in GBK";

  // A file written by hand in GBK (an earlier installation's) reads back.
  std::string file(4 + kProfileRecordSize, '\0');
  file.replace(4, 4, "\xC0\xEE\xCB\xC4");  // 李四
  WriteBytes(file);
  const ProfileSet set = LoadProfiles(path_);
  ASSERT_EQ(set.count, 1);
  EXPECT_EQ(set.profiles[0].userName, "\xE6\x9D\x8E\xE5\x9B\x9B");

  EXPECT_FALSE(SaveProfile(path_, Profile("\xED\x95\x9C"), true)) << "Hangul is not in 936";
  EXPECT_EQ(LoadProfiles(path_).count, 1) << "and the file is left as it was";
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
  // A directory where the lock file should be makes the save fail before it reads.
  std::filesystem::remove(path_ + ".lock");
  std::filesystem::create_directories(path_ + ".lock");
  EXPECT_FALSE(SaveProfile(path_, Profile("other"), true));
  EXPECT_EQ(Bytes(), before);
  std::filesystem::remove_all(path_ + ".lock");
  EXPECT_FALSE(
      SaveProfile((directory_ / "missing" / "userprofie.dat").string(), Profile("x"), true));

  // A temporary file left by a saver that was killed holds passwords; the next save removes it.
  WriteBytes(before);
  std::ofstream(path_ + ".tmp31337-0", std::ios::binary) << before;
  ASSERT_TRUE(SaveProfile(path_, Profile("other"), true));
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"userprofie.dat", "userprofie.dat.lock"}));
  EXPECT_EQ(LoadProfiles(path_).count, 2);
}

TEST_F(ProfileFileTest, TheFileIsForItsOwnerOnly) {
  ASSERT_TRUE(SaveProfile(path_, Profile("a", "secret", 1), true));
  if (!quorin::testing::PosixMode(path_))
    GTEST_SKIP() << "no POSIX modes here";
  EXPECT_EQ(quorin::testing::PosixMode(path_), 0600u);
  std::filesystem::permissions(path_, std::filesystem::perms(0644));
  ASSERT_TRUE(SaveProfile(path_, Profile("a", "secret2", 1), true));
  EXPECT_EQ(quorin::testing::PosixMode(path_), 0600u) << "each save closes it to others";
  std::filesystem::permissions(path_, std::filesystem::perms(0400));
  ASSERT_TRUE(SaveProfile(path_, Profile("a", "secret3", 1), true));
  EXPECT_EQ(quorin::testing::PosixMode(path_), 0400u) << "a stricter mode of the user's stays";
  EXPECT_EQ(LoadProfiles(path_).profiles[0].password, "secret3");
}

TEST_F(ProfileFileTest, ConcurrentSaversLoseNoProfile) {
  // The console client and the service save at once, each its own accounts, again and again.
  // Only a save that holds the lock from its read to its rename keeps the other's profiles.
  constexpr int kSavers = 2;
  constexpr int kNamesPerSaver = 5;  // ten in all: no save pushes out another's profile
  constexpr int kRounds = 40;
  std::vector<std::thread> savers;
  std::vector<std::string> problems(kSavers);
  for (int s = 0; s < kSavers; ++s) {
    savers.emplace_back([&, s] {
      const auto name = [&](int n) { return std::string(1, char('a' + s)) + std::to_string(n); };
      for (int round = 0; round < kRounds && problems[s].empty(); ++round) {
        for (int n = 0; n < kNamesPerSaver && problems[s].empty(); ++n) {
          if (!SaveProfile(path_, Profile(name(n), std::to_string(round), 1), false)) {
            problems[s] = "save failed";
            break;
          }
          // Every profile of this saver must hold the password it wrote last.
          const ProfileSet set = LoadProfiles(path_);
          for (int m = 0; m < kNamesPerSaver; ++m) {
            const int expected = m <= n ? round : round - 1;
            if (expected < 0)
              continue;
            bool found = false;
            for (int i = 0; i < set.count; ++i) {
              const UserProfile& p = set.profiles[static_cast<std::size_t>(i)];
              if (p.userName == name(m)) {
                found = p.password == std::to_string(expected);
                break;
              }
            }
            if (!found)
              problems[s] = name(m) + " lost in round " + std::to_string(round);
          }
        }
      }
    });
  }
  for (auto& saver : savers)
    saver.join();
  for (int s = 0; s < kSavers; ++s)
    EXPECT_EQ(problems[s], "") << "saver " << s;
  const ProfileSet set = LoadProfiles(path_);
  EXPECT_EQ(set.count, kSavers * kNamesPerSaver);
  EXPECT_EQ(Bytes().size(), 4u + 10u * 260u);
}

TEST_F(ProfileFileTest, AFullDiskLeavesTheOldFileWhole) {
  ASSERT_TRUE(SaveProfile(path_, Profile("a", "pa", 1), true));
  ASSERT_TRUE(SaveProfile(path_, Profile("b", "pb", 1), true));
  const std::string before = Bytes();
  const auto saved = quorin::testing::RunOnFullDisk(
      before.size() + 100, [&] { return SaveProfile(path_, Profile("c", "pc", 1), true) ? 1 : 0; });
  if (!saved)
    GTEST_SKIP() << "no file size limit here";
  EXPECT_EQ(*saved, 0) << "the save is reported as failed";
  EXPECT_EQ(Bytes(), before);
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"userprofie.dat", "userprofie.dat.lock"}))
      << "no half-written temporary file remains";
}

}  // namespace
}  // namespace quorin::client
