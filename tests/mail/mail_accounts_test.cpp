// The mail account settings and the stored form of the passwords.
#include "mail/receive/mail_accounts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <tuple>

#include "base/application.h"
#include "base/cipher.h"
#include "platform/file_system.h"
#include "tools/test_support.h"

namespace vyr {
namespace {
struct RecordingQuestions : MailSettingsQuestions {
  bool keepActive = false;
  std::vector<std::string> asked, warned;
  void Warn(const std::string& text) override { warned.push_back(text); }
  bool KeepInvalidAccountActive(const std::string& text, const std::string& title) override {
    asked.push_back(title + "|" + text);
    return keepActive;
  }
};

struct RecordingKeyring : PasswordKeyring {
  bool refuse = false;
  std::map<std::string, std::string> kept;
  bool Store(const std::string& owner, const std::string& name, const std::string& password) override {
    if (refuse) return false;
    kept[owner + "|" + name] = password;
    return true;
  }
  bool Find(const std::string& owner, const std::string& name, std::string& password) override {
    auto it = kept.find(owner + "|" + name);
    if (refuse || it == kept.end()) return false;
    password = it->second;
    return true;
  }
  void Forget(const std::string& owner, const std::string& name) override { kept.erase(owner + "|" + name); }
};

class MailAccountsTest : public ::testing::Test, protected test::TestApp {
 protected:
  void SetUp() override { before_ = SetPasswordKeyring(nullptr); }
  void TearDown() override { SetPasswordKeyring(before_); }
  RecordingQuestions questions;
 private:
  PasswordKeyring* before_ = nullptr;
};

MailSettings Usable() {
  MailSettings s;
  s.account = "jane@mail.example", s.pop3Server = "pop.mail.example", s.smtpServer = "smtp.mail.example";
  s.password = "secret";
  return s;
}

TEST_F(MailAccountsTest, SaveWritesEveryValueAndLoadReadsItBack) {
  MailSettings s = LoadMailSettings(app);
  EXPECT_EQ(std::make_tuple(s.pop3Security, s.pop3Port, s.smtpSecurity, s.smtpPort, s.smtpLogIn),
            std::make_tuple(2, 995, 2, 465, false));
  s.account = "jane", s.pop3Server = "pop.mail.example", s.smtpServer = "smtp.mail.example", s.password = "secret";
  s.leaveOnServer = true, s.minutesBetweenChecks = 15, s.spellCheck = 2, s.signature = "-- \r\nJane\r\n";
  s.pop3Security = 1, s.pop3Port = 1110, s.smtpSecurity = 1, s.smtpPort = 587, s.smtpLogIn = true;
  s.smtpUser = "jane.out";
  EXPECT_EQ(SaveMailSettings(app, s, questions), "");
  EXPECT_TRUE(questions.asked.empty() && questions.warned.empty());
  EXPECT_EQ(app.GetString("email", "pop3-pass", ""), "VY016B4A711916DB");
  EXPECT_EQ(app.GetString("email", "SMTPPass", "") + "|" + app.GetString("email", "SMTPUser", "") + "|" +
                app.GetString("email", "SMTPAuth", "") + "|" + app.GetString("email", "POP3Port", "") + "|" +
                app.GetString("email", "SMTPSecurity", ""),
            "?|jane.out|1|1110|1");
  MailSettings back = LoadMailSettings(app);
  EXPECT_EQ(back.password + "|" + back.signature + "|" + std::to_string(back.leaveOnServer) + "|" +
                std::to_string(back.minutesBetweenChecks) + "|" + std::to_string(back.useMail) + "|" +
                std::to_string(back.pop3Security) + "|" + std::to_string(back.smtpPort),
            "secret|-- \r\nJane\r\n|1|15|1|1|587");
  EXPECT_EQ(SmtpLogInPassword(app), "secret") << "a blank outgoing password is the incoming one";
  app.WriteString("email", "pop3-pass", "plain-text");
  EXPECT_TRUE(LoadMailSettings(app).password.empty());
  test::TestApp old;
  old.app.WriteString("email", "pop3-server", "pop.mail.example");
  EXPECT_EQ(LoadMailSettings(old.app).pop3Security, 0);
  EXPECT_EQ(LoadMailSettings(old.app).pop3Port, 110);
  app.WriteInt("email", "UseVyrMail", 1);
  s.useMail = false, s.pop3Server = "";
  EXPECT_EQ(SaveMailSettings(app, s, questions), "");
  EXPECT_TRUE(questions.warned.empty());
  EXPECT_EQ(std::make_pair(app.GetInt("email", "MinutesBetweenChecks", -1), app.GetInt("email", "UseVyrMail", -1)),
            std::make_pair(0, 1));
}

TEST_F(MailAccountsTest, ChecksBeforeSavingWarnButNeverStop) {
  const std::string pop = "Your setting for POP server does not appear to be valid.\n\nYou may have a problem receiving mail";
  const std::string smtp = "Your setting for SMTP server does not appear to be valid.\n\nYou may have a problem sending mail ";
  for (const char* unset : {"", "?"}) {
    RecordingQuestions q;
    MailSettings s = Usable();
    s.pop3Server = unset, s.smtpServer = unset;
    EXPECT_EQ(SaveMailSettings(app, s, q), "");
    EXPECT_EQ(q.warned, (std::vector<std::string>{pop, smtp})) << "'" << unset << "'";
    EXPECT_TRUE(q.asked.empty());
    EXPECT_EQ(app.GetString("email", "pop3-account", "") + "|" + app.GetString("email", "pop3-server", "unset"),
              std::string("jane@mail.example|") + unset) << "saved all the same";
  }
}

TEST_F(MailAccountsTest, BrokenSecurityPortsAndUnencryptedPasswordsAreRefused) {
  const std::string unencrypted = "\n\nChoose STARTTLS or TLS for it, or tick \"Send my password unencrypted\".";
  const struct {
    const char* name;
    void (*change)(MailSettings&);
    std::string refusal;
  } cases[] = {
      {"TLS everywhere", [](MailSettings&) {}, ""},
      {"STARTTLS with log-in", [](MailSettings& s) { s.pop3Security = s.smtpSecurity = 1, s.smtpLogIn = true; }, ""},
      {"incoming security 3", [](MailSettings& s) { s.pop3Security = 3; },
       "The security of pop.mail.example is none of: none, STARTTLS, TLS."},
      {"outgoing security -1", [](MailSettings& s) { s.smtpSecurity = -1; },
       "The security of smtp.mail.example is none of: none, STARTTLS, TLS."},
      {"port 0", [](MailSettings& s) { s.pop3Port = 0; }, "The port of pop.mail.example must be a number from 1 to 65535."},
      {"port 65536, no server", [](MailSettings& s) { s.smtpPort = 65536, s.smtpServer = "?"; },
       "The port of the outgoing server must be a number from 1 to 65535."},
      {"plain POP3", [](MailSettings& s) { s.pop3Security = 0; },
       "Your password for pop.mail.example would be sent unencrypted." + unencrypted},
      {"plain SMTP log-in", [](MailSettings& s) { s.smtpSecurity = 0, s.smtpLogIn = true; },
       "Your password for smtp.mail.example would be sent unencrypted." + unencrypted},
      {"plain SMTP without log-in", [](MailSettings& s) { s.smtpSecurity = 0; }, ""},
      {"plain, unencrypted chosen",
       [](MailSettings& s) { s.pop3Security = s.smtpSecurity = 0, s.smtpLogIn = s.sendPasswordUnencrypted = true; }, ""},
      {"mail off", [](MailSettings& s) { s.pop3Security = 7, s.useMail = false; }, ""},
  };
  for (const auto& c : cases) {
    test::TestApp fresh;
    MailSettings s = Usable();
    c.change(s);
    EXPECT_EQ(SaveMailSettings(fresh.app, s, questions), c.refusal) << c.name;
    EXPECT_EQ(fresh.app.GetString("email", "pop3-account", "") == "jane@mail.example", c.refusal.empty()) << c.name;
  }
}

TEST_F(MailAccountsTest, PasswordsGoToTheKeyringWhenOneTakesThem) {
  RecordingKeyring keyring;
  SetPasswordKeyring(&keyring);
  const std::string owner = app.ProfilePath() + "|";
  app.WriteString("email", "multipop2-pass", "VY016B4A711916DB");
  MailSettings s = Usable();
  s.smtpLogIn = true, s.smtpPassword = "out-pw";
  ASSERT_EQ(SaveMailSettings(app, s, questions), "");
  EXPECT_EQ(keyring.kept, (std::map<std::string, std::string>{{owner + "email/pop3-pass", "secret"},
                                                               {owner + "email/SMTPPass", "out-pw"}}));
  std::string profile;
  ASSERT_TRUE(platform::ReadWholeFile(app.ProfilePath(), profile));
  EXPECT_EQ(profile.find("secret"), std::string::npos);
  EXPECT_NE(profile.find("pop3-pass=keyring"), std::string::npos) << profile;
  EXPECT_EQ(LoadMailSettings(app).password + "|" + SmtpLogInPassword(app), "secret|out-pw");
  EXPECT_EQ(LoadExtraAccounts(app)[1].password, "secret") << "a stored form is still read";
  s.password = "", s.smtpPassword = "";
  ASSERT_EQ(SaveMailSettings(app, s, questions), "");
  EXPECT_TRUE(keyring.kept.empty());
  EXPECT_EQ(app.GetString("email", "pop3-pass", "") + "|" + app.GetString("email", "SMTPPass", ""), "VY01|?");
  keyring.refuse = true;
  s.password = "secret";
  ASSERT_EQ(SaveMailSettings(app, s, questions), "");
  EXPECT_EQ(app.GetString("email", "pop3-pass", ""), "VY016B4A711916DB");
  app.WriteString("email", "pop3-pass", "keyring");
  EXPECT_EQ(LoadMailSettings(app).password, "");
}

TEST_F(MailAccountsTest, ProfileAndMailRootAreTheUsersOnly) {
  ::umask(022);
  ASSERT_EQ(SaveMailSettings(app, Usable(), questions), "");
  struct stat profile {}, root {};
  ASSERT_EQ(::stat(app.ProfilePath().c_str(), &profile), 0);
  ASSERT_EQ(::stat(app.GetDataDirectory("email", true).c_str(), &root), 0);
  EXPECT_EQ(std::make_pair(profile.st_mode & 0777, root.st_mode & 0777), std::make_pair(0600u, 0700u));
}

TEST_F(MailAccountsTest, ExtraAccountsAreCheckedAndAnInvalidOneIsStoredInactiveUnlessKept) {
  ExtraAccounts accounts;
  accounts[0] = {"bob@pop.example", "pop.example", "pw1", true, false, 2};
  accounts[1] = {"carol", "nodot", "pw2", true, true, 1};
  accounts[2] = {"?", "?", "", false, false, 0};
  EXPECT_EQ(SaveExtraAccounts(app, accounts, false, questions), "");
  EXPECT_EQ(questions.asked, std::vector<std::string>{"Multi-POP 2|Do you still want to activate this account?\r\n\r\n"
                                                      "Username:carol\r\nPOP Server:nodot"});
  EXPECT_EQ(questions.warned, std::vector<std::string>{"nodot does not appear to be a valid POP server"});
  EXPECT_EQ(std::make_tuple(app.GetInt("email", "multipop1", -1), app.GetInt("email", "multipop2", -1),
                            app.GetInt("email", "multipop3", -1), app.GetInt("email", "multipop2-security", -1)),
            std::make_tuple(1, 0, 0, 1));
  ExtraAccounts back = LoadExtraAccounts(app);
  EXPECT_EQ(back[0].password + back[1].password + back[1].account, "pw1pw2carol");
  EXPECT_TRUE(back[1].leaveOnServer && !back[1].active);
  questions.keepActive = true;
  back[1].active = true;
  EXPECT_EQ(SaveExtraAccounts(app, back, false, questions), "");
  EXPECT_EQ(app.GetInt("email", "multipop2", -1), 1);
  back[2] = {"dan", "pop.other.example", "pw3", true, false, 0};
  EXPECT_EQ(SaveExtraAccounts(app, back, false, questions),
            "Your password for pop.other.example would be sent unencrypted.\n\n"
            "Choose STARTTLS or TLS for it, or tick \"Send my password unencrypted\".");
  EXPECT_EQ(app.GetInt("email", "multipop3", -1), 0) << "nothing written";
  back[2].security = 5;
  EXPECT_EQ(SaveExtraAccounts(app, back, true, questions), "The security of pop.other.example is none of: none, STARTTLS, TLS.");
  back[2].security = 0;
  EXPECT_EQ(SaveExtraAccounts(app, back, true, questions), "");
  EXPECT_EQ(app.GetInt("email", "multipop3", -1) + app.GetInt("email", "SendPasswordUnencrypted", -1), 2);
}

TEST(CipherTest, StoredFormsRoundTripAndForeignOnesAreRefused) {
  const std::pair<std::string, std::string> known[] = {
      {"secret", "VY016B4A711916DB"},
      {"a", "VY0179"},
      {"", "VY01"},
      {"Passw0rd!", "VY01484E6118049F978B07"},
      {"hello world, this is longer than eight",
       "VY01704A7E071C8F9280DE31B22E756B0C648FD20D25C3B6BF66B5745129529490F02591E1F69196"},
      {std::string("ab\0cd", 5), "VY01794D"},
  };
  for (const auto& [plain, stored] : known) {
    EXPECT_EQ(EncipherText(plain), stored);
    std::string back = "unchanged";
    ASSERT_TRUE(DecipherText(stored, back));
    EXPECT_EQ(back, plain.c_str());
  }
  for (std::string text : {std::string("12345678"), std::string("p\xC3\xA4ss \x01\xFF"), std::string(500, 'k')}) {
    std::string back;
    ASSERT_TRUE(DecipherText(EncipherText(text), back));
    EXPECT_EQ(back, text);
  }
  std::string plain = "keep";
  for (const char* bad : {"?", "VY0", "vy016B4A711916DB", ""}) EXPECT_FALSE(DecipherText(bad, plain)) << bad;
  EXPECT_EQ(plain, "keep");
  ASSERT_TRUE(DecipherText(EncipherText(std::string(1500, 'L')), plain));
  EXPECT_EQ(plain, std::string(999, 'L')) << "at most 999 bytes are deciphered";
}

}  // namespace
}  // namespace vyr
