// Asks one given DNS server for the A record of a name, past every cache: the confirmation
// check must see what the account's own server says, not what a resolver remembers.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/stop_token.h"
#include "platform/udp_socket.h"

namespace quorin::client {

inline constexpr std::uint16_t kDnsPort = 53;

struct DnsQueryTimeouts {
  std::chrono::milliseconds total{5000};   // the whole question, the server's lookup included
  std::chrono::milliseconds resend{1500};  // a datagram may be lost: ask again after this
};

// The dotted address of the first A record that `server` (a dotted address or a host name)
// gives for `name`; empty when either is empty, the server does not resolve, or no usable
// answer came in time (no answer, an error code, no A record, a malformed message).
// Datagrams from anyone but the server's address and port, and answers to other questions,
// are ignored.
std::string ResolveAtServer(std::string_view server, std::string_view name,
                            std::uint16_t port = kDnsPort,
                            platform::UdpNetwork& network = platform::SystemUdpNetwork(),
                            DnsQueryTimeouts timeouts = {}, platform::StopToken stop = {});

}  // namespace quorin::client
