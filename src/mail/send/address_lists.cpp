#include "mail/send/address_lists.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>

#include "base/application.h"
#include "base/message_box.h"
#include "mail/send/mail_address.h"
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
    AppendFolded("EMAIL:" + EscapeValue(e.addressText), out);
    out += "END:VCARD\r\n";
  }
  return out;
}

std::vector<AddressBookEntry> ReadVCards(const std::string& text) {
  // Unfold first: a line break followed by a blank continues the line.
  std::vector<std::string> lines;
  for (std::string& raw : platform::SplitLines(text)) {
    if (!raw.empty() && (raw[0] == ' ' || raw[0] == '\t') && !lines.empty()) {
      lines.back() += raw.substr(1);
    } else {
      lines.push_back(std::move(raw));
    }
  }
  std::vector<AddressBookEntry> entries;
  bool inCard = false;
  bool haveName = false;
  AddressBookEntry card;
  std::vector<std::string> emails;
  for (const std::string& line : lines) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string property = line.substr(0, colon);
    property = property.substr(0, property.find(';'));
    const size_t dot = property.rfind('.');
    if (dot != std::string::npos) property = property.substr(dot + 1);
    property = platform::AsciiUpper(property);
    const std::string value = line.substr(colon + 1);
    if (property == "BEGIN" && platform::AsciiUpper(value) == "VCARD") {
      inCard = true;
      haveName = false;
      card = {};
      emails.clear();
    } else if (property == "END" && platform::AsciiUpper(value) == "VCARD") {
      if (inCard && haveName && !emails.empty()) {
        for (size_t i = 0; i < emails.size(); ++i) {
          if (i) card.addressText += ",";
          card.addressText += emails[i];
        }
        entries.push_back(card);
      }
      inCard = false;
    } else if (inCard && property == "FN") {
      card.displayName = UnescapeValue(value);
      haveName = true;
    } else if (inCard && property == "EMAIL") {
      emails.push_back(UnescapeValue(value));
    }
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

std::vector<AddressBookEntry> SystemAddressBook::List() const {
  if (!open_) return {};
  std::string text;
  if (!platform::ReadWholeFile(path_, text)) return {};
  return ReadVCards(text);
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
