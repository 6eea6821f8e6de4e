// The version numbers of the running operating system.
#pragma once

#include <cstdint>
#include <optional>

namespace quorin::platform {

struct OsVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
  std::uint32_t servicePackMajor = 0;  // 0 when the system does not report service packs
  std::uint32_t servicePackMinor = 0;
};

// Windows: GetVersionEx with the extended record, else the basic one (service pack 0.0).
// POSIX: the kernel release of uname ("6.1.0-18-amd64" gives 6, 1, 0), service pack 0.0.
// Nothing when the system refuses to tell.
std::optional<OsVersion> QueryOsVersion();

}  // namespace quorin::platform
