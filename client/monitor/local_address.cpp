#include "client/monitor/local_address.h"

#include "platform/adapters.h"

namespace quorin::client {

bool IsPrivateOrLocalAddress(const Ipv4Address& address) {
  const int a = address[0];
  const int b = address[1];
  if (a == 10)
    return true;
  if (a == 172 && b >= 16 && b <= 31)
    return true;
  if (a == 192 && b == 168)
    return true;
  if (a == 169 && b == 254)
    return true;
  // Not only 127.0.0.1: Debian maps the host name to 127.0.1.1, and no loopback address is
  // ever the machine's public address.
  return a == 127;
}

bool IsInternetAddress(const Ipv4Address& address) {
  if (IsPrivateOrLocalAddress(address))
    return false;
  const int a = address[0];
  const int b = address[1];
  const int c = address[2];
  if (a == 0 || a >= 224)
    return false;
  if (a == 100 && b >= 64 && b <= 127)
    return false;
  if (a == 192 && b == 0 && (c == 0 || c == 2))
    return false;
  if (a == 198 && (b == 18 || b == 19))
    return false;
  if (a == 198 && b == 51 && c == 100)
    return false;
  return !(a == 203 && b == 0 && c == 113);
}

std::optional<std::string> FindLocalPublicAddress(const std::vector<Ipv4Address>& addresses) {
  for (const Ipv4Address& address : addresses) {
    if (!IsPrivateOrLocalAddress(address))
      return FormatIpv4(address);
  }
  return std::nullopt;
}

std::vector<Ipv4Address> MachineAddresses() {
  std::vector<Ipv4Address> addresses;
  const auto adapters = platform::ListNetworkAdapters();
  if (!adapters)
    return addresses;
  for (const auto& adapter : *adapters) {
    addresses.insert(addresses.end(), adapter.ipv4Addresses.begin(), adapter.ipv4Addresses.end());
  }
  return addresses;
}

}  // namespace quorin::client
