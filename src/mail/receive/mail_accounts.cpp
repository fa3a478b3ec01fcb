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

std::string Numbered(const char* pattern, int n) {
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
  s.account = app.Get(kEmailPop3Account);
  s.address = app.Get(kEmailAddress);
  s.name = app.Get(kEmailName);
  s.pop3Server = app.Get(kEmailPop3Server);
  s.smtpServer = app.Get(kEmailSmtpServer);
  s.leaveOnServer = !app.IsOn(kEmailDeleteMessages);
  s.useMail = app.Get(kEmailUseVyrMail) == 1;
  s.checkAtStartup = app.IsOn(kStartupCheckMail);
  s.minutesBetweenChecks = app.Get(kEmailMinutesBetweenChecks);
  s.downloadLink = app.IsOn(kEmailDownloadLink);
  s.popupNotification = app.IsOn(kEmailPopupNotification);
  std::string spell = app.Get(kEmailSpellCheck);
  s.spellCheck = spell == "Always" ? 1 : spell == "Never" ? 2 : 0;
  std::string path = SignatureFilePath(app);
  if (!path.empty()) {
    std::ifstream in(path, std::ios::binary);
    s.signature.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  s.password = PasswordFromStored(app.Get(kEmailPop3Password));
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
  app.Write(kStartupCheckMail, s.checkAtStartup ? 1 : 0);
  app.Write(kEmailAddress, s.address);
  app.Write(kEmailName, s.name);
  app.Write(kEmailPop3Password, StoredPassword(s.password));
  app.Write(kEmailPop3Account, s.account);
  app.Write(kEmailPop3Server, s.pop3Server);
  app.Write(kEmailSmtpServer, s.smtpServer);
  app.Write(kEmailDeleteMessages, s.leaveOnServer ? 0 : 1);
  app.Write(kEmailDownloadLink, s.downloadLink ? 1 : 0);
  app.Write(kEmailPopupNotification, s.popupNotification ? 1 : 0);
  int spell = (s.spellCheck >= 0 && s.spellCheck <= 2) ? s.spellCheck : 0;
  app.Write(kEmailSpellCheck, kSpellChoices[spell]);
  std::string path = SignatureFilePath(app);
  if (!path.empty()) platform::WriteFileAtomically(path, s.signature);
  if (s.useMail) {
    app.Write(kEmailUseVyrMail, 1);
    app.Write(kEmailMinutesBetweenChecks, s.minutesBetweenChecks);
  } else {
    app.Write(kEmailMinutesBetweenChecks, 0);
  }
}

ExtraAccounts LoadExtraAccounts(const Application& app) {
  ExtraAccounts accounts;
  for (int n = 1; n <= kExtraAccounts; ++n) {
    ExtraAccount& a = accounts[static_cast<size_t>(n - 1)];
    a.account = app.Get(kEmailExtraAccount.At(n));
    a.active = app.IsOn(kEmailExtraActive.At(n));
    a.server = app.Get(kEmailExtraServer.At(n));
    a.leaveOnServer = !app.IsOn(kEmailExtraDeleteMessages.At(n));
    a.password = PasswordFromStored(app.Get(kEmailExtraPassword.At(n)));
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
    app.Write(kEmailExtraAccount.At(n), a.account);
    app.Write(kEmailExtraServer.At(n), a.server);
    app.Write(kEmailExtraDeleteMessages.At(n), a.leaveOnServer ? 0 : 1);
    if (a.active) {
      std::string problems = ExtraAccountProblems(a);
      if (!problems.empty()) {
        questions.Warn(problems);
        std::string text = "Do you still want to activate this account?\r\n\r\nUsername:" + a.account +
                           "\r\nPOP Server:" + a.server;
        a.active = questions.KeepInvalidAccountActive(text, Numbered("Multi-POP %d", n));
      }
    }
    app.Write(kEmailExtraActive.At(n), a.active ? 1 : 0);
  }
  for (int n = 1; n <= kExtraAccounts; ++n) {
    app.Write(kEmailExtraPassword.At(n), StoredPassword(accounts[static_cast<size_t>(n - 1)].password));
  }
}

std::string MailSettingsHelpAddress(const Application& app) {
  return app.Get(kEmailSetupHelp);
}

}  // namespace vyr
