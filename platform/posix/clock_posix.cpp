#include <sys/time.h>

#include <ctime>

#include "platform/clock.h"

namespace quorin::platform {

CalendarTime LocalCalendarNow() {
  timeval now{};
  ::gettimeofday(&now, nullptr);
  std::tm local{};
  const std::time_t seconds = now.tv_sec;
  ::localtime_r(&seconds, &local);
  CalendarTime time;
  time.year = local.tm_year + 1900;
  time.month = local.tm_mon + 1;
  time.dayOfWeek = local.tm_wday;
  time.day = local.tm_mday;
  time.hour = local.tm_hour;
  time.minute = local.tm_min;
  time.second = local.tm_sec;
  time.millisecond = static_cast<int>(now.tv_usec / 1000);
  return time;
}

}  // namespace quorin::platform
