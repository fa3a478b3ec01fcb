#include "platform/registry.h"

#include <gtest/gtest.h>

#include <thread>

#include "tools/test_support.h"

namespace vyr::platform {
namespace {

using R = RegistryRoot;

class RegistryTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  Registry reg{dir.File("registry.reg")};
};

TEST_F(RegistryTest, CreateReadEnumerateAndDelete) {
  EXPECT_FALSE(reg.KeyExists(R::CurrentUser, "Software\\Vyrelle"));
  ASSERT_TRUE(reg.CreateKey(R::CurrentUser, "Software\\Vyrelle\\Mail"));
  EXPECT_TRUE(reg.KeyExists(R::CurrentUser, "Software\\Vyrelle"));
  EXPECT_TRUE(reg.KeyExists(R::CurrentUser, "software/vyrelle/mail"));
  EXPECT_FALSE(reg.KeyExists(R::LocalMachine, "Software\\Vyrelle"));

  ASSERT_TRUE(reg.SetValue(R::CurrentUser, "Software\\Vyrelle", "", "default value"));
  ASSERT_TRUE(reg.SetValue(R::CurrentUser, "Software\\Vyrelle", "Path", "c:\\x"));
  ASSERT_TRUE(reg.SetValue(R::CurrentUser, "Software\\Vyrelle\\News", "n", "1"));
  EXPECT_EQ(reg.GetValue(R::CurrentUser, "SOFTWARE\\VYRELLE", "").value_or("-"), "default value");
  EXPECT_EQ(reg.GetValue(R::CurrentUser, "Software\\Vyrelle", "path").value_or("-"), "c:\\x");
  EXPECT_FALSE(reg.GetValue(R::CurrentUser, "Software\\Vyrelle", "none").has_value());
  EXPECT_FALSE(reg.GetValue(R::CurrentUser, "Software\\Nothing", "").has_value());

  EXPECT_EQ(reg.EnumKeys(R::CurrentUser, "Software\\Vyrelle"),
            (std::vector<std::string>{"Mail", "News"}));
  EXPECT_EQ(reg.EnumKeys(R::CurrentUser, ""), std::vector<std::string>{"Software"});
  auto values = reg.EnumValues(R::CurrentUser, "Software\\Vyrelle");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0], (std::pair<std::string, std::string>{"", "default value"}));
  EXPECT_EQ(values[1], (std::pair<std::string, std::string>{"Path", "c:\\x"}));

  ASSERT_TRUE(reg.SetValue(R::CurrentUser, "Software\\Vyrelle", "PATH", "d:\\y"));
  EXPECT_EQ(reg.EnumValues(R::CurrentUser, "Software\\Vyrelle").size(), 2u);
  EXPECT_EQ(reg.GetValue(R::CurrentUser, "Software\\Vyrelle", "Path").value_or("-"), "d:\\y");

  ASSERT_TRUE(reg.DeleteValue(R::CurrentUser, "Software\\Vyrelle", "path"));
  EXPECT_FALSE(reg.GetValue(R::CurrentUser, "Software\\Vyrelle", "Path").has_value());

  ASSERT_TRUE(reg.DeleteKey(R::CurrentUser, "Software\\Vyrelle"));
  EXPECT_FALSE(reg.KeyExists(R::CurrentUser, "Software\\Vyrelle\\Mail"));
  EXPECT_FALSE(reg.KeyExists(R::CurrentUser, "Software\\Vyrelle"));
  EXPECT_TRUE(reg.KeyExists(R::CurrentUser, "Software"));
}

TEST_F(RegistryTest, DeletingAKeyLeavesKeysThatOnlyShareItsPrefix) {
  reg.SetValue(R::LocalMachine, "A\\Key", "v", "1");
  reg.SetValue(R::LocalMachine, "A\\KeyTwo", "v", "2");
  reg.DeleteKey(R::LocalMachine, "A\\Key");
  EXPECT_EQ(reg.GetValue(R::LocalMachine, "A\\KeyTwo", "v").value_or("-"), "2");
  EXPECT_FALSE(reg.DeleteKey(R::LocalMachine, ""));  // a root stays
}

TEST_F(RegistryTest, ValuesWithAnyCharactersSurviveTheFile) {
  const std::string tricky = "quote\" back\\slash\nnew line\r\ttab \x01 \xC3\xA4 ] [x]";
  ASSERT_TRUE(reg.SetValue(R::ClassesRoot, "CLSID\\{X}", "name \"q\"", tricky));
  Registry other(reg.File());  // a second reader of the same file
  EXPECT_EQ(other.GetValue(R::ClassesRoot, "CLSID\\{X}", "name \"q\"").value_or("-"), tricky);
  // A fresh parse from disk (another process) sees the same.
  test::WriteFile(reg.File() + ".copy", test::ReadFile(reg.File()));
  Registry copy(reg.File() + ".copy");
  EXPECT_EQ(copy.GetValue(R::ClassesRoot, "CLSID\\{X}", "name \"q\"").value_or("-"), tricky);
}

TEST_F(RegistryTest, DamagedLinesAreSkippedAndTheRestLoads) {
  test::WriteFile(reg.File(),
                  "VYRELLE REGISTRY 1\n[HKEY_CURRENT_USER\\A]\n\"ok\"=\"1\"\n\"broken=\"2\n"
                  "garbage\n@=\"dflt\"\n\"x\"=\"bad escape \\x4\"\n");
  EXPECT_EQ(reg.GetValue(R::CurrentUser, "A", "ok").value_or("-"), "1");
  EXPECT_EQ(reg.GetValue(R::CurrentUser, "A", "").value_or("-"), "dflt");
  EXPECT_FALSE(reg.GetValue(R::CurrentUser, "A", "x").has_value());
  ASSERT_TRUE(reg.SetValue(R::CurrentUser, "A", "new", "3"));
  EXPECT_EQ(reg.GetValue(R::CurrentUser, "A", "ok").value_or("-"), "1");
}

TEST_F(RegistryTest, ConcurrentWritersLoseNoValue) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int k = 0; k < 20; ++k) {
        reg.SetValue(R::CurrentUser, "K" + std::to_string(t), "v" + std::to_string(k), "x");
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < 6; ++t) {
    EXPECT_EQ(reg.EnumValues(R::CurrentUser, "K" + std::to_string(t)).size(), 20u);
  }
}

TEST_F(RegistryTest, UnwritableFileFailsCleanly) {
  test::WriteFile(dir.File("f"), "x");
  Registry bad(dir.File("f/registry.reg"));
  EXPECT_FALSE(bad.SetValue(R::CurrentUser, "A", "", "v"));
  EXPECT_FALSE(bad.CreateKey(R::CurrentUser, "A"));
  EXPECT_FALSE(bad.GetValue(R::CurrentUser, "A", "").has_value());
  Registry none("");
  EXPECT_FALSE(none.SetValue(R::CurrentUser, "A", "", "v"));
}

}  // namespace
}  // namespace vyr::platform
