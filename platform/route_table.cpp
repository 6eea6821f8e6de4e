#include "platform/route_table.h"

namespace quorin::platform {

std::optional<DefaultRoute> ChooseDefaultRoute(std::span<const RouteRow> rows) {
  constexpr Ipv4Address kNone{};
  std::optional<DefaultRoute> best;
  std::uint32_t bestMetric = 0;
  for (const RouteRow& row : rows) {
    if (row.destination != kNone || row.mask != kNone || !row.throughRouter ||
        row.nextHop == kNone) {
      continue;
    }
    if (best && row.metric >= bestMetric)
      continue;
    best = DefaultRoute{row.nextHop, row.interfaceIndex};
    bestMetric = row.metric;
  }
  return best;
}

}  // namespace quorin::platform
