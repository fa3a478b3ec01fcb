#include "mail/receive/mail_import.h"

#include <cstdlib>
#include <map>

#include "base/application.h"
#include "base/settings_table.h"
#include "mail/body/utf8.h"
#include "platform/file_system.h"
#include "platform/folder_listing.h"
#include "platform/profile_file.h"
#include "platform/text.h"

namespace vyr {

namespace {

using Prefs = std::map<std::string, std::string>;

constexpr std::string_view kBlanks = " \t\r\n";

std::string Trimmed(std::string_view text) { return platform::Trim(text, kBlanks); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the script string that begins at text[at] (its opening quote), its
// escapes undone; `at` moves past the closing quote. False when the string
// is not closed on the line.
bool ReadQuoted(std::string_view text, size_t& at, std::string& out) {
  const char quote = text[at++];
  out.clear();
  while (at < text.size()) {
    const char c = text[at++];
    if (c == quote) return true;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (at >= text.size()) return false;
    const char e = text[at++];
    switch (e) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u':
      case 'x': {
        const size_t digits = e == 'u' ? 4 : 2;
        std::uint32_t cp = 0;
        if (at + digits > text.size()) return false;
        for (size_t i = 0; i < digits; ++i) {
          const int v = HexValue(text[at + i]);
          if (v < 0) return false;
          cp = cp * 16 + static_cast<std::uint32_t>(v);
        }
        at += digits;
        // A pair of surrogates is one character.
        if (cp >= 0xD800 && cp < 0xDC00 && at + 6 <= text.size() && text[at] == '\\' && text[at + 1] == 'u') {
          std::uint32_t low = 0;
          bool ok = true;
          for (size_t i = 0; i < 4 && ok; ++i) {
            const int v = HexValue(text[at + 2 + i]);
            ok = v >= 0;
            low = low * 16 + static_cast<std::uint32_t>(v < 0 ? 0 : v);
          }
          if (ok && low >= 0xDC00 && low < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            at += 6;
          }
        }
        if (cp >= 0xD800 && cp < 0xE000) cp = 0xFFFD;  // a lone half is no character
        AppendUtf8(out, cp);
        break;
      }
      default: out += e; break;  // \" \' \\ and any other escaped character
    }
  }
  return false;
}

// One `user_pref("key", value);` line, or false.
bool ReadPrefLine(std::string_view line, std::string& key, std::string& value) {
  line = platform::TrimView(line, kBlanks);
  constexpr std::string_view kStart = "user_pref(";
  if (!line.starts_with(kStart)) return false;
  size_t at = kStart.size();
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  if (at >= line.size() || line[at] != '"' || !ReadQuoted(line, at, key)) return false;
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  if (at >= line.size() || line[at] != ',') return false;
  ++at;
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  if (at >= line.size()) return false;
  if (line[at] == '"' || line[at] == '\'') {
    if (!ReadQuoted(line, at, value)) return false;
  } else {
    const size_t end = line.find(')', at);
    if (end == std::string_view::npos) return false;
    value = Trimmed(line.substr(at, end - at));
    at = end;
  }
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  return at < line.size() && line[at] == ')';
}

Prefs PrefsOf(const std::string& path) {
  Prefs prefs;
  for (auto& [key, value] : ReadPrefsFile(path)) prefs.emplace(std::move(key), std::move(value));
  return prefs;
}

std::string Pref(const Prefs& prefs, const std::string& key) {
  const auto it = prefs.find(key);
  return it == prefs.end() ? std::string() : it->second;
}

int PrefInt(const Prefs& prefs, const std::string& key) {
  return platform::ParseProfileInt(Pref(prefs, key)).value_or(0);
}

std::vector<std::string> List(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    if (std::string item = Trimmed(text.substr(start, end - start)); !item.empty()) items.push_back(item);
    start = end + 1;
  }
  return items;
}

// Thunderbird's connection kinds (0 plain, 2 STARTTLS, 3 TLS) as the
// settings' security; -1 when not written.
int SecurityOf(const Prefs& prefs, const std::string& key) {
  if (prefs.find(key) == prefs.end()) return -1;
  switch (PrefInt(prefs, key)) {
    case 2: return 1;
    case 3: return 2;
    default: return 0;
  }
}

// The mail accounts of one Thunderbird profile.
void ReadThunderbirdProfile(const std::string& folder, std::vector<FoundMailAccount>& found) {
  const Prefs prefs = PrefsOf(folder + "/prefs.js");
  if (prefs.empty()) return;
  const std::string defaultSmtp = Pref(prefs, "mail.smtp.defaultserver");
  for (const std::string& account : List(Pref(prefs, "mail.accountmanager.accounts"))) {
    const std::string server = Pref(prefs, "mail.account." + account + ".server");
    if (server.empty()) continue;
    const std::string s = "mail.server." + server + ".";
    const std::string type = Pref(prefs, s + "type");
    if (type != "pop3" && type != "imap") continue;  // local folders, news, feeds
    FoundMailAccount a;
    a.imap = type == "imap";
    a.incomingServer = Trimmed(Pref(prefs, s + "hostname"));
    a.userName = Trimmed(Pref(prefs, s + "userName"));
    if (!a.imap) {
      a.incomingPort = PrefInt(prefs, s + "port");
      a.incomingSecurity = SecurityOf(prefs, s + "socketType");
    }
    const std::vector<std::string> identities = List(Pref(prefs, "mail.account." + account + ".identities"));
    std::string smtp = defaultSmtp;
    if (!identities.empty()) {
      const std::string i = "mail.identity." + identities.front() + ".";
      a.displayName = Trimmed(Pref(prefs, i + "fullName"));
      a.address = Trimmed(Pref(prefs, i + "useremail"));
      if (const std::string own = Pref(prefs, i + "smtpServer"); !own.empty()) smtp = own;
    }
    if (!smtp.empty()) {
      const std::string o = "mail.smtpserver." + smtp + ".";
      a.outgoingServer = Trimmed(Pref(prefs, o + "hostname"));
      a.outgoingPort = PrefInt(prefs, o + "port");
      a.outgoingSecurity = SecurityOf(prefs, o + "try_ssl");
    }
    if (a.incomingServer.empty() && a.address.empty()) continue;
    a.label = "Thunderbird - " + (a.address.empty() ? a.incomingServer : a.address) + (a.imap ? " (IMAP)" : "");
    found.push_back(std::move(a));
  }
}

// The profile folders of one Thunderbird folder: those profiles.ini names
// (relative ones inside it), else every sub-folder with a prefs.js.
std::vector<std::string> ThunderbirdProfiles(const std::string& root) {
  std::vector<std::string> folders;
  const std::string ini = root + "/profiles.ini";
  if (platform::FileExists(ini)) {
    for (const std::string& section : platform::ReadProfileSectionNames(ini)) {
      if (!platform::StartsWithNoCase(section, "Profile")) continue;
      // Thunderbird's own file, not a settings file of this program.
      std::string path, isRelative = "1";
      for (const auto& [key, value] : platform::ReadProfileSection(ini, section)) {
        if (platform::EqualsNoCase(key, "Path")) path = Trimmed(value);
        if (platform::EqualsNoCase(key, "IsRelative")) isRelative = Trimmed(value);
      }
      if (path.empty()) continue;
      const bool relative = isRelative != "0" && path[0] != '/';
      const std::string folder = relative ? root + "/" + path : path;
      bool seen = false;
      for (const std::string& f : folders) seen = seen || f == folder;
      if (!seen) folders.push_back(folder);
    }
    return folders;
  }
  for (const std::string& name : platform::ListSubfolders(root)) {
    if (platform::FileExists(root + "/" + name + "/prefs.js")) folders.push_back(root + "/" + name);
  }
  return folders;
}

// --- the Windows programs under Wine ------------------------------------------------------

// One value of a Wine registry file: "name"="text" with the file's escapes.
bool ReadRegistryValue(std::string_view line, std::string& name, std::string& value) {
  size_t at = 0;
  if (line.empty() || line[0] != '"' || !ReadQuoted(line, at, name)) return false;
  if (at >= line.size() || line[at] != '=') return false;
  ++at;
  if (line.substr(at).starts_with("str(2):")) at += 7;  // a string with variables: kept as written
  return at < line.size() && line[at] == '"' && ReadQuoted(line, at, value);
}

// The accounts of Outlook Express and Outlook in the prefix's user.reg: each
// key right under the accounts key is one account.
void ReadRegistryAccounts(const std::string& userReg, const std::string& accountsKey, const std::string& label,
                          std::vector<FoundMailAccount>& found) {
  std::string text;
  if (!platform::ReadWholeFile(userReg, text)) return;
  // The file doubles each backslash of a key name.
  std::string prefix;
  for (char c : accountsKey) prefix += c == '\\' ? std::string("\\\\") : std::string(1, c);
  prefix = platform::AsciiLower("[" + prefix + "\\\\");
  std::map<std::string, std::string>* values = nullptr;
  std::vector<std::map<std::string, std::string>> accounts;
  for (const std::string& raw : platform::SplitLines(text)) {
    const std::string line = Trimmed(raw);
    if (!line.empty() && line[0] == '[') {
      values = nullptr;
      const std::string lower = platform::AsciiLower(line);
      const size_t close = lower.find(']');
      if (lower.starts_with(prefix) && close != std::string::npos &&
          lower.substr(prefix.size(), close - prefix.size()).find("\\\\") == std::string::npos) {
        values = &accounts.emplace_back();
      }
      continue;
    }
    std::string name, value;
    if (values && ReadRegistryValue(line, name, value)) values->emplace(platform::AsciiLower(name), value);
  }
  for (const auto& v : accounts) {
    auto get = [&v](const char* name) {
      const auto it = v.find(name);
      return it == v.end() ? std::string() : Trimmed(it->second);
    };
    FoundMailAccount a;
    a.outgoingServer = get("smtp server");
    // The POP3 server and its user name win over the IMAP ones.
    a.incomingServer = get("pop3 server");
    a.userName = get("pop3 user name");
    if (a.incomingServer.empty()) {
      a.incomingServer = get("imap server");
      a.imap = !a.incomingServer.empty();
    }
    if (a.userName.empty()) a.userName = get("imap user name");
    a.displayName = get("smtp display name");
    a.address = get("smtp email address");
    if (a.outgoingServer.empty() && a.incomingServer.empty() && a.userName.empty() && a.displayName.empty() &&
        a.address.empty()) {
      continue;
    }
    a.label = label + (a.address.empty() ? a.incomingServer : a.address);
    found.push_back(std::move(a));
  }
}

// An account of an ini file's section when any of its values is there.
void ReadIniAccount(const std::string& path, const std::string& section, const std::string& label,
                    const char* incoming, const char* outgoing, const char* address, const char* name,
                    const char* user, std::vector<FoundMailAccount>& found) {
  if (!platform::FileExists(path)) return;
  // Values as the system's string read gives them, in its buffer of 256.
  auto get = [&](const char* key) { return Trimmed(platform::GetPrivateProfileString(section, key, "", path, 256)); };
  FoundMailAccount a;
  a.incomingServer = get(incoming);
  a.outgoingServer = get(outgoing);
  a.address = get(address);
  a.displayName = get(name);
  a.userName = get(user);
  if (a.incomingServer.empty() && a.outgoingServer.empty() && a.address.empty() && a.displayName.empty() &&
      a.userName.empty()) {
    return;
  }
  a.label = label + (a.address.empty() ? a.incomingServer : a.address);
  found.push_back(std::move(a));
}

void ReadNetscapeUsers(const std::string& drive, std::vector<FoundMailAccount>& found) {
  const std::string users = drive + "/Program Files/Netscape/Users";
  for (const std::string& user : platform::ListSubfolders(users)) {
    const Prefs prefs = PrefsOf(users + "/" + user + "/prefs.js");
    FoundMailAccount a;
    a.incomingServer = Trimmed(Pref(prefs, "network.hosts.pop_server"));
    a.outgoingServer = Trimmed(Pref(prefs, "network.hosts.smtp_server"));
    a.address = Trimmed(Pref(prefs, "mail.identity.useremail"));
    a.displayName = Trimmed(Pref(prefs, "mail.identity.username"));
    a.userName = Trimmed(Pref(prefs, "mail.pop_name"));
    if (a.incomingServer.empty() && a.outgoingServer.empty() && a.address.empty() && a.displayName.empty() &&
        a.userName.empty()) {
      continue;
    }
    a.label = "Netscape Mail - " + (a.address.empty() ? a.incomingServer : a.address);
    found.push_back(std::move(a));
  }
}

void ReadWinePrefix(const std::string& prefix, std::vector<FoundMailAccount>& found) {
  if (!platform::DirectoryExists(prefix)) return;
  const std::string userReg = prefix + "/user.reg";
  ReadRegistryAccounts(userReg, "Software\\Microsoft\\Internet Account Manager\\Accounts", "Outlook Express - ",
                       found);
  ReadRegistryAccounts(userReg, "Software\\Microsoft\\Office\\8.0\\Outlook\\OMI Account Manager\\Accounts",
                       "Outlook - ", found);
  const std::string c = prefix + "/drive_c";
  ReadIniAccount(c + "/Program Files/Qualcomm/Eudora Mail/Eudora.ini", "Settings", "Eudora 4.0 - ", "PopServer",
                 "SMTPServer", "ReturnAddress", "RealName", "LoginName", found);
  ReadIniAccount(c + "/PMAIL/MAIL/Pmail.ini", "Pegasus Mail for Windows - built-in TCP/IP Mail", "Pegasus Mail - ",
                 "Host where POP3 mail account is located", "SMTP relay host for outgoing mail",
                 "Alternative From: field for message", "POP3 mail account (username on host)",
                 "POP3 mail account (username on host)", found);
  const size_t before = found.size();
  ReadNetscapeUsers(c, found);
  if (found.size() == before) ReadNetscapeUsers(prefix + "/dosdevices/d:", found);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ReadPrefsFile(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> values;
  std::string text;
  if (!platform::ReadWholeFile(path, text)) return values;
  std::map<std::string, bool> seen;
  for (const std::string& line : platform::SplitLines(text)) {
    std::string key, value;
    if (!ReadPrefLine(line, key, value) || seen[key]) continue;
    seen[key] = true;
    values.emplace_back(std::move(key), std::move(value));
  }
  return values;
}

std::vector<FoundMailAccount> FindMailAccounts(const std::string& home, const std::string& winePrefix) {
  std::vector<FoundMailAccount> found;
  if (home.empty() || home[0] != '/') return found;
  for (const char* place :
       {"/.thunderbird", "/snap/thunderbird/common/.thunderbird", "/.var/app/org.mozilla.Thunderbird/.thunderbird"}) {
    for (const std::string& profile : ThunderbirdProfiles(home + place)) ReadThunderbirdProfile(profile, found);
  }
  ReadWinePrefix(winePrefix.empty() ? home + "/.wine" : winePrefix, found);
  return found;
}

std::vector<FoundMailAccount> FindMailAccounts() {
  const char* home = std::getenv("HOME");
  const char* wine = std::getenv("WINEPREFIX");
  return FindMailAccounts(home ? home : "", wine && wine[0] == '/' ? wine : "");
}

bool MailSettingsUnset(const Application& app) {
  const std::string server = Trimmed(app.Get(kEmailPop3Server));
  return server.empty() || server == kUnsetText;
}

bool ImportMailAccount(Application& app, const FoundMailAccount& account) {
  // Each value is stored as found; one the source lacked stays unset.
  auto text = [](const std::string& value) { return value.empty() ? std::string(kUnsetText) : value; };
  app.Write(kEmailPop3Server, text(account.incomingServer));
  app.Write(kEmailSmtpServer, text(account.outgoingServer));
  app.Write(kEmailPop3Account, text(account.userName));
  app.Write(kEmailAddress, text(account.address));
  app.Write(kEmailName, text(account.displayName));
  if (account.incomingSecurity >= 0) app.Write(kEmailPop3Security, account.incomingSecurity);
  if (account.incomingPort > 0) app.Write(kEmailPop3Port, account.incomingPort);
  if (account.outgoingSecurity >= 0) app.Write(kEmailSmtpSecurity, account.outgoingSecurity);
  if (account.outgoingPort > 0) app.Write(kEmailSmtpPort, account.outgoingPort);
  return app.Get(kEmailPop3Server) == text(account.incomingServer);
}

}  // namespace vyr
