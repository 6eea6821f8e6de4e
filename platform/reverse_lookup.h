// Reverse name lookup of an IPv4 address, bounded in time.
#pragma once

#include <optional>

#include "common/ipv4.h"

namespace quorin::platform {

// Looks the address up in reverse (a PTR query or the hosts file). When a name is found the
// result is the first address of that entry, which is the address asked for; nothing when the
// lookup fails or takes longer than `timeoutMs`.
std::optional<Ipv4Address> ReverseLookupIPv4(const Ipv4Address& address, int timeoutMs);

// The system's blocking lookup, which each backend provides: true when a name was found.
bool ReverseLookupBlocking(const Ipv4Address& address);

}  // namespace quorin::platform
