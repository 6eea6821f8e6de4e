#include <windows.h>

#include "platform/os_version.h"

namespace quorin::platform {

std::optional<OsVersion> QueryOsVersion() {
  OSVERSIONINFOEXW extended{};
  extended.dwOSVersionInfoSize = sizeof extended;
  if (::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&extended))) {
    return OsVersion{extended.dwMajorVersion, extended.dwMinorVersion, extended.dwBuildNumber,
                     extended.wServicePackMajor, extended.wServicePackMinor};
  }
  // Old systems know only the basic record, without service pack numbers.
  OSVERSIONINFOW basic{};
  basic.dwOSVersionInfoSize = sizeof basic;
  if (::GetVersionExW(&basic)) {
    return OsVersion{basic.dwMajorVersion, basic.dwMinorVersion, basic.dwBuildNumber, 0, 0};
  }
  return std::nullopt;
}

}  // namespace quorin::platform
