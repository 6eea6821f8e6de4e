// The public-address question to an update host: one datagram "user;key;randText" padded with
// zero bytes to 1024 bytes, sent to UDP port 5353; the host answers with the address the
// datagram came from, as dotted text.
//
// Only a reply from the very address and port asked counts, and only when its text is a
// dotted IPv4 address: a datagram from anyone else cannot decide the machine's address, and a
// reply that is no address counts as no reply.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "client/local/settings.h"
#include "client/monitor/account_credentials.h"
#include "common/provider_defaults.h"
#include "platform/stop_token.h"
#include "platform/udp_socket.h"

namespace quorin::client {

inline constexpr std::size_t kAddressDatagramSize = 1024;

struct UdpQueryOptions {
  std::uint16_t port = static_cast<std::uint16_t>(provider::kServerPort);
  // Per host, from the start of the attempt (name lookup included).
  std::chrono::milliseconds timeout{3000};
};

// The request datagram: the text "%s;%s;%s", its terminating zero and zeros up to 1024 bytes.
std::string BuildAddressDatagram(const AccountCredentials& credentials);

// The address a reply carries: its text up to the first zero byte, cut to 127 characters,
// accepted only as a dotted IPv4 address and handed back in plain dotted-decimal form.
std::optional<std::string> ReadAddressReply(std::string_view datagram);

// Asks one update host; the address, or empty when no usable reply came in time.
std::string QueryPublicAddressUdp(const AccountCredentials& credentials, std::string_view host,
                                  platform::UdpNetwork& network = platform::SystemUdpNetwork(),
                                  UdpQueryOptions options = {}, platform::StopToken stop = {});

// Asks the primary update host, then the secondary one when the first gave nothing.
std::string QueryPublicAddress(const AccountCredentials& credentials, const Settings& settings,
                               platform::UdpNetwork& network = platform::SystemUdpNetwork(),
                               UdpQueryOptions options = {}, platform::StopToken stop = {});

}  // namespace quorin::client
