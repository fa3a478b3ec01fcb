// Other mail programs' accounts found under a home folder and imported.
#include "mail/receive/mail_import.h"

#include <gtest/gtest.h>

#include "base/application.h"
#include "tools/test_support.h"

namespace vyr {
namespace {
const std::string kHome = std::string(VYRELLE_TEST_FIXTURES_DIR) + "/mail_import/home";

std::string Line(const FoundMailAccount& a) {
  return a.label + "|" + a.outgoingServer + "|" + a.incomingServer + "|" + a.userName + "|" + a.displayName + "|" +
         a.address + "|" + (a.imap ? "imap" : "pop") + "|" + std::to_string(a.incomingSecurity) + ":" +
         std::to_string(a.incomingPort) + "|" + std::to_string(a.outgoingSecurity) + ":" +
         std::to_string(a.outgoingPort);
}

TEST(MailImportTest, FindsEveryAccountOfEverySourceAndSkipsDamagedLines) {
  std::vector<std::string> lines;
  for (const FoundMailAccount& a : FindMailAccounts(kHome)) lines.push_back(Line(a));
  const std::vector<std::string> expected = {
      "Thunderbird - bob@pop.example|smtp.pop.example|pop.pop.example|bob\\home|Bob \"The Builder\" M\xC3\xBCller|"
      "bob@pop.example|pop|2:995|2:465",
      "Thunderbird - carol@imap.example (IMAP)|smtp.imap.example|imap.imap.example|carol@imap.example||"
      "carol@imap.example|imap|-1:0|1:587",
      "Outlook Express - dave@oe.example|smtp.oe.example|pop.oe.example|dave|Dave \"OE\" Smith|dave@oe.example|pop|"
      "-1:0|-1:0",
      "Eudora 4.0 - eve@eudora.example|smtp.eudora.example|pop.eudora.example|eve|Eve Eudora|eve@eudora.example|pop|"
      "-1:0|-1:0",
      "Pegasus Mail - pat@pegasus.example|smtp.pegasus.example|pop.pegasus.example|pat|pat|pat@pegasus.example|pop|"
      "-1:0|-1:0",
      "Netscape Mail - joe@netscape.example|smtp.netscape.example|pop.netscape.example|joe|Joe Navigator|"
      "joe@netscape.example|pop|-1:0|-1:0",
  };
  EXPECT_EQ(lines, expected);
  test::TempDir empty;
  EXPECT_TRUE(FindMailAccounts(empty.Path()).empty());
  EXPECT_TRUE(FindMailAccounts("relative/home").empty());
}

TEST(MailImportTest, PrefsLinesAreReadWithTheirEscapesOrSkipped) {
  test::TempDir dir;
  test::WriteFile(dir.File("prefs.js"),
                  "user_pref(\"a\", \"x\\\"y\\\\z\\n\\u00e9\\ud83d\\ude00\");\r\n"  // escapes, a surrogate pair
                  "  user_pref( \"b\" , 42 );\n"
                  "user_pref(\"c\", true);\n"
                  "user_pref(\"d\", \"no end);\n"            // the string never closes
                  "user_pref(\"e\", \"no paren\"\n"          // no closing parenthesis
                  "user_pref(\"f\", \"\\u12\");\n"           // a cut \u escape
                  "pref(\"g\", \"not a user value\");\n"
                  "user_pref(\"a\", \"second\");\n"          // the first line of a key counts
                  "user_pref(\"h\", \"\");\n");
  std::string got;
  for (const auto& [key, value] : ReadPrefsFile(dir.File("prefs.js"))) got += key + "=" + value + ";";
  EXPECT_EQ(got, "a=x\"y\\z\n\xC3\xA9\xF0\x9F\x98\x80;b=42;c=true;h=;");
  EXPECT_TRUE(ReadPrefsFile(dir.File("missing.js")).empty());
}

TEST(MailImportTest, ImportStoresTheAccountAsTheMailSettings) {
  test::TestApp t;
  EXPECT_TRUE(MailSettingsUnset(t.app));
  const std::vector<FoundMailAccount> found = FindMailAccounts(kHome);
  ASSERT_GE(found.size(), 2u);
  ImportMailAccount(t.app, found[0]);
  EXPECT_FALSE(MailSettingsUnset(t.app));
  const std::string profile = test::ReadFile(t.app.ProfilePath());
  for (const char* line : {"pop3-server=pop.pop.example", "smtp-server=smtp.pop.example", "pop3-account=bob\\home",
                           "e-address=bob@pop.example", "POP3Security=2", "POP3Port=995", "SMTPSecurity=2",
                           "SMTPPort=465"}) {
    EXPECT_NE(profile.find(line), std::string::npos) << line << " missing from\n" << profile;
  }
  EXPECT_EQ(t.app.GetString("email", "name", ""), "Bob \"The Builder\" M\xC3\xBCller");
  ImportMailAccount(t.app, found[1]);
  EXPECT_EQ(t.app.GetString("email", "pop3-server", ""), "imap.imap.example");
  EXPECT_EQ(t.app.GetInt("email", "POP3Port", 0), 995);
  EXPECT_EQ(t.app.GetString("email", "name", ""), "?");
  EXPECT_EQ(t.app.GetInt("email", "SMTPPort", 0), 587);
}

}  // namespace
}  // namespace vyr
