#include "updater/updater_log.h"

#include <cstdio>
#include <fstream>

#include "common/text_tools.h"
#include "platform/system_text.h"
#include "updater/utf8_path.h"

namespace quorin::updater {

UpdaterLog::UpdaterLog(std::string markerPath, std::string logPath, platform::Clock& clock)
    : markerPath_(std::move(markerPath)), logPath_(std::move(logPath)), clock_(clock) {}

std::string UpdaterLog::Prefix(const platform::CalendarTime& time) {
  const auto field = [](int value) -> std::string {
    // "%2.u": precision 0 prints nothing for 0; width 2 pads on the left.
    std::string digits = value == 0 ? std::string() : std::to_string(static_cast<unsigned>(value));
    if (digits.size() < 2)
      digits.insert(0, 2 - digits.size(), ' ');
    return digits;
  };
  return field(time.hour) + ":" + field(time.minute) + ":" + field(time.second) + " " +
         std::to_string(static_cast<unsigned>(time.millisecond)) + ": ";
}

bool UpdaterLog::Write(std::string_view message) {
  if (!enabled_) {
    std::ifstream marker(PathFromUtf8(markerPath_), std::ios::binary);
    enabled_ = marker.is_open();
  }
  if (!*enabled_)
    return true;
  // Text mode, as "a+" opens it: on Windows each line ends in CR LF.
  std::ofstream log(PathFromUtf8(logPath_), std::ios::app);
  if (!log)
    return false;
  log << Prefix(clock_.LocalTime())
      << platform::CutForSystemCodePage(message, kLogMessageBuffer - 1);
  log.flush();
  return true;
}

}  // namespace quorin::updater
