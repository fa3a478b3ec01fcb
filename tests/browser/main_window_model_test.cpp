// The main window's rules without a window; expected values worked out by hand.
#include "browser/main_window_model.h"

#include <gtest/gtest.h>

#include "platform/profile_file.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

class MainWindowModelTest : public ::testing::Test, protected test::TestApp {
 protected:
  void Profile(const std::string& text) {
    platform::ClearProfileCache();
    test::WriteFile(app.ProfilePath(), text);
    platform::ClearProfileCache();
  }
};

TEST_F(MainWindowModelTest, PlacementIsReadAndSavedByItsRules) {
  struct Case {
    const char* profile;
    bool maximized;
    std::optional<Rect> restored;
  };
  const Case cases[] = {
      {"", true, std::nullopt},  // first run
      {"[misc]\nwnd_maximize=0\nwnd_top=-1\nwnd_left=5\nwnd_right=50\nwnd_bottom=60\n", false, std::nullopt},
      {"[misc]\nwnd_maximize=0\nwnd_top=20\nwnd_left=10\nwnd_right=810\nwnd_bottom=620\n", false,
       Rect{10, 20, 800, 600}},
      {"[MISC]\nwnd_top=20\nwnd_left=10\nwnd_right=810\nwnd_bottom=620\n", true, Rect{10, 20, 800, 600}},
      {"[misc]\nwnd_maximize=0\nwnd_top=20\nwnd_left=900\nwnd_right=810\nwnd_bottom=620\n", false, std::nullopt},
  };
  for (const Case& c : cases) {
    Profile(c.profile);
    WindowPlacement p = ReadWindowPlacement(app);
    EXPECT_EQ(p.maximized, c.maximized) << c.profile;
    EXPECT_EQ(p.restored, c.restored) << c.profile;
  }

  // Saved only when neither maximised nor minimised.
  Profile("");
  SaveWindowPlacement(app, false, true, false, Rect{1, 2, 3, 4});
  EXPECT_EQ(app.GetString("misc", "wnd_top", "none"), "none");
  SaveWindowPlacement(app, true, false, true, Rect{1, 2, 3, 4});
  EXPECT_EQ(app.GetString("misc", "wnd_top", "none"), "none");
  EXPECT_EQ(app.GetInt("misc", "wnd_viewfullscreen", 0), 1);
  SaveWindowPlacement(app, false, false, false, Rect{30, 40, 700, 500});
  EXPECT_EQ(app.GetInt("misc", "wnd_maximize", 9), 0);
  const WindowPlacement back = ReadWindowPlacement(app);
  EXPECT_EQ(back.restored, (Rect{30, 40, 700, 500}));
  EXPECT_EQ(app.GetInt("misc", "wnd_right", 0), 730);
  EXPECT_EQ(app.GetInt("misc", "wnd_bottom", 0), 540);
}

TEST_F(MainWindowModelTest, SettingsOfTheFrame) {
  // 1 -> 0 -> 2 -> 1, and an odd stored size starts the cycle from 1.
  const ToolbarStep a = NextToolbarSize(1), b = NextToolbarSize(a.size), c = NextToolbarSize(b.size);
  EXPECT_EQ((std::vector<int>{a.size, b.size, c.size}), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ((std::vector<std::string>{a.sound, b.sound, c.sound}),
            (std::vector<std::string>{"smallertoolbar", "smallertoolbar", "biggertoolbar"}));
  Profile("[Toolbar]\nSize=7\n[Misc]\nTextSize=9\n");
  EXPECT_EQ(ReadToolbarSize(app), 1);
  EXPECT_EQ(ReadTextSize(app), 4);
  EXPECT_EQ(std::string(ToggleZoom(false).sound) + ToggleZoom(true).sound, "zoomunzoom");
  EXPECT_EQ(ToggleZoom(true).toolbarSize, 2);

  // The content bar's default follows the display width.
  Profile("");
  EXPECT_EQ(std::make_pair(ReadShowContentBar(app, 701), ReadShowContentBar(app, 700)),
            std::make_pair(true, false));
  Profile("[misc]\nShowContentBar=0\n");
  EXPECT_FALSE(ReadShowContentBar(app, 1280));

  // A separator uses up its number; the list ends at the first empty name.
  Profile("[Help]\nCustomItem1=FAQ\nCustomItem1URL=http://a/faq\nCustomItem2=SEPARATOR\n"
          "CustomItem3=Forum\nCustomItem3URL=http://a/forum\nCustomItem5=Lost\n");
  const std::vector<HelpEntry> help = ReadCustomHelpEntries(app);
  ASSERT_EQ(help.size(), 3u);
  EXPECT_EQ(help[0].command, 36000);
  EXPECT_EQ(help[0].url, "http://a/faq");
  EXPECT_TRUE(help[1].separator);
  EXPECT_EQ(help[2].command, 36002);
  EXPECT_EQ(help[2].name, "Forum");
}

TEST_F(MainWindowModelTest, AddressTemplatesAreFilledAsText) {
  struct Case {
    const char* pattern;
    const char* value;
    const char* expected;
  };
  const Case cases[] = {
      {"http://s/?q=%s", "AT&T", "http://s/?q=AT%26T"},
      {"http://s/%%3D%s&again=%s", "a b/c", "http://s/%3Da%20b%2Fc&again=%s"},
      {"http://s/%d%n%x%", "v", "http://s/%d%n%x%"},  // no formatting directives run
      {"%s", "\xC3\xA4~-_.", "%C3%A4~-_."},
  };
  for (const Case& c : cases) EXPECT_EQ(FillAddressTemplate(c.pattern, c.value), c.expected);

  const RelatedPages related = ReadRelatedPages(app, "http://x.example/a?b=1");
  EXPECT_EQ(related.address,
            "http://related.vyrelle.example/data/40718263950417392658104?cli=5&dat=n&ads=N"
            "&cdt=vyr_win%3Dvyr_wtgn&url=http%3A%2F%2Fx.example%2Fa%3Fb%3D1");
  EXPECT_EQ(std::make_pair(related.width, related.height), std::make_pair(263, 300));
}

TEST_F(MainWindowModelTest, PopupsCascadeAndClosingFollowsKeepAlive) {
  SetPopupCascadeCounter(0);
  std::vector<int> offsets;
  for (int i = 0; i < 5; ++i) offsets.push_back(NextPopupCascadeOffset());
  EXPECT_EQ(offsets, (std::vector<int>{25, 50, 75, 0, 25}));
  // 1280 x 900: 102, 72, 1088, 675. 1023 x 767: 81, 61, 869, 575.
  EXPECT_EQ(PopupRectangle(25, 1280, 900), (Rect{127, 97, 986, 603}));
  EXPECT_EQ(PopupRectangle(0, 1023, 767), (Rect{81, 61, 788, 514}));

  struct Case {
    int keepAlive;
    bool tray, closingIsMain, mainVisible, otherPopup;
    bool allowed, ends;
  };
  const Case cases[] = {
      {1, true, false, false, false, true, false},  {1, true, true, true, false, true, false},
      {0, true, false, true, false, false, false},  {0, true, false, false, true, false, false},
      {0, true, false, false, false, true, true},   {0, true, true, true, false, true, true},
      {0, true, true, true, true, false, false},
      // No tray to live in: keep-alive is off, the last window ends the program.
      {1, false, true, true, false, true, true},    {1, false, false, false, false, true, true},
      {1, false, true, true, true, false, false},
  };
  for (const Case& c : cases) {
    const CloseDecision d = KeepAliveAllowsClose(c.keepAlive, c.tray, c.closingIsMain, c.mainVisible, c.otherPopup);
    EXPECT_EQ(std::make_pair(d.allowed, d.endProgram), std::make_pair(c.allowed, c.ends))
        << c.keepAlive << c.tray << c.closingIsMain << c.mainVisible << c.otherPopup;
  }
}

TEST_F(MainWindowModelTest, StartupMailCheckOnceWhenAskedForAndOnline) {
  const char* both = "[startup]\ncheckmail=2\n[EMAIL]\nusevyrmail=1\n";  // any set CheckMail
  const std::tuple<const char*, bool, bool, bool> cases[] = {
      {both, false, true, true},  {both, true, true, false},  // once a run
      {both, false, false, false},                             // offline
      // Missing keys: settings_table_test.cpp.
      {"[Startup]\nCheckMail=1\n[Email]\nUseVyrMail=2\n", false, true, false}};
  for (const auto& [profile, checked, online, wanted] : cases) {
    Profile(profile);
    EXPECT_EQ(StartupMailCheckWanted(app, checked, online), wanted) << profile << checked << online;
  }
}

TEST_F(MainWindowModelTest, TypedAddressesKeepTwentyNewestFirst) {
  Profile("[TypedURLs]\nurl1=b\nurl2=a\nurl4=lost\n");
  TypedAddressList list;
  list.Load(app);
  EXPECT_EQ(list.Entries(), (std::vector<std::string>{"b", "a"}));
  EXPECT_TRUE(list.Commit(app, "a"));  // moves to the top, never twice
  EXPECT_EQ(list.Entries(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(app.GetString("TypedURLs", "url4", "none"), "none");  // the stale key went with the section
  for (int i = 1; i <= 18; ++i) list.Commit(app, "site" + std::to_string(i));
  EXPECT_EQ(list.Entries().size(), 20u);
  EXPECT_EQ(list.Entries().back(), "b");  // "a" and "b" were the oldest
  list.Commit(app, "site19");             // the 21st pushes out "b"
  TypedAddressList reread;
  reread.Load(app);
  EXPECT_EQ(reread.Entries().size(), 20u);
  EXPECT_EQ(reread.Entries().front(), "site19");
  EXPECT_EQ(reread.Entries().back(), "a");
  EXPECT_EQ(app.GetString("TypedURLs", "url21", "none"), "none");
  EXPECT_FALSE(list.Commit(app, ""));
  EXPECT_FALSE(list.Commit(app, " \t "));  // blank after trimming
  EXPECT_TRUE(list.Commit(app, "  padded.example  "));
  EXPECT_EQ(app.GetString("TypedURLs", "url1", ""), "padded.example");
  EXPECT_TRUE(list.Erase(app));
  reread.Load(app);
  EXPECT_TRUE(list.Entries().empty() && reread.Entries().empty());
  EXPECT_EQ(platform::ReadProfileSection(app.ProfilePath(), "TypedURLs").size(), 0u);
}

TEST_F(MainWindowModelTest, TypedTextIsCompletedFromTheList) {
  const std::vector<std::string> list = {"http://www.example.com/news", "https://Shop.example.org/",
                                         "www.exotic.net", "localhost:8765/page2.html", "http://localhost/x",
                                         "exam.de"};
  struct Row {
    const char* typed;
    const char* shown;
    const char* entry;
  } rows[] = {
      {"ex", "example.com/news", "http://www.example.com/news"},  // newest first
      {"EXO", "EXOtic.net", "www.exotic.net"},
      {"exa", "example.com/news", "http://www.example.com/news"},
      {"exam.", "exam.de", "exam.de"},
      {"www.ex", "www.example.com/news", "http://www.example.com/news"},
      {"www.exo", "www.exotic.net", "www.exotic.net"},
      {"http://w", "http://www.example.com/news", "http://www.example.com/news"},
      {"https://s", "https://shop.example.org/", "https://Shop.example.org/"},
      {"shop", "shop.example.org/", "https://Shop.example.org/"},
      {"localhost", "localhost:8765/page2.html", "localhost:8765/page2.html"},
      {"localhost/", "localhost/x", "http://localhost/x"},
      {"example.com/news", "example.com/news", "http://www.example.com/news"},  // nothing to add
      {"example.com/newsx", "example.com/newsx", ""},
      {"ftp://e", "ftp://e", ""},
      {"h", "http://www.example.com/news", "http://www.example.com/news"},
      {"", "", ""},
  };
  for (const Row& r : rows) {
    const TypedCompletion c = CompleteTypedAddress(r.typed, list);
    EXPECT_EQ(c.text, r.shown) << r.typed;
    EXPECT_EQ(c.entry, r.entry) << r.typed;
  }
  EXPECT_EQ(CompleteTypedAddress("ex", {}).entry, "");
}

TEST_F(MainWindowModelTest, SupportMailBody) {
  SupportReport r;
  r.version[0] = 2; r.version[1] = 1; r.version[2] = 7;
  r.systemName = "Linux";
  r.systemVersion[0] = 6; r.systemVersion[1] = 1;
  r.shellVersion[0] = 3; r.shellVersion[1] = 24; r.shellVersion[2] = 38;
  r.connection = "Lan";
  r.browserVersion[0] = 2; r.browserVersion[1] = 42; r.browserVersion[2] = 2;
  r.screenWidth = 1280; r.screenHeight = 900; r.colours = 16777216;
  EXPECT_EQ(SupportMailBody(r),
            "Please type your question or comment here:\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"
            "Here is some information about your computer that\nmay be useful to the Vyrelle "
            "Support Team:\r\n\n"
            "Vyrelle 2.1 Build 7\r\n\r\n\r\nOperating System\r\nLinux. 6.1 Build 0\r\n"
            "\r\n\r\nShell Version: 3.24 Build 38\r\n\r\nConnect to the Internet via: Lan"
            "\r\n\r\nIE Version: 2.42 Build 2\r\n\r\n"
            "\r\n\r\nResolution: 1280 X 900\r\nNumber of colors: 16777216.");
  EXPECT_EQ(MailtoAddress("help@v.example", "Support Issue", "a&b\r\n"),
            "mailto:help@v.example?subject=Support%20Issue&body=a%26b%0D%0A");
}

TEST_F(MainWindowModelTest, FrameLayout) {
  FrameLayoutInput in;
  in.clientWidth = 1000;
  in.clientHeight = 700;
  in.logoWidth = 100;
  in.animationWidth = 20;
  in.buttons = Margins{4, -1, 10, -1};
  FrameLayout f = LayoutFrame(in);
  // Toolbar 44 x 900 beside the 100-wide logo; strip inset 2/10/4/2.
  EXPECT_EQ(f.buttons, (Rect{2, 4, 888, 38}));
  EXPECT_EQ(f.logo, (Rect{900, 0, 100, 74}));
  EXPECT_EQ(f.addressBox, (Rect{64, 47, 808, 24}));
  EXPECT_EQ(f.security, (Rect{874, 47, 24, 24}));
  // Middle 74..674: content bar 190, folder strip 28, page strip 28 when shown.
  EXPECT_EQ(f.contentBar, (Rect{0, 74, 190, 600}));
  EXPECT_EQ(f.folders, (Rect{190, 74, 810, 28}));
  EXPECT_EQ(f.pane, (Rect{190, 102, 810, 572}));
  in.showPageStrip = true;
  EXPECT_EQ(LayoutFrame(in).sites, (Rect{190, 102, 810, 28}));
  EXPECT_EQ(LayoutFrame(in).pane, (Rect{190, 130, 810, 544}));
  EXPECT_EQ(f.statusBar, (Rect{0, 674, 1000, 26}));
  EXPECT_EQ(f.progress, (Rect{860, 677, 120, 20}));
  EXPECT_EQ(f.animation, (Rect{980, 674, 20, 26}));
  // Margins that leave no room give way to 2 on every side.
  in.buttons = Margins{100000, 3, 99999, -1};
  EXPECT_EQ(LayoutFrame(in).buttons, (Rect{2, 2, 896, 40}));
  in.buttons = Margins{4, -1, 10, -1};

  // Small toolbar, no bars; too small a window gets no negative rectangle.
  in.toolbarSize = kToolbarSmall;
  in.showContentBar = false;
  in.showAddressBar = false;
  f = LayoutFrame(in);
  EXPECT_EQ(f.pane, (Rect{0, 30, 1000, 644}));
  EXPECT_EQ(f.logo, (Rect{900, 0, 100, 30}));
  in.clientHeight = 40;
  f = LayoutFrame(in);
  EXPECT_EQ(f.pane, (Rect{0, 30, 1000, 0}));
  EXPECT_EQ(f.statusBar, (Rect{0, 30, 1000, 10}));

  const PopupLayout hidden = LayoutPopup(800, 600, false, 30);
  EXPECT_LT(hidden.addressBox.Bottom(), 0);
  EXPECT_EQ(hidden.pane, (Rect{0, 0, 800, 574}));
}

}  // namespace
}  // namespace vyr
