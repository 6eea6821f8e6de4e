#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include "tests/support/full_disk.h"
#include "tests/support/temp_path.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/stdio_file.h"

namespace quorin::platform {
namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

fs::path Utf8Path(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

std::set<std::string> Names(const fs::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory))
    names.insert(entry.path().filename().string());
  return names;
}

class AtomicFileTest : public ::testing::Test {
 protected:
  AtomicFileTest() {
    fs::remove_all(directory_);
    fs::create_directories(directory_);
  }
  ~AtomicFileTest() override {
    std::error_code ignored;
    fs::remove_all(directory_, ignored);
  }
  fs::path directory_ = quorin::testing::UniqueTempPath("quorin_atomic_file_test");
};

TEST_F(AtomicFileTest, ReplacesWholeOrLeavesTheOldFile) {
  const auto target = directory_ / "data.bin";
  const std::string bytes("a\0b\r\nc", 6);
  ASSERT_TRUE(WriteFileAtomically(target.string(), bytes));
  EXPECT_EQ(Contents(target), bytes) << "bytes kept exactly, no line-end translation";
  ASSERT_TRUE(WriteFileAtomically(target.string(), "short"));
  EXPECT_EQ(Contents(target), "short") << "an existing file is replaced";
  EXPECT_EQ(Names(directory_), std::set<std::string>{"data.bin"}) << "no temporary file left";

  EXPECT_FALSE(WriteFileAtomically((directory_ / "none" / "x").string(), "x"));
  EXPECT_FALSE(WriteFileAtomically("", "x"));
  // A directory in the target's place cannot be replaced; the temporary file goes away.
  fs::create_directories(directory_ / "taken");
  EXPECT_FALSE(WriteFileAtomically((directory_ / "taken").string(), "x"));
  EXPECT_EQ(Names(directory_), (std::set<std::string>{"data.bin", "taken"}));
  EXPECT_TRUE(fs::is_directory(directory_ / "taken"));

  // Names beyond ASCII are UTF-8 on every system.
  const std::u8string wideU8 = (directory_ / u8"\u7528\u6237.dat").u8string();
  const std::string wideName(wideU8.begin(), wideU8.end());
  ASSERT_TRUE(WriteFileAtomically(wideName, "w"));
  StdioFile file = OpenStdioFile(wideName, "rb");
  ASSERT_TRUE(file);
  EXPECT_EQ(std::fgetc(file.get()), 'w');
  file.reset();
  EXPECT_FALSE(OpenStdioFile((directory_ / "missing").string(), "rb"));
}

TEST_F(AtomicFileTest, AKilledWritersTemporaryFileIsRemovedLater) {
  const std::string target = (directory_ / "data.bin").string();
  ASSERT_TRUE(WriteFileAtomically(target, "old"));
  std::string left;
  AtomicWriteOptions dies;
  dies.beforeReplace = [&](const std::string& temporary) {
    left = temporary;
    return false;  // the process "dies" before its rename
  };
  EXPECT_FALSE(WriteFileAtomically(target, "new", dies));
  EXPECT_EQ(Contents(target), "old");
  ASSERT_TRUE(fs::exists(Utf8Path(left)));
  EXPECT_EQ(Contents(Utf8Path(left)), "new") << "the temporary file was complete";

  std::ofstream(directory_ / "data.bin.tmpnotes") << "the user's own";
  std::ofstream(directory_ / "other.bin.tmp12") << "another file's";
  RemoveStaleTemporaryFiles(target);
  EXPECT_EQ(Names(directory_),
            (std::set<std::string>{"data.bin", "data.bin.tmpnotes", "other.bin.tmp12"}));
  EXPECT_EQ(Contents(target), "old");
}

TEST_F(AtomicFileTest, ConcurrentWritersNeverShareATemporaryFile) {
  const std::string target = (directory_ / "data.bin").string();
  const std::string first(4000, 'a');
  const std::string second(3000, 'b');
  std::vector<std::thread> writers;
  bool failed[2] = {false, false};
  for (int t = 0; t < 2; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i)
        failed[t] |= !WriteFileAtomically(target, t == 0 ? first : second);
    });
  }
  for (auto& writer : writers)
    writer.join();
  // POSIX renames over a file being replaced; Windows refuses a rename while another one
  // replaces the same target (ERROR_ACCESS_DENIED), which is why savers there hold a lock.
  if (quorin::testing::PosixMode(directory_)) {
    EXPECT_FALSE(failed[0] || failed[1]) << "each write had a temporary file of its own";
  }
  const std::string last = Contents(target);
  EXPECT_TRUE(last == first || last == second) << "one write whole, never a mix";
  EXPECT_EQ(Names(directory_), std::set<std::string>{"data.bin"});
}

TEST_F(AtomicFileTest, AppendsWholeLinesAndEmpties) {
  const std::string log = (directory_ / "quorin.log").string();
  ASSERT_TRUE(AppendTextWhole(log, "0|one|t\n"));
  ASSERT_TRUE(AppendTextWhole(log, "2|two|t\n"));
  // Written as the C library's text mode writes, so that a text-mode reader reads it back.
  StdioFile file = OpenStdioFile(log, "r");
  ASSERT_TRUE(file);
  char line[32] = {};
  ASSERT_NE(std::fgets(line, sizeof line, file.get()), nullptr);
  EXPECT_STREQ(line, "0|one|t\n");
  file.reset();
  const std::string raw = Contents(log);
  EXPECT_TRUE(raw == "0|one|t\n2|two|t\n" || raw == "0|one|t\r\n2|two|t\r\n") << raw;

  std::vector<std::thread> appenders;
  for (int t = 0; t < 4; ++t) {
    appenders.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i)
        AppendTextWhole(
            log, std::to_string(t) + "|" + std::string(100, static_cast<char>('a' + t)) + "|\n");
    });
  }
  for (auto& appender : appenders)
    appender.join();
  std::ifstream in(log);
  std::string text;
  int lines = 0;
  while (std::getline(in, text)) {
    if (!text.empty() && text.back() == '\r')
      text.pop_back();
    ++lines;
    if (lines > 2) {
      ASSERT_EQ(text.size(), 103u) << "line " << lines << " is whole: " << text;
      EXPECT_EQ(text[2], 'a' + (text[0] - '0'));
    }
  }
  EXPECT_EQ(lines, 202);

  ASSERT_TRUE(EmptyFile(log));
  EXPECT_EQ(fs::file_size(Utf8Path(log)), 0u);
  ASSERT_TRUE(EmptyFile((directory_ / "new.log").string())) << "a missing file is created";
  EXPECT_TRUE(fs::exists(directory_ / "new.log"));
  EXPECT_FALSE(AppendTextWhole((directory_ / "none" / "x.log").string(), "x\n"));
  EXPECT_FALSE(AppendTextWhole("", "x\n"));
}

}  // namespace
}  // namespace quorin::platform
