// The default route as the kernel's routing table shows it.
#include <gtest/gtest.h>

#include "platform/posix/proc_net_route.h"

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

}  // namespace
}  // namespace quorin::platform
