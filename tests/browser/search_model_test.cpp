// The search bar's, search window's and Open dialog's rules without a window.
#include "browser/search_model.h"

#include <gtest/gtest.h>

#include "browser/opened_files.h"
#include "platform/profile_file.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

class SearchModelTest : public ::testing::Test, protected test::TestApp {
 protected:
  void Profile(const std::string& text) {
    platform::ClearProfileCache();
    test::WriteFile(app.ProfilePath(), text);
    platform::ClearProfileCache();
  }
};

TEST_F(SearchModelTest, SearchAddressesFillTheTemplateOnce) {
  struct Row {
    const char* profile;
    int type;
    const char* term;
    const char* address;
  } rows[] = {
      {"[Search]\nWeb=http://h/echo?q=%s\n", 1, "AT&T", "http://h/echo?q=AT%26T"},
      {"[Search]\nWeb=http://h/?q=%s\n", 1, " two words ", "http://h/?q=two%20words"},
      {"[Search]\nNews=http://h/?c=NX%%2Crf&q=%s\n", 4, "x", "http://h/?c=NX%2Crf&q=x"},
      {"[Search]\nPictures=http://h/%n%s%s%d\n", 6, "50%", "http://h/%n50%25%s%d"},
      {"[Search]\nEmail=http://h/?SearchName=%s\n", 0, "Smith, John", "http://h/?SearchName=Smith%2C%20John"},
      {"", 3, "anything", ""},  // yellow pages: no address
      {"", 1, "  ", ""},
      {"", 1, "a b", "https://duckduckgo.com/html/?q=a%20b"},
  };
  for (const Row& r : rows) {
    Profile(r.profile);
    EXPECT_EQ(SearchAddress(app, r.type, r.term), r.address) << r.profile << r.term;
  }
  for (auto [stored, type] : {std::pair{"", 1}, {"0", 0}, {"6", 6}, {"7", 1}, {"-1", 1}}) {
    Profile(std::string("[Search]\ntype=") + stored + "\n");
    EXPECT_EQ(ReadSearchType(app), type) << stored;
  }
  Profile("[Quotes]\nQuote=http://h/q?t=%s\n");
  EXPECT_EQ(QuoteAddress(app, QuoteAction::Quote, "BRK.A&B"), "http://h/q?t=BRK.A%26B");
  EXPECT_EQ(QuoteAddress(app, QuoteAction::Chart, " "), "");
}

TEST_F(SearchModelTest, TermsAreRememberedNewestFirstOnce) {
  std::string full = "[searchmru]\n";
  for (int n = 1; n <= 19; ++n) full += "mru" + std::to_string(n) + "=t" + std::to_string(n) + "\n";
  Profile(full + "mru20=beyond\n");
  TermList terms(kSearchTermMru);
  terms.Load(app);
  ASSERT_EQ(terms.Entries().size(), 19u);
  EXPECT_TRUE(terms.Remember(app, "new"));
  EXPECT_EQ(app.GetString("searchmru", "mru1"), "new");
  EXPECT_EQ(app.GetString("searchmru", "mru19"), "t18");  // t19 dropped out
  EXPECT_TRUE(terms.Remember(app, "t5"));                  // moves up, never twice
  EXPECT_EQ(app.GetString("searchmru", "mru2"), "new");
  EXPECT_EQ(app.GetString("searchmru", "mru7"), "t6");

  Profile("[searchmru]\nmru1=a\nmru2=clear\nmru3=\nmru4=b\nmru9=stale\n");
  terms.Load(app);
  EXPECT_EQ(terms.Entries(), (std::vector<std::string>{"a", "clear", "b", "stale"}));
  EXPECT_FALSE(terms.Remember(app, " \t"));
  EXPECT_TRUE(terms.Remember(app, "b"));
  EXPECT_EQ(terms.Entries(), (std::vector<std::string>{"b", "a", "stale"}));
  EXPECT_EQ(app.GetString("searchmru", "mru4", "none"), "");

  Profile("");
  TermList symbols(kQuoteSymbolMru);
  symbols.Load(app, {"YHOO", "MSFT"});
  EXPECT_EQ(symbols.Current(), "MSFT");
  EXPECT_EQ(symbols.Entries().size(), 2u);
}

TEST_F(SearchModelTest, SearchTreeIsReadRecordByRecord) {
  struct Row {
    const char* data;
    const char* shape;  // folders as name{...}, pages as name=address
    std::vector<std::string> bad;
  } rows[] = {
      {"~XX:\r\n~PN:A\r\n~PU:http://a/\r\n", "A=http://a/", {}},  // a stray close first
      {"~FO:F\r\n~PN:A\r\n~PU:u\r\n~XX:\r\n~XX:\r\n~PN:B\r\n~PU:v", "F{A=u}B=v", {}},
      {"~FO:F\r\n~PN:Lost\r\n~FO:G\r\n~PN:C\r\n~PU:w\r\n", "F{G{C=w}}", {"Lost"}},
      {"~PN:End", "", {"End"}},
      {"~PU:alone\r\n~PN:P\r\n~PN:Q\r\n~PU:q\r\n", "Q=q", {"P"}},
  };
  std::function<std::string(const SearchFolder&)> shape = [&](const SearchFolder& f) {
    std::string out;
    for (const SearchFolder& sub : f.folders) out += sub.name + "{" + shape(sub) + "}";
    for (const SearchPage& page : f.pages) out += page.name + "=" + page.address;
    return out;
  };
  for (const Row& r : rows) {
    const SearchTree tree = ParseSearchTree(r.data);
    EXPECT_EQ(shape(tree.root), r.shape) << r.data;
    EXPECT_EQ(tree.badPages, r.bad) << r.data;
  }
}

TEST_F(SearchModelTest, EmbeddedPanesHandOnlyTheUsersTopLevelClicks) {
  using E = EmbeddedNavigation;
  const EmbeddedPages pages{"/data/Pages/", "http://home:8080"};
  struct Row {
    const char* url;
    bool click;  // the user's real click: link-clicked type, gesture, pointer on the link
    const char* referrer;
    const char* main;  // the pane's main document
    bool redirect, newWindow, shell;
    E expected;
  } rows[] = {
      {"https://x.example/", false, "", "", false, false, true, E::Stay},
      {"https://x.example/", true, "", "file:///data/Pages/find.htm", false, false, false, E::HandToMain},
      {"file:///data/Pages/more.htm", true, "", "file:///data/Pages/find.htm", false, false, false, E::Stay},
      {"http://home:8080/pages/more.htm", true, "", "file:///data/Pages/find.htm", false, false, false, E::Stay},
      {"file:///data/Pages/../secret.htm", true, "", "file:///data/Pages/find.htm", false, false, false, E::HandToMain},
      {"about:blank", true, "", "file:///data/Pages/find.htm", false, false, false, E::Stay},
      {"http://home:8080/else", true, "http://home:8080/pages/find.htm", "http://home:8080/pages/find.htm", false,
       false, false, E::HandToMain},
      // A web page framed in the program's page: its clicks stay in the frame.
      {"https://x.example/", true, "http://127.0.0.1:9/frame.html", "file:///data/Pages/find.htm", false, false,
       false, E::Stay},
      {"https://x.example/", true, "http://127.0.0.1:9/frame.html", "file:///data/Pages/find.htm", false, true,
       false, E::Refuse},
      {"https://x.example/", false, "", "file:///data/Pages/find.htm", false, false, false, E::Stay},  // script
      {"https://x.example/", true, "", "file:///data/Pages/find.htm", true, false, false, E::Stay},
      {"https://x.example/", true, "", "file:///data/Pages/find.htm", false, true, false, E::HandToMain},
  };
  for (const Row& r : rows) {
    NavigationFacts f;
    f.url = r.url, f.referrer = r.referrer, f.mainDocument = r.main;
    f.kind = r.click ? NavigationKind::LinkClicked : NavigationKind::Other;
    f.userGesture = f.pointerOnLink = r.click;
    f.redirect = r.redirect, f.newWindow = r.newWindow, f.startedByShell = r.shell;
    EXPECT_EQ(RouteEmbeddedNavigation(f, pages), r.expected) << r.url << " from " << r.referrer;
  }
  NavigationFacts framed;  // the engine names a frame as the destination
  framed.url = "https://x.example/", framed.kind = NavigationKind::LinkClicked, framed.fetchDestination = "iframe";
  framed.userGesture = framed.pointerOnLink = true;
  EXPECT_EQ(RouteEmbeddedNavigation(framed, pages), E::Stay);
}

TEST_F(SearchModelTest, OpenedFilesAreTenAtMostAndOpenedByKind) {
  std::string files = "[FilesOpened]\nNum=1000000000\n";
  for (int n = 1; n <= 12; ++n) files += "File" + std::to_string(n) + "=f" + std::to_string(n) + "\n";
  Profile(files);
  OpenedFileList list;
  list.Load(app);
  EXPECT_EQ(list.Entries().size(), 10u);
  EXPECT_EQ(list.Entries().back(), "f10");
  EXPECT_TRUE(list.Add(app, "f3"));  // listed twice
  EXPECT_EQ(app.GetInt("FilesOpened", "Num", 0), 10);
  EXPECT_EQ(app.GetString("FilesOpened", "File1"), "f3");
  EXPECT_EQ(app.GetString("FilesOpened", "File10"), "f9");
  Profile("[FilesOpened]\nNum=-4\nFile1=x\n");
  list.Load(app);
  EXPECT_TRUE(list.Entries().empty());

  struct Row {
    const char* text;
    bool inPane;
    const char* address;
  } rows[] = {
      {"/srv/a b/page.HTML", true, "file:///srv/a%20b/page.HTML"},
      {"/srv/notes.txt", false, "/srv/notes.txt"},
      {"~/doc.htm", true, "file:///home/u/doc.htm"},
      {"file:///srv/x%20y.pdf", false, "/srv/x y.pdf"},
      {"example.com/list.txt", true, "example.com/list.txt"},
      {"/srv/page.htm.bak", false, "/srv/page.htm.bak"},  // ".HTM" not among the last five characters
  };
  for (const Row& r : rows) {
    const OpenPlan plan = PlanOpen(r.text, "/home/u");
    EXPECT_EQ(plan.inPane, r.inPane) << r.text;
    EXPECT_EQ(plan.address, r.address) << r.text;
  }
}

}  // namespace
}  // namespace vyr
