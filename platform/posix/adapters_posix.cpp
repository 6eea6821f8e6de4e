// Network adapters on Linux: getifaddrs, whose AF_PACKET entries carry each interface's
// hardware address and whose AF_INET entries carry its IPv4 addresses.
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstring>
#include <memory>

#include "platform/adapters.h"

namespace quorin::platform {
namespace {

struct IfaddrsDeleter {
  void operator()(ifaddrs* list) const { ::freeifaddrs(list); }
};

NetworkAdapter* FindAdapter(std::vector<NetworkAdapter>& adapters, const char* name) {
  for (auto& adapter : adapters) {
    if (adapter.name == name)
      return &adapter;
  }
  return nullptr;
}

}  // namespace

std::optional<std::vector<NetworkAdapter>> ListNetworkAdapters() {
  ifaddrs* raw = nullptr;
  if (::getifaddrs(&raw) != 0)
    return std::nullopt;
  const std::unique_ptr<ifaddrs, IfaddrsDeleter> list(raw);
  std::vector<NetworkAdapter> adapters;
  // The packet entries come first and give the system's order of the interfaces.
  for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_name == nullptr)
      continue;
    if ((entry->ifa_flags & IFF_LOOPBACK) != 0)
      continue;
    if (entry->ifa_addr->sa_family != AF_PACKET)
      continue;
    if (FindAdapter(adapters, entry->ifa_name) != nullptr)
      continue;
    sockaddr_ll link{};
    std::memcpy(&link, entry->ifa_addr, sizeof link);
    NetworkAdapter adapter;
    adapter.name = entry->ifa_name;
    const std::size_t length =
        link.sll_halen < sizeof link.sll_addr ? link.sll_halen : sizeof link.sll_addr;
    adapter.hardwareAddress.assign(link.sll_addr, link.sll_addr + length);
    adapters.push_back(std::move(adapter));
  }
  for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_name == nullptr)
      continue;
    if (entry->ifa_addr->sa_family != AF_INET)
      continue;
    NetworkAdapter* adapter = FindAdapter(adapters, entry->ifa_name);
    if (adapter == nullptr)
      continue;
    sockaddr_in inet{};
    std::memcpy(&inet, entry->ifa_addr, sizeof inet);
    Ipv4Address address{};
    std::memcpy(address.data(), &inet.sin_addr.s_addr, address.size());
    adapter->ipv4Addresses.push_back(address);
  }
  return adapters;
}

}  // namespace quorin::platform
