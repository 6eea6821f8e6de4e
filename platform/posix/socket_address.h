// The system's form of an IPv4 address and port, shared by the socket backends.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <cstring>

#include "common/ipv4.h"

namespace quorin::platform {

inline sockaddr_in SocketAddress(const Ipv4Address& address, std::uint16_t port) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  std::memcpy(&target.sin_addr, address.data(), address.size());
  return target;
}

}  // namespace quorin::platform
