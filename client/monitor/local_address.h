// The machine's own public address, when it has one: the first address of the machine that
// lies in none of the ranges that never reach the internet unchanged.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/ipv4.h"

namespace quorin::client {

// True for 10/8, 172.16/12, 192.168/16, the link-local 169.254/16 and the loopback 127/8.
bool IsPrivateOrLocalAddress(const Ipv4Address& address);

// True for an address that can be a host's address on the internet: none of the private or
// local ranges above, nor "this network" 0/8, the shared address space 100.64/10 of carrier
// NATs, the protocol assignments 192.0.0/24, the documentation ranges 192.0.2/24,
// 198.51.100/24 and 203.0.113/24, the benchmarking range 198.18/15, multicast 224/4 or the
// reserved 240/4 (with the broadcast address). A router that reports an address outside this
// is itself behind another translator.
bool IsInternetAddress(const Ipv4Address& address);

// The first address of `addresses` (in the order given) that is not private or local, in
// dotted-decimal form; nothing when there is none.
std::optional<std::string> FindLocalPublicAddress(const std::vector<Ipv4Address>& addresses);

// The IPv4 addresses of this machine's network adapters, in the order the system lists them;
// empty when the list cannot be read.
std::vector<Ipv4Address> MachineAddresses();

}  // namespace quorin::client
