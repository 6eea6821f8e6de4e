// The machine's network adapters: each one's hardware (MAC) address and IPv4 addresses, in the
// order the system lists them. Loopback interfaces are not adapters here (Windows' adapter list
// never shows them).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/ipv4.h"

namespace quorin::platform {

struct NetworkAdapter {
  std::string name;                           // the system's name of the adapter
  std::vector<std::uint8_t> hardwareAddress;  // as long as the system reports it (Ethernet: 6)
  std::vector<Ipv4Address> ipv4Addresses;     // assigned addresses; none when it has none
};

// Nothing when the system's list cannot be read.
std::optional<std::vector<NetworkAdapter>> ListNetworkAdapters();

}  // namespace quorin::platform
