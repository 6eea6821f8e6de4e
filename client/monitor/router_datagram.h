// The datagrams a home router's NAT-PMP (RFC 6886) and PCP (RFC 6887) server sends to the LAN,
// read in pure functions: the answer to the external-address request, the same answer sent to
// every host as an announcement, and PCP's ANNOUNCE, which carries no address. Every datagram
// is outside input: a length or version other than the protocol's own makes it nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/ipv4.h"

namespace quorin::client {

// The router's NAT-PMP and PCP server listens here.
inline constexpr std::uint16_t kRouterServerPort = 5351;
// Announcements go to 224.0.0.1 on this port.
inline constexpr std::uint16_t kRouterAnnouncementPort = 5350;
// The largest datagram either protocol sends (PCP's limit); anything longer is cut and then
// fails the length checks.
inline constexpr std::size_t kRouterDatagramMaxBytes = 1100;

enum class RouterMessageKind {
  kExternalAddress,  // NAT-PMP opcode 128: the router's external address, or why it has none
  kPcpAnnounce,      // PCP ANNOUNCE: the router restarted or its address changed; ask it
};

// NAT-PMP result codes that the client tells apart; others only mean "no address".
inline constexpr std::uint16_t kNatPmpSuccess = 0;
inline constexpr std::uint16_t kNatPmpNetworkFailure = 3;  // the router has no external address

struct RouterMessage {
  RouterMessageKind kind = RouterMessageKind::kExternalAddress;
  std::uint16_t resultCode = kNatPmpSuccess;
  std::uint32_t secondsSinceEpoch = 0;
  // The external address, present exactly for a successful NAT-PMP answer.
  std::optional<Ipv4Address> externalAddress;
};

// Reads one datagram from the router; nothing for anything that is not exactly one of the
// messages above (a request, another opcode or version, a wrong length).
std::optional<RouterMessage> ParseRouterDatagram(std::string_view bytes);

// The NAT-PMP external-address request: version 0, opcode 0.
std::string ExternalAddressRequest();

}  // namespace quorin::client
