#pragma once
// Other mail programs' account settings, found on this machine and offered
// to the mail settings so that the servers, the user name and the address
// need not be typed.
//
// Where they are looked for, in this order:
//  - Thunderbird: every profile of profiles.ini (or, without one, every
//    sub-folder holding prefs.js) under ~/.thunderbird, the snap's
//    ~/snap/thunderbird/common/.thunderbird and the flatpak's
//    ~/.var/app/org.mozilla.Thunderbird/.thunderbird; each POP3 or IMAP
//    account of the profile's prefs.js is one account;
//  - the Windows programs run through Wine ($WINEPREFIX, else ~/.wine):
//    Outlook Express and Outlook accounts in the prefix's user.reg, Eudora's
//    Eudora.ini, Pegasus Mail's Pmail.ini and Netscape's prefs.js of every
//    user, each in its default installation folder on drive C: (Netscape
//    also on D:).
// Missing folders, files and values are passed over without a word; a file
// that holds none of the values gives no account.
#include <string>
#include <utility>
#include <vector>

namespace vyr {

class Application;

// One account found. Security and port are those of the mail settings
// (security 0 none, 1 STARTTLS, 2 TLS from the first byte; -1 and 0: not
// known, the settings keep their own).
struct FoundMailAccount {
  std::string label;           // "Thunderbird - bob@example.org"
  std::string outgoingServer;  // SMTP
  std::string incomingServer;  // POP3 (or IMAP)
  std::string userName;        // on the incoming server
  std::string displayName;
  std::string address;
  bool imap = false;           // the incoming server is an IMAP one
  int incomingSecurity = -1, incomingPort = 0;
  int outgoingSecurity = -1, outgoingPort = 0;
};

// Every account of every source under the home folder (and the Wine
// prefix; empty: <home>/.wine).
std::vector<FoundMailAccount> FindMailAccounts(const std::string& home, const std::string& winePrefix = {});
// The same for the user's own home ($HOME) and Wine prefix ($WINEPREFIX).
std::vector<FoundMailAccount> FindMailAccounts();

// The values of one prefs.js: each `user_pref("key", value);` line's key and
// value, the value's string escapes undone (\" \\ \n \uXXXX...), a number
// or true/false as written. A line whose string is not closed, or that has
// no closing `)`, is skipped; the first line of a key counts.
std::vector<std::pair<std::string, std::string>> ReadPrefsFile(const std::string& path);

// The mail settings are still unset: no incoming server was ever stored.
bool MailSettingsUnset(const Application& app);

// Stores the account as the mail settings: incoming and outgoing server,
// user name, address and name, and the security and port where known.
// False when the settings cannot be written.
bool ImportMailAccount(Application& app, const FoundMailAccount& account);

}  // namespace vyr
