// UDP datagrams with a time-out on every receive, for the client's address query and its DNS
// questions. A receive reports who sent the datagram, so that callers can ignore datagrams
// from anyone but the host they asked.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/ipv4.h"
#include "platform/stop_token.h"

namespace quorin::platform {

struct UdpDatagram {
  std::string bytes;
  Ipv4Address sender{};
  std::uint16_t senderPort = 0;
};

enum class UdpReceiveStatus {
  kDatagram,  // a datagram arrived (possibly of zero bytes)
  kTimedOut,  // nothing arrived within the time-out
  kFailed,    // the socket reported an error (Windows reports an ICMP "port unreachable" so)
};

struct UdpReceive {
  UdpReceiveStatus status = UdpReceiveStatus::kFailed;
  UdpDatagram datagram;
};

// One IPv4 datagram socket. Destroying it closes the socket.
class UdpSocket {
 public:
  virtual ~UdpSocket() = default;

  // Sends one datagram; false when the system did not take it whole.
  virtual bool SendTo(const Ipv4Address& address, std::uint16_t port, std::string_view bytes) = 0;

  // Waits at most `timeout` for the next datagram and reads at most `maxBytes` of it (the
  // rest of a longer datagram is dropped).
  virtual UdpReceive Receive(std::size_t maxBytes, std::chrono::milliseconds timeout) = 0;

  // The local port the socket is bound to (0 before the first send of an unbound socket).
  virtual std::uint16_t LocalPort() const = 0;
};

// Opening sockets and looking up host names: what a UDP client needs. Core code takes this
// interface so that tests can hand it scripted peers.
class UdpNetwork {
 public:
  virtual ~UdpNetwork() = default;

  // The first IPv4 address of a host name, or the parsed dotted text; nothing when the name
  // does not resolve within `timeout` or `stop` is requested first.
  virtual std::optional<Ipv4Address> Resolve(std::string_view host,
                                             std::chrono::milliseconds timeout, StopToken stop) = 0;

  // A fresh socket on an ephemeral port; nothing when the system refuses one.
  virtual std::unique_ptr<UdpSocket> Open() = 0;
};

// The system's sockets and resolver.
UdpNetwork& SystemUdpNetwork();

// A socket bound to `address`:`port` (port 0 lets the system pick one), for test servers and
// local tools; nothing when it cannot be bound.
std::unique_ptr<UdpSocket> BindUdpSocket(const Ipv4Address& address, std::uint16_t port);

}  // namespace quorin::platform
