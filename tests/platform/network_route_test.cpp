// The connection check: a default route in the routing table's text.
#include "platform/network_route.h"

#include <gtest/gtest.h>

namespace vyr::platform {
namespace {

TEST(NetworkRouteTest, DefaultRouteOnlyWhenUpWithZeroDestinationAndMask) {
  const std::string header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
  const struct {
    const char* name;
    std::string rows;
    bool connected;
  } cases[] = {
      {"gateway route", "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n", true},
      {"local network only", "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n", false},
      {"default route down", "eth0\t00000000\t010200C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n", false},
      {"cut row", "eth0\t00000000\t010200C0\t0003\n", false},
      {"not hexadecimal", "eth0\t0000000G\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n", false},
  };
  for (const auto& c : cases) EXPECT_EQ(RouteTableHasDefault(header + c.rows), c.connected) << c.name;
  // The header alone is never taken for a route.
  EXPECT_FALSE(RouteTableHasDefault("eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"));
}

}  // namespace
}  // namespace vyr::platform
