#include "platform/reverse_lookup.h"

#include "platform/bounded_call.h"

namespace quorin::platform {

std::optional<Ipv4Address> ReverseLookupIPv4(const Ipv4Address& address, int timeoutMs) {
  const std::optional<bool> found = CallWithin<bool>(
      std::chrono::milliseconds(timeoutMs), [address] { return ReverseLookupBlocking(address); });
  if (!found.value_or(false))
    return std::nullopt;
  return address;
}

}  // namespace quorin::platform
