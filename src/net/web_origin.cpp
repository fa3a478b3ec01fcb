#include "net/web_origin.h"

#include <algorithm>
#include <cctype>

namespace vyr::net {

std::string WebOrigin::Text() const {
  const int defaultPort = scheme == "https" ? 443 : 80;
  return scheme + "://" + host + (port == defaultPort ? std::string() : ":" + std::to_string(port));
}

std::optional<WebOrigin> ParseWebOrigin(const std::string& address) {
  const size_t colon = address.find("://");
  if (colon == std::string::npos) return std::nullopt;
  WebOrigin origin;
  origin.scheme = address.substr(0, colon);
  std::transform(origin.scheme.begin(), origin.scheme.end(), origin.scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (origin.scheme == "http") {
    origin.port = 80;
  } else if (origin.scheme == "https") {
    origin.port = 443;
  } else {
    return std::nullopt;
  }
  const size_t start = colon + 3;
  const size_t end = std::min(address.find_first_of("/?#\\", start), address.size());
  // A backslash where the host ends reads as "/" to a browser but as part
  // of the user information to other clients: the host is not certain.
  if (end < address.size() && address[end] == '\\') return std::nullopt;
  std::string authority = address.substr(start, end - start);
  if (authority.find('@') != std::string::npos) return std::nullopt;
  std::transform(authority.begin(), authority.end(), authority.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  std::string portText;
  if (!authority.empty() && authority[0] == '[') {
    const size_t close = authority.find(']');
    if (close == std::string::npos) return std::nullopt;
    origin.host = authority.substr(0, close + 1);
    const std::string rest = authority.substr(close + 1);
    if (!rest.empty()) {
      if (rest[0] != ':') return std::nullopt;
      portText = rest.substr(1);
    }
  } else {
    const size_t portAt = authority.find(':');
    origin.host = authority.substr(0, portAt);
    if (portAt != std::string::npos) portText = authority.substr(portAt + 1);
  }
  if (origin.host.empty() || origin.host == "[]") return std::nullopt;
  for (unsigned char c : origin.host) {
    const bool ok = std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == '[' || c == ']' || c == ':';
    if (!ok) return std::nullopt;  // escapes and other signs: not a plain host name
  }
  if (!portText.empty()) {
    if (portText.size() > 5 || !std::all_of(portText.begin(), portText.end(), ::isdigit)) return std::nullopt;
    const int port = std::stoi(portText);
    if (port < 1 || port > 65535) return std::nullopt;
    origin.port = port;
  }
  return origin;
}

bool IsSameOrigin(const std::string& a, const std::string& b) {
  const auto left = ParseWebOrigin(a);
  const auto right = ParseWebOrigin(b);
  return left && right && *left == *right;
}

}  // namespace vyr::net
