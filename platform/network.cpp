#include "platform/network.h"

#include <string>

#include "platform/bounded_call.h"

namespace quorin::platform {

HostLookup LookUpHost(std::string_view host, int timeoutMs, StopToken stop) {
  if (host.empty())
    return {};
  if (const auto dotted = ParseInetAddr(host))
    return {dotted, false};
  return CallWithin<HostLookup>(
             std::chrono::milliseconds(timeoutMs),
             [name = std::string(host)] { return LookupIPv4Blocking(name); }, std::move(stop))
      .value_or(HostLookup{});
}

std::optional<Ipv4Address> ResolveIPv4(std::string_view host, int timeoutMs, StopToken stop) {
  return LookUpHost(host, timeoutMs, std::move(stop)).address;
}

std::string ResolveToAddressText(std::string_view text, int timeoutMs) {
  if (IsDottedAddress(text))
    return std::string(text);
  const auto address = ResolveIPv4(text, timeoutMs);
  return address ? FormatIpv4(*address) : std::string();
}

}  // namespace quorin::platform
