#include "platform/host_name.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vyr::platform {

namespace {

bool UsableName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F) return false;
  }
  return true;
}

}  // namespace

std::string FullyQualifiedHostName() {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0 || !UsableName(host)) return "localhost";
  std::string name = host;
  if (name.find('.') != std::string::npos) return name;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host, nullptr, &hints, &found) == 0 && found) {
    if (found->ai_canonname && UsableName(found->ai_canonname) &&
        std::string(found->ai_canonname).find('.') != std::string::npos) {
      name = found->ai_canonname;
    }
    ::freeaddrinfo(found);
  }
  return name;
}

}  // namespace vyr::platform
