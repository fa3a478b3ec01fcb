// The settings table: no key declared twice, and settings read and written
// through a real profile with the table's defaults.
#include "base/settings_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <tuple>

#include "app/startup_options.h"
#include "base/application.h"
#include "browser/main_window_model.h"
#include "mail/receive/mail_accounts.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

TEST(SettingsTableTest, NoKeyIsDeclaredTwiceAndNoFamilyMemberIsAnotherKey) {
  const std::string table = ReadFile(std::string(VYRELLE_SOURCE_DIR) + "/base/settings_table.h");
  static const std::regex kDeclaration(
      R"(constexpr\s+(IntSetting|StringSetting|HomeUrlSetting|IntSettingFamily|StringSettingFamily)\s+(k\w+)\s*\{([^;]*)\};)");
  static const std::regex kLiteral(R"re("((?:[^"\\]|\\.)*)")re");
  auto lower = [](std::string s) {
    for (char& c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return s;
  };
  std::map<std::tuple<std::string, std::string, std::string>, std::string> keys;  // file, section, key
  std::vector<std::tuple<std::string, std::string, std::string, std::string, std::string>> families;
  std::vector<std::string> twice;
  for (auto it = std::sregex_iterator(table.begin(), table.end(), kDeclaration); it != std::sregex_iterator(); ++it) {
    const std::string type = (*it)[1], name = (*it)[2], body = (*it)[3];
    std::vector<std::string> texts;
    for (auto l = std::sregex_iterator(body.begin(), body.end(), kLiteral); l != std::sregex_iterator(); ++l)
      texts.push_back((*l)[1]);
    ASSERT_GE(texts.size(), 2u) << name;
    const std::string file = body.find("kScheme") != std::string::npos ? "scheme"
                             : body.find("kData") != std::string::npos ? "data" : "profile";
    if (type.ends_with("Family")) {
      families.emplace_back(name, file, lower(texts[0]), lower(texts[1]), lower(texts[2]));
    } else if (!keys.emplace(std::make_tuple(file, lower(texts[0]), lower(texts[1])), name).second) {
      twice.push_back(name);
    }
  }
  EXPECT_EQ(twice, std::vector<std::string>{});
  // The parse found the table: a few settings as they are stored.
  EXPECT_EQ(keys[std::make_tuple("profile", "startup", "checkmail")], "kStartupCheckMail");
  EXPECT_EQ(keys[std::make_tuple("profile", "misc", "pi")], "kMiscPingInterval");
  EXPECT_EQ(keys[std::make_tuple("scheme", "misc", "fancywindows")], "kSchemeFancyWindows");
  EXPECT_GT(families.size(), 20u);

  std::set<std::tuple<std::string, std::string, std::string, std::string>> patterns;
  for (const auto& [name, file, section, prefix, suffix] : families) {
    EXPECT_TRUE(patterns.emplace(file, section, prefix, suffix).second) << name << " declared twice";
    for (int n = 1; n <= 20; ++n) {
      const auto member = std::make_tuple(file, section, prefix + std::to_string(n) + suffix);
      EXPECT_EQ(keys.count(member), 0u) << name << " member " << n << " is " << keys[member];
    }
  }
}

class SettingsTableRoundTrip : public ::testing::Test, protected test::TestApp {
 protected:
  std::string Profile() const { return fs::exists(app.ProfilePath()) ? ReadFile(app.ProfilePath()) : ""; }
};

TEST_F(SettingsTableRoundTrip, MissingKeysReadAsTheirDefaultAndWrittenValuesReadBackUnderTheirOwnNames) {
  struct IntCase {
    SettingMember<IntSetting> setting;
    int missing, written;
    const char* stored;
  };
  const IntCase ints[] = {
      {kStartupCheckMail, 0, 1, "[Startup]\nCheckMail=1\n"},
      {kEmailUseVyrMail, 1, 0, "[email]\nUseVyrMail=0\n"},
      {kEmailDeleteMessages, 0, 1, "[email]\ndelete-messages=1\n"},
      {kEmailExtraDeleteMessages.At(2), 0, 1, "[email]\nmultipop2-delete-messages=1\n"},
      {kMiscPingInterval, 10, 30, "[misc]\nPI=30\n"},
      {kToolbarSize, 1, 2, "[Toolbar]\nSize=2\n"},
      {kMiscInfoBoxSeconds, 30, 45, "[Misc]\nbox=45\n"}};
  for (const IntCase& c : ints) {
    fs::remove(app.ProfilePath());
    EXPECT_EQ(app.Get(c.setting), c.missing) << c.stored;
    app.Write(c.setting, c.written);
    EXPECT_EQ(app.Get(c.setting), c.written) << c.stored;
    EXPECT_EQ(Profile(), c.stored);
  }
  struct TextCase {
    SettingMember<StringSetting> setting;
    const char* missing;
    const char* stored;
  };
  const TextCase texts[] = {
      {kEmailPop3Server, "?", "[email]\npop3-server=x\n"},
      {kEmailExtraLastMessageId.At(3), "", "[email]\nIDLastMessageDownloaded3=x\n"},
      {kTypedUrl.At(4), "", "[TypedURLs]\nurl4=x\n"},
      {kMiscWindowTop, "-1", "[misc]\nwnd_top=x\n"},
      {kEmailSpellCheck, "Prompt", "[email]\nSpellCheckWhenSending=x\n"}};
  for (const TextCase& c : texts) {
    fs::remove(app.ProfilePath());
    EXPECT_EQ(app.Get(c.setting), c.missing) << c.stored;
    app.Write(c.setting, "x");
    EXPECT_EQ(Profile(), c.stored);
  }

  // A scheme setting goes to the scheme's file, never the profile; the data
  // folder's file is never written.
  fs::remove(app.ProfilePath());
  const std::string root = home.Path() + "/vyrelle";
  app.Write(kSchemeFancyWindows, 1);
  EXPECT_EQ(std::make_pair(ReadFile(root + "/media/default/config.ini"), Profile()),
            std::make_pair(std::string("[Misc]\nFancyWindows=1\n"), std::string()));
  EXPECT_EQ(app.Get(kDataZip), "none");
  app.Write(kDataZip, "99999");
  EXPECT_FALSE(fs::exists(root + "/Data/Default/config.ini"));
  WriteFile(root + "/Data/Default/config.ini", "[Local]\nZip=12345\n");
  EXPECT_EQ(app.Get(kDataZip), "12345");

  // A home-server address follows the home server; none, no address.
  EXPECT_EQ(app.Get(kMiscSchemeUrl), "http://www.vyrelle.example/Archive/Schemes/");
  app.Write(kMiscHomeServer, "http://home.example/");
  EXPECT_EQ(app.Get(kMiscSchemeUrl), "http://home.example/Archive/Schemes/");
  app.Write(kMiscHomeServer, "");
  EXPECT_EQ(app.Get(kMiscSchemeUrl), "");
}

TEST_F(SettingsTableRoundTrip, EveryReaderOfTheMailSwitchesSeesTheSameUnsetProfile) {
  // Unset: no check at start, mail kept on every server, the mail client on.
  auto views = [&] {
    const MailSettings mail = LoadMailSettings(app);
    const ExtraAccounts extra = LoadExtraAccounts(app);
    return std::make_tuple(mail.checkAtStartup, ReadStartupOptions(app).checkMail,
                           StartupMailCheckWanted(app, false, true), mail.leaveOnServer,
                           extra[0].leaveOnServer && extra[2].leaveOnServer, mail.useMail);
  };
  EXPECT_EQ(views(), std::make_tuple(false, false, false, true, true, true));
  app.Write(kStartupCheckMail, 1);
  app.Write(kEmailDeleteMessages, 1);
  EXPECT_EQ(views(), std::make_tuple(true, true, true, false, true, true));
}

}  // namespace
}  // namespace vyr
