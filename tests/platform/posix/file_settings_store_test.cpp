#include "platform/posix/file_settings_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/support/full_disk.h"

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

  fs::path KeyPath() const { return directory_ / "HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini"; }

  void WriteKeyFile(const std::string& text) {
    fs::create_directories(KeyPath().parent_path());
    std::ofstream(KeyPath(), std::ios::binary) << text;
  }

  // The names in the key's directory, to show that no temporary file is left.
  std::vector<std::string> KeyDirectoryNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(KeyPath().parent_path()))
      names.push_back(entry.path().filename().string());
    return names;
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

TEST(StoreFileLines, KeepsEveryLineAndChangesOnlyTheValuesAsked) {
  const std::string text = "a=1\n# note\nb=2\r\nA=shadowed\n";
  StoreFileLines lines(text);
  EXPECT_EQ(lines.Text(), text) << "read and written back unchanged";
  EXPECT_EQ(StoreFileLines("no end").Text(), "no end\n");
  EXPECT_EQ(lines.Find("B"), "2");
  EXPECT_FALSE(lines.Set("", "x"));
  EXPECT_TRUE(lines.Set("c", "new\nline"));
  EXPECT_TRUE(lines.Remove("b"));
  EXPECT_FALSE(lines.Remove("b")) << "nothing left to remove";
  EXPECT_EQ(lines.Text(), "a=1\n# note\nA=shadowed\nc=new\\nline\n");
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
  EXPECT_EQ(FileText(directory_ / "HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini"), "AutoLogin=0\n")
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
  for (const char* bad :
       {"..\\..\\etc\\passwd", "SOFTWARE\\..\\x", "", "a\\\\b", "a/b", "a\\", "\\a", "."}) {
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

  // Leftovers of killed writers of older versions, and a file of the user's that only looks
  // like one.
  std::ofstream(KeyPath().string() + ".tmp4242") << "maxLog=7\n";
  std::ofstream(KeyPath().string() + ".tmp") << "maxLog=8\n";
  std::ofstream(KeyPath().string() + ".tmpnotes") << "mine\n";

  FileSettingsStore restarted(directory_);
  EXPECT_EQ(restarted.Read(RootKey::LocalMachine, kKey, "maxLog"), "100");
  ASSERT_TRUE(restarted.Write(RootKey::LocalMachine, kKey, "isLog", "1"));
  EXPECT_EQ(restarted.Read(RootKey::LocalMachine, kKey, "maxLog"), "100")
      << "a leftover temporary file never shadows the real one";
  EXPECT_FALSE(fs::exists(abandoned)) << "the next change removes what a killed writer left";
  EXPECT_FALSE(fs::exists(KeyPath().string() + ".tmp4242"));
  EXPECT_FALSE(fs::exists(KeyPath().string() + ".tmp"));
  EXPECT_TRUE(fs::exists(KeyPath().string() + ".tmpnotes")) << "not a name the store gives";
}

TEST_F(FileSettingsStoreTest, NeverRewritesAFileItCouldNotReadWhole) {
  // A key file past the read limit, as one value per server-given host name would make it.
  std::string text = "isLog=1\ncurVersion=ver4.2.0\n";
  for (int i = 0; text.size() <= kMaxStoreFileBytes; ++i)
    text += "host" + std::to_string(i) + "." + std::string(200, 'z') + ".example=11\n";
  WriteKeyFile(text);
  FileSettingsStore store(directory_);
  EXPECT_EQ(store.Read(RootKey::LocalMachine, kKey, "isLog"), "1")
      << "the values of the first megabyte are still read";
  EXPECT_FALSE(store.Write(RootKey::LocalMachine, kKey, "maxLog", "5"))
      << "a write based on a cut read would drop every value not read";
  EXPECT_FALSE(store.Remove(RootKey::LocalMachine, kKey, "isLog"));
  EXPECT_TRUE(store.CreateKey(RootKey::LocalMachine, kKey)) << "the key exists";
  EXPECT_EQ(FileText(KeyPath()), text) << "the file is left as it was";

  // A file just under the limit takes no change that would carry it past the limit, so the
  // store never writes a file it cannot read whole.
  text.resize(text.rfind('\n', kMaxStoreFileBytes - 200) + 1);
  WriteKeyFile(text);
  int written = 0;
  const std::string label(100, 'h');
  while (store.Write(RootKey::LocalMachine, kKey, label + std::to_string(written), "11"))
    ASSERT_LT(++written, 10) << "the limit must stop the growth";
  EXPECT_GT(written, 0);
  EXPECT_LE(fs::file_size(KeyPath()), kMaxStoreFileBytes);
  EXPECT_EQ(store.Read(RootKey::LocalMachine, kKey, "curVersion"), "ver4.2.0");
  EXPECT_TRUE(store.Write(RootKey::LocalMachine, kKey, "isLog", "0"))
      << "a change that does not grow the file still goes through";
  EXPECT_EQ(store.Read(RootKey::LocalMachine, kKey, "isLog"), "0");
  EXPECT_EQ(store.Read(RootKey::LocalMachine, kKey, label + "0"), "11");

  // A key file that cannot be read at all is not replaced either.
  fs::remove(KeyPath());
  fs::create_directories(KeyPath());
  EXPECT_FALSE(store.Read(RootKey::LocalMachine, kKey, "isLog"));
  EXPECT_FALSE(store.Write(RootKey::LocalMachine, kKey, "isLog", "1"));
  EXPECT_TRUE(fs::is_directory(KeyPath()));
}

TEST_F(FileSettingsStoreTest, KeepsLinesItCannotDecodeAndRefusesEmptyNames) {
  const std::string handWritten =
      "; settings of this machine\n"
      "broken line\n"
      "=no name\n"
      "\n"
      "isLog=0\r\n"
      "maxLog=100\n"
      "ISLOG=9\n"
      "trailing";
  WriteKeyFile(handWritten);
  FileSettingsStore store(directory_);
  EXPECT_EQ(store.Read(RootKey::LocalMachine, kKey, "isLog"), "0") << "the first line counts";
  ASSERT_TRUE(store.Write(RootKey::LocalMachine, kKey, "maxLog", "50"));
  EXPECT_EQ(FileText(KeyPath()),
            "; settings of this machine\nbroken line\n=no name\n\nisLog=0\r\nmaxLog=50\n"
            "ISLOG=9\ntrailing\n")
      << "only the changed value's line is rewritten";

  ASSERT_TRUE(store.Write(RootKey::LocalMachine, kKey, "islog", "1"));
  EXPECT_EQ(FileText(KeyPath()),
            "; settings of this machine\nbroken line\n=no name\n\nisLog=1\nmaxLog=50\n"
            "trailing\n")
      << "the name keeps its case; a shadowed second line of it goes";
  ASSERT_TRUE(store.Remove(RootKey::LocalMachine, kKey, "ISLOG"));
  EXPECT_FALSE(store.Read(RootKey::LocalMachine, kKey, "isLog"));

  const std::string before = FileText(KeyPath());
  EXPECT_FALSE(store.Write(RootKey::LocalMachine, kKey, "", "x")) << "no line form for it";
  EXPECT_FALSE(store.Read(RootKey::LocalMachine, kKey, ""));
  EXPECT_TRUE(store.Remove(RootKey::LocalMachine, kKey, ""));
  EXPECT_EQ(FileText(KeyPath()), before);
}

TEST_F(FileSettingsStoreTest, FilesAreForTheirOwnerOnly) {
  FileSettingsStore store(directory_ / "fresh");
  ASSERT_TRUE(store.Write(RootKey::LocalMachine, kKey, "isLog", "1"));
  const fs::path file = directory_ / "fresh/HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini";
  EXPECT_EQ(quorin::testing::PosixMode(directory_ / "fresh"), 0700u);
  EXPECT_EQ(quorin::testing::PosixMode(file.parent_path()), 0700u);
  EXPECT_EQ(quorin::testing::PosixMode(file), 0600u);
  EXPECT_EQ(quorin::testing::PosixMode(directory_ / "fresh/.lock"), 0600u);

  ASSERT_EQ(::chmod(file.c_str(), 0400), 0);
  ASSERT_TRUE(store.Write(RootKey::LocalMachine, kKey, "isLog", "0"));
  EXPECT_EQ(quorin::testing::PosixMode(file), 0400u) << "a stricter mode of the user's is kept";
  ASSERT_EQ(::chmod(file.c_str(), 0664), 0);
  ASSERT_TRUE(store.Write(RootKey::LocalMachine, kKey, "isLog", "1"));
  EXPECT_EQ(quorin::testing::PosixMode(file), 0600u) << "others lose what they could read";
}

TEST_F(FileSettingsStoreTest, AFullDiskLeavesTheOldFileWhole) {
  FileSettingsStore store(directory_);
  ASSERT_TRUE(store.Write(RootKey::LocalMachine, kKey, "isLog", "1"));
  ASSERT_TRUE(store.Write(RootKey::LocalMachine, kKey, "curVersion", "ver4.2.0"));
  const std::string before = FileText(KeyPath());
  const auto result = quorin::testing::RunOnFullDisk(before.size() + 10, [&] {
    FileSettingsStore child(directory_);
    return child.Write(RootKey::LocalMachine, kKey, "LoginSvrIP", std::string(200, '7')) ? 1 : 0;
  });
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, 0) << "the write is reported as failed";
  EXPECT_EQ(FileText(KeyPath()), before);
  EXPECT_EQ(KeyDirectoryNames(), std::vector<std::string>{"tlHost.ini"})
      << "no half-written temporary file remains";
  EXPECT_TRUE(store.Write(RootKey::LocalMachine, kKey, "LoginSvrIP", "1.2.3.4"))
      << "with room again the store works";
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
  for (auto& writer : writers)
    writer.join();
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
  if (oldStore)
    ::setenv("QUORINFREE_STORE", savedStore.c_str(), 1);
}

}  // namespace
}  // namespace quorin::platform
