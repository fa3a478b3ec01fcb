#include "platform/network_route.h"

#include <fstream>
#include <sstream>

namespace vyr::platform {

namespace {
constexpr unsigned long kRouteUp = 0x1;  // RTF_UP

bool ParseHex(const std::string& text, unsigned long& value) {
  if (text.empty() || text.size() > 16) return false;
  size_t used = 0;
  try {
    value = std::stoul(text, &used, 16);
  } catch (...) {
    return false;
  }
  return used == text.size();
}
}  // namespace

bool RouteTableHasDefault(const std::string& table) {
  std::istringstream lines(table);
  std::string line;
  bool header = true;
  while (std::getline(lines, line)) {
    if (header) {  // "Iface Destination Gateway Flags ..."
      header = false;
      continue;
    }
    std::istringstream fields(line);
    std::string iface, destination, gateway, flags, refCount, use, metric, mask;
    if (!(fields >> iface >> destination >> gateway >> flags >> refCount >> use >> metric >> mask)) continue;
    unsigned long dest = 0, flagBits = 0, maskBits = 0;
    if (!ParseHex(destination, dest) || !ParseHex(flags, flagBits) || !ParseHex(mask, maskBits)) continue;
    if (dest == 0 && maskBits == 0 && (flagBits & kRouteUp)) return true;
  }
  return false;
}

bool HasDefaultRoute() {
  std::ifstream in("/proc/net/route");
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  return RouteTableHasDefault(text.str());
}

}  // namespace vyr::platform
