#include "platform/tcp_settings.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vyr::platform {

namespace {

// The file's words joined by single blanks ("4096\t131072\t6291456\n" gives
// "4096 131072 6291456"); "" when it cannot be read.
std::string Words(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) return {};
  std::string word, text;
  while (in >> word) text += (text.empty() ? "" : " ") + word;
  return text;
}

}  // namespace

TcpSettings ReadTcpSettings(const std::string& sysRoot, const std::string& procRoot) {
  namespace fs = std::filesystem;
  TcpSettings settings;
  std::error_code error;
  for (fs::directory_iterator it(fs::path(sysRoot) / "class/net", error), end; !error && it != end;
       it.increment(error)) {
    settings.interfaces.push_back({it->path().filename().string(), Words(it->path() / "mtu")});
  }
  std::sort(settings.interfaces.begin(), settings.interfaces.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  const fs::path proc(procRoot);
  settings.defaultTtl = Words(proc / "sys/net/ipv4/ip_default_ttl");
  settings.tcpReceiveBuffer = Words(proc / "sys/net/ipv4/tcp_rmem");
  const std::string rmemDefault = Words(proc / "sys/net/core/rmem_default");
  const std::string rmemMax = Words(proc / "sys/net/core/rmem_max");
  if (!rmemDefault.empty() && !rmemMax.empty()) settings.socketReceiveBuffer = rmemDefault + " " + rmemMax;
  return settings;
}

}  // namespace vyr::platform
