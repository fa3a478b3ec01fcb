#include "platform/registry.h"

#include <gtest/gtest.h>

#include <thread>

#include "tools/test_support.h"

namespace vyr::platform {
namespace {

using R = RegistryRoot;
using Values = std::vector<std::pair<std::string, std::string>>;

class RegistryTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  Registry reg{dir.File("registry.reg")};
};

TEST_F(RegistryTest, KeysAndValuesAreFoundWithoutRegardToCaseAndDeletedWithTheirSubkeys) {
  ASSERT_TRUE(reg.CreateKey(R::CurrentUser, "Software\\Vyrelle\\Mail"));
  ASSERT_TRUE(reg.SetValue(R::CurrentUser, "Software\\Vyrelle", "", "default value"));
  ASSERT_TRUE(reg.SetValue(R::CurrentUser, "Software\\Vyrelle", "Path", "c:\\x"));
  ASSERT_TRUE(reg.SetValue(R::CurrentUser, "Software\\VyrelleTwo", "n", "1"));
  EXPECT_TRUE(reg.KeyExists(R::CurrentUser, "software/vyrelle/mail"));
  EXPECT_FALSE(reg.KeyExists(R::LocalMachine, "Software\\Vyrelle"));
  EXPECT_EQ(reg.GetValue(R::CurrentUser, "SOFTWARE\\VYRELLE", "").value_or("-"), "default value");
  EXPECT_FALSE(reg.GetValue(R::CurrentUser, "Software\\Vyrelle", "none").has_value());
  ASSERT_TRUE(reg.SetValue(R::CurrentUser, "Software\\Vyrelle", "PATH", "d:\\y"));
  EXPECT_EQ(reg.EnumValues(R::CurrentUser, "Software\\Vyrelle"),
            (Values{{"", "default value"}, {"Path", "d:\\y"}}));
  EXPECT_EQ(reg.EnumKeys(R::CurrentUser, "Software"), (std::vector<std::string>{"Vyrelle", "VyrelleTwo"}));
  ASSERT_TRUE(reg.DeleteValue(R::CurrentUser, "Software\\Vyrelle", "path"));
  EXPECT_FALSE(reg.GetValue(R::CurrentUser, "Software\\Vyrelle", "Path").has_value());

  ASSERT_TRUE(reg.DeleteKey(R::CurrentUser, "Software\\Vyrelle"));
  EXPECT_FALSE(reg.KeyExists(R::CurrentUser, "Software\\Vyrelle\\Mail"));
  EXPECT_EQ(reg.GetValue(R::CurrentUser, "Software\\VyrelleTwo", "n").value_or("-"), "1");
  EXPECT_FALSE(reg.DeleteKey(R::CurrentUser, ""));  // a root stays
}

TEST_F(RegistryTest, AnyCharactersSurviveTheFileAndDamagedLinesAreSkipped) {
  const std::string tricky = "quote\" back\\slash\nnew line\r\ttab \x01 \xC3\xA4 ] [x]";
  ASSERT_TRUE(reg.SetValue(R::ClassesRoot, "CLSID\\{X}", "name \"q\"", tricky));
  Registry fresh(reg.File());  // a second reader parses the file
  EXPECT_EQ(fresh.GetValue(R::ClassesRoot, "CLSID\\{X}", "name \"q\"").value_or("-"), tricky);

  test::WriteFile(reg.File(),
                  "VYRELLE REGISTRY 1\n[HKEY_CURRENT_USER\\A]\n\"ok\"=\"1\"\n\"broken=\"2\n"
                  "garbage\n@=\"dflt\"\n\"x\"=\"bad escape \\x4\"\n");
  ASSERT_TRUE(reg.SetValue(R::CurrentUser, "A", "new", "3"));
  EXPECT_EQ(reg.EnumValues(R::CurrentUser, "A"), (Values{{"ok", "1"}, {"", "dflt"}, {"new", "3"}}));
}

TEST_F(RegistryTest, ConcurrentWritersLoseNoValueAndAnUnwritableFileFailsCleanly) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int k = 0; k < 20; ++k) reg.SetValue(R::CurrentUser, "K" + std::to_string(t), "v" + std::to_string(k), "x");
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < 6; ++t) EXPECT_EQ(reg.EnumValues(R::CurrentUser, "K" + std::to_string(t)).size(), 20u);

  test::WriteFile(dir.File("f"), "x");
  for (const std::string& file : {dir.File("f/registry.reg"), std::string()}) {
    Registry bad(file);
    EXPECT_FALSE(bad.SetValue(R::CurrentUser, "A", "", "v"));
    EXPECT_FALSE(bad.CreateKey(R::CurrentUser, "A"));
    EXPECT_FALSE(bad.GetValue(R::CurrentUser, "A", "").has_value());
  }
}

}  // namespace
}  // namespace vyr::platform
