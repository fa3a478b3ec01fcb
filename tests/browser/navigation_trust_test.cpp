#include "browser/navigation_trust.h"

#include <fstream>

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

TEST(NavigationTrustTest, OnlyUserStartedOrOwnPagesAreTrusted) {
  const std::string home = "http://www.vyrelle.example";
  const std::string root = "/home/u/.local/share/vyrelle-home/vyrelle";
  struct Case {
    bool topLevel, gesture, shell;
    std::string source;
    bool trusted;
  };
  const Case cases[] = {
      {true, true, false, "http://evil.example/", true},    // clicked in any page
      {true, false, true, "http://evil.example/", true},    // typed, or a shell button
      {false, true, false, "http://www.vyrelle.example/", false},  // never inside a frame
      {true, false, false, "http://evil.example/", false},  // script redirect
      {true, false, false, "", false},
      {true, false, false, "http://www.vyrelle.example", true},
      {true, false, false, "HTTP://WWW.Vyrelle.Example/box/1.htm?x", true},
      {true, false, false, "http://www.vyrelle.example.evil.example/", false},
      {true, false, false, "http://www.vyrelle.example@evil.example/", false},
      {true, false, false, "http://www.vyrelle.example:8080/", false},
      {true, false, false, "https://www.vyrelle.example/", false},
      {true, false, false, "file://" + root + "/Pages/start.html", true},
      {true, false, false, "file://localhost" + root + "/InfoBox/Box%201.htm", true},
      {true, false, false, "file://" + root + "/Pages/../../../evil.html", false},
      {true, false, false, "file://" + root + "/%2e%2e/evil.html", false},
      {true, false, false, "file://" + root + "x/evil.html", false},
      {true, false, false, "file://" + root, false},
      {true, false, false, "file:///tmp/evil.html", false},
  };
  for (const Case& c : cases) {
    NavigationOrigin origin{c.topLevel, c.gesture, c.shell, c.source};
    EXPECT_EQ(IsTrustedNavigation(origin, home, root), c.trusted) << c.source;
  }
  // Without a home server or data root nothing is trusted through them.
  EXPECT_FALSE(IsTrustedNavigation({true, false, false, "http://www.vyrelle.example/"}, "", ""));
}

TEST(NavigationTrustTest, InsertImageAnswersOnlyPlainNamesOfExistingSchemeFiles) {
  test::TestApp t;
  const std::string media = t.app.Directories().Root() + "/media/default/";
  ASSERT_TRUE(platform::CreateDirectories(media));
  std::ofstream(media + "logo.gif") << "GIF89a";
  std::ofstream(t.app.Directories().Root() + "/media/secret.txt") << "x";
  const struct {
    std::string name, expected;
  } cases[] = {
      {"logo.gif", media + "logo.gif"}, {"missing.gif", ""}, {"", ""},       {".", ""},
      {"..", ""},  {"../secret.txt", ""}, {"..\\secret.txt", ""}, {"a/logo.gif", ""},
      {"c:logo.gif", ""}, {"logo.gif\n", ""}, {std::string("logo.gif\0x", 10), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(SchemeImagePath(t.app, c.name), c.expected) << c.name;
}

}  // namespace
}  // namespace vyr
