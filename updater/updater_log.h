// The updater's debug log: written only while the marker file exists, one appended line per
// call, each behind a "hh:mm:ss ms: " time prefix.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace quorin::updater {

// A message is cut to this many bytes less one, as its formatting buffer holds.
inline constexpr std::size_t kLogMessageBuffer = 1024;

class UpdaterLog {
 public:
  UpdaterLog(std::string markerPath, std::string logPath, platform::Clock& clock);

  // Appends the message (it carries its own line end). Whether logging is on is decided at the
  // first call, by whether the marker file can be opened for reading, and holds for the rest of
  // the run. False when logging is on and the log file cannot be opened: the run then ends at
  // once.
  bool Write(std::string_view message);

  // The prefix "%2.u:%2.u:%2.u %u: " of a local time: width 2 and precision 0, so a zero hour,
  // minute or second prints as two blanks.
  static std::string Prefix(const platform::CalendarTime& time);

 private:
  std::string markerPath_;
  std::string logPath_;
  platform::Clock& clock_;
  std::optional<bool> enabled_;
};

}  // namespace quorin::updater
