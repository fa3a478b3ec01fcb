#include "net/web_origin.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vyr::net {
namespace {

TEST(WebOriginTest, OriginsOfAddresses) {
  struct Case {
    const char* address;
    std::optional<WebOrigin> origin;
  };
  const Case cases[] = {
      // The scheme's port when none is named; scheme and host lower-cased.
      {"http://home.example/x", WebOrigin{"http", "home.example", 80}},
      {"https://home.example", WebOrigin{"https", "home.example", 443}},
      {"HTTPS://Home.EXAMPLE/Path?q#f", WebOrigin{"https", "home.example", 443}},
      {"http://home.example:8080/", WebOrigin{"http", "home.example", 8080}},
      {"https://home.example:80", WebOrigin{"https", "home.example", 80}},
      {"http://127.0.0.1:1/s.dll", WebOrigin{"http", "127.0.0.1", 1}},
      {"http://[::1]:8080/x", WebOrigin{"http", "[::1]", 8080}},
      {"https://[2001:DB8::1]/", WebOrigin{"https", "[2001:db8::1]", 443}},
      // User information hides the real host: no origin.
      {"http://home.example@elsewhere.example/", std::nullopt},
      {"http://user:pw@home.example/", std::nullopt},
      // A backslash ends the host for a browser, not for other clients.
      {"http://home.example\\@elsewhere.example/", std::nullopt},
      {"http://home.example\\x", std::nullopt},
      // Other schemes and addresses that are no web address.
      {"ftp://home.example/x", std::nullopt},
      {"file:///etc/passwd", std::nullopt},
      {"javascript://home.example/%0Aalert(1)", std::nullopt},
      {"/usr/share/x.zip", std::nullopt},
      {"home.example/x", std::nullopt},
      {"", std::nullopt},
      // Hosts and ports that are not plain.
      {"http:///x", std::nullopt},
      {"http://[]/", std::nullopt},
      {"http://[::1/", std::nullopt},
      {"http://home%2Eexample/", std::nullopt},
      {"http://home.example:0/", std::nullopt},
      {"http://home.example:65536/", std::nullopt},
      {"http://home.example:65535/", WebOrigin{"http", "home.example", 65535}},
      {"http://home.example:+80/", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    const std::optional<WebOrigin> origin = ParseWebOrigin(c.address);
    ASSERT_EQ(origin.has_value(), c.origin.has_value());
    if (origin) {
      EXPECT_EQ(origin->scheme, c.origin->scheme);
      EXPECT_EQ(origin->host, c.origin->host);
      EXPECT_EQ(origin->port, c.origin->port);
    }
  }
}

TEST(WebOriginTest, SameOriginMeansSchemeHostAndPort) {
  const char home[] = "http://www.home.example";
  struct Case {
    const char* address;
    bool same;
  };
  const Case cases[] = {
      {"http://www.home.example/updates/ibox.zip", true},
      {"HTTP://WWW.Home.Example:80/x", true},
      {"https://www.home.example/x", false},         // another scheme
      {"http://www.home.example:8080/x", false},     // another port
      {"http://home.example/x", false},              // the domain is another host
      {"http://ftp.home.example/x", false},          // so is a sibling
      {"http://www.home.example.evil.example/x", false},
      {"http://evil.example/www.home.example/x", false},
      {"http://www.home.example@evil.example/x", false},
      {"file://www.home.example/x", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSameOrigin(c.address, home), c.same) << c.address;
  // Both sides must be web addresses.
  EXPECT_FALSE(IsSameOrigin("file:///x", "file:///x"));
  EXPECT_TRUE(IsSameOrigin("http://[::1]:81/a", "http://[::1]:81/b"));
  EXPECT_FALSE(IsSameOrigin("http://[::1]:81/a", "http://[::2]:81/a"));
}

}  // namespace
}  // namespace vyr::net
