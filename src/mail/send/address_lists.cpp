#include "mail/send/address_lists.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <filesystem>
#include <memory>
#include <mutex>

#include "base/application.h"
#include "base/message_box.h"
#include "mail/send/mail_address.h"
#include "platform/charset.h"
#include "platform/file_system.h"
#include "platform/windows_dir.h"
#include "platform/text.h"

namespace vyr {

namespace {

namespace fs = std::filesystem;

// Two runs of this process that record addresses at the same moment take
// turns, so that both do not append the same new entry.
std::mutex& ListFileMutex() {
  static std::mutex m;
  return m;
}

std::string MailRootFile(const Application& app, const std::string& name) {
  const std::string root = app.GetDataDirectory("email", true);
  return root.empty() ? std::string() : platform::JoinPath(root, name);
}

std::string ListLine(const std::string& name, const std::string& address) {
  return "\"" + OneLineHeaderValue(name) + "\" <" + OneLineHeaderValue(address) + ">";
}

// --- vCard text ---------------------------------------------------------------------

std::string EscapeValue(const std::string& value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case ',': out += "\\,"; break;
      case ';': out += "\\;"; break;
      case '\n': out += "\\n"; break;
      case '\r': break;
      default: out += c; break;
    }
  }
  return out;
}

std::string UnescapeValue(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      const char next = value[++i];
      out += (next == 'n' || next == 'N') ? '\n' : next;
    } else {
      out += value[i];
    }
  }
  return out;
}

// The parts of a value split at a separator that no backslash escapes.
std::vector<std::string> SplitUnescaped(const std::string& value, char separator) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      parts.back() += value[i];
      parts.back() += value[++i];
    } else if (value[i] == separator) {
      parts.emplace_back();
    } else {
      parts.back() += value[i];
    }
  }
  return parts;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string QuotedPrintableDecoded(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '=' && i + 2 < value.size() && HexDigit(value[i + 1]) >= 0 && HexDigit(value[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(value[i + 1]) * 16 + HexDigit(value[i + 2]));
      i += 2;
    } else if (value[i] == '=' && i + 1 == value.size()) {
      break;  // a soft line break left at the very end
    } else {
      out += value[i];
    }
  }
  return out;
}

// One content line: "[group.]NAME[;param...]:value", the name in upper
// case, the parameters as "KEY=VALUE" (upper-case key; a bare parameter of
// vCard 2.1 such as "PREF" or "QUOTED-PRINTABLE" is its own key).
struct ContentLine {
  std::string name;
  std::vector<std::pair<std::string, std::string>> params;
  std::string value;

  std::string Param(const std::string& key) const {
    for (const auto& [k, v] : params)
      if (k == key) return v;
    return {};
  }
  bool HasParam(const std::string& key) const {
    for (const auto& [k, v] : params)
      if (k == key) return true;
    return false;
  }
  // TYPE=PREF, a bare PREF, or PREF=n; lower ranks come first.
  int PreferenceRank() const {
    if (const std::string pref = Param("PREF"); !pref.empty() && pref.find_first_not_of("0123456789") == std::string::npos)
      return std::min(std::stoi(pref.substr(0, 4)), 100);
    if (HasParam("PREF")) return 1;
    for (const auto& [key, value] : params) {
      if (key != "TYPE") continue;
      for (const std::string& type : SplitUnescaped(platform::AsciiUpper(value), ','))
        if (platform::Trim(type, "\" ") == "PREF") return 1;
    }
    return 101;
  }
  // The value as UTF-8 text, its transfer encoding undone and (for
  // structured values) before escapes are undone.
  std::string RawText() const {
    const std::string encoding = platform::AsciiUpper(Param("ENCODING"));
    const bool qp = encoding == "QUOTED-PRINTABLE" || HasParam("QUOTED-PRINTABLE");
    const std::string bytes = qp ? QuotedPrintableDecoded(value) : value;
    return platform::TextToUtf8(bytes, platform::Trim(Param("CHARSET"), "\""));
  }
};

bool IsQuotedPrintable(const std::string& line) {
  const size_t colon = line.find(':');
  return platform::AsciiUpper(line.substr(0, colon)).find("QUOTED-PRINTABLE") != std::string::npos;
}

ContentLine ParseContentLine(const std::string& line) {
  ContentLine out;
  // The colon that ends the name and parameters is the first one outside
  // a quoted parameter value.
  bool quoted = false;
  size_t colon = std::string::npos;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    else if (line[i] == ':' && !quoted) {
      colon = i;
      break;
    }
  }
  if (colon == std::string::npos) return out;
  out.value = line.substr(colon + 1);
  std::vector<std::string> parts(1);
  quoted = false;
  for (size_t i = 0; i < colon; ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ';' && !quoted) parts.emplace_back();
    else parts.back() += line[i];
  }
  std::string name = parts[0];
  if (const size_t dot = name.rfind('.'); dot != std::string::npos) name = name.substr(dot + 1);
  out.name = platform::AsciiUpper(platform::Trim(name, " \t"));
  for (size_t i = 1; i < parts.size(); ++i) {
    const size_t eq = parts[i].find('=');
    const std::string key = platform::AsciiUpper(platform::Trim(parts[i].substr(0, eq), " \t"));
    std::string value = eq == std::string::npos ? std::string() : platform::Trim(parts[i].substr(eq + 1), " \t");
    if (eq == std::string::npos && key != "PREF" && key != "QUOTED-PRINTABLE" && key != "BASE64") {
      out.params.emplace_back("TYPE", key);  // vCard 2.1: "EMAIL;INTERNET;HOME"
    } else {
      out.params.emplace_back(key, value);
    }
  }
  return out;
}

// Whether an EMAIL value is one plain address: something on both sides of
// one "@", no blank, control character or separator anywhere.
bool PlainAddress(const std::string& text) {
  const size_t at = text.find('@');
  if (at == 0 || at == std::string::npos || at + 1 >= text.size() || text.find('@', at + 1) != std::string::npos ||
      text.size() > 320) {
    return false;
  }
  for (unsigned char c : text)
    if (c <= ' ' || c == 0x7F || std::strchr(",;<>\"()[]\\", c)) return false;
  return true;
}

// The physical lines of a vCard text made logical: a line starting with a
// blank continues the one before (the blank dropped), and so does the line
// after a quoted-printable value ending in "=" (the "=" dropped).
std::vector<std::string> UnfoldedLines(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string> lines;
  bool softBreak = false;
  for (std::string& raw : platform::SplitLines(text)) {
    if (softBreak) {
      lines.back().pop_back();
      lines.back() += raw;
    } else if (!raw.empty() && (raw[0] == ' ' || raw[0] == '\t') && !lines.empty()) {
      lines.back() += raw.substr(1);
    } else {
      lines.push_back(std::move(raw));
    }
    softBreak = !lines.empty() && !lines.back().empty() && lines.back().back() == '=' && IsQuotedPrintable(lines.back());
  }
  return lines;
}

// One card's entry from its content lines; false when it gives no address.
bool CardEntry(const std::vector<ContentLine>& card, AddressBookEntry& entry) {
  std::string fullName, structuredName;
  std::vector<std::pair<int, std::string>> emails;  // rank, address
  for (const ContentLine& line : card) {
    if (line.name == "FN" && fullName.empty()) {
      fullName = platform::Trim(UnescapeValue(line.RawText()), " \t");
    } else if (line.name == "N" && structuredName.empty()) {
      // Family;Given;Additional;Prefix;Suffix, read as a name is said.
      std::vector<std::string> parts = SplitUnescaped(line.RawText(), ';');
      parts.resize(5);
      for (int i : {3, 1, 2, 0, 4}) {
        const std::string part = platform::Trim(UnescapeValue(parts[static_cast<size_t>(i)]), " \t");
        if (!part.empty()) structuredName += (structuredName.empty() ? "" : " ") + part;
      }
    } else if (line.name == "EMAIL") {
      // Our own older files joined several addresses in one value.
      for (const std::string& part : SplitUnescaped(UnescapeValue(line.RawText()), ',')) {
        std::string address = platform::Trim(part, " \t");
        if (platform::AsciiLower(address.substr(0, 7)) == "mailto:") address = address.substr(7);
        if (!PlainAddress(address)) continue;
        bool seen = false;
        for (const auto& [rank, known] : emails) seen = seen || platform::AsciiLower(known) == platform::AsciiLower(address);
        if (!seen) emails.emplace_back(line.PreferenceRank(), address);
      }
    }
  }
  if (emails.empty()) return false;
  std::stable_sort(emails.begin(), emails.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  entry = {};
  entry.displayName = !fullName.empty() ? fullName : !structuredName.empty() ? structuredName : emails.front().second;
  for (const auto& [rank, address] : emails) entry.addressText += (entry.addressText.empty() ? "" : ",") + address;
  return true;
}

// The cards of a vCard text: for each, where its lines start and end in
// `lines` (BEGIN and END included). A card inside a card (vCard 2.1's
// AGENT) is part of the outer one.
struct CardLines {
  size_t begin, end;
};
std::vector<CardLines> FindCards(const std::vector<std::string>& lines) {
  std::vector<CardLines> cards;
  int depth = 0;
  size_t begin = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string upper = platform::AsciiUpper(platform::Trim(lines[i], " \t\r"));
    if (upper == "BEGIN:VCARD" || upper.ends_with(":BEGIN:VCARD")) {
      if (depth++ == 0) begin = i;
    } else if (upper == "END:VCARD" && depth > 0) {
      if (--depth == 0) cards.push_back({begin, i + 1});
    }
  }
  return cards;
}

std::vector<ContentLine> ParseCard(const std::vector<std::string>& lines, const CardLines& card) {
  std::vector<ContentLine> out;
  int depth = 0;
  for (size_t i = card.begin; i < card.end; ++i) {
    const std::string upper = platform::AsciiUpper(platform::Trim(lines[i], " \t\r"));
    if (upper == "BEGIN:VCARD" || upper.ends_with(":BEGIN:VCARD")) {
      ++depth;
      continue;
    }
    if (upper == "END:VCARD") {
      --depth;
      continue;
    }
    if (depth == 1) out.push_back(ParseContentLine(lines[i]));
  }
  return out;
}

// A content line folded after at most 75 octets, never inside a UTF-8
// character.
void AppendFolded(const std::string& line, std::string& out) {
  size_t start = 0;
  size_t limit = 75;
  while (line.size() - start > limit) {
    size_t cut = start + limit;
    while (cut > start + 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    out.append(line, start, cut - start);
    out += "\r\n ";
    start = cut;
    limit = 74;  // the leading space of a continuation counts
  }
  out.append(line, start, std::string::npos);
  out += "\r\n";
}

}  // namespace

std::string GetAddressBookFile(const Application& app, int kind) {
  const char* name = kBadAddressBookCallFile;
  switch (kind) {
    case kPreviouslySentAddresses: name = kPreviouslySentFile; break;
    case kPreviouslyReceivedAddresses: name = kPreviouslyReceivedFile; break;
    case kPersonalAddressBook: name = kPersonalAddressBookFile; break;
    case kBetaAddressBook: name = kBetaAddressBookFile; break;
    default: break;
  }
  return MailRootFile(app, name);
}

int AddAddresses(const Application& app, int kind, const std::vector<std::string>& names,
                 const std::vector<std::string>& addresses) {
  const std::string path = GetAddressBookFile(app, kind);
  if (path.empty()) return 0;
  std::lock_guard<std::mutex> lock(ListFileMutex());

  // Opening for appending creates a missing file and never truncates one.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "ab"), &std::fclose);
  if (!file) return 0;
  std::string text;
  if (!platform::ReadWholeFile(path, text)) return 0;

  struct Entry {
    std::string name, address, line;
  };
  std::vector<Entry> pending;
  const size_t count = std::min(names.size(), addresses.size());
  for (size_t i = 0; i < count; ++i) {
    Entry e{names[i], addresses[i], ListLine(names[i], addresses[i])};
    bool given = false;
    for (const Entry& p : pending) given = given || (p.name == e.name && p.address == e.address);
    if (!given) pending.push_back(std::move(e));
  }
  for (const std::string& line : platform::SplitLines(text)) {
    if (pending.empty()) break;
    std::string name, address;
    const bool parsed = ParseAddress(line, name, address);
    std::erase_if(pending, [&](const Entry& e) {
      return e.line == line || (parsed && e.name == name && e.address == address);
    });
  }
  if (pending.empty()) return 0;

  std::string out;
  // A last line without its line end (a file edited by hand) keeps its own
  // line.
  if (!text.empty() && text.back() != '\n') out += '\n';
  for (const Entry& e : pending) out += e.line + "\n";
  if (std::fwrite(out.data(), 1, out.size(), file.get()) != out.size()) return 0;
  if (std::fflush(file.get()) != 0) return 0;
  return static_cast<int>(pending.size());
}

// --- vCard file ---------------------------------------------------------------------

std::string WriteVCards(const std::vector<AddressBookEntry>& entries) {
  std::string out;
  for (const AddressBookEntry& e : entries) {
    out += "BEGIN:VCARD\r\nVERSION:4.0\r\n";
    AppendFolded("FN:" + EscapeValue(e.displayName), out);
    for (const std::string& address : SplitUnescaped(e.addressText, ','))
      if (!address.empty()) AppendFolded("EMAIL:" + EscapeValue(address), out);
    out += "END:VCARD\r\n";
  }
  return out;
}

std::vector<AddressBookEntry> ReadVCards(const std::string& text) {
  const std::vector<std::string> lines = UnfoldedLines(text);
  std::vector<AddressBookEntry> entries;
  for (const CardLines& card : FindCards(lines)) {
    AddressBookEntry entry;
    if (CardEntry(ParseCard(lines, card), entry)) entries.push_back(std::move(entry));
  }
  return entries;
}

SystemAddressBook::SystemAddressBook(const Application& app) : app_(&app) {}

bool SystemAddressBook::Open() {
  open_ = false;
  path_ = MailRootFile(*app_, kSystemAddressBookFile);
  if (path_.empty()) return false;
  std::error_code ec;
  if (fs::exists(path_, ec)) {
    std::string text;
    if (!platform::ReadWholeFile(path_, text)) return false;
  } else if (ec) {
    return false;
  }
  open_ = true;
  return true;
}

bool SystemAddressBook::AddEntry(const std::string& displayName, const std::string& addressText) {
  return AddEntries({{displayName, addressText}});
}

bool SystemAddressBook::AddEntries(const std::vector<AddressBookEntry>& entries) {
  if (!open_) return false;
  std::lock_guard<std::mutex> lock(ListFileMutex());
  std::string text;
  std::error_code ec;
  if (fs::exists(path_, ec) && !platform::ReadWholeFile(path_, text)) return false;
  if (!text.empty() && text.back() != '\n') text += "\r\n";
  text += WriteVCards(entries);
  return platform::WriteFileAtomically(path_, text);
}

bool SystemAddressBook::RemoveEntry(const AddressBookEntry& entry) {
  if (!open_) return false;
  std::lock_guard<std::mutex> lock(ListFileMutex());
  std::string text;
  if (!platform::ReadWholeFile(path_, text)) return false;
  // Cards are found on the physical lines (a BEGIN or END line is never
  // folded), so that the others are written back byte for byte.
  const std::vector<std::string> lines = platform::SplitLines(text, platform::LineEnds::KeepCr);
  for (const CardLines& card : FindCards(lines)) {
    std::string cardText;
    for (size_t i = card.begin; i < card.end; ++i) cardText += lines[i] + "\n";
    const std::vector<AddressBookEntry> read = ReadVCards(cardText);
    if (read.size() != 1 || read[0] != entry) continue;
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i >= card.begin && i < card.end) continue;
      out += lines[i];
      if (i + 1 < lines.size() || text.back() == '\n') out += "\n";
    }
    return platform::WriteFileAtomically(path_, out);
  }
  return false;
}

std::vector<AddressBookEntry> SystemAddressBook::List() const {
  if (!open_) return {};
  std::string text;
  if (!platform::ReadWholeFile(path_, text)) return {};
  return ReadVCards(text);
}

VCardImport ImportVCardFile(SystemAddressBook& book, const std::string& path) {
  VCardImport result;
  std::string text;
  if (!book.IsOpen() || !platform::ReadWholeFile(path, text)) return result;
  std::vector<AddressBookEntry> held = book.List(), added;
  for (AddressBookEntry& entry : ReadVCards(text)) {
    if (std::find(held.begin(), held.end(), entry) != held.end()) {
      ++result.known;
      continue;
    }
    held.push_back(entry);
    added.push_back(std::move(entry));
  }
  result.read = added.empty() || book.AddEntries(added);
  if (result.read) result.added = static_cast<int>(added.size());
  return result;
}

namespace {

// A list file line's row; false for a line ParseAddress rejects.
bool ListRow(const std::string& line, AddressBookEntry& row) {
  std::string name, address;
  if (!ParseAddress(line, name, address)) return false;
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
  std::vector<std::string> all, allNames;
  std::string error;
  if (SplitRecipients(line, all, allNames, error) == 0 && !all.empty()) {
    address.clear();
    for (const std::string& a : all) address += (address.empty() ? "" : ",") + a;
  }
  row = {name, address};
  return true;
}

// A name as one line of text: control characters become spaces.
std::string OneLineName(const std::string& name) {
  std::string out;
  for (unsigned char c : name) out += (c < ' ' || c == 0x7F) ? ' ' : static_cast<char>(c);
  return platform::Trim(out, " ");
}

// The address of one recipient entry, in lower case ("" when none).
std::string AddressOf(const std::string& entry) {
  std::string name, address;
  return ParseAddress(entry, name, address) ? platform::AsciiLower(address) : std::string();
}

}  // namespace

std::vector<AddressBookEntry> ReadAddressList(const Application& app, int kind) {
  std::string text;
  if (!platform::ReadWholeFile(GetAddressBookFile(app, kind), text)) return {};
  std::vector<AddressBookEntry> rows;
  for (const std::string& line : platform::SplitLines(text)) {
    AddressBookEntry row;
    if (ListRow(line, row)) rows.push_back(std::move(row));
  }
  return rows;
}

bool AddPersonalEntry(const Application& app, const AddressBookEntry& entry) {
  const std::string path = GetAddressBookFile(app, kPersonalAddressBook);
  if (path.empty()) return false;
  std::lock_guard<std::mutex> lock(ListFileMutex());
  std::string text;
  std::error_code ec;
  if (fs::exists(path, ec) && !platform::ReadWholeFile(path, text)) return false;
  if (!text.empty() && text.back() != '\n') text += '\n';
  text += "\"" + OneLineHeaderValue(entry.displayName) + "\" " + OneLineHeaderValue(entry.addressText) + "\n";
  return platform::WriteFileAtomically(path, text);
}

int RemoveListEntry(const Application& app, int kind, const AddressBookEntry& entry) {
  const std::string path = GetAddressBookFile(app, kind);
  std::lock_guard<std::mutex> lock(ListFileMutex());
  std::string text;
  if (path.empty() || !platform::ReadWholeFile(path, text)) return 0;
  std::string out;
  int removed = 0;
  for (const std::string& line : platform::SplitLines(text, platform::LineEnds::KeepCr)) {
    AddressBookEntry row;
    std::string bare = line;
    if (!bare.empty() && bare.back() == '\r') bare.pop_back();
    if (ListRow(bare, row) && row == entry) {
      ++removed;
      continue;
    }
    out += line + "\n";
  }
  if (removed == 0 || !platform::WriteFileAtomically(path, out)) return 0;
  return removed;
}

EntryCheck CheckNewEntry(AddressBookEntry& entry, std::string& error) {
  error.clear();
  entry.displayName = OneLineName(entry.displayName);
  if (entry.displayName.empty()) return EntryCheck::kNoName;
  if (entry.displayName.find('@') != std::string::npos) return EntryCheck::kNameHasAt;
  std::vector<std::string> addresses, names;
  if (SplitRecipients(entry.addressText, addresses, names, error) != 0 || addresses.empty()) {
    if (error.empty()) error = "Invalid Recipient: :" + entry.addressText;
    return EntryCheck::kBadAddress;
  }
  entry.addressText.clear();
  for (const std::string& a : addresses) entry.addressText += (entry.addressText.empty() ? "" : ",") + a;
  return EntryCheck::kEntryOk;
}

std::string RecipientText(const AddressBookEntry& entry) {
  const std::string name = OneLineName(entry.displayName);
  // A name with a separator or brackets is quoted; its own quotes and
  // backslashes go (the recipient boxes know no escapes).
  std::string shown = name;
  if (name.find_first_of(",;\"<>()@\\") != std::string::npos) {
    shown = "\"";
    for (char c : name)
      if (c != '"' && c != '\\') shown += c;
    shown += "\"";
  }
  std::string out;
  for (const std::string& address : SplitUnescaped(entry.addressText, ',')) {
    const std::string bare = platform::Trim(address, " ");
    if (bare.empty()) continue;
    out += out.empty() ? "" : ", ";
    out += name.empty() || platform::AsciiLower(name) == platform::AsciiLower(bare) ? bare : shown + " <" + bare + ">";
  }
  return out;
}

std::string AppendRecipients(const std::string& field, const std::string& entries) {
  std::set<std::string> held;
  std::vector<std::string> addresses, names;
  std::string error;
  SplitRecipients(field, addresses, names, error);  // a bad entry ends the known ones, nothing else
  for (const std::string& a : addresses) held.insert(platform::AsciiLower(a));
  std::string out = platform::Trim(field, " \t");
  // Entries are split where SplitRecipients splits them, quotes respected.
  std::vector<std::string> parts(1);
  bool quoted = false;
  for (char c : entries) {
    if (c == '"') quoted = !quoted;
    if ((c == ',' || c == ';') && !quoted) parts.emplace_back();
    else parts.back() += c;
  }
  for (const std::string& part : parts) {
    const std::string entry = platform::Trim(part, " \t");
    const std::string address = AddressOf(entry);
    if (entry.empty() || (!address.empty() && !held.insert(address).second)) continue;
    if (!out.empty()) out += (out.back() == ',' || out.back() == ';') ? " " : ", ";
    out += entry;
  }
  return out;
}

bool ImportBetaAddressBook(const Application& app, MessageBoxService& messages,
                           SystemAddressBook& book, const std::function<void()>& refresh) {
  const std::string personal = GetAddressBookFile(app, kPersonalAddressBook);
  std::string text;
  if (personal.empty() || !platform::ReadWholeFile(personal, text)) return false;

  // [email] setting kept by the question's check box: a user who declined
  // and ticked it is not asked again. (After a yes the renamed file ends the
  // question anyway; an import that failed is offered again.)
  if (app.IsOn(kEmailDontAskImportAddressBook)) return false;
  bool dontShowAgain = false;
  if (messages.Question(kImportBetaQuestion, kImportBetaTitle, &dontShowAgain) != IDYES) {
    if (dontShowAgain) app.Write(kEmailDontAskImportAddressBook, 1);
    return false;
  }

  if (!book.Open()) return false;
  std::vector<AddressBookEntry> entries;
  for (const std::string& line : platform::SplitLines(text)) {
    std::string name, address;
    if (!ParseAddress(line, name, address)) continue;
    std::vector<std::string> all, allNames;
    std::string error;
    if (SplitRecipients(line, all, allNames, error) == 0 && !all.empty()) {
      address.clear();
      for (size_t i = 0; i < all.size(); ++i) {
        if (i) address += ",";
        address += all[i];
      }
    }
    entries.push_back({name, address});
  }
  // All entries go in at once: a book that cannot be written keeps the
  // personal file under its own name, and the import is offered again.
  const bool added = entries.empty() || book.AddEntries(entries);
  if (refresh) refresh();
  book.Close();
  if (!added) return false;

  std::error_code ec;
  fs::rename(personal, GetAddressBookFile(app, kBetaAddressBook), ec);
  return !ec;
}

}  // namespace vyr
