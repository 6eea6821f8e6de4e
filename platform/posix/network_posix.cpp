#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

#include "platform/network.h"

namespace quorin::platform {

NetworkSession::NetworkSession() : ok_(true) {}

NetworkSession::~NetworkSession() = default;

HostLookup LookupIPv4Blocking(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int error = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (error != 0 || found == nullptr) {
#ifdef EAI_NODATA
    const bool noData = error == EAI_NODATA;
#else
    const bool noData = false;
#endif
    return {std::nullopt, error == EAI_NONAME || noData};
  }
  Ipv4Address address{};
  sockaddr_in ipv4{};
  std::memcpy(&ipv4, found->ai_addr, sizeof ipv4);
  std::memcpy(address.data(), &ipv4.sin_addr, 4);
  ::freeaddrinfo(found);
  return {address, false};
}

}  // namespace quorin::platform
