#include "mail/receive/mail_accounts.h"

#include <fstream>
#include <iterator>

#include "base/application.h"
#include "base/cipher.h"
#include "platform/file_system.h"
#include "platform/windows_dir.h"

namespace vyr {

namespace {
constexpr const char* kSpellChoices[] = {"Prompt", "Always", "Never"};

std::string Key(const char* pattern, int n) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, n);
  return text;
}

bool Blank(const std::string& s) { return s.empty() || s == kUnsetText; }
}  // namespace

std::string StoredPassword(const std::string& password) { return EncipherText(password); }

std::string PasswordFromStored(const std::string& stored) {
  std::string plain;
  return DecipherText(stored, plain) ? plain : std::string();
}

std::string SignatureFilePath(const Application& app) {
  std::string root = app.GetDataDirectory("email", true);
  return root.empty() ? std::string() : platform::JoinPath(root, "Email Signature.txt");
}

MailSettings LoadMailSettings(const Application& app) {
  MailSettings s;
  s.account = app.GetString("email", "pop3-account", kUnsetText);
  s.address = app.GetString("email", "e-address", kUnsetText);
  s.name = app.GetString("email", "name", kUnsetText);
  s.pop3Server = app.GetString("email", "pop3-server", kUnsetText);
  s.smtpServer = app.GetString("email", "smtp-server", kUnsetText);
  s.leaveOnServer = app.GetInt("email", "delete-messages", 1) == 0;
  s.useMail = app.GetInt("email", "UseVyrMail", 1) == 1;
  s.checkAtStartup = app.GetInt("Startup", "CheckMail", 1) != 0;
  s.minutesBetweenChecks = app.GetInt("email", "MinutesBetweenChecks", 0);
  s.downloadLink = app.GetInt("email", "downloadlink", 0) != 0;
  s.popupNotification = app.GetInt("email", "popupnotification", 1) != 0;
  std::string spell = app.GetString("email", "SpellCheckWhenSending", "Prompt");
  s.spellCheck = spell == "Always" ? 1 : spell == "Never" ? 2 : 0;
  std::string path = SignatureFilePath(app);
  if (!path.empty()) {
    std::ifstream in(path, std::ios::binary);
    s.signature.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  s.password = PasswordFromStored(app.GetString("email", "pop3-pass", kUnsetText));
  return s;
}

void CheckMailSettings(MailSettings& s, MailSettingsQuestions& questions) {
  size_t at = s.account.find('@');
  if (at != std::string::npos) {
    const std::string proposed = s.account.substr(0, at);
    const std::string text =
        "Your POP3 account is normally the part of your e-mail address before the \"@\".\n"
        "For the address jane.doe@mail.example the account is jane.doe.\n\n"
        "Do you want to change the account to [" + proposed + "] ?";
    if (questions.OfferAccountCut(text, "Invalid account !")) s.account = proposed;
  }
  // A field left at "?" was never filled in: warned about like an empty one.
  if (Blank(s.pop3Server)) {
    questions.Warn("Your setting for POP server does not appear to be valid.\n\n"
                   "You may have a problem receiving mail");
  }
  if (Blank(s.smtpServer)) {
    questions.Warn("Your setting for SMTP server does not appear to be valid.\n\n"
                   "You may have a problem sending mail ");
  }
}

void SaveMailSettings(Application& app, MailSettings s, MailSettingsQuestions& questions) {
  app.PlaySound("save", 0, true);
  if (s.useMail) CheckMailSettings(s, questions);
  app.WriteInt("Startup", "CheckMail", s.checkAtStartup ? 1 : 0);
  app.WriteString("email", "e-address", s.address);
  app.WriteString("email", "name", s.name);
  app.WriteString("email", "pop3-pass", StoredPassword(s.password));
  app.WriteString("email", "pop3-account", s.account);
  app.WriteString("email", "pop3-server", s.pop3Server);
  app.WriteString("email", "smtp-server", s.smtpServer);
  app.WriteInt("email", "delete-messages", s.leaveOnServer ? 0 : 1);
  app.WriteInt("email", "downloadlink", s.downloadLink ? 1 : 0);
  app.WriteInt("email", "popupnotification", s.popupNotification ? 1 : 0);
  int spell = (s.spellCheck >= 0 && s.spellCheck <= 2) ? s.spellCheck : 0;
  app.WriteString("email", "SpellCheckWhenSending", kSpellChoices[spell]);
  std::string path = SignatureFilePath(app);
  if (!path.empty()) platform::WriteFileAtomically(path, s.signature);
  if (s.useMail) {
    app.WriteInt("email", "UseVyrMail", 1);
    app.WriteInt("email", "MinutesBetweenChecks", s.minutesBetweenChecks);
  } else {
    app.WriteInt("email", "MinutesBetweenChecks", 0);
  }
}

ExtraAccounts LoadExtraAccounts(const Application& app) {
  ExtraAccounts accounts;
  for (int n = 1; n <= kExtraAccounts; ++n) {
    ExtraAccount& a = accounts[static_cast<size_t>(n - 1)];
    a.account = app.GetString("email", Key("multipop%d-account", n), kUnsetText);
    a.active = app.GetInt("email", Key("multipop%d", n), 0) != 0;
    a.server = app.GetString("email", Key("multipop%d-server", n), kUnsetText);
    a.leaveOnServer = app.GetInt("email", Key("multipop%d-delete-messages", n), 1) == 0;
    a.password = PasswordFromStored(app.GetString("email", Key("multipop%d-pass", n), kUnsetText));
  }
  return accounts;
}

std::string ExtraAccountProblems(const ExtraAccount& a) {
  std::string problems;
  if (Blank(a.account) || a.account.find('@') != std::string::npos) {
    problems += a.account + " does not appear to be a valid POP user account";
  }
  if (Blank(a.server) || a.server.find('.') == std::string::npos) {
    if (!problems.empty()) problems += "\n";
    problems += a.server + " does not appear to be a valid POP server";
  }
  return problems;
}

void SaveExtraAccounts(Application& app, ExtraAccounts accounts, MailSettingsQuestions& questions) {
  app.PlaySound("save", 0, true);
  for (int n = 1; n <= kExtraAccounts; ++n) {
    ExtraAccount& a = accounts[static_cast<size_t>(n - 1)];
    app.WriteString("email", Key("multipop%d-account", n), a.account);
    app.WriteString("email", Key("multipop%d-server", n), a.server);
    app.WriteInt("email", Key("multipop%d-delete-messages", n), a.leaveOnServer ? 0 : 1);
    if (a.active) {
      std::string problems = ExtraAccountProblems(a);
      if (!problems.empty()) {
        questions.Warn(problems);
        std::string text = "Do you still want to activate this account?\r\n\r\nUsername:" + a.account +
                           "\r\nPOP Server:" + a.server;
        a.active = questions.KeepInvalidAccountActive(text, Key("Multi-POP %d", n));
      }
    }
    app.WriteInt("email", Key("multipop%d", n), a.active ? 1 : 0);
  }
  for (int n = 1; n <= kExtraAccounts; ++n) {
    app.WriteString("email", Key("multipop%d-pass", n),
                    StoredPassword(accounts[static_cast<size_t>(n - 1)].password));
  }
}

std::string MailSettingsHelpAddress(const Application& app) {
  return app.GetString("Email", "setuphelp", app.HomeServerUrl("/help/emailsettings.html"));
}

}  // namespace vyr
