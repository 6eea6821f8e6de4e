#include "client/texts/format_time.h"

#include <cstdio>
#include <ctime>
#include <vector>

namespace quorin::client {

std::optional<std::string> FormatTimeMs(std::string_view format, const platform::CalendarTime& time,
                                        std::size_t outputSize) {
  if (outputSize == 0)
    return std::nullopt;
  std::string pattern(format);
  if (const std::size_t ms = pattern.find("%s"); ms != std::string::npos) {
    if (outputSize < format.size() + 3)
      return std::nullopt;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", time.millisecond % 1000);
    pattern.replace(ms, 2, digits);
  }
  std::tm broken{};
  broken.tm_year = time.year - 1900;
  broken.tm_mon = time.month - 1;
  broken.tm_mday = time.day;
  broken.tm_hour = time.hour;
  broken.tm_min = time.minute;
  broken.tm_sec = time.second;
  broken.tm_wday = time.dayOfWeek;
  std::vector<char> output(outputSize, '\0');
  // The format is the caller's own literal (never outside text); strftime needs it at run time.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const std::size_t written = std::strftime(output.data(), output.size(), pattern.c_str(), &broken);
#pragma GCC diagnostic pop
  if (written == 0)
    return std::nullopt;
  return std::string(output.data(), written);
}

}  // namespace quorin::client
