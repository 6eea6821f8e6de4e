#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

#include "platform/reverse_lookup.h"

namespace quorin::platform {

bool ReverseLookupBlocking(const Ipv4Address& address) {
  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  std::memcpy(&socketAddress.sin_addr, address.data(), address.size());
  char name[NI_MAXHOST] = {};
  return ::getnameinfo(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress,
                       name, sizeof name, nullptr, 0, NI_NAMEREQD) == 0;
}

}  // namespace quorin::platform
