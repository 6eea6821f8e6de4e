#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

#include "platform/network.h"

namespace quorin::platform {

NetworkSession::NetworkSession() : ok_(true) {}

NetworkSession::~NetworkSession() = default;

std::optional<Ipv4Address> LookupIPv4Blocking(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return std::nullopt;
  }
  Ipv4Address address{};
  sockaddr_in ipv4{};
  std::memcpy(&ipv4, found->ai_addr, sizeof ipv4);
  std::memcpy(address.data(), &ipv4.sin_addr, 4);
  ::freeaddrinfo(found);
  return address;
}

}  // namespace quorin::platform
