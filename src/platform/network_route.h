#pragma once
// Whether the machine is connected: until a dial-up connection check exists
// the machine counts as connected when its routing table holds a default
// route (destination 0.0.0.0 with mask 0.0.0.0 on an interface that is up).
#include <string>

namespace vyr::platform {

// Reads /proc/net/route; false when it cannot be read.
bool HasDefaultRoute();

// The same answer from the text of /proc/net/route: a header line, then one
// route per line with the interface, destination, gateway, flags, ... and
// mask in hexadecimal, separated by white space.
bool RouteTableHasDefault(const std::string& table);

}  // namespace vyr::platform
