#include "updater/updater_log.h"

#include <gtest/gtest.h>

#include "platform/program_folder.h"
#include "temp_folder.h"

namespace quorin::updater {
namespace {

using testing::ReadWholeFile;

platform::CalendarTime At(int hour, int minute, int second, int millisecond) {
  platform::CalendarTime time;
  time.hour = hour;
  time.minute = minute;
  time.second = second;
  time.millisecond = millisecond;
  return time;
}

TEST(UpdaterLog, PrefixPrintsZeroFieldsAsBlanks) {
  EXPECT_EQ(UpdaterLog::Prefix(At(14, 5, 39, 7)), "14: 5:39 7: ");
  EXPECT_EQ(UpdaterLog::Prefix(At(0, 0, 0, 0)), "  :  :   0: ")
      << "precision 0 prints nothing for 0; the millisecond has no precision";
  EXPECT_EQ(UpdaterLog::Prefix(At(9, 10, 0, 999)), " 9:10:   999: ");
}

TEST(UpdaterLog, WritesOnlyWhileTheMarkerExists) {
  testing::TempFolder folder;
  const auto logFile = folder.path() / "Brenwick.log";
  platform::ManualClock clock(At(8, 30, 1, 250));

  UpdaterLog off(folder.File("BRWK_EnableDebug"), folder.File("Brenwick.log"), clock);
  EXPECT_TRUE(off.Write("WriteInfoToRegistry failed!\n"));
  EXPECT_FALSE(std::filesystem::exists(logFile)) << "no marker: no log file is created";
  testing::WriteWholeFile(folder.path() / "BRWK_EnableDebug", "");
  EXPECT_TRUE(off.Write("later\n"));
  EXPECT_FALSE(std::filesystem::exists(logFile)) << "decided at the first call, for the run";

  UpdaterLog on(folder.File("BRWK_EnableDebug"), folder.File("Brenwick.log"), clock);
  EXPECT_TRUE(on.Write("first line\n"));
  EXPECT_TRUE(on.Write(std::string(2000, 'x') + "\n"));
  const std::string prefix = " 8:30: 1 250: ";
  const std::string raw = ReadWholeFile(logFile);
  // Written in text mode, as the C library's "a+" does: Windows ends each line in CR LF.
  const std::string lineEnd = platform::PathSeparator() == '\\' ? "\r\n" : "\n";
  EXPECT_NE(raw.find("first line" + lineEnd + prefix), std::string::npos);
  const std::string text = testing::ReadTextFile(logFile);
  EXPECT_EQ(text.substr(0, prefix.size() + 11), prefix + "first line\n");
  EXPECT_NE(text.find(prefix + std::string(1023, 'x')), std::string::npos);
  EXPECT_EQ(text.find(std::string(1024, 'x')), std::string::npos)
      << "a message is cut to 1023 bytes";
}

TEST(UpdaterLog, ReportsALogThatCannotBeOpened) {
  testing::TempFolder folder;
  testing::WriteWholeFile(folder.path() / "BRWK_EnableDebug", "");
  std::filesystem::create_directory(folder.path() / "Brenwick.log");
  UpdaterLog log(folder.File("BRWK_EnableDebug"), folder.File("Brenwick.log"),
                 platform::SystemClock());
  EXPECT_FALSE(log.Write("x\n")) << "the run must end at once";
}

}  // namespace
}  // namespace quorin::updater
