#include "client/local/log_file.h"

#include <gtest/gtest.h>

#include "tests/support/full_disk.h"
#include "tests/support/temp_path.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/clock.h"
#include "platform/memory_settings_store.h"
#include "platform/system_text.h"

namespace quorin::client {
namespace {

class NoAutoStart : public platform::AutoStartEntry {
 public:
  std::optional<std::string> Read() override { return std::nullopt; }
  bool Write(std::string_view) override { return false; }
  bool Remove() override { return true; }
};

class LogFileTest : public ::testing::Test {
 protected:
  LogFileTest() {
    std::filesystem::remove_all(directory_);
    std::filesystem::create_directories(directory_);
    context_.Edit([&](ClientState& state) { state.logFileName = path_; });
  }
  ~LogFileTest() override {
    context_.LogReader().reset();  // Windows cannot remove a file that is still open
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  std::string FileText() {
    std::ifstream in(path_);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

  platform::MemorySettingsStore store_;
  NoAutoStart autoStart_;
  Settings settings_{store_, autoStart_, ""};
  ClientContext context_;
  std::filesystem::path directory_ = quorin::testing::UniqueTempPath("quorin_log_test");
  std::string path_ = (directory_ / "quorin.log").string();
  platform::ManualClock clock_{platform::CalendarTime{2010, 8, 3, 4, 9, 56, 53, 7}};
  platform::ScopedClockOverride clockOverride_{clock_};
};

TEST_F(LogFileTest, WritesOnlyWhileLoggingIsOn) {
  AppendLogEntry(context_, settings_, kLogInformation, "ignored");
  EXPECT_FALSE(std::filesystem::exists(path_)) << "isLog absent";
  settings_.WriteSetting("isLog", "2");
  AppendLogEntry(context_, settings_, kLogInformation, "ignored");
  EXPECT_FALSE(std::filesystem::exists(path_)) << "isLog 2 reads as off";

  settings_.SetLogEnabled(true);
  AppendLogEntry(context_, settings_, kLogInformation, "Logged in");
  AppendLogEntry(context_, settings_, kLogRequestFailed, "two\r\nlines");
  EXPECT_EQ(FileText(), "0|Logged in|2010-08-04 09:56:53\n2|two  lines|2010-08-04 09:56:53\n");
}

TEST_F(LogFileTest, ReadsEntriesBackAndParsesOddLines) {
  std::ofstream(path_) << "0|Logged in|2010-08-04 09:56:53\n"
                       << "1|a\n"
                       << "2|a|b|c|d\n"
                       << "  7x|msg|time  \r\n"
                       << "|\n"
                       << "nonsense\n";
  auto entry = OpenLogForReading(context_);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->type, 0);
  EXPECT_EQ(entry->message, "Logged in");
  EXPECT_EQ(entry->time, "2010-08-04 09:56:53");
  entry = NextLogEntry(context_);
  EXPECT_EQ(entry->type, 1);
  EXPECT_EQ(entry->message, "a");
  EXPECT_EQ(entry->time, "");
  entry = NextLogEntry(context_);
  EXPECT_EQ(entry->time, "b") << "text after a third bar is ignored";
  entry = NextLogEntry(context_);
  EXPECT_EQ(entry->type, 7);
  EXPECT_EQ(entry->time, "time");
  entry = NextLogEntry(context_);
  EXPECT_EQ(entry->type, 0);
  EXPECT_EQ(entry->message, "");
  entry = NextLogEntry(context_);
  EXPECT_EQ(entry->type, 0);
  EXPECT_EQ(entry->message, "");
  EXPECT_FALSE(NextLogEntry(context_));
  EXPECT_FALSE(context_.LogReader()) << "the reader is closed at the end";
  EXPECT_FALSE(NextLogEntry(context_));

  const LogEntry wide = ParseLogLine("2|" + std::string(250, 'm') + "|" + std::string(40, 't'));
  EXPECT_EQ(wide.message.size(), 199u);
  EXPECT_EQ(wide.time.size(), 29u);
}

TEST_F(LogFileTest, BarInAMessageShiftsTheRestIntoTheTime) {
  settings_.SetLogEnabled(true);
  AppendLogEntry(context_, settings_, kLogRequestFailed, "left|right");
  const auto entry = OpenLogForReading(context_);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->message, "left");
  EXPECT_EQ(entry->time, "right");
}

TEST_F(LogFileTest, LongLinesAreReadInPieces) {
  std::ofstream(path_) << "2|" << std::string(300, 'x') << "\n0|next|t\n";
  auto entry = OpenLogForReading(context_);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->message.str(), std::string(199, 'x'));
  entry = NextLogEntry(context_);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->type, 0) << "the remaining 47 x's read as their own entry";
  EXPECT_EQ(NextLogEntry(context_)->message, "next");
}

TEST_F(LogFileTest, PiecesOfALongLineKeepTheirCharactersWhole) {
  // A 254-byte start, then a character of several bytes: the first piece ends before the
  // character rather than carrying its first byte. The file is in the system code page: three
  // UTF-8 bytes on POSIX, two GBK bytes on a Chinese Windows.
  const std::string zhang = "\xE5\xBC\xA0";  // 张
  const std::optional<std::string> bytes = platform::SystemTextFromUtf8(zhang);
  if (!bytes)
    GTEST_SKIP() << "the system code page has no double-byte characters";
  const std::string start = "0|" + std::string(250, 'm') + "|a";
  ASSERT_EQ(start.size(), 254u);
  const auto entries = ParseLogText(start + *bytes + "|more\n");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].time, "a") << "no half character at the end of the first piece";
  EXPECT_EQ(entries[1].message, "more");

  std::ofstream(path_, std::ios::binary) << start << *bytes << "|more\n2|" << *bytes << "|t\n";
  auto entry = OpenLogForReading(context_);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->time, "a") << "the file reader cuts as the text reader";
  EXPECT_EQ(NextLogEntry(context_)->message, "more");
  entry = NextLogEntry(context_);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->message, zhang) << "a short line keeps its text byte for byte";
}

TEST_F(LogFileTest, CodePage936LinesHoldGbk) {
  if (platform::SystemTextFromUtf8("\xE5\xBC\xA0") != std::string("\xD5\xC5"))
    GTEST_SKIP() << "the system code page is not 936";
  settings_.SetLogEnabled(true);
  AppendLogEntry(context_, settings_, 0, "\xE5\xBC\xA0\xE4\xB8\x89");  // 张三
  std::ifstream in(path_, std::ios::binary);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line.substr(0, 6), "0|\xD5\xC5\xC8\xFD") << "the file holds GBK";
  EXPECT_EQ(OpenLogForReading(context_)->message, "\xE5\xBC\xA0\xE4\xB8\x89");
  // A piece of 255 bytes never ends on a lead byte: 254 bytes, then 张 in the next piece.
  const auto pieces = ParseLogText("0|" + std::string(250, 'm') + "|a\xD5\xC5|more\n");
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].time, "a");
  EXPECT_EQ(pieces[1].message, "more");
}

TEST_F(LogFileTest, ViewerShowsTheOldestEntriesNewestFirst) {
  settings_.SetLogEnabled(true);
  for (int i = 1; i <= 150; ++i) {
    AppendLogEntry(context_, settings_, i % 3 == 0 ? kLogNoAddress : kLogInformation,
                   "entry " + std::to_string(i));
  }
  auto items = LogViewerItems(context_, settings_.MaxLog());
  ASSERT_EQ(items.size(), 100u) << "maxLog absent reads as 100";
  EXPECT_EQ(items.front().message, "entry 100") << "line 100 on top";
  EXPECT_EQ(items.back().message, "entry 1");
  EXPECT_EQ(items.front().time, "2010-08-04 09:56:53");
  EXPECT_EQ(items[0].image, 2);
  EXPECT_EQ(items[1].image, 4) << "entry 99 has type 1";
  EXPECT_FALSE(context_.LogReader()) << "no handle left open";
  EXPECT_TRUE(LogViewerItems(context_, 0).empty());

  ClearLog(context_);
  EXPECT_TRUE(LogViewerItems(context_, 100).empty());
  EXPECT_FALSE(OpenLogForReading(context_));
  AppendLogEntry(context_, settings_, kLogInformation, "fresh");
  items = LogViewerItems(context_, 100);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].message, "fresh");
  EXPECT_EQ(FileText().rfind("0|fresh|", 0), 0u) << "a new first line";
}

TEST_F(LogFileTest, TheTextReaderReadsAsTheFileReader) {
  const std::string text = "0|Logged in|2010-08-04 09:56:53\n\n2|" + std::string(300, 'x') + "\n" +
                           std::string(255, 'y') + "\n1|a\n  7x|msg|time  \nlast";
  std::ofstream(path_, std::ios::binary) << text;
  std::vector<LogEntry> fromFile;
  for (auto entry = OpenLogForReading(context_); entry; entry = NextLogEntry(context_))
    fromFile.push_back(*entry);
  const std::vector<LogEntry> fromText = ParseLogText(text);
  ASSERT_EQ(fromText.size(), 8u) << "a 255-character piece takes its line feed with it";
  ASSERT_EQ(fromFile.size(), fromText.size());
  for (std::size_t i = 0; i < fromText.size(); ++i) {
    EXPECT_EQ(fromFile[i].type, fromText[i].type) << i;
    EXPECT_EQ(fromFile[i].message.str(), fromText[i].message.str()) << i;
    EXPECT_EQ(fromFile[i].time.str(), fromText[i].time.str()) << i;
  }
  EXPECT_EQ(fromText[7].message, "") << "an unfinished last line is read too";
  EXPECT_EQ(fromText[7].type, 0);
}

TEST_F(LogFileTest, AFullDiskLosesTheEntryWhole) {
  settings_.SetLogEnabled(true);
  AppendLogEntry(context_, settings_, kLogInformation, "Logged in");
  const std::string before = FileText();
  // Room for a few bytes of the next line only.
  const auto appended = quorin::testing::RunOnFullDisk(before.size() + 8, [&] {
    AppendLogEntry(context_, settings_, kLogRequestFailed, "the login server did not answer");
    return 0;
  });
  if (!appended)
    GTEST_SKIP() << "no file size limit here";
  EXPECT_EQ(FileText(), before) << "no half line is left";
  AppendLogEntry(context_, settings_, kLogNoAddress, "no address");
  const auto items = LogViewerItems(context_, 100);
  ASSERT_EQ(items.size(), 2u) << "the next entry starts a line of its own";
  EXPECT_EQ(items[0].message, "no address");
  EXPECT_EQ(items[0].time, "2010-08-04 09:56:53");
  EXPECT_EQ(items[1].message, "Logged in");
}

TEST_F(LogFileTest, UnwritableFileLosesTheEntrySilently) {
  settings_.SetLogEnabled(true);
  context_.Edit([&](ClientState& state) {
    state.logFileName = (directory_ / "missing" / "quorin.log").string();
  });
  AppendLogEntry(context_, settings_, kLogInformation, "lost");
  EXPECT_FALSE(OpenLogForReading(context_));
  EXPECT_TRUE(LogViewerItems(context_, 100).empty());
}

}  // namespace
}  // namespace quorin::client
