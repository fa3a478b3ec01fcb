#pragma once
// The mail accounts: the main POP3 account with the mail options, and up to
// three extra POP3 accounts. Loading, the checks the settings dialogs make
// before saving, and saving, without the dialogs: the windows show these
// values and call Save with what the user entered.
#include <array>
#include <string>

#include "base/settings_table.h"

namespace vyr {

class Application;

// Unset text settings of the mail dialogs read as kUnsetText ("?"), which
// every check treats like an empty value.
inline constexpr int kExtraAccounts = 3;

// A profile that never stored a value reads as these.
struct MailSettings {
  std::string account = kUnsetText;      // "pop3-account"
  std::string address = kUnsetText;      // "e-address"
  std::string name = kUnsetText;         // "name"
  std::string pop3Server = kUnsetText;   // "pop3-server"
  std::string smtpServer = kUnsetText;   // "smtp-server"
  std::string password;                  // "pop3-pass", deciphered
  bool leaveOnServer = kEmailDeleteMessages.defaultValue == 0;  // inverse of "delete-messages"
  bool useMail = kEmailUseVyrMail.defaultValue == 1;            // "UseVyrMail" is exactly 1
  bool checkAtStartup = kStartupCheckMail.defaultValue != 0;    // [Startup] "CheckMail"
  int minutesBetweenChecks = 0;          // "MinutesBetweenChecks"
  bool downloadLink = false;             // "downloadlink"
  bool popupNotification = true;         // "popupnotification"
  int spellCheck = 0;                    // "SpellCheckWhenSending": 0 Prompt, 1 Always, 2 Never
  std::string signature;                 // "Email Signature.txt" in the mail root

  bool PeriodicCheck() const { return minutesBetweenChecks != 0; }
};

struct ExtraAccount {
  std::string account = kUnsetText;  // "multipop%d-account"
  std::string server = kUnsetText;   // "multipop%d-server"
  std::string password;              // "multipop%d-pass", deciphered
  bool active = false;               // "multipop%d"
  bool leaveOnServer = kEmailExtraDeleteMessages.defaultValue == 0;  // inverse of "multipop%d-delete-messages"
};

using ExtraAccounts = std::array<ExtraAccount, kExtraAccounts>;

// What the dialogs ask of the user while saving.
class MailSettingsQuestions {
 public:
  virtual ~MailSettingsQuestions() = default;
  // The account name holds "@": offer to cut it there. True to accept.
  virtual bool OfferAccountCut(const std::string& text, const std::string& title) = 0;
  // A warning that does not stop the saving.
  virtual void Warn(const std::string& text) = 0;
  // An extra account failed its check: keep it active anyway?
  virtual bool KeepInvalidAccountActive(const std::string& text, const std::string& title) = 0;
};

// The stored-password form of a text, and back ("?" or any damaged form
// reads as an empty password).
std::string StoredPassword(const std::string& password);
std::string PasswordFromStored(const std::string& stored);

// "Email Signature.txt" in the mail root.
std::string SignatureFilePath(const Application& app);

MailSettings LoadMailSettings(const Application& app);

// The checks made before saving while mail is switched on: an account name
// holding "@" is offered to be cut there; an empty (or "?") POP3 or SMTP server is
// warned about. They never stop the saving.
void CheckMailSettings(MailSettings& settings, MailSettingsQuestions& questions);

// Plays "save", runs the checks when mail is on, and writes every value in
// the dialog's order. With mail switched off only "MinutesBetweenChecks" = 0
// is written of the two mail switches ("UseVyrMail" stays as it was).
void SaveMailSettings(Application& app, MailSettings settings, MailSettingsQuestions& questions);

ExtraAccounts LoadExtraAccounts(const Application& app);

// The problems of an active extra account ("" when it is valid).
std::string ExtraAccountProblems(const ExtraAccount& account);

// Plays "save"; for each account writes its values, checks an active one
// and asks whether to keep an invalid one active (any answer but yes stores
// it inactive); writes the passwords last.
void SaveExtraAccounts(Application& app, ExtraAccounts accounts, MailSettingsQuestions& questions);

// The address opened by the settings dialog's help button.
std::string MailSettingsHelpAddress(const Application& app);

}  // namespace vyr
