// Start-up decisions: the splash, the default-browser offer, the file to
// open; what the program's end leaves behind.
#include "app/app_lifecycle.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/shell_integration.h"
#include "mail/store/mail_store.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

TEST(AppLifecycle, SplashAndDefaultBrowserOfferFollowTheStartupSettings) {
  const struct {
    const char* name;
    const char* showSplash;  // [Startup] values written first ("" = unset)
    const char* check;
    const char* ranOnce;
    bool haveFile, isDefault, yes;
    bool splash;
    DefaultBrowserOffer offer;
    int ranOnceAfter;
    bool madeDefault;
  } cases[] = {
      {"first run never asks", "", "", "", false, false, true, true, DefaultBrowserOffer::FirstRun, 1, false},
      {"later run asks, yes", "1", "1", "1", false, false, true, true, DefaultBrowserOffer::Ask, 1, true},
      {"later run asks, no", "0", "", "1", false, false, false, false, DefaultBrowserOffer::Ask, 1, false},
      {"already the default", "", "", "1", false, true, true, true, DefaultBrowserOffer::None, 1, false},
      {"offer switched off", "", "0", "0", false, false, true, true, DefaultBrowserOffer::None, 0, false},
      {"a file to open skips both", "1", "1", "0", true, false, true, false, DefaultBrowserOffer::None, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TestApp t;
    if (*c.showSplash) t.app.WriteString("Startup", "ShowSplash", c.showSplash);
    if (*c.check) t.app.WriteString("Startup", "CheckDefaultBrowser", c.check);
    if (*c.ranOnce) t.app.WriteString("Startup", "RanOnce", c.ranOnce);
    int asked = 0;
    bool made = false;
    EXPECT_EQ(ShouldShowSplash(t.app, c.haveFile), c.splash);
    const DefaultBrowserOffer offer = RunDefaultBrowserOffer(
        t.app, c.haveFile, [&] { return c.isDefault; }, [&] { return ++asked, c.yes; }, [&] { made = true; });
    EXPECT_EQ(offer, c.offer);
    EXPECT_EQ(asked, c.offer == DefaultBrowserOffer::Ask ? 1 : 0);
    EXPECT_EQ(made, c.madeDefault);
    EXPECT_EQ(t.app.GetInt("Startup", "RanOnce", 0), c.ranOnceAfter);
  }
}

TEST(AppLifecycle, ShortcutFilesOpenTheAddressTheyHold) {
  test::TempDir dir;
  test::WriteFile(dir.File("News Site.URL"), "[DEFAULT]\nBASEURL=x\n[InternetShortcut]\nURL=http://news.example/today\n");
  test::WriteFile(dir.File("empty.url"), "[InternetShortcut]\nIconIndex=0\n");
  const std::string news = dir.File("News Site.URL");
  const struct {
    const char* name;
    std::string pending, argument, expected;
  } cases[] = {
      {"path in upper case", "", news, "http://news.example/today"},
      {"file address", "", "file://" + dir.Path() + "/News%20Site.URL", "http://news.example/today"},
      {"pending address wins", "http://pending.example/", news, "http://pending.example/"},
      {"pending shortcut", news, "", "http://news.example/today"},
      {"shortcut without address", "", dir.File("empty.url"), dir.File("empty.url")},
      {"missing shortcut", "", dir.File("gone.url"), dir.File("gone.url")},
      {"plain address", "", "http://a.example/x.url?y", "http://a.example/x.url?y"},
      {"nothing", "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FileToOpen(c.pending, c.argument), c.expected);
  }
}

TEST(AppLifecycle, OpenCommandTakesTheTextBetweenTheOuterQuotes) {
  const struct {
    const char* command;
    std::optional<std::string> address;
  } cases[] = {
      {"[open(\"/home/a/page one.htm\")]", "/home/a/page one.htm"},
      {"\"say \"hi\" now\"", "say \"hi\" now"},
      {"[open(/no/quotes)]", std::nullopt},
      {"one \" only", std::nullopt},
      {"\"\"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(AddressFromOpenCommand(c.command), c.address);
  }
}

TEST(AppLifecycle, TheProgramsEndEmptiesTheMailsTrashAndNothingElse) {
  namespace fs = std::filesystem;
  test::TestApp t;
  // Without a mail store the end makes none.
  EXPECT_EQ(RunShutdown(t.app, 0, 100).trashEmptied, 0);
  EXPECT_FALSE(fs::exists(t.home.File("vyrelle/email")));

  // What a delete left in the Trash (the delete itself: mail_store_test.cpp),
  // a read-only file among it.
  MailStore store(t.app);
  const std::string inbox = store.FolderPath("Inbox", true), trash = store.FolderPath("Trash", true);
  test::WriteFile(inbox + "kept.mail", "From: a@example.org\r\nSubject: kept\r\n\r\nbody\r\n.");
  test::WriteFile(trash + "deleted.mail", "From: a@example.org\r\nSubject: deleted\r\n\r\nbody\r\n.");
  test::WriteFile(trash + "older.mail", "From: b@example.org\r\n\r\nold body\r\n.");
  fs::permissions(trash + "older.mail", fs::perms::owner_write, fs::perm_options::remove);

  const ShutdownOutcome outcome = RunShutdown(t.app, 0, 100);
  EXPECT_EQ(outcome.trashEmptied, 2);
  EXPECT_TRUE(fs::is_directory(trash) && fs::is_empty(trash));
  EXPECT_TRUE(fs::exists(inbox + "kept.mail"));
  EXPECT_TRUE(t.boxes.boxes.empty());
}

}  // namespace
}  // namespace vyr
