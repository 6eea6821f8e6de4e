// The default route as the kernel's routing table shows it, and as it is chosen among the rows
// that Windows' IP Helper lists (portable, so tested here).
#include <gtest/gtest.h>

#include <vector>

#include "platform/posix/proc_net_route.h"
#include "platform/route_table.h"

namespace quorin::platform {
namespace {

TEST(ReadDefaultRoute, TakesTheLowestMetricOfTheRoutesThatAreUpThroughAGateway) {
  const char* const table =
      "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
      "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
      "eth1\t00000000\t0102A8C0\t0001\t0\t0\t50\t00000000\t0\t0\t0\n"  // no gateway flag
      "eth2\t00000000\t0103A8C0\t0002\t0\t0\t50\t00000000\t0\t0\t0\n"  // down
      "eth3\t0000A8C0\t0104A8C0\t0003\t0\t0\t10\t0000FFFF\t0\t0\t0\n"  // not the default
      "eth4\t00000000\tZZ05A8C0\t0003\t0\t0\t10\t00000000\t0\t0\t0\n"  // does not parse
      "eth5\t00000000\t0106A8C0\t0003\t0\t0\n"                         // cut short
      "eth0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
      "eth6\t00000000\t0107A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";  // not lower
  const auto route = ReadDefaultRoute(table);
  ASSERT_TRUE(route);
  EXPECT_EQ(route->interfaceName, "eth0");
  EXPECT_EQ(route->gateway, (Ipv4Address{10, 0, 0, 1})) << "the hex digits are memory order";

  EXPECT_FALSE(ReadDefaultRoute("Iface\tDestination\tGateway\n"));
  EXPECT_FALSE(ReadDefaultRoute(""));
  EXPECT_FALSE(ReadDefaultRoute("eth0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\n"))
      << "the first line is always the header";
}

TEST(ChooseDefaultRoute, TakesTheLowestMetricOfTheDefaultRoutesThroughARouter) {
  const Ipv4Address any{};
  const Ipv4Address host{255, 255, 255, 255};
  const std::vector<RouteRow> rows = {
      {any, any, {192, 168, 1, 1}, true, 60, 7},
      {any, any, any, true, 5, 3},                                      // no next hop
      {any, any, {100, 64, 0, 7}, false, 5, 9},                         // a link's own address
      {{192, 168, 0, 0}, {255, 255, 0, 0}, {10, 0, 0, 9}, true, 1, 4},  // not the default
      {any, host, {10, 0, 0, 8}, true, 1, 4},                           // a host route
      {any, any, {10, 0, 0, 1}, true, 25, 12},
      {any, any, {10, 0, 0, 2}, true, 25, 13},  // not lower
  };
  EXPECT_EQ(ChooseDefaultRoute(rows), (DefaultRoute{{10, 0, 0, 1}, 12}));

  EXPECT_FALSE(ChooseDefaultRoute({}));
  EXPECT_FALSE(ChooseDefaultRoute(std::vector<RouteRow>(rows.begin() + 1, rows.begin() + 5)))
      << "no default route through a router";
}

}  // namespace
}  // namespace quorin::platform
