#include "mail/send/compose_rules.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>

#include "base/application.h"
#include "mail/read/message_decoder.h"
#include "mail/send/address_lists.h"
#include "mail/send/mail_address.h"
#include "mail/send/outbox.h"
#include "mail/store/mail_store.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "platform/tick_count.h"

namespace fs = std::filesystem;

namespace vyr {

namespace {

constexpr char kAutosavePrefix[] = "Autosave";
constexpr char kForwardCopiesFolder[] = "Forwarded";
constexpr int kNamePauseMs = 10;

bool InFolder(const std::string& path, const char* folder) {
  return platform::AsciiUpper(MailStore::FolderNameOf(path)) == platform::AsciiUpper(folder);
}

bool EndsWith(const std::string& text, std::string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A free "<prefix><tick>.mail" name in the folder, chosen under the mail
// lock with the pause that keeps the next tick name apart.
std::string NewMailName(Application& app, const std::string& folder, const std::string& prefix) {
  std::lock_guard<std::mutex> lock(app.MailLock());
  for (;;) {
    const std::string path = folder + prefix + std::to_string(platform::GetTickCount()) + ".mail";
    platform::SleepMs(kNamePauseMs);
    std::error_code ec;
    if (!fs::exists(path, ec)) return path;
  }
}

}  // namespace

ComposeSource SourceOf(const std::string& storedPath) {
  if (storedPath.empty()) return ComposeSource::New;
  if (InFolder(storedPath, kOutboxFolder)) return ComposeSource::Outbox;
  if (InFolder(storedPath, kDraftFolder)) return ComposeSource::Draft;
  if (InFolder(storedPath, kSentItemsFolder)) return ComposeSource::SentItems;
  return ComposeSource::New;
}

bool ReplacesSource(const std::string& storedPath) {
  const ComposeSource source = SourceOf(storedPath);
  return source == ComposeSource::Outbox || source == ComposeSource::Draft;
}

std::string FirstCharacters(std::string_view utf8, size_t n) {
  size_t at = 0;
  for (size_t count = 0; at < utf8.size() && count < n; ++count) {
    ++at;
    // Continuation bytes belong to the character before them.
    while (at < utf8.size() && (static_cast<unsigned char>(utf8[at]) & 0xC0) == 0x80) ++at;
  }
  return std::string(utf8.substr(0, at));
}

CloseQuestion ClosingQuestion(ComposeSource source, const std::string& to, const std::string& subject) {
  CloseQuestion q;
  q.caption = composetext::kConfirm.Text();
  switch (source) {
    case ComposeSource::Outbox:
      q.text = composetext::kSaveChanges.Text();
      q.onYes = CloseQuestion::Save::SendLater;
      break;
    case ComposeSource::Draft:
      q.text = composetext::kSaveChanges.Text();
      q.onYes = CloseQuestion::Save::SaveDraft;
      break;
    case ComposeSource::New:
    case ComposeSource::SentItems:
      q.text = "To: " + FirstCharacters(to, 40) + "\nSubject: " + FirstCharacters(subject, 40) + "\n\n" +
               composetext::kNotSentOrSaved.Text();
      q.onYes = CloseQuestion::Save::SaveDraft;
      break;
  }
  return q;
}

SaveAsForm SaveAsFormFor(bool html) {
  SaveAsForm form;
  form.html = html;
  form.filter = html ? composetext::kHtmlFilter.Text() : composetext::kTextFilter.Text();
  form.extension = html ? ".htm" : ".txt";
  return form;
}

std::string SaveAsQuestion(bool needsHtml) {
  std::string text = composetext::kSaveAsHtml.Text();
  if (needsHtml) text += composetext::kSaveAsHtmlLoss.Text();
  return text;
}

std::string WithDefaultExtension(const std::string& path, const SaveAsForm& form) {
  const fs::path p(path);
  if (p.has_extension() && p.extension() != ".") return path;
  std::string out = path;
  if (EndsWith(out, ".")) out.pop_back();
  return out + form.extension;
}

// --- the autosaved draft ----------------------------------------------------------------

DraftAutosave::DraftAutosave(Application& app) : app_(app) {}

bool DraftAutosave::Save(const std::string& storedText) {
  if (path_.empty()) {
    MailStore store(app_);
    const std::string draft = store.FolderPath(kDraftFolder, true);
    if (draft.empty()) return false;
    path_ = NewMailName(app_, draft, kAutosavePrefix);
  }
  if (!platform::WriteFileAtomically(path_, storedText)) return false;
  // A draft is not new mail: the folder is not made bold by it.
  MailStore::MarkRead(path_);
  return true;
}

void DraftAutosave::Discard() {
  if (path_.empty()) return;
  std::error_code ec;
  fs::remove(path_, ec);
  path_.clear();
}

std::vector<std::string> DraftAutosave::Recover(Application& app) {
  MailStore store(app);
  const std::string draft = store.FolderPath(kDraftFolder, false);
  std::vector<std::string> found;
  if (draft.empty()) return found;
  std::error_code ec;
  for (fs::directory_iterator it(draft, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(kAutosavePrefix, 0) == 0 && EndsWith(name, ".mail")) found.push_back(it->path().string());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> drafts;
  for (const std::string& path : found) {
    const std::string target = NewMailName(app, draft, "Out");
    if (platform::ReplaceFileByRename(path, target)) drafts.push_back(target);
  }
  return drafts;
}

// --- address completion -------------------------------------------------------------

namespace {

std::string Typed(const std::string& name, const std::string& address) {
  return name.empty() || name == address ? address : name + " <" + address + ">";
}

void AddKnown(std::vector<std::string>& out, std::set<std::string>& seen, const std::string& name,
              const std::string& address) {
  if (address.empty()) return;
  if (seen.insert(platform::AsciiLower(address)).second) out.push_back(Typed(name, address));
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && platform::AsciiLower(text.substr(0, prefix.size())) ==
                                             platform::AsciiLower(prefix);
}

}  // namespace

std::vector<std::string> KnownAddresses(const Application& app) {
  std::vector<std::string> out;
  std::set<std::string> seen;
  SystemAddressBook book(app);
  if (book.Open()) {
    for (const AddressBookEntry& entry : book.List()) {
      std::string name, address;
      if (ParseAddress(entry.addressText, name, address)) AddKnown(out, seen, entry.displayName, address);
    }
  }
  for (int kind : {kPreviouslySentAddresses, kPreviouslyReceivedAddresses}) {
    std::string text;
    if (!platform::ReadWholeFile(GetAddressBookFile(app, kind), text)) continue;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      start = end + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::string name, address;
      if (!ParseAddress(line, name, address)) continue;
      if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
      // An address recorded without a name ("" <a@b>) is offered bare.
      if (line.rfind("\"\"", 0) == 0) name.clear();
      AddKnown(out, seen, name, address);
    }
  }
  return out;
}

std::vector<std::string> CompleteAddress(const std::vector<std::string>& known, const std::string& typed) {
  const size_t comma = typed.rfind(',');
  size_t entryStart = comma == std::string::npos ? 0 : comma + 1;
  while (entryStart < typed.size() && typed[entryStart] == ' ') ++entryStart;
  const std::string entry = typed.substr(entryStart);
  std::vector<std::string> out;
  if (entry.empty()) return out;
  const std::string before = typed.substr(0, entryStart);
  for (const std::string& candidate : known) {
    std::string name, address;
    ParseAddress(candidate, name, address);
    if (StartsWithNoCase(candidate, entry) || StartsWithNoCase(address, entry)) out.push_back(before + candidate);
  }
  return out;
}

// --- a forward's attachments ----------------------------------------------------------------

std::string ForwardCopiesDirectory(const MailStore& store) {
  const std::string root = store.MailRoot(true);
  if (root.empty()) return {};
  const std::string dir = root + kForwardCopiesFolder;
  std::error_code ec;
  fs::create_directories(dir, ec);
  return fs::is_directory(dir, ec) ? dir + "/" : std::string();
}

int RemoveUnusedForwardCopies(const MailStore& store) {
  const std::string root = store.MailRoot(false);
  if (root.empty()) return 0;
  const fs::path copies = fs::path(root) / kForwardCopiesFolder;
  std::error_code ec;
  if (!fs::is_directory(copies, ec)) return 0;

  // Every folder an attachment of a stored message lies in.
  std::set<std::string> named;
  for (const char* folder : {kOutboxFolder, kDraftFolder, kSentItemsFolder, kTrashFolder}) {
    const std::string path = store.FolderPath(folder, false);
    if (path.empty()) continue;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
      if (!EndsWith(it->path().filename().string(), ".mail")) continue;
      std::string text;
      if (!platform::ReadWholeFile(it->path().string(), text)) continue;
      for (const std::string& file : ParseStoredMessage(text).attachments) {
        named.insert(fs::path(file).parent_path().lexically_normal().string());
      }
    }
  }
  int removed = 0;
  std::vector<fs::path> unused;
  for (fs::directory_iterator it(copies, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_directory(ec)) continue;
    if (named.count(it->path().lexically_normal().string()) == 0) unused.push_back(it->path());
  }
  for (const fs::path& folder : unused) {
    // The copies were made read-only; the folder goes whole.
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
    }
    if (fs::remove_all(folder, ec) > 0 && !ec) ++removed;
  }
  return removed;
}

}  // namespace vyr
