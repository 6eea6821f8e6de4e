#include "client/monitor/first_hop_probe.h"

#include "platform/network.h"
#include "platform/reverse_lookup.h"

namespace quorin::client {

ProbeLookups SystemProbeLookups(std::chrono::milliseconds timeout) {
  const int ms = static_cast<int>(timeout.count());
  ProbeLookups lookups;
  lookups.reverse = [ms](const Ipv4Address& address) {
    return platform::ReverseLookupIPv4(address, ms);
  };
  lookups.resolve = [ms](std::string_view name) { return platform::ResolveIPv4(name, ms); };
  return lookups;
}

FirstHopProbe::FirstHopProbe(std::unique_ptr<platform::IcmpEcho> echo, ProbeLookups lookups)
    : echo_(std::move(echo)), lookups_(std::move(lookups)) {}

bool FirstHopProbe::Probe(std::string_view address, int ttl) {
  if (address.empty() || !echo_)
    return false;
  std::optional<Ipv4Address> target;
  if (IsDottedAddress(address)) {
    target = ParseInetAddr(address);
    if (lookups_.reverse && target) {
      if (const auto entry = lookups_.reverse(*target))
        target = entry;
    }
  } else if (lookups_.resolve) {
    target = lookups_.resolve(address);
  }
  if (!target)
    return false;
  return echo_->Echo(*target, ttl, kEchoTimeout);
}

std::unique_ptr<AddressProbe> OpenFirstHopProbe() {
  auto echo = platform::OpenIcmpEcho();
  if (!echo)
    return nullptr;
  return std::make_unique<FirstHopProbe>(std::move(echo), SystemProbeLookups());
}

}  // namespace quorin::client
