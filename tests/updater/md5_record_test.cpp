#include <gtest/gtest.h>

#include "common/md5.h"
#include "platform/memory_settings_store.h"
#include "temp_folder.h"
#include "updater/md5_check.h"
#include "updater/version_record.h"

namespace quorin::updater {
namespace {

using platform::RootKey;
using testing::PatternBytes;
using testing::WriteWholeFile;

TEST(CheckMD5, AcceptsOnlyTheExactLowercaseDigestAndDeletesAWrongFile) {
  testing::TempFolder folder;
  const auto path = folder.path() / "q.exe";
  const std::string bytes = PatternBytes(100000);  // many 1024-byte blocks and a short one
  const std::string digest = Md5Text(bytes);
  WriteWholeFile(path, bytes);
  EXPECT_EQ(FileMd5Text(folder.File("q.exe")), digest);
  EXPECT_TRUE(CheckMD5(folder.File("q.exe"), digest));
  EXPECT_TRUE(std::filesystem::exists(path)) << "a good file stays";

  std::string upper = digest;
  for (auto& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_FALSE(CheckMD5(folder.File("q.exe"), upper));
  EXPECT_FALSE(std::filesystem::exists(path)) << "a wrong file is deleted";

  WriteWholeFile(path, bytes);
  EXPECT_FALSE(CheckMD5(folder.File("q.exe"), digest + " ")) << "a trailing blank never matches";
  WriteWholeFile(path, "");
  EXPECT_TRUE(CheckMD5(folder.File("q.exe"), "d41d8cd98f00b204e9800998ecf8427e"));
  EXPECT_FALSE(CheckMD5(folder.File("missing.exe"), digest));
  EXPECT_TRUE(CheckMD5(folder.File("missing.exe"), "d41d8cd98f00b204e9800998ecf8427e"))
      << "a file that cannot be opened digests as empty input";

  WriteWholeFile(path, "line\r\nend\x1a tail");
  EXPECT_EQ(FileMd5Text(folder.File("q.exe")), Md5Text("line\r\nend\x1a tail"))
      << "binary reading: no newline or end-of-file translation";
}

class VersionRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(store_.Write(RootKey::LocalMachine, kKey, "ProductName", "QuorinFree"));
    offer_.currentVersion = "2.1.0";
    offer_.description = std::string(600, 'd');
    offer_.forceUpdate = "TRUE";
    offer_.strictVersion = "";
  }
  static constexpr std::string_view kKey = "SOFTWARE\\tilro\\Product";
  platform::MemorySettingsStore store_;
  VersionOffer offer_;
};

TEST_F(VersionRecordTest, WritesTheFiveValuesInOrderUnderLocalMachine) {
  ASSERT_TRUE(WriteInfoToRegistry(store_, kKey, offer_, "C:\\Q\\InstallFiles\\q.exe"));
  const std::vector<std::string> journal = store_.Journal();
  ASSERT_EQ(journal.size(), 6u);
  EXPECT_EQ(journal[1], "NewVersionNumber=2.1.0");
  EXPECT_EQ(journal[2], "NewVersionFile=C:\\Q\\InstallFiles\\q.exe");
  EXPECT_EQ(journal[3], "NewVersionDescription=" + std::string(600, 'd'))
      << "a description longer than the path is stored whole";
  EXPECT_EQ(journal[4], "ForceUpdate=TRUE") << "as received";
  EXPECT_EQ(journal[5], "StrictVersion=");

  ASSERT_TRUE(WriteInfoToRegistry(store_, kKey, offer_, "C:\\Q\\InstallFiles\\q.exe"));
  EXPECT_EQ(store_.Read(RootKey::LocalMachine, kKey, "NewVersionNumber"), "2.1.0")
      << "a second run overwrites with the same texts";
}

TEST_F(VersionRecordTest, NeverCreatesTheKeyAndStopsAtTheFirstFailure) {
  platform::MemorySettingsStore userOnly;
  ASSERT_TRUE(userOnly.Write(RootKey::CurrentUser, kKey, "ProductName", "QuorinFree"));
  EXPECT_FALSE(WriteInfoToRegistry(userOnly, kKey, offer_, "f"))
      << "the key exists under HKEY_CURRENT_USER only";
  EXPECT_FALSE(userOnly.KeyExists(RootKey::LocalMachine, kKey));

  store_.SetReadOnly(true);
  EXPECT_FALSE(WriteInfoToRegistry(store_, kKey, offer_, "f"));
  EXPECT_EQ(store_.Journal().size(), 1u) << "nothing after the first refused value";
}

}  // namespace
}  // namespace quorin::updater
