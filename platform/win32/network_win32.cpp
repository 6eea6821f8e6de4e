#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "platform/network.h"

namespace quorin::platform {

NetworkSession::NetworkSession() {
  WSADATA data{};
  ok_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

NetworkSession::~NetworkSession() {
  if (ok_)
    ::WSACleanup();
}

HostLookup LookupIPv4Blocking(const std::string& host) {
  // The worker may outlive the caller's session, so it holds a reference of its own.
  NetworkSession session;
  if (!session.ok())
    return {};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int error = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (error != 0 || found == nullptr) {
    return {std::nullopt, error == WSAHOST_NOT_FOUND || error == WSANO_DATA};
  }
  Ipv4Address address{};
  sockaddr_in ipv4{};
  std::memcpy(&ipv4, found->ai_addr, sizeof ipv4);
  std::memcpy(address.data(), &ipv4.sin_addr, 4);
  ::freeaddrinfo(found);
  return {address, false};
}

}  // namespace quorin::platform
