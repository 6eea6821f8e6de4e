#include "platform/posix/file_settings_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace quorin::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kKey = "SOFTWARE\\tilro\\tlHost";

class FileSettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quorin-store-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    directory_ = pattern;
  }
  void TearDown() override { fs::remove_all(directory_); }

  std::string FileText(const fs::path& file) {
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path directory_;
};

TEST_F(FileSettingsStoreTest, KeepsTheDocumentedFileLayout) {
  FileSettingsStore store(directory_);
  ASSERT_TRUE(store.Write(RootKey::LocalMachine, kKey, "isLog", "1"));
  ASSERT_TRUE(store.Write(RootKey::LocalMachine, kKey, "curVersion", "ver4.2.0"));
  const fs::path file = directory_ / "HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini";
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(FileText(file), "isLog=1\ncurVersion=ver4.2.0\n");
  EXPECT_EQ(store.Read(RootKey::LocalMachine, kKey, "curVersion"), "ver4.2.0");
}

TEST_F(FileSettingsStoreTest, ReadsFilesWrittenByHand) {
  fs::create_directories(directory_ / "HKEY_CURRENT_USER/Software");
  std::ofstream(directory_ / "HKEY_CURRENT_USER/Software/App.ini")
      << "; a comment line is ignored\nPath=C:\\\\dir\\\\a.exe\nLines=one\\ntwo\\r\n"
      << "Eq\\=Name=x=y\nbroken line\n";
  FileSettingsStore store(directory_);
  EXPECT_EQ(store.Read(RootKey::CurrentUser, "Software\\App", "Path"), "C:\\dir\\a.exe");
  EXPECT_EQ(store.Read(RootKey::CurrentUser, "Software\\App", "Lines"), "one\ntwo\r");
  EXPECT_EQ(store.Read(RootKey::CurrentUser, "Software\\App", "Eq=Name"), "x=y");
  EXPECT_FALSE(store.Read(RootKey::CurrentUser, "Software\\App", "broken line"));
}

TEST_F(FileSettingsStoreTest, EscapesLineBreaksAndBackslashesRoundTrip) {
  FileSettingsStore store(directory_);
  const std::string nasty = "a\\b\nc\rd=e\\n";
  ASSERT_TRUE(store.Write(RootKey::LocalMachine, kKey, "na=me\n", nasty));
  EXPECT_EQ(store.Read(RootKey::LocalMachine, kKey, "na=me\n"), nasty);
  const std::string text = FileText(directory_ / "HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini");
  EXPECT_EQ(text, "na\\=me\\n=a\\\\b\\nc\\rd=e\\\\n\n") << "one line per value";
  std::string name, value;
  ASSERT_TRUE(DecodeStoreLine(EncodeStoreLine("", "x"), name, value) == false)
      << "a value needs a name";
}

TEST_F(FileSettingsStoreTest, MatchesKeysAndValuesWithoutRegardToCase) {
  FileSettingsStore store(directory_);
  ASSERT_TRUE(store.Write(RootKey::LocalMachine, kKey, "AutoLogin", "1"));
  EXPECT_EQ(store.Read(RootKey::LocalMachine, "software\\TILRO\\TLHOST", "autologin"), "1");
  ASSERT_TRUE(store.Write(RootKey::LocalMachine, "Software\\Tilro\\TlHost", "AUTOLOGIN", "0"));
  EXPECT_EQ(store.Read(RootKey::LocalMachine, kKey, "AutoLogin"), "0");
  EXPECT_EQ(FileText(directory_ / "HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini"),
            "AutoLogin=0\n")
      << "the value keeps one line and the key one file";
}

TEST_F(FileSettingsStoreTest, RemovesValuesAndReportsKeys) {
  FileSettingsStore store(directory_);
  EXPECT_FALSE(store.KeyExists(RootKey::LocalMachine, kKey));
  EXPECT_TRUE(store.Remove(RootKey::LocalMachine, kKey, "x")) << "nothing to remove";
  ASSERT_TRUE(store.CreateKey(RootKey::LocalMachine, kKey));
  EXPECT_TRUE(store.KeyExists(RootKey::LocalMachine, kKey));
  EXPECT_TRUE(store.KeyExists(RootKey::LocalMachine, "SOFTWARE\\tilro"))
      << "a parent of a key exists";
  store.Write(RootKey::LocalMachine, kKey, "a", "1");
  store.Write(RootKey::LocalMachine, kKey, "b", "2");
  EXPECT_TRUE(store.Remove(RootKey::LocalMachine, kKey, "A"));
  EXPECT_FALSE(store.Read(RootKey::LocalMachine, kKey, "a"));
  EXPECT_EQ(store.Read(RootKey::LocalMachine, kKey, "b"), "2");
  EXPECT_TRUE(store.CreateKey(RootKey::LocalMachine, kKey)) << "creating it again keeps values";
  EXPECT_EQ(store.Read(RootKey::LocalMachine, kKey, "b"), "2");
}

TEST_F(FileSettingsStoreTest, RefusesKeyPathsThatLeaveTheStore) {
  FileSettingsStore store(directory_);
  for (const char* bad : {"..\\..\\etc\\passwd", "SOFTWARE\\..\\x", "", "a\\\\b", "a/b", "a\\",
                          "\\a", "."}) {
    EXPECT_FALSE(store.Write(RootKey::LocalMachine, bad, "v", "1")) << bad;
    EXPECT_FALSE(store.Read(RootKey::LocalMachine, bad, "v")) << bad;
    EXPECT_FALSE(store.KeyFile(RootKey::LocalMachine, bad)) << bad;
  }
  EXPECT_FALSE(fs::exists(directory_.parent_path() / "etc"));
}

TEST_F(FileSettingsStoreTest, ACrashBeforeTheRenameLeavesTheOldValue) {
  {
    FileSettingsStore store(directory_);
    ASSERT_TRUE(store.Write(RootKey::LocalMachine, kKey, "maxLog", "100"));
  }
  fs::path abandoned;
  FileSettingsStore crashing(directory_, {.beforeReplace = [&](const fs::path& temporary) {
                               abandoned = temporary;
                               return false;  // the process "dies" here
                             }});
  EXPECT_FALSE(crashing.Write(RootKey::LocalMachine, kKey, "maxLog", "5"));
  EXPECT_TRUE(fs::exists(abandoned)) << "the new content was complete in the temporary file";
  EXPECT_EQ(FileText(abandoned), "maxLog=5\n");

  FileSettingsStore restarted(directory_);
  EXPECT_EQ(restarted.Read(RootKey::LocalMachine, kKey, "maxLog"), "100");
  ASSERT_TRUE(restarted.Write(RootKey::LocalMachine, kKey, "isLog", "1"));
  EXPECT_EQ(restarted.Read(RootKey::LocalMachine, kKey, "maxLog"), "100")
      << "a leftover temporary file never shadows the real one";
}

TEST_F(FileSettingsStoreTest, ConcurrentWritersLoseNoValue) {
  FileSettingsStore first(directory_);
  FileSettingsStore second(directory_);  // as if another process
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&, t] {
      FileSettingsStore& store = t % 2 == 0 ? first : second;
      for (int i = 0; i < 25; ++i) {
        store.Write(RootKey::LocalMachine, kKey, "v" + std::to_string(t) + "_" + std::to_string(i),
                    std::to_string(i));
      }
    });
  }
  for (auto& writer : writers) writer.join();
  for (int t = 0; t < 4; ++t) {
    for (int i = 0; i < 25; ++i) {
      EXPECT_EQ(first.Read(RootKey::LocalMachine, kKey,
                           "v" + std::to_string(t) + "_" + std::to_string(i)),
                std::to_string(i));
    }
  }
}

TEST(DefaultStoreDirectory, FollowsTheEnvironment) {
  const char* oldStore = std::getenv("QUORINFREE_STORE");
  const std::string savedStore = oldStore ? oldStore : "";
  ::setenv("QUORINFREE_STORE", "/srv/q", 1);
  EXPECT_EQ(DefaultStoreDirectory(), fs::path("/srv/q"));
  ::unsetenv("QUORINFREE_STORE");
  ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(DefaultStoreDirectory(), fs::path("/cfg/quorinfree"));
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", "/home/u", 1);
  EXPECT_EQ(DefaultStoreDirectory(), fs::path("/home/u/.config/quorinfree"));
  if (oldStore) ::setenv("QUORINFREE_STORE", savedStore.c_str(), 1);
}

}  // namespace
}  // namespace quorin::platform
