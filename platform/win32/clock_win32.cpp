#include <windows.h>

#include "platform/clock.h"

namespace quorin::platform {

CalendarTime LocalCalendarNow() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  CalendarTime time;
  time.year = now.wYear;
  time.month = now.wMonth;
  time.dayOfWeek = now.wDayOfWeek;
  time.day = now.wDay;
  time.hour = now.wHour;
  time.minute = now.wMinute;
  time.second = now.wSecond;
  time.millisecond = now.wMilliseconds;
  return time;
}

}  // namespace quorin::platform
