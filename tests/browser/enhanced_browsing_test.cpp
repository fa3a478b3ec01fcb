// Enhanced browsing: which texts become look-ups, the order of the steps and
// the switches that skip them, the addresses built, and that a new
// navigation silences a running look-up.
#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

#include "browser/enhanced_browsing.h"
#include "platform/url_canonicalizer.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

using Events = std::vector<std::string>;

struct RecordingOwner : BrowsingOwner {
  void DownloadBegin() override { events.push_back("begin"); }
  void StatusTextChange(const std::string& t) override { events.push_back("status:" + t); }
  void RollOverTextChange(const std::string& t) override { events.push_back("rollover:" + t); }
  void NavigateControl(const std::string& a) override { events.push_back("go:" + a); }
  Events events;
};

// Knows one host; or, with block, waits until stopped and then answers no.
struct ScriptedHosts : platform::HostResolver {
  bool Resolves(const std::string& host, const std::atomic<bool>& stop) override {
    if (!block) return host == known;
    { std::lock_guard<std::mutex> lock(mutex); entered = true; }
    asked.notify_all();
    while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return false;
  }
  std::string known;
  bool block = false, entered = false;
  std::mutex mutex;
  std::condition_variable asked;
};

const EnhancedBrowsingSettings kSettings{"http://search.example/find?q=%s", "rn.example",
                                         "/resolver.dll?realname=%s"};

Events Browse(const std::string& text, Application::SmarterBrowsing flags, bool hostKnown,
           bool resolverKnows) {
  auto hosts = std::make_shared<ScriptedHosts>();
  hosts->known = hostKnown ? "www.news.com" : "";
  RecordingOwner owner;
  EnhancedBrowsing browsing(owner, kSettings, hosts, [&](auto& host, auto& path, auto&) {
    return resolverKnows && host == "rn.example" &&
           (path == "/resolver.dll?realname=news" || path == "/resolver.dll?realname=two words");
  });
  browsing.Navigate(text, flags);
  EXPECT_TRUE(browsing.WaitUntilFinished(std::chrono::seconds(10)));
  platform::WindowMessages::Instance().DispatchPending();
  return owner.events;
}

TEST(EnhancedBrowsingTest, BareWordsHaveNoDotColonOrSlash) {
  for (const char* bare : {"news", "two words", "", "c++ & a?b"}) EXPECT_TRUE(IsBareWord(bare)) << bare;
  for (const char* address : {"example.org", "news.", "host:80", "a/b", "a\\b", "about:blank"}) {
    EXPECT_FALSE(IsBareWord(address)) << address;
  }
}

// What a typed address opens: a scheme is kept, a host (with or without port
// and path) is opened over http, a local path as a file.
TEST(EnhancedBrowsingTest, TypedTextWithoutSchemeOpensOverHttp) {
  const std::pair<const char*, const char*> rows[] = {
      {"www.example.com", "http://www.example.com"},
      {"  example.org/a b  ", "http://example.org/a b"},
      {"localhost:8765/page2.html", "http://localhost:8765/page2.html"},
      {"127.0.0.1:8765/page2.html", "http://127.0.0.1:8765/page2.html"},
      {"localhost:8765", "http://localhost:8765"},
      {"example.com:8080?q=1", "http://example.com:8080?q=1"},
      {"[::1]:8080/x", "http://[::1]:8080/x"},
      {"//example.org/x", "http://example.org/x"},
      {"https://example.org/", "https://example.org/"},
      {"HTTP://Example.org", "HTTP://Example.org"},
      {"file:///tmp/a.html", "file:///tmp/a.html"},
      {"about:blank", "about:blank"},
      {"mailto:ann@example.org", "mailto:ann@example.org"},
      {"tel:5551234", "tel:5551234"},        // seven digits are no port
      {"host:123456/x", "host:123456/x"},
      {"view-source:http://a/", "view-source:http://a/"},
      {"/home/ann/My Page.html", "file:///home/ann/My%20Page.html"},
      {"/tmp/caf\xC3\xA9.html", "file:///tmp/caf%C3%A9.html"},
  };
  for (const auto& [typed, expected] : rows) EXPECT_EQ(AddressForTypedText(typed), expected) << typed;
}

TEST(EnhancedBrowsingTest, StepsRunInOrderAndEachSwitchSkipsItsStep) {
  const std::string look = "status:* ENHANCED BROWSING: looking for ";
  const std::string rn = "status:* ENHANCED BROWSING: RealName search for: ";
  const std::string search = "go:http://search.example/find?q=";
  struct Row {
    std::string text;
    Application::SmarterBrowsing flags;
    bool hostKnown, resolverKnows;
    Events expected;
  } rows[] = {
      {"news", {1, 1, 1}, true, true, {"begin", look + "news", "go:http://www.news.com"}},
      {"news", {1, 1, 1}, false, true,
       {"begin", look + "news", rn + "news", "go:http://rn.example//resolver.dll?realname=news"}},
      {"news", {1, 1, 1}, false, false, {"begin", look + "news", rn + "news", search + "news"}},
      {" two words ", {1, 1, 1}, true, false, {"begin", rn + "two words", search + "two%20words"}},
      {"two words", {1, 1, 1}, true, true,
       {"begin", rn + "two words", "go:http://rn.example//resolver.dll?realname=two%20words"}},
      {"news", {0, 1, 1}, true, false, {"begin", rn + "news", search + "news"}},
      // The word is encoded before it goes into the template.
      {"AT&T 100%", {0, 0, 1}, false, false, {"begin", search + "AT%26T%20100%25"}},
      {"news", {1, 0, 1}, false, true, {"begin", look + "news", search + "news"}},
      {"news", {1, 1, 0}, false, false, {"begin", look + "news", rn + "news", "go:news"}},
      {"news", {1, 0, 0}, false, false, {"begin", look + "news", "go:http://www.news.com"}},
      {"news", {0, 0, 0}, true, true, {"begin", "go:news"}},
      {"   ", {1, 1, 1}, false, false, {"begin", look, rn, search}},
      {"example.org", {1, 1, 1}, true, true, {"go:http://example.org"}},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Browse(r.text, r.flags, r.hostKnown, r.resolverKnows), r.expected)
        << "'" << r.text << "' " << r.flags.autocomplete << r.flags.realNames << r.flags.webSearch;
  }
}

TEST(EnhancedBrowsingTest, NewNavigationEndsRunningLookUpWithoutItNavigating) {
  auto hosts = std::make_shared<ScriptedHosts>();
  hosts->block = true;
  RecordingOwner owner;
  bool resolverAsked = false;
  EnhancedBrowsing browsing(owner, kSettings, hosts, [&](auto&, auto&, auto&) { return resolverAsked = true; });
  browsing.Navigate("news", {1, 1, 1});
  {
    std::unique_lock<std::mutex> lock(hosts->mutex);
    ASSERT_TRUE(hosts->asked.wait_for(lock, std::chrono::seconds(10), [&] { return hosts->entered; }));
  }
  browsing.Navigate("example.org", {1, 1, 1});
  ASSERT_TRUE(browsing.WaitUntilFinished(std::chrono::seconds(10)));
  platform::WindowMessages::Instance().DispatchPending();
  EXPECT_EQ(owner.events, Events{"go:http://example.org"});  // the stopped run's reports are dropped
  EXPECT_FALSE(resolverAsked);
}

TEST(EnhancedBrowsingTest, PatternsAndCanonicalAddresses) {
  EXPECT_EQ(FormatWithWord("a%sb%s 100%%-%d-%n-%", "w"), "awbw 100%-%d-%n-%");
  const std::pair<std::string, std::string> rows[] = {
      {"http://h/a/./b/../../c/..?x=/../y", "http://h/?x=/../y"},
      {"http://h//r?q=\"<x>\"|{}^`\\ \xC3\xA9\x7F\x01", "http://h//r?q=%22%3Cx%3E%22%7C%7B%7D%5E%60%5C%20%C3%A9%7F%01"},
      {"http://h/%41#a b \t\r\n", "http://h/%41#a%20b"},
      {"http://h/" + std::string(4086, 'a'), "http://h/" + std::string(4086, 'a')},  // 4095 bytes
      {"http://h/ " + std::string(4084, 'a'), "too long"},
  };
  for (const auto& [in, expected] : rows) {
    std::string out = "too long";
    EXPECT_EQ(platform::CanonicalizeUrl(in, out), expected != "too long");
    EXPECT_EQ(out, expected) << in;
  }
}

TEST(EnhancedBrowsingTest, AddressesDeriveFromTheHomeServerAndFlagsAreSaved) {
  test::TestApp t;
  t.app.WriteString("misc", "HomeServer", "http://127.0.0.1:8123/");
  const EnhancedBrowsingSettings s = LoadEnhancedBrowsingSettings(t.app);
  EXPECT_EQ(s.searchUrl + " " + s.resolverHost + s.resolverPath + " " + EnhancedBrowsingHelpAddress(t.app),
            "http://127.0.0.1:8123/search/directory/results/1,61,vyrelle-0,00.html?tag=st.sn.fdsb&keyword=%s "
            "127.0.0.1:8123/resolver.dll?realname=%s http://127.0.0.1:8123/enhancedbrowsing.html");
  SaveSmarterBrowsingFlags(t.app, {true, false, true});
  Application again(t.home.Path(), t.boxes, t.sounds);
  again.LoadStartupSettings();
  const auto f = again.SmarterBrowsingFlags();
  EXPECT_TRUE(f.autocomplete && !f.realNames && f.webSearch && !t.app.SmarterBrowsingFlags().realNames);
}

}  // namespace
}  // namespace vyr
