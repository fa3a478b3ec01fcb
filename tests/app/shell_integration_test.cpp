#include "app/shell_integration.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "platform/desktop_defaults.h"
#include "platform/file_system.h"
#include "platform/window_messages.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

ino_t Inode(const std::string& path) {
  struct stat s {};
  return ::stat(path.c_str(), &s) == 0 ? s.st_ino : 0;
}

// Scratch XDG folders with the program's desktop file installed.
struct ScratchDesktop {
  ScratchDesktop() { test::WriteFile(scratch.File("data/applications/vyrelle.desktop"), "[Desktop Entry]\n"); }
  test::TempDir scratch;
  test::ScopedEnv config{"XDG_CONFIG_HOME", scratch.File("config")}, data{"XDG_DATA_HOME", scratch.File("data")},
      configDirs{"XDG_CONFIG_DIRS", scratch.File("etc")}, dataDirs{"XDG_DATA_DIRS", scratch.File("share")},
      desktop{"XDG_CURRENT_DESKTOP", std::nullopt};
};

TEST(ShellIntegrationTest, TakeOverWritesTheDesktopDefaultsAndKeepsEverythingElse) {
  const struct {
    const char* name;
    std::string before, after;
  } cases[] = {
      {"no file yet", "",
       "[Default Applications]\ntext/html=vyrelle.desktop;\nx-scheme-handler/http=vyrelle.desktop;\n"
       "x-scheme-handler/https=vyrelle.desktop;\nx-scheme-handler/mailto=vyrelle.desktop;\n"},
      {"other choices", 
       "# mine\n[Added Associations]\ntext/html=web.desktop;\n\n[Default Applications]\n"
       "text/html=web.desktop;other.desktop;\nimage/png=viewer.desktop;\n\n[Removed Associations]\nx/y=z.desktop;\n",
       "# mine\n[Added Associations]\ntext/html=web.desktop;\n\n[Default Applications]\n"
       "text/html=vyrelle.desktop;web.desktop;other.desktop;\nimage/png=viewer.desktop;\n"
       "x-scheme-handler/http=vyrelle.desktop;\nx-scheme-handler/https=vyrelle.desktop;\n"
       "x-scheme-handler/mailto=vyrelle.desktop;\n\n[Removed Associations]\nx/y=z.desktop;\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDesktop desktop;
    const std::string list = desktop.scratch.File("config/mimeapps.list");
    EXPECT_EQ(platform::UserMimeAppsPath(), list);
    if (!c.before.empty()) {
      platform::CreateDirectories(desktop.scratch.File("config"));
      test::WriteFile(list, c.before);
    }
    EXPECT_FALSE(IsDesktopDefaultBrowser() || IsDefaultMailClient());
    ASSERT_TRUE(MakeDesktopDefaultBrowser());
    EXPECT_TRUE(IsDesktopDefaultBrowser());
    EXPECT_FALSE(IsDefaultMailClient());
    ASSERT_TRUE(MakeDefaultMailClient());
    EXPECT_TRUE(IsDefaultMailClient());
    EXPECT_EQ(test::ReadFile(list), c.after);
    // A second take-over finds everything in place and writes nothing.
    const ino_t written = Inode(list);
    EXPECT_TRUE(MakeDesktopDefaultBrowser() && MakeDefaultMailClient());
    EXPECT_EQ(Inode(list), written);
    EXPECT_EQ(test::ReadFile(list), c.after);
  }
}

TEST(ShellIntegrationTest, RegistryHalfWritesTheFileTypesAndBothHalvesMustHold) {
  using platform::RegistryRoot;
  const RegistryRoot cr = RegistryRoot::ClassesRoot;
  const std::string program = "/opt/Vyrelle Bin/vyrelle";
  const std::string open = "/opt/Vyrelle Bin/vyrelle \"%1\"";
  // key, value expected after the take-over of the named type ("-": absent)
  const struct {
    const char* type;
    std::vector<std::pair<std::string, std::string>> values;
  } cases[] = {
      {"text/html", {{".htm", "Vyr20.Application"}, {".html", "Vyr20.Application"},
                     {"Vyr20\\shell\\open\\command", "-"}}},
      {"application/x-javascript",
       {{"Vyr20\\shell\\open\\command", open}, {"Vyr20\\shell\\open\\ddeexec", "[open(\"%1\")]"},
        {"Vyr20\\DefaultIcon", program + ",7"}, {"Vyr20\\shell\\open\\ddeexec\\Topic", "-"},
        {".htm", "-"}}},
      {"image/png", {{"Vyr20\\DefaultIcon", program + ",6"}}},
      {"text/plain", {{"Vyr20\\DefaultIcon", program + ",1"}}},
      {"application/x-http-protocol", {{"http\\shell\\open\\command", "-"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    test::TempDir home;
    platform::Registry registry(home.File("registry.reg"));
    // Left by another program: the take-over removes the DDE topic.
    registry.SetValue(cr, "Vyr20\\shell\\open\\ddeexec\\Topic", "", "System");
    ShellRegistration shell(registry, program);
    EXPECT_FALSE(shell.IsHandlerFor(c.type));
    const bool scheme = !ShellRegistration::SchemeOfType(c.type).empty();
    EXPECT_EQ(scheme ? shell.TakeOverScheme(c.type) : shell.TakeOverFileType(c.type), !scheme);
    EXPECT_EQ(shell.IsHandlerFor(c.type), !scheme);
    for (const auto& [key, want] : c.values) {
      SCOPED_TRACE(key);
      const std::optional<std::string> got = registry.GetValue(cr, key, "");
      if (want == "-") {
        EXPECT_FALSE(registry.KeyExists(cr, key));
      } else {
        EXPECT_EQ(got.value_or("(none)"), want);
      }
    }
  }
  EXPECT_EQ(ShellRegistration::SchemeOfType("application/x-https-protocol"), "https");

  // Both halves: the registry's file types and the desktop's defaults.
  ScratchDesktop desktop;
  platform::Registry registry(desktop.scratch.File("registry.reg"));
  ASSERT_TRUE(MakeDesktopDefaultBrowser());
  EXPECT_FALSE(IsDefaultBrowser(registry, program));
  ASSERT_TRUE(MakeDefaultBrowser(registry, program));
  EXPECT_TRUE(IsDefaultBrowser(registry, program));
  EXPECT_FALSE(IsDefaultBrowser(registry, "/usr/bin/vyrelle"));  // another copy of the program
}

// xdg-open from PATH gets the address as its one argument; failures are told.
TEST(ShellIntegrationTest, HandOverToTheDesktopTellsTheUserWhenTheOpenerFails) {
  const std::string address = "mailto:a@b.example?subject=it's%20me&body=x%20y";
  const struct {
    const char* name;
    const char* opener;  // the script on PATH as xdg-open; null: none there
    std::string told;    // the error box, "" for none
  } cases[] = {
      {"the opener takes the address", "exit 0", ""},
      {"the opener fails", "exit 3",
       "The desktop could not open mailto:a@b.example: xdg-open ended with status 3. Check which program your "
       "desktop uses for such addresses."},
      {"no opener", nullptr,
       "The desktop could not open mailto:a@b.example: the program xdg-open was not found (it comes with the "
       "package xdg-utils)."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TestApp t;
    test::TempDir bin;
    const std::string record = bin.File("args"), done = bin.File("done");
    if (c.opener) {
      test::WriteFile(bin.File("xdg-open"), "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" + record + "'\ntouch '" +
                                                done + "'\n" + c.opener + "\n");
      std::filesystem::permissions(bin.File("xdg-open"), std::filesystem::perms::owner_all);
    }
    // Without an opener, PATH holds only the empty folder.
    test::ScopedEnv path("PATH", c.opener ? bin.Path() + ":/usr/bin:/bin" : bin.Path());
    const auto start = std::chrono::steady_clock::now();
    HandToDesktop(address);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));  // nothing waited for here
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (t.boxes.boxes.empty() && std::chrono::steady_clock::now() < deadline &&
           (c.told.size() || !platform::FileExists(done))) {
      platform::WindowMessages::Instance().WaitAndDispatch(std::chrono::milliseconds(50));
    }
    if (c.told.empty()) {
      for (int i = 0; i < 10; ++i) platform::WindowMessages::Instance().WaitAndDispatch(std::chrono::milliseconds(50));
    }
    if (c.opener) {
      EXPECT_EQ(test::ReadFile(record), "1\n" + address + "\n");
    }
    ASSERT_EQ(t.boxes.boxes.size(), c.told.empty() ? 0u : 1u);
    if (!c.told.empty()) {
      EXPECT_EQ(t.boxes.boxes[0].kind + ": " + t.boxes.boxes[0].text, "error: " + c.told);
    }
  }
}

}  // namespace
}  // namespace vyr
