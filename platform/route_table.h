// The choice of the default route among the rows of an IPv4 routing table as Windows' IP Helper
// lists them (GetIpForwardTable). Kept apart from the system call so that tests can feed it
// tables of their own.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "common/ipv4.h"
#include "platform/router_link.h"

namespace quorin::platform {

struct RouteRow {
  Ipv4Address destination{};
  Ipv4Address mask{};
  Ipv4Address nextHop{};
  // The next hop is a router, not the destination itself. A route to a directly attached
  // network (a dial-up or VPN link's default route among them) names the interface's own
  // address or 0.0.0.0 as its next hop instead.
  bool throughRouter = false;
  std::uint32_t metric = 0;  // the route's and its interface's metric together
  unsigned interfaceIndex = 0;
};

// The default route (destination and mask 0.0.0.0, through a router with a non-zero address)
// with the lowest metric, the first of equals; nothing when the table has none.
std::optional<DefaultRoute> ChooseDefaultRoute(std::span<const RouteRow> rows);

}  // namespace quorin::platform
