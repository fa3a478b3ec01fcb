#include "browser/navigation_policy.h"

#include <fstream>

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

const std::string kHome = "http://www.vyrelle.example";
const std::string kRoot = "/home/u/.local/share/vyrelle-home/vyrelle";
const std::string kShipped = "/usr/share/vyrelle";

NavigationPolicy BrowserPolicy() {
  return NavigationPolicy({kHome, {kRoot + "/media", kRoot + "/InfoBox", kShipped}, true, true, kTakesEverything, true, true, ""});
}

// A navigation to a command link, as a pane would see it.
NavigationFacts Facts(const std::string& mainDocument, const std::string& referrer, NavigationKind kind,
                      bool gesture, bool pointerOnLink) {
  NavigationFacts f;
  f.url = kHome + "/_cmd/setinifile%20a%20b%20c";
  f.mainDocument = mainDocument;
  f.referrer = referrer;
  f.kind = kind;
  f.userGesture = gesture;
  f.pointerOnLink = pointerOnLink;
  return f;
}

TEST(NavigationPolicyTest, TrustComesFromTheEnginesFactsAboutTheMainFrame) {
  const NavigationPolicy policy = BrowserPolicy();
  const std::string evil = "http://evil.example/page.html";
  const std::string homePage = kHome + "/box/1.htm";
  const std::string start = "file://" + kShipped + "/start.html";
  using K = NavigationKind;
  struct Case {
    const char* what;
    NavigationFacts facts;
    Trust trust;
  };
  NavigationFacts typed;
  typed.startedByShell = true;
  typed.mainDocument = evil;
  NavigationFacts cut = Facts(evil, "", K::LinkClicked, true, true);
  const Case cases[] = {
      {"typed", typed, Trust::Full},
      {"home page script", Facts(homePage, homePage, K::Other, false, false), Trust::Full},
      {"home page, its origin as referrer", Facts(homePage, kHome + "/", K::Other, false, false), Trust::Full},
      {"shipped start page (no referrer from files)", Facts(start, "", K::Other, false, false), Trust::Full},
      {"scheme page", Facts("file://" + kRoot + "/media/default/help.htm", "", K::Other, false, false), Trust::Full},
      {"info box page", Facts("file://localhost" + kRoot + "/InfoBox/Box%201.htm", "", K::Other, false, false),
       Trust::Full},
      {"_TEMP is not the program's", Facts("file://" + kRoot + "/_TEMP/x.htm", "", K::Other, false, false),
       Trust::None},
      {"mail folder is not", Facts("file://" + kRoot + "/email/Inbox/m.htm", "", K::LinkClicked, true, false),
       Trust::None},
      {"dot-dot out of a page folder", Facts("file://" + kRoot + "/media/../_TEMP/x.htm", "", K::Other, false, false),
       Trust::None},
      {"real click on another site's link", Facts(evil, evil, K::LinkClicked, true, true), Trust::UserClick},
      {"form sent by a real click", Facts(evil, evil, K::FormSubmitted, true, true), Trust::UserClick},
      {"real click, referrer cut to nothing by the page", cut, Trust::UserClick},
      {"script in a click handler", Facts(evil, evil, K::Other, true, false), Trust::None},
      {"link clicked by script, pointer elsewhere", Facts(evil, evil, K::LinkClicked, true, false), Trust::None},
      {"pointer on the link but no gesture", Facts(evil, evil, K::LinkClicked, false, true), Trust::None},
      {"timer", Facts(evil, evil, K::Other, false, false), Trust::None},
      {"frame of another site in a home page", Facts(homePage, evil, K::LinkClicked, true, true), Trust::None},
      {"home frame in another site's page", Facts(evil, homePage, K::Other, false, false), Trust::None},
      {"look-alike home host", Facts("http://www.vyrelle.example.evil.example/", "http://www.vyrelle.example.evil.example/",
                                     K::Other, false, false), Trust::None},
      {"home host on another port", Facts("http://www.vyrelle.example:8080/", "http://www.vyrelle.example:8080/",
                                          K::Other, false, false), Trust::None},
      {"home host over another scheme", Facts("https://www.vyrelle.example/", "https://www.vyrelle.example/",
                                              K::Other, false, false), Trust::None},
      {"user information", Facts("http://www.vyrelle.example@evil.example/", "http://www.vyrelle.example@evil.example/",
                                 K::Other, false, false), Trust::None},
  };
  for (const Case& c : cases) EXPECT_EQ(policy.Assess(c.facts), c.trust) << c.what;
}

TEST(NavigationPolicyTest, ARedirectBelongsToThePageThatBeganTheChain) {
  const NavigationPolicy policy = BrowserPolicy();
  const std::string evil = "http://evil.example/page.html";
  auto redirect = [](const std::string& main, const std::string& referrer, const std::string& dest,
                     const std::string& chainStart) {
    NavigationFacts f = Facts(main, referrer, NavigationKind::LinkClicked, true, false);
    f.redirect = true;
    f.fetchDestination = dest;
    f.shellChainStart = chainStart;
    return f;
  };
  // A home page's link that the home server redirects to a command.
  EXPECT_EQ(policy.Assess(redirect(kHome + "/a", kHome + "/a", "document", "")), Trust::Full);
  // Another site's page (even clicked by the user) redirected by its server.
  EXPECT_EQ(policy.Assess(redirect(evil, evil, "document", "")), Trust::None);
  // A hidden frame's redirect, whatever the main page is.
  EXPECT_EQ(policy.Assess(redirect(kHome + "/a", kHome + "/a", "iframe", "")), Trust::None);
  // An address the user typed on the home server, redirected there.
  EXPECT_EQ(policy.Assess(redirect(evil, "", "document", kHome + "/go")), Trust::Full);
  EXPECT_EQ(policy.Assess(redirect(evil, "", "document", "http://evil.example/go")), Trust::None);
  EXPECT_EQ(policy.Assess(redirect(evil, "", "document", "")), Trust::None);
}

TEST(NavigationPolicyTest, APaneWithoutAPolicyTrustsNothingAndAnEmptyHomeServerIsNoOrigin) {
  const NavigationPolicy none;
  const std::string home = kHome + "/x";
  EXPECT_EQ(none.Assess(Facts(home, home, NavigationKind::Other, false, false)), Trust::None);
  EXPECT_EQ(none.Verdict(Facts(home, home, NavigationKind::Other, false, false)).takes, kTakesNothing);
  EXPECT_FALSE(none.MayOpenPopups());
  EXPECT_FALSE(none.MayDownload());
  const NavigationPolicy noHome({"", {kShipped}, true, true, kTakesEverything, true, true, ""});
  EXPECT_FALSE(noHome.IsTrustedDocument(home));
  EXPECT_TRUE(noHome.IsTrustedDocument("file://" + kShipped + "/start.html"));
}

TEST(NavigationPolicyTest, OnlyTheUsersOwnClickOrTypingStartsAMailMessage) {
  const NavigationPolicy policy = BrowserPolicy();
  const std::string evil = "http://evil.example/page.html";
  EXPECT_TRUE(policy.Verdict(Facts(evil, evil, NavigationKind::LinkClicked, true, true)).userStarted);
  // A trusted page's script may run commands but not write mail for the user.
  EXPECT_FALSE(policy.Verdict(Facts(kHome + "/", kHome + "/", NavigationKind::Other, false, false)).userStarted);
  EXPECT_FALSE(policy.Verdict(Facts(evil, evil, NavigationKind::Other, true, false)).userStarted);
  EXPECT_FALSE(policy.Verdict(Facts(evil, "http://other.example/", NavigationKind::LinkClicked, true, true)).userStarted);
}

TEST(NavigationPolicyTest, AMailMessageRunsNothingAndLeavesOnlyByTheUsersClick) {
  const std::string folder = kRoot + "/_TEMP/Viewer";
  const NavigationPolicy policy = NavigationPolicy::ForMailMessage(folder + "/");
  EXPECT_FALSE(policy.RunsScript());
  EXPECT_FALSE(policy.LoadsRemoteContent());
  EXPECT_FALSE(policy.MayOpenPopups());
  EXPECT_FALSE(policy.MayDownload());
  const std::string page = "file://" + folder + "/Enhanced.htm";
  auto nav = [&](const std::string& url, NavigationKind kind, bool gesture, bool pointer) {
    NavigationFacts f = Facts(page, "", kind, gesture, pointer);
    f.url = url;
    return f;
  };
  using K = NavigationKind;
  using M = MessageNavigation;
  NavigationFacts shown = nav(page, K::Other, false, false);
  shown.startedByShell = true;
  NavigationFacts blank = nav("http://news.example/", K::LinkClicked, true, true);
  blank.newWindow = true;
  NavigationFacts redirected = nav("http://news.example/", K::LinkClicked, true, true);
  redirected.redirect = true;
  NavigationFacts framed = nav("http://news.example/", K::LinkClicked, true, true);
  framed.fetchDestination = "iframe";
  const struct {
    const char* what;
    NavigationFacts facts;
    MessageNavigation route;
  } cases[] = {
      {"the message page we load", shown, M::Show},
      {"a real click on a web link", nav("http://news.example/a", K::LinkClicked, true, true), M::OpenInBrowser},
      {"... over https, in capitals", nav("HTTPS://news.example/a", K::LinkClicked, true, true), M::OpenInBrowser},
      {"... with target _blank", blank, M::OpenInBrowser},
      {"a real click on mailto", nav("mailto:kim@example.org", K::LinkClicked, true, true), M::Compose},
      {"a real click on a part of the message", nav("file://" + folder + "/report.pdf", K::LinkClicked, true, true),
       M::Show},
      {"... on a file elsewhere", nav("file:///etc/passwd", K::LinkClicked, true, true), M::Refuse},
      {"... out of the folder by ..", nav("file://" + folder + "/../../vyr20.ini", K::LinkClicked, true, true),
       M::Refuse},
      {"... on another scheme", nav("ftp://files.example/x", K::LinkClicked, true, true), M::Refuse},
      {"a meta refresh", nav("http://www.vyrelle.example/_cmd/showmail", K::Other, false, false), M::Refuse},
      {"script inside a click handler", nav("http://news.example/", K::Other, true, false), M::Refuse},
      {"a link clicked by script", nav("http://news.example/", K::LinkClicked, true, false), M::Refuse},
      {"a form sent by a real click", nav("http://news.example/", K::FormSubmitted, true, true), M::Refuse},
      {"a redirect after a click", redirected, M::Refuse},
      {"a frame's navigation", framed, M::Refuse},
      {"a frame's mailto", nav("mailto:kim@example.org", K::Other, false, false), M::Refuse},
  };
  for (const auto& c : cases) EXPECT_EQ(policy.RouteMessageNavigation(c.facts), c.route) << c.what;
  // A message is no program page: nothing in it is trusted.
  EXPECT_EQ(policy.Assess(nav("http://www.vyrelle.example/_cmd/showmail", K::Other, false, false)), Trust::None);
  EXPECT_FALSE(policy.IsTrustedDocument(page));
  EXPECT_EQ(policy.Takes(), kTakesMailto);
}

TEST(NavigationPolicyTest, AFrameIsKnownByItsDestinationOrByAnotherOrigin) {
  const std::string page = "http://news.example/today.html";
  NavigationFacts f = Facts(page, page, NavigationKind::Other, false, false);
  EXPECT_TRUE(MayBeMainFrame(f));
  f.fetchDestination = "iframe";
  EXPECT_FALSE(MayBeMainFrame(f));
  f.fetchDestination = "document";
  EXPECT_TRUE(MayBeMainFrame(f));
  f = Facts(page, "http://ads.example/banner.html", NavigationKind::LinkClicked, true, true);
  EXPECT_FALSE(MayBeMainFrame(f));
  f.startedByShell = true;
  EXPECT_TRUE(MayBeMainFrame(f));
}

TEST(NavigationPolicyTest, InsertImageAnswersOnlyPlainNamesOfExistingSchemeFiles) {
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
