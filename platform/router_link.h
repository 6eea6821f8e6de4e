// What the router watcher needs from the system: the default IPv4 route (the home router is
// its gateway), a socket that hears the router's multicast announcements on the interface
// that route leaves through, and plain sockets for questions to the router.
//
// Linux: the kernel's routing table in /proc/net/route; the listener is bound to 0.0.0.0 with
// address and port reuse (other programs on the machine listen on the same port) and joined to
// the group on that interface by its index.
// Windows: IP Helper's routing table; the listener is bound to 0.0.0.0 with address reuse (a
// Windows socket cannot bind the group address) and joined to the group by the interface's own
// IPv4 address.
// Both: UPnP IGD through miniupnpc (docs/address-monitor.md says why), platform/igd_query.h.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "common/ipv4.h"
#include "platform/udp_socket.h"

namespace quorin::platform {

struct DefaultRoute {
  Ipv4Address gateway{};
  unsigned interfaceIndex = 0;  // the system's number of the interface the route leaves by

  bool operator==(const DefaultRoute&) const = default;
};

class RouterLink {
 public:
  virtual ~RouterLink() = default;

  // The default route with the lowest metric, read afresh; nothing when there is none.
  virtual std::optional<DefaultRoute> FindDefaultRoute() = 0;

  // A socket bound to 0.0.0.0:`port` with address reuse and joined to the multicast `group`
  // on `interfaceIndex`; nothing when it cannot be set up.
  virtual std::unique_ptr<UdpSocket> OpenMulticastListener(const Ipv4Address& group,
                                                           std::uint16_t port,
                                                           unsigned interfaceIndex) = 0;

  // A fresh socket on an ephemeral port; nothing when the system refuses one.
  virtual std::unique_ptr<UdpSocket> OpenSocket() = 0;

  // The external address that the route's gateway reports through UPnP IGD (SSDP discovery
  // on the route's interface, then GetExternalIPAddress), for routers without NAT-PMP; nothing
  // when no IGD at the gateway answers in time or it knows no address. Takes a few seconds at
  // most (on Windows up to about 21 s when the gateway answers the search and then drops the
  // connection: the system's limit for a TCP connect, see platform/igd_query.h).
  virtual std::optional<Ipv4Address> AskIgdExternalAddress(const DefaultRoute& route) = 0;
};

// The system's link, or nothing where this platform has no backend for it.
std::unique_ptr<RouterLink> OpenRouterLink();

}  // namespace quorin::platform
