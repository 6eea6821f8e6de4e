// The kernel's IPv4 routing table as Linux shows it in /proc/net/route: a header line, then
// one line per route of tab-separated fields (interface, destination, gateway, flags, ...,
// metric, mask, ...), the addresses as eight hexadecimal digits of the 32-bit value as it
// lies in memory.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/ipv4.h"

namespace quorin::platform {

struct ProcDefaultRoute {
  std::string interfaceName;
  Ipv4Address gateway{};
};

// The default route (destination and mask 0, up, through a gateway) with the lowest metric,
// the first of equals; nothing when the table has none. Lines that do not parse are skipped.
std::optional<ProcDefaultRoute> ReadDefaultRoute(std::string_view table);

}  // namespace quorin::platform
