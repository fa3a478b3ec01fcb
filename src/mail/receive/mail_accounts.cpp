#include "mail/receive/mail_accounts.h"

#include <fstream>
#include <iterator>

#include "base/application.h"
#include "base/cipher.h"
#include "platform/file_system.h"
#include "platform/secret_store.h"
#include "platform/string_table.h"
#include "platform/windows_dir.h"
#include "platform/text.h"

namespace vyr {

namespace {
constexpr const char* kSpellChoices[] = {"Prompt", "Always", "Never"};

// Why the settings cannot be saved ("%s": the server, or the account's
// name while it has none).
constexpr platform::TextId kBadSecuritySettingText{41401};
constexpr platform::TextId kBadPortText{41402};
constexpr platform::TextId kUnencryptedPasswordText{41403};
constexpr platform::TextId kIncomingServerName{41404};
constexpr platform::TextId kOutgoingServerName{41405};

std::string Numbered(const char* pattern, int n) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, n);
  return text;
}

bool Blank(const std::string& s) { return s.empty() || s == kUnsetText; }

std::string Fill(const platform::TextId& id, const std::string& value) {
  return platform::FillPlaceholders(id.Text(), {value});
}

// The server's name in a refusal, or what the account is while it has none.
std::string Named(const std::string& server, const std::string& otherwise) {
  return Blank(server) ? otherwise : server;
}

bool ValidPort(int port) { return port >= 1 && port <= 65535; }

// A security value read from the profile: as stored when the key is there;
// else TLS for an account not yet set up and none for one that is (that is
// how the check has always connected to it).
int StoredSecurity(const Application& app, const SettingMember<IntSetting>& setting, const std::string& server) {
  return app.GetOr(setting, Blank(server) ? static_cast<int>(kSecurityTls) : static_cast<int>(kSecurityNone));
}

class DesktopSecretKeyring : public PasswordKeyring {
 public:
  bool Store(const std::string& owner, const std::string& name, const std::string& password) override {
    return platform::StoreSecret(owner, name, "Vyrelle mail password (" + name + ")", password) ==
           platform::SecretAnswer::kDone;
  }
  bool Find(const std::string& owner, const std::string& name, std::string& password) override {
    return platform::LookUpSecret(owner, name, password) == platform::SecretAnswer::kDone;
  }
  void Forget(const std::string& owner, const std::string& name) override { platform::RemoveSecret(owner, name); }
};

PasswordKeyring* gKeyring = &DesktopKeyring();

std::string KeyringName(const SettingMember<StringSetting>& setting) {
  return std::string(setting.Setting().section) + "/" + setting.Key();
}

}  // namespace

int DefaultPop3Port(int security) { return security == kSecurityTls ? 995 : kEmailPop3Port.defaultValue; }
int DefaultSmtpPort(int security) { return security == kSecurityTls ? 465 : kEmailSmtpPort.defaultValue; }

PasswordKeyring& DesktopKeyring() {
  static DesktopSecretKeyring keyring;
  return keyring;
}

PasswordKeyring* SetPasswordKeyring(PasswordKeyring* keyring) {
  PasswordKeyring* before = gKeyring;
  gKeyring = keyring;
  return before;
}

std::string StoredPassword(const std::string& password) { return EncipherText(password); }

std::string PasswordFromStored(const std::string& stored) {
  std::string plain;
  return DecipherText(stored, plain) ? plain : std::string();
}

std::string LoadPassword(const Application& app, const SettingMember<StringSetting>& setting) {
  const std::string stored = app.Get(setting);
  if (stored != kKeyringMarker) return PasswordFromStored(stored);
  std::string password;
  if (gKeyring && gKeyring->Find(app.ProfilePath(), KeyringName(setting), password)) return password;
  return {};  // the keyring is gone or lost it: the check asks again
}

void SavePassword(const Application& app, const SettingMember<StringSetting>& setting, const std::string& password,
                  bool emptyIsUnset) {
  const std::string owner = app.ProfilePath(), name = KeyringName(setting);
  if (password.empty()) {
    if (gKeyring && app.Get(setting) == kKeyringMarker) gKeyring->Forget(owner, name);
    app.Write(setting, emptyIsUnset ? std::string(kUnsetText) : StoredPassword(password));
    return;
  }
  if (gKeyring && gKeyring->Store(owner, name, password)) {
    app.Write(setting, kKeyringMarker);
  } else {
    app.Write(setting, StoredPassword(password));
  }
}

std::string SmtpLogInPassword(const Application& app) {
  const std::string stored = app.Get(kEmailSmtpPassword);
  if (stored.empty() || stored == kUnsetText) return LoadPassword(app, kEmailPop3Password);
  return LoadPassword(app, kEmailSmtpPassword);
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
  s.password = LoadPassword(app, kEmailPop3Password);
  s.pop3Security = StoredSecurity(app, kEmailPop3Security, s.pop3Server);
  s.pop3Port = app.GetOr(kEmailPop3Port, DefaultPop3Port(s.pop3Security));
  s.smtpSecurity = StoredSecurity(app, kEmailSmtpSecurity, s.smtpServer);
  s.smtpPort = app.GetOr(kEmailSmtpPort, DefaultSmtpPort(s.smtpSecurity));
  s.smtpLogIn = app.Get(kEmailSmtpAuth) == 1;
  s.smtpUser = app.Get(kEmailSmtpUser);
  if (s.smtpUser == kUnsetText) s.smtpUser.clear();
  const std::string smtpStored = app.Get(kEmailSmtpPassword);
  if (!smtpStored.empty() && smtpStored != kUnsetText) s.smtpPassword = LoadPassword(app, kEmailSmtpPassword);
  s.sendPasswordUnencrypted = app.IsOn(kEmailSendPasswordUnencrypted);
  return s;
}

std::string MailSettingsRefusal(const MailSettings& s) {
  if (!s.useMail) return {};
  const std::string incoming = Named(s.pop3Server, kIncomingServerName.Text());
  const std::string outgoing = Named(s.smtpServer, kOutgoingServerName.Text());
  if (!IsMailSecurity(s.pop3Security)) return Fill(kBadSecuritySettingText, incoming);
  if (!IsMailSecurity(s.smtpSecurity)) return Fill(kBadSecuritySettingText, outgoing);
  if (!ValidPort(s.pop3Port)) return Fill(kBadPortText, incoming);
  if (!ValidPort(s.smtpPort)) return Fill(kBadPortText, outgoing);
  if (!s.sendPasswordUnencrypted) {
    if (s.pop3Security == kSecurityNone) return Fill(kUnencryptedPasswordText, incoming);
    if (s.smtpLogIn && s.smtpSecurity == kSecurityNone) return Fill(kUnencryptedPasswordText, outgoing);
  }
  return {};
}

void CheckMailSettings(const MailSettings& s, MailSettingsQuestions& questions) {
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

std::string SaveMailSettings(Application& app, MailSettings s, MailSettingsQuestions& questions) {
  if (std::string refusal = MailSettingsRefusal(s); !refusal.empty()) return refusal;
  app.PlaySound("save", 0, true);
  if (s.useMail) CheckMailSettings(s, questions);
  app.Write(kStartupCheckMail, s.checkAtStartup ? 1 : 0);
  app.Write(kEmailAddress, s.address);
  app.Write(kEmailName, s.name);
  SavePassword(app, kEmailPop3Password, s.password);
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
    // Written only with mail on: they are refused unless valid.
    app.Write(kEmailPop3Security, s.pop3Security);
    // "POP3Port" serves the extra accounts too: a port that is the chosen
    // security's own is not written, so that each of them keeps its own.
    if (s.pop3Port != DefaultPop3Port(s.pop3Security) || app.GetOr(kEmailPop3Port, -1) != -1) {
      app.Write(kEmailPop3Port, s.pop3Port);
    }
    app.Write(kEmailSmtpSecurity, s.smtpSecurity);
    app.Write(kEmailSmtpPort, s.smtpPort);
    app.Write(kEmailSmtpAuth, s.smtpLogIn ? 1 : 0);
    app.Write(kEmailSmtpUser, s.smtpUser.empty() ? std::string(kUnsetText) : s.smtpUser);
    SavePassword(app, kEmailSmtpPassword, s.smtpPassword, true);
    app.Write(kEmailSendPasswordUnencrypted, s.sendPasswordUnencrypted ? 1 : 0);
  } else {
    app.Write(kEmailMinutesBetweenChecks, 0);
  }
  return {};
}

ExtraAccounts LoadExtraAccounts(const Application& app) {
  ExtraAccounts accounts;
  for (int n = 1; n <= kExtraAccounts; ++n) {
    ExtraAccount& a = accounts[static_cast<size_t>(n - 1)];
    a.account = app.Get(kEmailExtraAccount.At(n));
    a.active = app.IsOn(kEmailExtraActive.At(n));
    a.server = app.Get(kEmailExtraServer.At(n));
    a.leaveOnServer = !app.IsOn(kEmailExtraDeleteMessages.At(n));
    a.password = LoadPassword(app, kEmailExtraPassword.At(n));
    a.security = StoredSecurity(app, kEmailExtraSecurity.At(n), a.server);
  }
  return accounts;
}

std::string ExtraAccountProblems(const ExtraAccount& a) {
  std::string problems;
  if (Blank(a.account)) problems += a.account + " does not appear to be a valid POP user account";
  if (Blank(a.server) || a.server.find('.') == std::string::npos) {
    if (!problems.empty()) problems += "\n";
    problems += a.server + " does not appear to be a valid POP server";
  }
  return problems;
}

std::string ExtraAccountsRefusal(const ExtraAccounts& accounts, bool sendPasswordUnencrypted) {
  for (int n = 1; n <= kExtraAccounts; ++n) {
    const ExtraAccount& a = accounts[static_cast<size_t>(n - 1)];
    if (!a.active) continue;
    const std::string named = Named(a.server, Numbered("Multi-POP %d", n));
    if (!IsMailSecurity(a.security)) return Fill(kBadSecuritySettingText, named);
    if (a.security == kSecurityNone && !sendPasswordUnencrypted) return Fill(kUnencryptedPasswordText, named);
  }
  return {};
}

std::string SaveExtraAccounts(Application& app, ExtraAccounts accounts, bool sendPasswordUnencrypted,
                              MailSettingsQuestions& questions) {
  if (std::string refusal = ExtraAccountsRefusal(accounts, sendPasswordUnencrypted); !refusal.empty()) {
    return refusal;
  }
  app.PlaySound("save", 0, true);
  for (int n = 1; n <= kExtraAccounts; ++n) {
    ExtraAccount& a = accounts[static_cast<size_t>(n - 1)];
    app.Write(kEmailExtraAccount.At(n), a.account);
    app.Write(kEmailExtraServer.At(n), a.server);
    app.Write(kEmailExtraDeleteMessages.At(n), a.leaveOnServer ? 0 : 1);
    // An inactive account's security is kept only when it is one the check
    // knows; an active one has passed the refusal above.
    if (IsMailSecurity(a.security)) app.Write(kEmailExtraSecurity.At(n), a.security);
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
    SavePassword(app, kEmailExtraPassword.At(n), accounts[static_cast<size_t>(n - 1)].password);
  }
  app.Write(kEmailSendPasswordUnencrypted, sendPasswordUnencrypted ? 1 : 0);
  return {};
}

std::string MailSettingsHelpAddress(const Application& app) {
  return app.Get(kEmailSetupHelp);
}

}  // namespace vyr
