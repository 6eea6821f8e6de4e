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
  EXPECT_EQ(std::distance(fs::directory_iterator(directory_ / "autostart"),
                          fs::directory_iterator()),
            1)
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

TEST_F(XdgAutoStartTest, AHiddenEntryCountsAsOff) {
  std::ofstream(directory_ / "Quorin.desktop")
      << "[Desktop Entry]\nType=Application\nExec=/usr/bin/q\nHidden=true\n";
  XdgAutoStart entry(directory_, "Quorin");
  EXPECT_FALSE(entry.Read());
}

}  // namespace
}  // namespace quorin::platform
