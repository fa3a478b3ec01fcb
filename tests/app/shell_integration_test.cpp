#include "app/shell_integration.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/desktop_defaults.h"
#include "platform/file_system.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

ino_t Inode(const std::string& path) {
  struct stat s {};
  return ::stat(path.c_str(), &s) == 0 ? s.st_ino : 0;
}

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
    test::TempDir scratch;
    test::ScopedEnv config("XDG_CONFIG_HOME", scratch.File("config"));
    test::ScopedEnv data("XDG_DATA_HOME", scratch.File("data"));
    const std::string list = scratch.File("config/mimeapps.list");
    EXPECT_EQ(platform::UserMimeAppsPath(), list);
    if (!c.before.empty()) {
      platform::CreateDirectories(scratch.File("config"));
      test::WriteFile(list, c.before);
    }
    EXPECT_FALSE(IsDefaultBrowser() || IsDefaultMailClient());
    ASSERT_TRUE(MakeDefaultBrowser());
    EXPECT_TRUE(IsDefaultBrowser());
    EXPECT_FALSE(IsDefaultMailClient());
    ASSERT_TRUE(MakeDefaultMailClient());
    EXPECT_TRUE(IsDefaultMailClient());
    EXPECT_EQ(test::ReadFile(list), c.after);
    // A second take-over finds everything in place and writes nothing.
    const ino_t written = Inode(list);
    EXPECT_TRUE(MakeDefaultBrowser() && MakeDefaultMailClient());
    EXPECT_EQ(Inode(list), written);
    EXPECT_EQ(test::ReadFile(list), c.after);
  }
}

}  // namespace
}  // namespace vyr
