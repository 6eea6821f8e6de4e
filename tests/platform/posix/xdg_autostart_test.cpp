#include "platform/posix/xdg_autostart.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

namespace quorin::platform {
namespace {

namespace fs = std::filesystem;

class XdgAutoStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quorin-autostart-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    directory_ = pattern;
  }
  void TearDown() override { fs::remove_all(directory_); }
  fs::path directory_;
};

TEST_F(XdgAutoStartTest, WritesReadsAndRemovesTheEntry) {
  XdgAutoStart entry(directory_ / "autostart", "Quorin");
  EXPECT_FALSE(entry.Read());
  EXPECT_TRUE(entry.Remove()) << "removing a missing entry is harmless";
  ASSERT_TRUE(entry.Write("/opt/quorin/quorinfree"));
  ASSERT_TRUE(entry.Write("/opt/quorin/quorinfree")) << "a second write replaces the first";
  EXPECT_EQ(entry.Read(), "/opt/quorin/quorinfree");
  EXPECT_EQ(
      std::distance(fs::directory_iterator(directory_ / "autostart"), fs::directory_iterator()), 1)
      << "one entry, no temporary left behind";
  EXPECT_TRUE(entry.Remove());
  EXPECT_FALSE(entry.Read());
}

TEST_F(XdgAutoStartTest, QuotesPathsWithBlanksAndSpecialCharacters) {
  XdgAutoStart entry(directory_, "Quorin");
  const std::string path = "/home/a user/bin/q\"$`\\x";
  ASSERT_TRUE(entry.Write(path));
  EXPECT_EQ(entry.Read(), path);
  EXPECT_EQ(QuoteExecArgument("/usr/bin/q"), "/usr/bin/q");
  EXPECT_EQ(QuoteExecArgument("/a b"), "\"/a b\"");
  EXPECT_FALSE(UnquoteExecArgument("\"/unterminated"));
}

TEST_F(XdgAutoStartTest, EscapesPercentAndBackslashAndRefusesLineBreaks) {
  XdgAutoStart entry(directory_, "Quorin");
  const auto execLine = [&] {
    std::ifstream in(entry.EntryFile());
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("Exec=", 0) == 0)
        return line;
    }
    return std::string();
  };
  // A lone '%' would be read as a field code ("%f" is a file the launcher passes).
  ASSERT_TRUE(entry.Write("/opt/100%free/q%f"));
  EXPECT_EQ(execLine(), "Exec=/opt/100%%free/q%%f");
  EXPECT_EQ(entry.Read(), "/opt/100%free/q%f");
  // The value's escapes are read before the quoting: one backslash of the path is four.
  ASSERT_TRUE(entry.Write("/a b/c\\d"));
  EXPECT_EQ(execLine(), "Exec=\"/a b/c\\\\\\\\d\"");
  EXPECT_EQ(entry.Read(), "/a b/c\\d");
  ASSERT_TRUE(entry.Write("/a b/50% \"x\""));
  EXPECT_EQ(entry.Read(), "/a b/50% \"x\"");

  // A line break would end the Exec line and make the rest of the path a key of its own.
  EXPECT_FALSE(entry.Write("/tmp/x\nHidden=true"));
  EXPECT_FALSE(entry.Write("/tmp/x\rX=1"));
  EXPECT_FALSE(entry.Write(std::string("/tmp/x\0y", 8)));
  EXPECT_EQ(entry.Read(), "/a b/50% \"x\"") << "the entry before is left as it was";

  // Entries of other programs use the value escapes too.
  std::ofstream(entry.EntryFile()) << "[Desktop Entry]\nExec=\"/my\\sdir/q\" --flag\n";
  EXPECT_EQ(entry.Read(), "/my dir/q");
}

TEST_F(XdgAutoStartTest, AHiddenEntryCountsAsOff) {
  std::ofstream(directory_ / "Quorin.desktop")
      << "[Desktop Entry]\nType=Application\nExec=/usr/bin/q\nHidden=true\n";
  XdgAutoStart entry(directory_, "Quorin");
  EXPECT_FALSE(entry.Read());
}

}  // namespace
}  // namespace quorin::platform
