#pragma once
// This system's TCP/IP settings as the kernel reports them: the largest
// packet (MTU) of each network interface, the default time-to-live of
// packets sent and the receive buffer sizes. Only read, never written.
#include <string>
#include <vector>

namespace vyr::platform {

struct TcpSettings {
  struct Interface {
    std::string name;
    std::string mtu;  // as the kernel writes it; "" when it could not be read
  };
  std::vector<Interface> interfaces;  // by name
  std::string defaultTtl;             // "" when it could not be read
  std::string tcpReceiveBuffer;       // "smallest default largest"
  std::string socketReceiveBuffer;    // "default largest"
};

// Reads them from the folders the kernel shows them in (normally "/sys"
// and "/proc"; tests give other roots).
TcpSettings ReadTcpSettings(const std::string& sysRoot = "/sys", const std::string& procRoot = "/proc");

}  // namespace vyr::platform
