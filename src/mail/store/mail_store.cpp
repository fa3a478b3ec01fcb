#include "mail/store/mail_store.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/file_reader.h"
#include "platform/file_system.h"
#include "platform/string_table.h"
#include "platform/tick_count.h"
#include "platform/text.h"

namespace vyr {

namespace fs = std::filesystem;

namespace {

const char kWelcomeFileName[] = "welcome.mail";

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsBlankName(const std::string& name) {
  return std::all_of(name.begin(), name.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// A folder name usable as one directory directly in the mail root.
bool IsUsableFolderName(const std::string& name) {
  return platform::IsPlainFileName(name) && !IsBlankName(name);
}

// The name part of a path (after the last "/" or "\").
std::string FileNameOf(const std::string& path) {
  size_t sep = path.find_last_of("/\\");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

// The folder holding a file, without a trailing separator.
std::string FolderOf(const std::string& path) {
  size_t sep = path.find_last_of("/\\");
  if (sep == std::string::npos) return ".";
  std::string folder = path.substr(0, sep);
  return folder.empty() ? std::string("/") : folder;
}

std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 1 && IsSeparator(path.back())) path.pop_back();
  return path;
}

// Every non-directory entry of a folder, in enumeration order.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_directory(typeError)) continue;
    files.push_back(it->path().string());
  }
  return files;
}

bool HasFile(const std::string& folder) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_directory(typeError)) return true;
  }
  return false;
}

// The name of a directory of the mail root equal to name without regard to
// case, or "" when there is none. except: a directory name to pass over.
std::string FindDirectoryNoCase(const std::string& root, const std::string& name,
                                const std::string& except = {}) {
  const std::string wanted = platform::AsciiLower(name);
  std::error_code ec;
  fs::directory_iterator it(root, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_directory(typeError)) continue;
    std::string entry = it->path().filename().string();
    if (entry != except && platform::AsciiLower(entry) == wanted) return entry;
  }
  return {};
}

void MakeWritable(const std::string& path) {
  std::error_code ec;
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ec);
}

// Puts a file's times back after reading it, so that a read never changes
// the read state. Reading nearly always moves the access time (the system
// records an access whenever the stored one is not later than the last
// change, and every mark or restore is such a change), so they are put back
// without first asking whether they moved.
void RestoreTimes(const std::string& path, const platform::FileTimes& before) {
  platform::SetFileTimes(path, before);
}

// Held from reading a file's times to putting them back, and by marking a
// message read or unread, so that a summary read on the loader's thread
// never puts back times that a mark made meanwhile had changed.
std::mutex& FileTimesLock() {
  static std::mutex lock;
  return lock;
}

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::string FormatMailText(const std::string& pattern, std::initializer_list<std::string> values) {
  std::string out;
  auto next = values.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%' || i + 1 >= pattern.size()) {
      out += pattern[i];
      continue;
    }
    size_t j = i + 1;
    if (pattern[j] == '%') {
      out += '%';
      i = j;
      continue;
    }
    if (pattern[j] == 'l') ++j;
    if (j < pattern.size() && (pattern[j] == 'd' || pattern[j] == 's' || pattern[j] == 'u' || pattern[j] == 'i')) {
      if (next != values.end()) out += *next++;
      i = j;
      continue;
    }
    out += pattern[i];
  }
  return out;
}

std::string MailText(platform::TextId id, std::initializer_list<std::string> values) {
  return FormatMailText(platform::LoadString(id), values);
}

MailStore::MailStore(Application& app) : app_(&app) {}

// --- paths -------------------------------------------------------------------------

std::string MailStore::MailRoot(bool create) const {
  std::string root = app_->GetDataDirectory("email", false);
  if (root.empty()) {
    if (create) app_->Messages().Error(MailText(mailtext::kErrorCreatingEmailDirectory));
    return {};
  }
  if (create && !platform::CreatePrivateDirectories(WithoutTrailingSeparator(root))) {
    app_->Messages().Error(MailText(mailtext::kErrorCreatingEmailDirectory));
    return {};
  }
  return root;
}

std::string MailStore::ResolveFolderName(const std::string& root, const std::string& folder) const {
  if (platform::DirectoryExists(root + folder)) return folder;
  std::string other = FindDirectoryNoCase(root, folder);
  if (!other.empty()) return other;
  std::string system = SystemFolderName(folder);
  return system.empty() ? folder : system;
}

std::string MailStore::FolderPath(const std::string& folder, bool create) const {
  if (!folder.empty() && !IsUsableFolderName(folder)) return {};
  const std::string root = MailRoot(create);
  if (root.empty()) return {};
  if (folder.empty()) return platform::DirectoryExists(WithoutTrailingSeparator(root)) ? root : std::string();
  const std::string path = root + ResolveFolderName(root, folder);
  if (platform::DirectoryExists(path)) return path + "/";
  if (!create) return {};
  if (!platform::CreateDirectories(path)) {
    app_->Messages().Error(MailText(mailtext::kErrorCreatingEmailDirectory));
    return {};
  }
  return path + "/";
}

std::string MailStore::TempDirectory() const { return app_->GetDataDirectory("_TEMP", true); }

std::string MailStore::NewDownloadPath() const {
  const std::string dir = TempDirectory();
  if (dir.empty()) return {};
  std::lock_guard<std::mutex> lock(app_->MailLock());
  for (;;) {
    std::string path = dir + "M" + std::to_string(platform::GetTickCount()) + ".new";
    platform::SleepMs(10);
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec))) return path;
  }
}

int MailStore::RemoveDownloadLeftovers() const {
  const std::string dir = app_->GetDataDirectory("_TEMP", false);
  if (dir.empty() || !platform::DirectoryExists(WithoutTrailingSeparator(dir))) return 0;
  const std::int64_t now = NowNs();
  int removed = 0;
  std::lock_guard<std::mutex> lock(app_->MailLock());
  for (const std::string& file : FilesIn(dir)) {
    const std::string name = FileNameOf(file);
    if (name.size() < 6 || name[0] != 'M' || name.compare(name.size() - 4, 4, ".new") != 0) continue;
    std::error_code ec;
    const std::uintmax_t links = fs::hard_link_count(file, ec);
    if (ec) continue;
    platform::FileTimes t;
    // A second name means the message reached its folder; a lone one this
    // old is a download no run is writing any more.
    if (links < 2 && (!platform::GetFileTimes(file, t) || now - t.createdNs < kDownloadLeftoverAgeNs)) continue;
    if (fs::remove(file, ec) && !ec) ++removed;
  }
  return removed;
}

// --- folders -------------------------------------------------------------------------

std::string MailStore::SystemFolderName(const std::string& name) {
  const std::string lower = platform::AsciiLower(name);
  for (const char* system : kSystemFolders) {
    if (lower == platform::AsciiLower(system)) return system;
  }
  return {};
}

bool MailStore::IsSystemFolder(const std::string& name) { return !SystemFolderName(name).empty(); }

std::vector<std::string> MailStore::FolderNames() const {
  std::vector<std::string> names(std::begin(kSystemFolders), std::end(kSystemFolders));
  const std::string root = MailRoot(false);
  if (root.empty()) return names;
  std::vector<std::string> user;
  std::error_code ec;
  fs::directory_iterator it(root, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_directory(typeError)) continue;
    std::string name = it->path().filename().string();
    if (IsSystemFolder(name) || !IsUsableFolderName(name)) continue;
    user.push_back(std::move(name));
  }
  std::sort(user.begin(), user.end(), [](const std::string& a, const std::string& b) {
    const std::string la = platform::AsciiLower(a), lb = platform::AsciiLower(b);
    return la != lb ? la < lb : a < b;
  });
  names.insert(names.end(), user.begin(), user.end());
  return names;
}

std::vector<FolderEntry> MailStore::FolderTree() const {
  std::vector<FolderEntry> tree;
  for (const std::string& name : FolderNames()) {
    FolderEntry e;
    e.name = name;
    e.path = FolderPath(name, false);
    const std::string system = platform::AsciiLower(SystemFolderName(name));
    if (system == "inbox") {
      e.icon = FolderIcon::Inbox;
    } else if (system == "trash") {
      e.icon = FolderIcon::Trash;
    } else if (!system.empty()) {
      e.icon = FolderIcon::Outgoing;
    }
    if ((system == "outbox" || system == "draft" || system == "trash") && !e.path.empty()) {
      e.bold = HasFile(e.path);
    }
    tree.push_back(std::move(e));
  }
  return tree;
}

std::string MailStore::FolderNameOf(const std::string& path) {
  const bool isFolder = !path.empty() && IsSeparator(path.back());
  std::string p = path;
  while (!p.empty() && IsSeparator(p.back())) p.pop_back();
  if (!isFolder) {
    size_t sep = p.find_last_of("/\\");
    if (sep == std::string::npos) return {};
    p.resize(sep);
    while (!p.empty() && IsSeparator(p.back())) p.pop_back();
  }
  size_t sep = p.find_last_of("/\\");
  return sep == std::string::npos ? p : p.substr(sep + 1);
}

bool MailStore::IsOutgoingPath(const std::string& path) {
  const std::string folder = platform::AsciiUpper(FolderNameOf(path));
  return folder.find("OUTBOX") != std::string::npos || folder.find("SENT ITEMS") != std::string::npos ||
         folder.find("DRAFT") != std::string::npos;
}

bool MailStore::IsTrashPath(const std::string& path) {
  return platform::AsciiUpper(FolderNameOf(path)).find("TRASH") != std::string::npos;
}

bool MailStore::IsDraftPath(const std::string& path) {
  return platform::AsciiUpper(FolderNameOf(path)).find("DRAFT") != std::string::npos;
}

// --- messages ------------------------------------------------------------------------

SummaryResult MailStore::ReadSummaryQuiet(const std::string& path, MessageSummary& out,
                                          platform::FileTimes* timesOut) const {
  out = MessageSummary{};
  out.path = path;
  out.outgoing = IsOutgoingPath(path);
  std::lock_guard<std::mutex> lock(app_->MailLock());
  std::lock_guard<std::mutex> timesLock(FileTimesLock());
  // The file is read without moving its access time where the system
  // allows it (the user's own files): then there is nothing to put back.
  platform::FileReader file(path);
  platform::FileTimes before;
  if (!(file.IsOpen() ? file.Examine(&before) : platform::GetFileTimes(path, before))) {
    return SummaryResult::NotExamined;
  }
  if (timesOut) *timesOut = before;
  out.unread = before.accessedNs <= before.createdNs + kUnreadSlackNs;
  // The size comes with the first read (a file shorter than 10 bytes is read
  // whole by it), which saves asking for it separately on every file of a
  // long list.
  std::string header;
  HeaderBlockInfo info;
  const bool read = file.IsOpen() && ReadHeaderBlock(file, header, &info);
  if (file.IsOpen() && !file.AccessTimeKept()) RestoreTimes(path, before);
  if (!read) {
    if (info.notAFile) return SummaryResult::NotExamined;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) return SummaryResult::NotExamined;
    return size < kMinMessageSize ? SummaryResult::TooShort : SummaryResult::OpenFailed;
  }
  if (info.bytesRead < kMinMessageSize) return SummaryResult::TooShort;
  ScanHeaders(header, out);
  return SummaryResult::Ok;
}

bool MailStore::ReadSummary(const std::string& path, MessageSummary& out) const {
  const SummaryResult result = ReadSummaryQuiet(path, out);
  if (result == SummaryResult::OpenFailed) app_->Messages().Error(MailText(mailtext::kOpenFailed));
  return result == SummaryResult::Ok;
}

std::string MailStore::MessageKey(const std::string& path) const {
  std::string error;
  std::string key = MessageKey(path, &error);
  if (!error.empty()) app_->Messages().Error(error);
  return key;
}

std::string MailStore::MessageKey(const std::string& path, std::string* error) const {
  std::string key = "0";
  bool openFailed = false;
  {
    std::lock_guard<std::mutex> lock(app_->MailLock());
    std::lock_guard<std::mutex> timesLock(FileTimesLock());
    platform::FileReader file(path);
    platform::FileTimes before;
    if (!(file.IsOpen() ? file.Examine(&before) : platform::GetFileTimes(path, before))) return key;
    std::string header;
    if (file.IsOpen() && ReadHeaderBlock(file, header)) {
      key = MessageKeyOfHeaders(header);
    } else {
      openFailed = true;
    }
    if (file.IsOpen() && !file.AccessTimeKept()) RestoreTimes(path, before);
  }
  if (openFailed && error) *error = MailText(mailtext::kErrorWithLetter, {path});
  return key;
}

bool MailStore::ReadWholeMessage(const std::string& path, std::string& text) const {
  std::lock_guard<std::mutex> timesLock(FileTimesLock());
  platform::FileTimes before;
  if (!platform::GetFileTimes(path, before)) return false;
  const bool read = platform::ReadWholeFile(path, text);
  RestoreTimes(path, before);
  return read;
}

bool MailStore::MessageTimes(const std::string& path, platform::FileTimes& times) {
  std::lock_guard<std::mutex> timesLock(FileTimesLock());
  return platform::GetFileTimes(path, times);
}

bool MailStore::IsUnread(const std::string& path) {
  platform::FileTimes t;
  return MessageTimes(path, t) && t.accessedNs <= t.createdNs + kUnreadSlackNs;
}

bool MailStore::MarkRead(const std::string& path) {
  std::lock_guard<std::mutex> timesLock(FileTimesLock());
  platform::FileTimes t;
  if (!platform::GetFileTimes(path, t)) return false;
  std::time_t accessed = static_cast<std::time_t>(t.accessedNs / 1000000000);
  if (t.accessedNs < 0 && t.accessedNs % 1000000000 != 0) --accessed;
  std::tm local{};
  if (!localtime_r(&accessed, &local)) return false;
  std::tm day{};
  day.tm_year = local.tm_year - 1;
  day.tm_mon = local.tm_mon;
  day.tm_mday = (local.tm_mon == 1 && local.tm_mday == 29) ? 28 : local.tm_mday;
  day.tm_hour = 12;
  day.tm_isdst = -1;
  const std::time_t created = std::mktime(&day);
  if (created == static_cast<std::time_t>(-1)) return false;
  t.createdNs = static_cast<std::int64_t>(created) * 1000000000;
  if (!platform::SetFileTimes(path, t)) return false;
  // A file system keeps times only within its range (ext4 from 1901 on): a
  // message marked read and unread often enough ends up with times that no
  // longer read as read, which is reported rather than claimed done.
  platform::FileTimes kept;
  return platform::GetFileTimes(path, kept) && kept.accessedNs > kept.createdNs + kUnreadSlackNs;
}

bool MailStore::MarkUnread(const std::string& path) {
  std::lock_guard<std::mutex> timesLock(FileTimesLock());
  platform::FileTimes t;
  if (!platform::GetFileTimes(path, t)) return false;
  t.accessedNs = t.createdNs;
  return platform::SetFileTimes(path, t);
}

bool MailStore::EnsureWelcomeMessage() const {
  const std::string inbox = FolderPath(kInboxFolder, true);
  if (inbox.empty()) return false;
  std::error_code ec;
  if (!fs::is_empty(inbox, ec) || ec) return false;
  const std::string path = inbox + kWelcomeFileName;
  if (!platform::WriteFileAtomically(path, platform::LoadString(mailtext::kWelcomeMessage))) return false;
  MarkUnread(path);
  return true;
}

// --- message operations ------------------------------------------------------------------

bool MailStore::SameFolder(const std::string& a, const std::string& b) const {
  std::error_code ec;
  const bool same = fs::equivalent(a, b, ec);
  return !ec && same;
}

std::string MailStore::MoveIntoFolder(const std::string& source, const std::string& folderPath) const {
  const std::string name = FileNameOf(source);
  size_t dot = name.find_last_of('.');
  if (dot == 0 || dot == std::string::npos) dot = name.size();
  const std::string stem = name.substr(0, dot), extension = name.substr(dot);
  std::lock_guard<std::mutex> lock(app_->MailLock());
  std::string target = folderPath + name;
  for (int n = 2; n < 100000; ++n) {
    switch (platform::MoveFileNoReplace(source, target)) {
      case platform::MoveResult::Moved:
        return target;
      case platform::MoveResult::Failed:
        return {};
      case platform::MoveResult::TargetExists:
        target = folderPath + stem + "~" + std::to_string(n) + extension;
        break;
    }
  }
  return {};
}

DeleteOutcome MailStore::DeleteMessages(const std::vector<std::string>& paths, bool trashShown) const {
  DeleteOutcome outcome;
  if (paths.empty()) {
    app_->Messages().Information(MailText(mailtext::kNoItemsSelected));
    outcome.cancelled = true;
    return outcome;
  }
  if (!app_->IsOn(kEmailDontPromptForDeletion)) {
    bool dontAsk = false;
    const int answer = app_->Messages().Question(MailText(mailtext::kDeleteMessagesQuestion),
                                                 MailText(mailtext::kConfirm), &dontAsk);
    app_->Write(kEmailDontPromptForDeletion, dontAsk ? 1 : 0);
    if (answer != IDOK && answer != IDYES) {
      outcome.cancelled = true;
      return outcome;
    }
  }
  const std::string trash = FolderPath(kTrashFolder, true);
  if (trash.empty()) {
    outcome.cancelled = true;
    return outcome;
  }
  for (const std::string& path : paths) {
    if (SameFolder(FolderOf(path), trash)) {
      std::lock_guard<std::mutex> lock(app_->MailLock());
      MakeWritable(path);
      std::error_code ec;
      if (fs::remove(path, ec) && !ec) outcome.removed.push_back(path);
    } else if (!MoveIntoFolder(path, trash).empty()) {
      outcome.removed.push_back(path);
    }
  }
  if (!trashShown) {
    const int n = static_cast<int>(outcome.removed.size());
    outcome.status = MailText(n == 1 ? mailtext::kMovedToTrashOne : mailtext::kMovedToTrashMany,
                              {std::to_string(n)});
  }
  return outcome;
}

MoveOutcome MailStore::MoveDroppedFiles(const std::vector<std::string>& files, const std::string& folder) const {
  MoveOutcome outcome;
  const std::string target = FolderPath(folder, IsSystemFolder(folder));
  const std::string root = MailRoot(false);
  if (target.empty() || root.empty()) return outcome;
  const std::string shownName = IsSystemFolder(folder) ? SystemFolderName(folder) : FolderNameOf(target);
  for (const std::string& file : files) {
    if (!platform::FileExists(file)) continue;
    const std::string source = FolderOf(file);
    // Only messages of this store's folders are moved.
    if (!SameFolder(FolderOf(source), root)) continue;
    if (SameFolder(source, target)) {
      app_->Messages().Error(MailText(mailtext::kCannotCopyToItself));
      outcome.refused = true;
      break;
    }
    if ((IsOutgoingPath(file) || IsOutgoingPath(target)) && !IsTrashPath(target)) {
      app_->Messages().Error(MailText(mailtext::kCannotMoveOutgoing));
      outcome.refused = true;
      break;
    }
    std::string moved = MoveIntoFolder(file, target);
    if (moved.empty()) continue;
    outcome.movedFrom.push_back(file);
    outcome.movedTo.push_back(std::move(moved));
  }
  const int n = static_cast<int>(outcome.movedFrom.size());
  if (n > 0 || !outcome.refused) {
    outcome.status = MailText(n == 1 ? mailtext::kMovedToOne : mailtext::kMovedToMany,
                              {std::to_string(n), shownName});
  }
  return outcome;
}

// --- folder operations ------------------------------------------------------------------

std::string MailStore::NewFolderTitle() { return MailText(mailtext::kNewFolderTitle); }
std::string MailStore::NewFolderPrompt() { return MailText(mailtext::kNewFolderPrompt); }
std::string MailStore::RenameFolderTitle() { return MailText(mailtext::kRenameFolderTitle); }
std::string MailStore::RenameFolderPrompt(const std::string& currentName) {
  return MailText(mailtext::kRenameFolderPrompt, {currentName});
}

FolderResult MailStore::NewFolder(const std::string& name) const {
  if (!IsUsableFolderName(name)) {
    app_->Messages().Error(MailText(mailtext::kInvalidFolderName));
    return FolderResult::InvalidName;
  }
  const std::string root = MailRoot(true);
  if (root.empty()) return FolderResult::Failed;
  if (IsSystemFolder(name) || !FindDirectoryNoCase(root, name).empty()) {
    app_->Messages().Error(MailText(mailtext::kFolderExists));
    return FolderResult::Exists;
  }
  std::error_code ec;
  if (!fs::create_directory(root + name, ec) || ec) {
    app_->Messages().Error(MailText(mailtext::kErrorCreatingEmailDirectory));
    return FolderResult::Failed;
  }
  return FolderResult::Done;
}

FolderResult MailStore::RenameFolder(const std::string& oldName, const std::string& newName) const {
  if (IsSystemFolder(oldName)) {
    app_->Messages().Error(MailText(mailtext::kSystemFolderFixed));
    return FolderResult::SystemFolder;
  }
  if (!IsUsableFolderName(newName)) {
    app_->Messages().Error(MailText(mailtext::kInvalidFolderName));
    return FolderResult::InvalidName;
  }
  const std::string root = MailRoot(true);
  if (root.empty()) return FolderResult::Failed;
  const std::string oldPath = FolderPath(oldName, false);
  if (oldPath.empty()) {
    app_->Messages().Error(MailText(mailtext::kFolderExists));
    return FolderResult::Failed;
  }
  const std::string oldDir = WithoutTrailingSeparator(oldPath);
  if (IsSystemFolder(newName) || !FindDirectoryNoCase(root, newName, FileNameOf(oldDir)).empty()) {
    app_->Messages().Error(MailText(mailtext::kFolderExists));
    return FolderResult::Exists;
  }
  platform::MoveResult result;
  {
    std::lock_guard<std::mutex> lock(app_->MailLock());
    result = platform::MoveFileNoReplace(oldDir, root + newName);
  }
  if (result != platform::MoveResult::Moved) {
    app_->Messages().Error(MailText(mailtext::kFolderExists));
    return result == platform::MoveResult::TargetExists ? FolderResult::Exists : FolderResult::Failed;
  }
  return FolderResult::Done;
}

FolderResult MailStore::DeleteFolder(const std::string& name) const {
  if (IsSystemFolder(name)) {
    app_->Messages().Error(MailText(mailtext::kSystemFolderFixed));
    return FolderResult::SystemFolder;
  }
  const std::string path = FolderPath(name, false);
  if (path.empty()) {
    app_->Messages().Error(MailText(mailtext::kFolderNotRemoved, {name}));
    return FolderResult::Failed;
  }
  const std::vector<std::string> files = FilesIn(path);
  // [email] setting kept by the question's check box. Deleting a folder
  // removes its messages for good, so a ticked box counts only with a Yes:
  // a user who ticks it and answers No has not agreed to silent deletions.
  if (!files.empty() && !app_->IsOn(kEmailDontPromptForFolderDeletion)) {
    bool dontAsk = false;
    const int answer = app_->Messages().QuestionWithCheckBox(
        MailText(mailtext::kDeleteFolderQuestion, {name, std::to_string(files.size())}),
        MailText(mailtext::kConfirm), MailText(mailtext::kDontAskAgain), &dontAsk);
    if (answer != IDYES && answer != IDOK) return FolderResult::Cancelled;
    if (dontAsk) app_->Write(kEmailDontPromptForFolderDeletion, 1);
  }
  for (const std::string& file : files) {
    MakeWritable(file);
    std::error_code ec, statError;
    fs::remove(file, ec);
    if (ec || fs::exists(fs::symlink_status(file, statError))) {
      app_->Messages().Error(MailText(mailtext::kFileNotRemoved, {file}));
      return FolderResult::Failed;
    }
  }
  std::error_code ec;
  if (!fs::remove(WithoutTrailingSeparator(path), ec) || ec) {
    app_->Messages().Error(MailText(mailtext::kFolderNotRemoved, {name}));
    return FolderResult::Failed;
  }
  return FolderResult::Done;
}

int MailStore::MarkOutgoingPendingExceptClaimed() const {
  int marked = 0;
  for (const char* folder : {kOutboxFolder, kDraftFolder}) {
    const std::string path = FolderPath(folder, false);
    if (path.empty()) continue;
    for (const std::string& file : FilesIn(path)) {
      std::error_code ec;
      if (fs::file_size(file, ec) < kMinMessageSize || ec) continue;
      if (platform::IsFileClaimed(file)) continue;
      if (MarkUnread(file)) ++marked;
    }
  }
  return marked;
}

int MailStore::EmptyTrash() const {
  const std::string trash = FolderPath(kTrashFolder, false);
  if (trash.empty()) return 0;
  int removed = 0;
  for (const std::string& file : FilesIn(trash)) {
    MakeWritable(file);
    std::error_code ec;
    if (fs::remove(file, ec) && !ec) ++removed;
  }
  return removed;
}

int MailStore::CleanLeftovers() const {
  int removed = 0;
  const std::string outbox = FolderPath(kOutboxFolder, false);
  if (!outbox.empty()) {
    const std::int64_t now = NowNs();
    std::lock_guard<std::mutex> lock(app_->MailLock());
    for (const std::string& file : FilesIn(outbox)) {
      if (FileNameOf(file).find(".mail") != std::string::npos) continue;
      // A file a run holds is being stored or sent, whatever its times say.
      if (platform::IsFileClaimed(file)) continue;
      platform::FileTimes t;
      if (platform::GetFileTimes(file, t) && now - t.createdNs < kLeftoverMinAgeNs) continue;
      MakeWritable(file);
      std::error_code ec;
      if (fs::remove(file, ec) && !ec) ++removed;
    }
  }
  // Files in _TEMP and in its folders (the viewer's display folder and the
  // folders of the attachments of forwards) become writable again, so the
  // next decode may remove them. Links are not followed.
  const std::string temp = app_->GetDataDirectory("_TEMP", false);
  if (!temp.empty() && platform::DirectoryExists(WithoutTrailingSeparator(temp))) {
    std::error_code ec;
    fs::recursive_directory_iterator it(WithoutTrailingSeparator(temp), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      std::error_code statusError;
      if (fs::symlink_status(it->path(), statusError).type() == fs::file_type::regular && !statusError) {
        MakeWritable(it->path().string());
      }
    }
  }
  return removed;
}

}  // namespace vyr
