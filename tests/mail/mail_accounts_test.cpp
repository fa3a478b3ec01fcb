// The mail account settings: loading, the checks before saving, saving.
#include "mail/receive/mail_accounts.h"

#include <gtest/gtest.h>

#include "app/application.h"
#include "platform/profile_file.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

struct RecordingQuestions : MailSettingsQuestions {
  bool acceptCut = true;
  bool keepActive = false;
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

class MailAccountsTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ClearProfileCache(); }
  test::TempDir home;
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
  RecordingQuestions questions;
};

TEST_F(MailAccountsTest, UnsetValuesReadAsQuestionMarksAndAnEmptyPassword) {
  MailSettings s = LoadMailSettings(app);
  EXPECT_EQ(s.account, "?");
  EXPECT_EQ(s.pop3Server, "?");
  EXPECT_EQ(s.password, "");
  EXPECT_FALSE(s.leaveOnServer);  // "delete-messages" defaults to 1
  EXPECT_TRUE(s.useMail);
  EXPECT_EQ(s.spellCheck, 0);
  app.WriteString("email", "UseVyrMail", "2");  // only exactly 1 ticks the box
  EXPECT_FALSE(LoadMailSettings(app).useMail);
}

TEST_F(MailAccountsTest, SaveWritesEveryValueAndTheSignature) {
  MailSettings s;
  s.account = "jane";
  s.address = "jane@mail.example";
  s.name = "Jane Doe";
  s.pop3Server = "pop.mail.example";
  s.smtpServer = "smtp.mail.example";
  s.password = "secret";
  s.leaveOnServer = true;
  s.minutesBetweenChecks = 15;
  s.spellCheck = 2;
  s.signature = "-- \r\nJane\r\n";
  SaveMailSettings(app, s, questions);
  EXPECT_TRUE(questions.asked.empty());
  EXPECT_TRUE(questions.warned.empty());
  // The stored form of "secret" (computed with the OpenSSL command line).
  EXPECT_EQ(app.GetString("email", "pop3-pass", ""), "VY016B4A711916DB");
  EXPECT_EQ(app.GetInt("email", "delete-messages", 1), 0);
  EXPECT_EQ(app.GetString("email", "SpellCheckWhenSending", ""), "Never");
  EXPECT_EQ(app.GetInt("email", "UseVyrMail", 0), 1);
  EXPECT_EQ(app.GetInt("email", "MinutesBetweenChecks", 0), 15);
  ASSERT_EQ(sounds.played.size(), 0u);  // no "save" sound file in the scheme
  MailSettings back = LoadMailSettings(app);
  EXPECT_EQ(back.password, "secret");
  EXPECT_EQ(back.signature, "-- \r\nJane\r\n");
  EXPECT_TRUE(back.leaveOnServer);
  EXPECT_EQ(back.spellCheck, 2);
  EXPECT_EQ(back.minutesBetweenChecks, 15);
  EXPECT_EQ(test::ReadFile(home.File("vyrelle/email/Email Signature.txt")), "-- \r\nJane\r\n");
}

TEST_F(MailAccountsTest, StoredPasswordHasTheCipherFormAndAnEmptyOneIsPrefixOnly) {
  MailSettings s = LoadMailSettings(app);
  s.password = "";
  SaveMailSettings(app, s, questions);
  EXPECT_EQ(app.GetString("email", "pop3-pass", ""), "VY01");
  s.password = "abc";
  SaveMailSettings(app, s, questions);
  EXPECT_EQ(app.GetString("email", "pop3-pass", "").size(), 4u + 6u);
  app.WriteString("email", "pop3-pass", "plain-text");  // not deciphered
  EXPECT_EQ(LoadMailSettings(app).password, "");
}

TEST_F(MailAccountsTest, AccountWithAtIsOfferedToBeCut) {
  MailSettings s;
  s.account = "jane@mail.example";
  s.pop3Server = "pop.mail.example";
  s.smtpServer = "smtp.mail.example";
  SaveMailSettings(app, s, questions);
  ASSERT_EQ(questions.asked.size(), 1u);
  EXPECT_EQ(questions.asked[0].substr(0, 17), "Invalid account !");
  EXPECT_NE(questions.asked[0].find("[jane] ?"), std::string::npos);
  EXPECT_EQ(app.GetString("email", "pop3-account", ""), "jane");

  questions.acceptCut = false;
  SaveMailSettings(app, s, questions);
  EXPECT_EQ(app.GetString("email", "pop3-account", ""), "jane@mail.example");
}

TEST_F(MailAccountsTest, EmptyServersAreWarnedAboutButStillSaved) {
  MailSettings s;
  s.account = "jane";
  s.pop3Server = "";
  s.smtpServer = "";
  SaveMailSettings(app, s, questions);
  ASSERT_EQ(questions.warned.size(), 2u);
  EXPECT_EQ(questions.warned[0],
            "Your setting for POP server does not appear to be valid.\n\nYou may have a problem receiving mail");
  EXPECT_EQ(questions.warned[1],
            "Your setting for SMTP server does not appear to be valid.\n\nYou may have a problem sending mail ");
  EXPECT_EQ(app.GetString("email", "pop3-server", "?"), "");
}

TEST_F(MailAccountsTest, MailSwitchedOffWritesNoPeriodAndLeavesUseMailAlone) {
  app.WriteInt("email", "UseVyrMail", 1);
  app.WriteInt("email", "MinutesBetweenChecks", 10);
  MailSettings s = LoadMailSettings(app);
  s.useMail = false;
  s.account = "a@b";  // no checks while mail is off
  s.minutesBetweenChecks = 30;
  SaveMailSettings(app, s, questions);
  EXPECT_TRUE(questions.asked.empty());
  EXPECT_EQ(app.GetInt("email", "MinutesBetweenChecks", -1), 0);
  EXPECT_EQ(app.GetInt("email", "UseVyrMail", -1), 1);
}

TEST_F(MailAccountsTest, ExtraAccountChecks) {
  ExtraAccount a;
  a.account = "?";
  a.server = "pop.example";
  EXPECT_EQ(ExtraAccountProblems(a), "? does not appear to be a valid POP user account");
  a.account = "x@y";
  EXPECT_NE(ExtraAccountProblems(a), "");
  a.account = "";
  EXPECT_NE(ExtraAccountProblems(a), "");
  a.account = "bob";
  a.server = "localhost";
  EXPECT_EQ(ExtraAccountProblems(a), "localhost does not appear to be a valid POP server");
  a.account = "@";
  a.server = "?";
  EXPECT_EQ(ExtraAccountProblems(a),
            "@ does not appear to be a valid POP user account\n? does not appear to be a valid POP server");
  a.account = "bob";
  a.server = "pop.example";
  EXPECT_EQ(ExtraAccountProblems(a), "");
}

TEST_F(MailAccountsTest, InvalidActiveExtraAccountIsStoredInactiveUnlessKept) {
  ExtraAccounts accounts;
  accounts[0] = {"bob", "pop.example", "pw1", true, false};
  accounts[1] = {"carol@x", "nodot", "pw2", true, true};
  accounts[2] = {"?", "?", "", false, false};
  SaveExtraAccounts(app, accounts, questions);
  ASSERT_EQ(questions.asked.size(), 1u);
  EXPECT_EQ(questions.asked[0],
            "Multi-POP 2|Do you still want to activate this account?\r\n\r\nUsername:carol@x\r\n"
            "POP Server:nodot");
  EXPECT_EQ(app.GetInt("email", "multipop1", -1), 1);
  EXPECT_EQ(app.GetInt("email", "multipop2", -1), 0);
  EXPECT_EQ(app.GetInt("email", "multipop3", -1), 0);
  EXPECT_EQ(app.GetInt("email", "multipop2-delete-messages", -1), 0);

  ExtraAccounts back = LoadExtraAccounts(app);
  EXPECT_EQ(back[0].password, "pw1");
  EXPECT_EQ(back[1].password, "pw2");
  EXPECT_EQ(back[1].account, "carol@x");
  EXPECT_TRUE(back[1].leaveOnServer);
  EXPECT_FALSE(back[1].active);

  questions.keepActive = true;
  SaveExtraAccounts(app, back, questions);  // inactive accounts are not checked
  back[1].active = true;
  SaveExtraAccounts(app, back, questions);
  EXPECT_EQ(app.GetInt("email", "multipop2", -1), 1);
}

}  // namespace
}  // namespace vyr
