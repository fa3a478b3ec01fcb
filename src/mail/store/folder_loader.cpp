#include "mail/store/folder_loader.h"

#include <time.h>

#include <algorithm>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <locale.h>
#include <system_error>

#include "platform/text.h"

namespace vyr {

namespace fs = std::filesystem;

namespace {

int CompareNoCase(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(platform::AsciiLower(a[i]));
    const auto cb = static_cast<unsigned char>(platform::AsciiLower(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Later first; an invalid time after a valid one.
int CompareLaterFirst(bool aValid, std::int64_t a, bool bValid, std::int64_t b) {
  if (aValid != bValid) return aValid ? -1 : 1;
  if (!aValid || a == b) return 0;
  return a > b ? -1 : 1;
}

std::string WithoutLeadingQuote(const std::string& name) {
  if (!name.empty() && (name[0] == '"' || name[0] == '<')) return name.substr(1);
  return name;
}

std::string TrimBlanks(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

// The date forms tried, each also with a leading weekday name. The forms
// with "%Y" come first; a year of fewer than four digits read by them is
// refused, so "9 May 98" falls through to the "%y" forms.
const char* const kDateFormsFullYear[] = {
    "%d %b %Y %H:%M:%S", "%d %b %Y %H:%M", "%d %b %Y",
    "%d-%b-%Y %H:%M:%S", "%d-%b-%Y %H:%M", "%d-%b-%Y",
    "%b %d %Y %H:%M:%S", "%b %d %Y %H:%M", "%b %d %Y",
    "%Y-%m-%d %H:%M:%S", "%Y-%m-%dT%H:%M:%S", "%Y-%m-%d %H:%M", "%Y-%m-%d",
    "%m/%d/%Y %H:%M:%S", "%m/%d/%Y %H:%M", "%m/%d/%Y",
};
const char* const kDateFormsShortYear[] = {
    "%d %b %y %H:%M:%S", "%d %b %y %H:%M", "%d %b %y",
    "%d-%b-%y %H:%M:%S", "%d-%b-%y %H:%M", "%d-%b-%y",
    "%b %d %y %H:%M:%S", "%b %d %y %H:%M", "%b %d %y",
    "%m/%d/%y %H:%M:%S", "%m/%d/%y %H:%M", "%m/%d/%y",
};

bool TryForm(const std::string& text, const std::string& form, bool fullYear, std::int64_t& when) {
  std::tm tm{};
  tm.tm_mday = 1;
  const char* rest = strptime_l(text.c_str(), form.c_str(), &tm, CLocale());
  if (!rest) return false;
  while (*rest == ' ' || *rest == '\t') ++rest;
  if (*rest != '\0') return false;
  if (fullYear && tm.tm_year + 1900 < 1000) return false;
  if (tm.tm_sec > 59) tm.tm_sec = 59;  // a leap second
  std::tm check = tm;
  check.tm_isdst = -1;
  const std::time_t t = std::mktime(&check);
  if (t == static_cast<std::time_t>(-1)) return false;
  // mktime moves an impossible day ("31 Feb") into the next month: refused.
  if (check.tm_year != tm.tm_year || check.tm_mon != tm.tm_mon || check.tm_mday != tm.tm_mday) return false;
  when = static_cast<std::int64_t>(t);
  return true;
}

// --- loader event encoding: "<length>:<bytes>" fields ---------------------------------------

void Put(std::string& out, const std::string& field) {
  out += std::to_string(field.size());
  out += ':';
  out += field;
}
void Put(std::string& out, std::int64_t v) { Put(out, std::to_string(v)); }
void Put(std::string& out, bool v) { Put(out, std::string(v ? "1" : "0")); }

class Reader {
 public:
  explicit Reader(const std::string& s) : s_(s) {}
  bool Get(std::string& field) {
    size_t colon = s_.find(':', pos_);
    if (colon == std::string::npos || colon == pos_ || colon - pos_ > 12) return false;
    size_t length = 0;
    for (size_t i = pos_; i < colon; ++i) {
      if (s_[i] < '0' || s_[i] > '9') return false;
      length = length * 10 + static_cast<size_t>(s_[i] - '0');
    }
    if (length > s_.size() - colon - 1) return false;
    field = s_.substr(colon + 1, length);
    pos_ = colon + 1 + length;
    return true;
  }
  bool Get(std::int64_t& v) {
    std::string f;
    if (!Get(f) || f.empty()) return false;
    try {
      size_t used = 0;
      v = std::stoll(f, &used);
      return used == f.size();
    } catch (...) {
      return false;
    }
  }
  bool Get(int& v) {
    std::int64_t w = 0;
    if (!Get(w)) return false;
    v = static_cast<int>(w);
    return true;
  }
  bool Get(bool& v) {
    std::string f;
    if (!Get(f) || (f != "0" && f != "1")) return false;
    v = f == "1";
    return true;
  }
  bool AtEnd() const { return pos_ == s_.size(); }

 private:
  const std::string& s_;
  size_t pos_ = 0;
};

std::string Encode(const LoaderEvent& e) {
  std::string out;
  Put(out, e.folderPath);
  Put(out, e.text);
  Put(out, static_cast<std::int64_t>(e.count));
  const MessageRow& r = e.row;
  Put(out, r.nameShown);
  Put(out, r.subjectShown);
  Put(out, r.dateShown);
  Put(out, r.path);
  Put(out, r.sortTimeNs);
  Put(out, r.sortTimeValid);
  Put(out, r.date);
  Put(out, r.dateValid);
  Put(out, r.unread);
  Put(out, r.multipart);
  Put(out, r.attachment);
  Put(out, r.outgoing);
  Put(out, r.draft);
  return out;
}

bool Decode(const std::string& text, LoaderEvent& e) {
  Reader in(text);
  MessageRow& r = e.row;
  return in.Get(e.folderPath) && in.Get(e.text) && in.Get(e.count) && in.Get(r.nameShown) &&
         in.Get(r.subjectShown) && in.Get(r.dateShown) && in.Get(r.path) && in.Get(r.sortTimeNs) &&
         in.Get(r.sortTimeValid) && in.Get(r.date) && in.Get(r.dateValid) && in.Get(r.unread) &&
         in.Get(r.multipart) && in.Get(r.attachment) && in.Get(r.outgoing) && in.Get(r.draft) &&
         in.AtEnd();
}

bool IsInboxPath(const std::string& folderPath) {
  return platform::AsciiLower(MailStore::FolderNameOf(folderPath)) == "inbox";
}

}  // namespace

// --- rows ----------------------------------------------------------------------------------

MessageIcon IconOf(const MessageRow& row) {
  if (row.outgoing) {
    if (row.draft) return MessageIcon::Draft;
    return row.unread ? MessageIcon::OutgoingUnread : MessageIcon::OutgoingRead;
  }
  if (row.attachment) return row.unread ? MessageIcon::UnreadAttachment : MessageIcon::ReadAttachment;
  return row.unread ? MessageIcon::Unread : MessageIcon::Read;
}

std::string TrimMailDate(const std::string& date) {
  std::string d = date;
  size_t p = d.find('(');
  if (p != std::string::npos && p > 0) d.resize(p);
  p = d.find('<');
  if (p != std::string::npos && p > 0) d.resize(p);
  p = d.find(',');
  if (p != std::string::npos && p > 0) d.erase(0, p + 1);
  p = d.find(':');
  if (p != std::string::npos && p > 0) {
    size_t space = d.find(' ', p);
    if (space != std::string::npos) d.resize(space + 1);
  }
  return d;
}

bool ParseMailDate(const std::string& trimmedIn, std::int64_t& when) {
  const std::string text = TrimBlanks(trimmedIn);
  if (text.empty()) return false;
  for (const char* prefix : {"", "%a "}) {
    for (const char* form : kDateFormsFullYear) {
      if (TryForm(text, std::string(prefix) + form, true, when)) return true;
    }
    for (const char* form : kDateFormsShortYear) {
      if (TryForm(text, std::string(prefix) + form, false, when)) return true;
    }
  }
  return false;
}

std::string FormatDateColumn(std::int64_t when) {
  const std::time_t t = static_cast<std::time_t>(when);
  std::tm local{};
  if (!localtime_r(&t, &local)) return {};
  char buf[160];
  const size_t n = std::strftime(buf, sizeof buf, "%d %b %Y [%H:%M %Y - %A]", &local);
  return std::string(buf, n);
}

void FillDateColumn(const std::string& dateHeader, MessageRow& row) {
  std::int64_t when = 0;
  if (ParseMailDate(TrimMailDate(dateHeader), when)) {
    row.date = when;
    row.dateValid = true;
    row.dateShown = FormatDateColumn(when);
  } else {
    row.date = 0;
    row.dateValid = false;
    row.dateShown = dateHeader;
  }
}

MessageRow MakeRow(const MessageSummary& s, const platform::FileTimes* times) {
  MessageRow row;
  row.path = s.path;
  row.outgoing = s.outgoing;
  row.unread = s.unread;
  row.nameShown = s.outgoing ? s.to : s.from;
  row.multipart = s.total > 1;
  row.subjectShown = s.subject.empty() ? MailText(mailtext::kNoSubject) : s.subject;
  if (row.multipart) row.subjectShown += MailText(mailtext::kMultiPartMark);
  const std::string type = platform::AsciiLower(s.contentType);
  row.attachment = type.find("multipart") != std::string::npos && type.find("altern") == std::string::npos;
  row.draft = MailStore::IsDraftPath(s.path);
  FillDateColumn(s.date, row);
  if (times) {
    row.sortTimeNs = times->createdNs;
    row.sortTimeValid = true;
  } else if (row.dateValid) {
    row.sortTimeNs = row.date * 1000000000;
    row.sortTimeValid = true;
  }
  return row;
}

std::vector<ListColumn> MessageListColumns(bool outgoingFolder) {
  return {{"", 30},
          {MailText(mailtext::kColumnSubject), 260},
          {MailText(outgoingFolder ? mailtext::kColumnTo : mailtext::kColumnFrom), 170},
          {MailText(mailtext::kColumnDate), 200}};
}

// --- sorting ----------------------------------------------------------------------------------

int CompareRows(const MessageRow& a, const MessageRow& b, int key) {
  switch (key) {
    case kSortBySubject:
      return CompareNoCase(a.subjectShown, b.subjectShown);
    case kSortByName:
      return CompareNoCase(WithoutLeadingQuote(a.nameShown), WithoutLeadingQuote(b.nameShown));
    case kSortByDate:
      return CompareLaterFirst(a.dateValid, a.date, b.dateValid, b.date);
    case kSortByState:
    default:
      if (a.unread != b.unread) return a.unread ? -1 : 1;
      return CompareLaterFirst(a.sortTimeValid, a.sortTimeNs, b.sortTimeValid, b.sortTimeNs);
  }
}

void SortRows(std::vector<MessageRow>& rows, int key, int direction) {
  const int sign = direction < 0 ? -1 : 1;
  std::stable_sort(rows.begin(), rows.end(), [&](const MessageRow& a, const MessageRow& b) {
    return sign * CompareRows(a, b, key) < 0;
  });
}

int DefaultSortKey(const std::string& folderPath) {
  return MailStore::IsOutgoingPath(folderPath) ? kSortByDate : kSortByState;
}

// --- status texts ----------------------------------------------------------------------------

std::string LoadingStatusText(const std::string& folderName) {
  return MailText(mailtext::kLoadingFolder, {folderName});
}

std::string FolderStatusText(const std::string& folderName, int count, bool inbox, int newMessages) {
  if (count <= 0) return MailText(mailtext::kNoMessagesIn, {folderName});
  if (inbox && newMessages > 0) {
    return MailText(newMessages == 1 ? mailtext::kNewMessageOne : mailtext::kNewMessagesMany,
                    {std::to_string(newMessages)});
  }
  if (count == 1) return MailText(mailtext::kMessageInOne, {std::to_string(count), folderName});
  std::string text = MailText(mailtext::kMessagesInMany, {std::to_string(count), folderName});
  if (inbox && count > kLargeInboxCount) text += "  " + MailText(mailtext::kLargeInboxHint);
  return text;
}

// --- loader ----------------------------------------------------------------------------------

LoaderSink PostToWindow(platform::WindowHandle window, std::uint32_t message) {
  return [window, message](const LoaderEvent& e) {
    return platform::PostText(window, message, Encode(e), static_cast<platform::WParam>(e.generation),
                              static_cast<platform::LParam>(e.kind));
  };
}

bool DecodeLoaderMessage(const platform::WindowMessage& message, LoaderEvent& event) {
  if (!message.text) return false;
  if (message.lParam < static_cast<platform::LParam>(LoaderEventKind::Started) ||
      message.lParam > static_cast<platform::LParam>(LoaderEventKind::Finished)) {
    return false;
  }
  LoaderEvent e;
  e.kind = static_cast<LoaderEventKind>(message.lParam);
  e.generation = static_cast<unsigned>(message.wParam);
  if (!Decode(*message.text, e)) return false;
  event = std::move(e);
  return true;
}

int ScanFolder(const MailStore& store, const std::string& folderPath, const std::atomic<bool>* stop,
               const std::function<bool(MessageRow&&)>& onRow,
               const std::function<bool(const std::string&)>& onOpenFailed) {
  auto stopped = [stop] { return stop && stop->load(); };
  int count = 0;
  std::error_code ec;
  fs::directory_iterator it(folderPath, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    if (stopped()) return -1;
    std::error_code typeError;
    if (it->is_directory(typeError)) continue;
    const std::string path = it->path().string();
    MessageSummary summary;
    platform::FileTimes times;
    const SummaryResult result = store.ReadSummaryQuiet(path, summary, &times);
    if (result == SummaryResult::Ok) {
      ++count;
      if (!onRow(MakeRow(summary, &times))) return -1;
    } else if (result == SummaryResult::OpenFailed && onOpenFailed) {
      if (!onOpenFailed(path)) return -1;
    }
    if (stopped()) return -1;
  }
  return count;
}

std::vector<MessageRow> ListFolderRows(const MailStore& store, const std::string& folderPath) {
  std::vector<MessageRow> rows;
  ScanFolder(store, folderPath, nullptr, [&](MessageRow&& row) {
    rows.push_back(std::move(row));
    return true;
  });
  SortRows(rows, DefaultSortKey(folderPath), 1);
  return rows;
}

FolderLoader::FolderLoader(const MailStore& store) : store_(store) {}

FolderLoader::~FolderLoader() { Stop(); }

unsigned FolderLoader::Start(const std::string& folderPath, int newMessages, LoaderSink sink) {
  return worker_.StartRun(kLoaderStopWait, [store = store_, folderPath, newMessages,
                                            sink = std::move(sink)](std::shared_ptr<Run> run,
                                                                    unsigned generation) mutable {
    Body(store, std::move(run), folderPath, newMessages, generation, std::move(sink));
  });
}

bool FolderLoader::Stop(std::chrono::milliseconds wait) { return worker_.StopRun(wait); }
bool FolderLoader::IsRunning() const { return worker_.IsRunning(); }
unsigned FolderLoader::Generation() const { return worker_.Generation(); }
bool FolderLoader::WaitUntilFinished(std::chrono::milliseconds timeout) const {
  return worker_.WaitUntilFinished(timeout);
}

void FolderLoader::Body(MailStore store, std::shared_ptr<Run> run, std::string folderPath, int newMessages,
                        unsigned generation, LoaderSink sink) {
  Worker::DoneMark markDone(*run);
  try {
    const std::string name = MailStore::FolderNameOf(folderPath);
    auto send = [&](LoaderEvent& e) {
      e.generation = generation;
      if (sink(e)) return true;
      run->stop = true;  // nobody listens any more
      return false;
    };
    LoaderEvent started;
    started.kind = LoaderEventKind::Started;
    started.folderPath = folderPath;
    started.text = LoadingStatusText(name);
    if (!send(started)) return;
    const int count = ScanFolder(
        store, folderPath, &run->stop,
        [&](MessageRow&& row) {
          LoaderEvent e;
          e.kind = LoaderEventKind::Row;
          e.row = std::move(row);
          return send(e);
        },
        [&](const std::string& path) {
          LoaderEvent e;
          e.kind = LoaderEventKind::OpenFailed;
          e.text = MailText(mailtext::kOpenFailed);
          e.row.path = path;
          return send(e);
        });
    if (count < 0 || run->stop) return;
    LoaderEvent finished;
    finished.kind = LoaderEventKind::Finished;
    finished.folderPath = folderPath;
    finished.count = count;
    finished.text = FolderStatusText(name, count, IsInboxPath(folderPath), newMessages);
    send(finished);
  } catch (...) {
    // Nothing may leave the thread; the run simply ends.
  }
}

// --- the list model ---------------------------------------------------------------------------

void MessageList::Reset(const std::string& folderPath) {
  folderPath_ = folderPath;
  outgoing_ = MailStore::IsOutgoingPath(folderPath);
  sortKey_ = DefaultSortKey(folderPath);
  direction_ = 1;
  rows_.clear();
}

void MessageList::Add(MessageRow row) { rows_.push_back(std::move(row)); }

void MessageList::Insert(MessageRow row) {
  const int sign = direction_ < 0 ? -1 : 1;
  auto at = std::upper_bound(rows_.begin(), rows_.end(), row, [&](const MessageRow& a, const MessageRow& b) {
    return sign * CompareRows(a, b, sortKey_) < 0;
  });
  rows_.insert(at, std::move(row));
}

bool MessageList::AddMessage(const MailStore& store, const std::string& path) {
  MessageSummary summary;
  platform::FileTimes times;
  if (store.ReadSummaryQuiet(path, summary, &times) != SummaryResult::Ok) return false;
  Insert(MakeRow(summary, &times));
  return true;
}

void MessageList::Sort() { SortRows(rows_, sortKey_, direction_); }

void MessageList::ColumnClick(int column) {
  sortKey_ = std::clamp(column, 0, 3);
  direction_ = -direction_;
  Sort();
}

int MessageList::Find(const std::string& path) const {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].path == path) return static_cast<int>(i);
  }
  return -1;
}

bool MessageList::Remove(const std::string& path) {
  int i = Find(path);
  if (i < 0) return false;
  rows_.erase(rows_.begin() + i);
  return true;
}

size_t MessageList::RemoveAll(const std::vector<std::string>& paths) {
  size_t removed = 0;
  for (const std::string& p : paths) removed += Remove(p) ? 1 : 0;
  return removed;
}

bool MessageList::MarkRead(size_t index, bool read) {
  if (index >= rows_.size()) return false;
  MessageRow& row = rows_[index];
  if (!(read ? MailStore::MarkRead(row.path) : MailStore::MarkUnread(row.path))) return false;
  platform::FileTimes times;
  if (MailStore::MessageTimes(row.path, times)) {
    row.unread = times.accessedNs <= times.createdNs + kUnreadSlackNs;
    row.sortTimeNs = times.createdNs;
    row.sortTimeValid = true;
  }
  return true;
}

bool MessageList::Apply(const LoaderEvent& event, unsigned generation, std::string* status) {
  if (event.generation != generation) return false;
  switch (event.kind) {
    case LoaderEventKind::Started:
      Reset(event.folderPath);
      if (status) *status = event.text;
      break;
    case LoaderEventKind::Row:
      Add(event.row);
      break;
    case LoaderEventKind::OpenFailed:
      break;
    case LoaderEventKind::Finished:
      Sort();
      if (status) *status = event.text;
      break;
  }
  return true;
}

}  // namespace vyr
