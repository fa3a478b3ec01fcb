// The mail account settings: loading, the checks before saving, saving,
// and the stored form of the passwords.
#include "mail/receive/mail_accounts.h"

#include <gtest/gtest.h>

#include "base/application.h"
#include "base/cipher.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

struct RecordingQuestions : MailSettingsQuestions {
  bool acceptCut = true, keepActive = false;
  std::vector<std::string> asked, warned;
  bool OfferAccountCut(const std::string& text, const std::string& title) override {
    asked.push_back(title + "|" + text);
    return acceptCut;
  }
  void Warn(const std::string& text) override { warned.push_back(text); }
  bool KeepInvalidAccountActive(const std::string& text, const std::string& title) override {
    asked.push_back(title + "|" + text);
    return keepActive;
  }
};

class MailAccountsTest : public ::testing::Test, protected test::TestApp {
 protected:
  RecordingQuestions questions;
};

TEST_F(MailAccountsTest, SaveWritesEveryValueAndLoadReadsItBack) {
  MailSettings s = LoadMailSettings(app);
  s.account = "jane", s.pop3Server = "pop.mail.example", s.smtpServer = "smtp.mail.example", s.password = "secret";
  s.leaveOnServer = true, s.minutesBetweenChecks = 15, s.spellCheck = 2, s.signature = "-- \r\nJane\r\n";
  SaveMailSettings(app, s, questions);
  EXPECT_TRUE(questions.asked.empty() && questions.warned.empty());
  EXPECT_EQ(app.GetString("email", "pop3-pass", ""), "VY016B4A711916DB");  // from the OpenSSL command line
  MailSettings back = LoadMailSettings(app);
  EXPECT_EQ(back.password + "|" + back.signature + "|" + std::to_string(back.leaveOnServer) + "|" +
                std::to_string(back.minutesBetweenChecks) + "|" + std::to_string(back.useMail),
            "secret|-- \r\nJane\r\n|1|15|1");
  app.WriteString("email", "pop3-pass", "plain-text");  // not a stored form: no password
  EXPECT_TRUE(LoadMailSettings(app).password.empty());

  // With mail switched off: no checks, no period, "UseVyrMail" left alone.
  app.WriteInt("email", "UseVyrMail", 1);
  s.useMail = false, s.account = "a@b";
  SaveMailSettings(app, s, questions);
  EXPECT_TRUE(questions.asked.empty());
  EXPECT_EQ(std::make_pair(app.GetInt("email", "MinutesBetweenChecks", -1), app.GetInt("email", "UseVyrMail", -1)),
            std::make_pair(0, 1));
}

TEST_F(MailAccountsTest, ChecksBeforeSavingWarnButNeverStop) {
  const std::string pop = "Your setting for POP server does not appear to be valid.\n\nYou may have a problem receiving mail";
  const std::string smtp = "Your setting for SMTP server does not appear to be valid.\n\nYou may have a problem sending mail ";
  for (const char* unset : {"", "?"}) {  // a field left at "?" is as empty as an empty one
    RecordingQuestions q;
    MailSettings s;
    s.account = "jane@mail.example", s.pop3Server = unset, s.smtpServer = unset;
    SaveMailSettings(app, s, q);
    EXPECT_EQ(q.warned, (std::vector<std::string>{pop, smtp})) << "'" << unset << "'";
    EXPECT_TRUE(q.asked.size() == 1 && q.asked[0].rfind("Invalid account !|", 0) == 0 &&
                q.asked[0].find("[jane] ?") != std::string::npos);
    EXPECT_EQ(app.GetString("email", "pop3-account", "") + "|" + app.GetString("email", "pop3-server", "unset"),
              std::string("jane|") + unset) << "saved all the same";
  }
  questions.acceptCut = false;
  MailSettings s;
  s.account = "jane@mail.example";  // the cut declined
  SaveMailSettings(app, s, questions);
  EXPECT_EQ(app.GetString("email", "pop3-account", ""), "jane@mail.example");
}

TEST_F(MailAccountsTest, ExtraAccountsAreCheckedAndAnInvalidOneIsStoredInactiveUnlessKept) {
  ExtraAccounts accounts;
  accounts[0] = {"bob", "pop.example", "pw1", true, false};
  accounts[1] = {"carol@x", "nodot", "pw2", true, true};
  accounts[2] = {"?", "?", "", false, false};
  SaveExtraAccounts(app, accounts, questions);
  EXPECT_EQ(questions.asked, std::vector<std::string>{"Multi-POP 2|Do you still want to activate this account?\r\n\r\n"
                                                      "Username:carol@x\r\nPOP Server:nodot"});
  EXPECT_EQ(questions.warned.size(), 1u);
  EXPECT_EQ(std::make_tuple(app.GetInt("email", "multipop1", -1), app.GetInt("email", "multipop2", -1),
                            app.GetInt("email", "multipop3", -1)),
            std::make_tuple(1, 0, 0));
  ExtraAccounts back = LoadExtraAccounts(app);
  EXPECT_EQ(back[0].password + back[1].password + back[1].account, "pw1pw2carol@x");
  EXPECT_TRUE(back[1].leaveOnServer && !back[1].active);
  questions.keepActive = true;
  back[1].active = true;
  SaveExtraAccounts(app, back, questions);
  EXPECT_EQ(app.GetInt("email", "multipop2", -1), 1);
}

// --- the stored form of passwords

TEST(CipherTest, StoredFormsRoundTripAndForeignOnesAreRefused) {
  // Stored forms computed independently with the OpenSSL command line
  // (des-cfb, the key's bytes, a zero vector).
  const std::pair<std::string, std::string> known[] = {
      {"secret", "VY016B4A711916DB"},
      {"a", "VY0179"},
      {"", "VY01"},
      {"Passw0rd!", "VY01484E6118049F978B07"},
      {"hello world, this is longer than eight",
       "VY01704A7E071C8F9280DE31B22E756B0C648FD20D25C3B6BF66B5745129529490F02591E1F69196"},
      {std::string("ab\0cd", 5), "VY01794D"},  // the text ends at its first zero byte
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
  // Foreign stored forms.
  std::string plain = "keep";
  for (const char* bad : {"?", "VY0", "vy016B4A711916DB", ""}) EXPECT_FALSE(DecipherText(bad, plain)) << bad;
  EXPECT_EQ(plain, "keep");
  ASSERT_TRUE(DecipherText(EncipherText(std::string(1500, 'L')), plain));
  EXPECT_EQ(plain, std::string(999, 'L')) << "at most 999 bytes are deciphered";
}

}  // namespace
}  // namespace vyr
