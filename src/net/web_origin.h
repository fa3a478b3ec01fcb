#pragma once
// The origin of a web address: its scheme, host and port. Two addresses
// belong to the same site only when all three are equal; "www.home.example"
// and "home.example", or port 80 and 8080, are different origins.
#include <optional>
#include <string>

namespace vyr::net {

struct WebOrigin {
  std::string scheme;  // lower case: "http" or "https"
  std::string host;    // lower case; an IPv6 address keeps its brackets
  int port = 0;        // the scheme's default port when the address names none

  bool operator==(const WebOrigin&) const = default;
  // "scheme://host" with ":port" only when it is not the default one.
  std::string Text() const;
};

// The origin of an http or https address. Nothing for any other scheme, for
// an address that carries user information ("user@host", whose real host is
// not what it seems), an empty host or a port that is not a number from 1 to
// 65535.
std::optional<WebOrigin> ParseWebOrigin(const std::string& address);

// True when both are http(s) addresses of one origin.
bool IsSameOrigin(const std::string& a, const std::string& b);

}  // namespace vyr::net
