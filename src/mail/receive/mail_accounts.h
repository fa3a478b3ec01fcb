#pragma once
// The mail accounts: the main POP3 account with the outgoing server and the
// mail options, and up to three extra POP3 accounts. Loading, the checks the
// settings dialogs make before saving, and saving, without the dialogs: the
// windows show these values and call Save with what the user entered.
//
// Passwords are kept in the desktop's keyring when one answers; the profile
// then holds only kKeyringMarker. Without a keyring the profile holds the
// stored form ("VY01" and hexadecimal digits), which is also read from
// profiles written before.
#include <array>
#include <string>

#include "base/settings_table.h"
#include "mail/receive/mail_connection.h"

namespace vyr {

class Application;

// Unset text settings of the mail dialogs read as kUnsetText ("?"), which
// every check treats like an empty value.
inline constexpr int kExtraAccounts = 3;

// What the profile holds for a password kept in the keyring.
inline constexpr char kKeyringMarker[] = "keyring";

// The port a security choice uses unless another is set.
int DefaultPop3Port(int security);
int DefaultSmtpPort(int security);

// A profile that never stored a value reads as these.
struct MailSettings {
  std::string account = kUnsetText;      // "pop3-account"
  std::string address = kUnsetText;      // "e-address"
  std::string name = kUnsetText;         // "name"
  std::string pop3Server = kUnsetText;   // "pop3-server"
  std::string smtpServer = kUnsetText;   // "smtp-server"
  std::string password;                  // "pop3-pass"
  bool leaveOnServer = kEmailDeleteMessages.defaultValue == 0;  // inverse of "delete-messages"
  bool useMail = kEmailUseVyrMail.defaultValue == 1;            // "UseVyrMail" is exactly 1
  bool checkAtStartup = kStartupCheckMail.defaultValue != 0;    // [Startup] "CheckMail"
  int minutesBetweenChecks = 0;          // "MinutesBetweenChecks"
  bool downloadLink = false;             // "downloadlink"
  bool popupNotification = true;         // "popupnotification"
  int spellCheck = 0;                    // "SpellCheckWhenSending": 0 Prompt, 1 Always, 2 Never
  std::string signature;                 // "Email Signature.txt" in the mail root
  // How the connections are secured (a MailSecurity value) and their ports.
  // An account not yet set up starts with TLS.
  int pop3Security = kSecurityTls;       // "POP3Security"
  int pop3Port = 995;                    // "POP3Port"
  int smtpSecurity = kSecurityTls;       // "SMTPSecurity"
  int smtpPort = 465;                    // "SMTPPort"
  bool smtpLogIn = false;                // "SMTPAuth" is 1
  std::string smtpUser;                  // "SMTPUser"; empty: the POP3 account's
  std::string smtpPassword;              // "SMTPPass"; empty: the POP3 password
  bool sendPasswordUnencrypted = false;  // "SendPasswordUnencrypted"

  bool PeriodicCheck() const { return minutesBetweenChecks != 0; }
};

struct ExtraAccount {
  std::string account = kUnsetText;  // "multipop%d-account"
  std::string server = kUnsetText;   // "multipop%d-server"
  std::string password;              // "multipop%d-pass"
  bool active = false;               // "multipop%d"
  bool leaveOnServer = kEmailExtraDeleteMessages.defaultValue == 0;  // inverse of "multipop%d-delete-messages"
  int security = kSecurityTls;       // "multipop%d-security"
};

using ExtraAccounts = std::array<ExtraAccount, kExtraAccounts>;

// What the dialogs ask of the user while saving.
class MailSettingsQuestions {
 public:
  virtual ~MailSettingsQuestions() = default;
  // A warning that does not stop the saving.
  virtual void Warn(const std::string& text) = 0;
  // An extra account failed its check: keep it active anyway?
  virtual bool KeepInvalidAccountActive(const std::string& text, const std::string& title) = 0;
};

// The keyring passwords are kept in. The program uses the desktop's; a test
// puts its own in place.
class PasswordKeyring {
 public:
  virtual ~PasswordKeyring() = default;
  // owner: the profile the password belongs to; name: its setting. False
  // when no keyring took it.
  virtual bool Store(const std::string& owner, const std::string& name, const std::string& password) = 0;
  // False when no keyring answered or it holds no such password.
  virtual bool Find(const std::string& owner, const std::string& name, std::string& password) = 0;
  virtual void Forget(const std::string& owner, const std::string& name) = 0;
};
// The desktop's keyring (the Secret Service on the session bus).
PasswordKeyring& DesktopKeyring();
// Puts a keyring in place (null: none, the profile keeps every password);
// returns the one it replaces.
PasswordKeyring* SetPasswordKeyring(PasswordKeyring* keyring);

// The stored form of a text, and back ("?" or any damaged form reads as an
// empty password).
std::string StoredPassword(const std::string& password);
std::string PasswordFromStored(const std::string& stored);

// A password setting ("pop3-pass", "multipop%d-pass", "SMTPPass") read from
// where it is kept: the keyring when the profile says so, else the profile's
// stored form.
std::string LoadPassword(const Application& app, const SettingMember<StringSetting>& setting);
// Keeps a password: in the keyring when one takes it (the profile then
// holds kKeyringMarker), else in the profile's stored form. An empty
// password is taken out of the keyring and stored as the empty stored form,
// or as unset ("?") when `emptyIsUnset`.
void SavePassword(const Application& app, const SettingMember<StringSetting>& setting, const std::string& password,
                  bool emptyIsUnset = false);
// The outgoing log-in's password: "SMTPPass", or the main account's while
// that is unset.
std::string SmtpLogInPassword(const Application& app);

// "Email Signature.txt" in the mail root.
std::string SignatureFilePath(const Application& app);

MailSettings LoadMailSettings(const Application& app);

// What keeps the settings from being saved ("" when nothing does): a
// security value other than 0, 1 or 2, a port outside 1 to 65535, or a
// password that would travel without TLS (a POP3 log-in on a plain
// connection, or the outgoing log-in on one) while "send my password
// unencrypted" is not chosen. With mail switched off nothing is refused.
std::string MailSettingsRefusal(const MailSettings& settings);

// The warnings made before saving while mail is switched on: an empty (or
// "?") POP3 or SMTP server. They never stop the saving.
void CheckMailSettings(const MailSettings& settings, MailSettingsQuestions& questions);

// Refuses (returning MailSettingsRefusal's text, nothing written) or plays
// "save", warns when mail is on, and writes every value in the dialog's
// order. With mail switched off only "MinutesBetweenChecks" = 0 is written
// of the two mail switches ("UseVyrMail" stays as it was).
std::string SaveMailSettings(Application& app, MailSettings settings, MailSettingsQuestions& questions);

ExtraAccounts LoadExtraAccounts(const Application& app);

// The problems of an active extra account ("" when it is valid). The full
// address is a valid user name: today's providers use it.
std::string ExtraAccountProblems(const ExtraAccount& account);

// What keeps the extra accounts from being saved: an active one with a
// security value other than 0, 1 or 2, or one logging in on a plain
// connection while "send my password unencrypted" is not chosen.
std::string ExtraAccountsRefusal(const ExtraAccounts& accounts, bool sendPasswordUnencrypted);

// Refuses as ExtraAccountsRefusal does (nothing written), or plays "save";
// for each account writes its values, checks an active one and asks
// whether to keep an invalid one active (any answer but yes stores it
// inactive); writes the passwords last, and the unencrypted choice.
std::string SaveExtraAccounts(Application& app, ExtraAccounts accounts, bool sendPasswordUnencrypted,
                              MailSettingsQuestions& questions);

// The address opened by the settings dialog's help button.
std::string MailSettingsHelpAddress(const Application& app);

}  // namespace vyr
