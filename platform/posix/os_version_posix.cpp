#include <sys/utsname.h>

#include <cctype>
#include <string_view>

#include "platform/os_version.h"

namespace quorin::platform {

std::optional<OsVersion> QueryOsVersion() {
  utsname names{};
  if (::uname(&names) != 0)
    return std::nullopt;
  // "6.1.0-18-amd64": up to three dot-separated numbers; the rest is the distribution's.
  const std::string_view release(names.release);
  std::uint32_t parts[3] = {0, 0, 0};
  std::size_t at = 0;
  for (int part = 0; part < 3 && at < release.size(); ++part) {
    if (!std::isdigit(static_cast<unsigned char>(release[at])))
      break;
    std::uint32_t value = 0;
    while (at < release.size() && std::isdigit(static_cast<unsigned char>(release[at]))) {
      value = value * 10 + static_cast<std::uint32_t>(release[at] - '0');
      ++at;
    }
    parts[part] = value;
    if (at >= release.size() || release[at] != '.')
      break;
    ++at;
  }
  return OsVersion{parts[0], parts[1], parts[2], 0, 0};
}

}  // namespace quorin::platform
