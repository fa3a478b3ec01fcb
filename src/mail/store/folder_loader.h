#pragma once
// The mail window's message list without the window: the row built from a
// message's summary (name and subject shown, Date/Time column, icon, sort
// times), the four sort orders, the status-line texts, the list model the
// window draws from, and the folder loader that fills the list on its own
// thread and reports to the window by posted messages (or to a callback).
//
// Stopping the loader is cooperative: a stop flag checked after every file,
// a bounded wait, and then the owner forgets the worker; every run carries a
// generation number so that the window ignores whatever a forgotten run
// still reports.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mail/store/mail_store.h"
#include "base/stoppable_worker.h"
#include "platform/window_messages.h"

namespace vyr {

// --- rows ---------------------------------------------------------------------------

enum class MessageIcon {
  Unread,
  Read,
  UnreadAttachment,
  ReadAttachment,
  OutgoingUnread,
  OutgoingRead,
  Draft,
};

struct MessageRow {
  std::string nameShown;     // From; To in outgoing folders
  std::string subjectShown;  // Subject or "<No Subject>", "[**]" appended for parts
  std::string dateShown;     // the Date/Time column
  std::string path;
  std::int64_t sortTimeNs = 0;  // creation time of the file (else the message date)
  bool sortTimeValid = false;
  std::int64_t date = 0;  // parsed message date, seconds since 1970
  bool dateValid = false;
  bool unread = false;
  bool multipart = false;   // one part of a message sent in several (total > 1)
  bool attachment = false;  // Content-Type multipart, but not multipart/alternative
  bool outgoing = false;
  bool draft = false;  // lies in a Draft folder
};

MessageIcon IconOf(const MessageRow& row);

// Date column. The Date text is trimmed: cut before the first "(" and then
// before the first "<" (when past the start), everything up to and including
// the first "," dropped (likewise), and after a ":" past the start the text
// is kept up to and including the first space after it (the zone goes).
std::string TrimMailDate(const std::string& date);
// Parses a trimmed Date text as local time, in the C locale, trying the
// common forms ("9 May 1998 18:30:37", "9 May 98 18:30", "1998-05-09
// 18:30", "May 9 1998", an optional leading weekday...). Two-digit years
// 69-99 are 1969-1999, 00-68 are 2000-2068.
bool ParseMailDate(const std::string& trimmed, std::int64_t& when);
// "%d %b %Y [%H:%M %Y - %A]" in local time.
std::string FormatDateColumn(std::int64_t when);
// Fills dateShown, date and dateValid: the formatted date when the trimmed
// text parses, else the untrimmed Date text and an invalid date.
void FillDateColumn(const std::string& dateHeader, MessageRow& row);

// A row from a summary; times: the file's times when it could be examined.
MessageRow MakeRow(const MessageSummary& summary, const platform::FileTimes* times);

struct ListColumn {
  std::string title;
  int width = 0;
};
// Icon column (30 pixels), "Subject", "From" ("To" for outgoing folders),
// "Date/Time".
std::vector<ListColumn> MessageListColumns(bool outgoingFolder);

// --- sorting ---------------------------------------------------------------------------

inline constexpr int kSortByState = 0;    // unread first, then the later sort time
inline constexpr int kSortBySubject = 1;  // subject, ascending, any case
inline constexpr int kSortByName = 2;     // name without one leading '"' or '<', ascending
inline constexpr int kSortByDate = 3;     // the later message date first

// <0, 0, >0 for direction +1; invalid times sort after valid ones.
int CompareRows(const MessageRow& a, const MessageRow& b, int key);
// Stable sort by the key; direction -1 reverses every comparison.
void SortRows(std::vector<MessageRow>& rows, int key, int direction);
// kSortByDate for outgoing folders, kSortByState for every other.
int DefaultSortKey(const std::string& folderPath);

// --- status texts ------------------------------------------------------------------------

inline constexpr int kLargeInboxCount = 100;

// "Loading %s ..."
std::string LoadingStatusText(const std::string& folderName);
// After a folder is listed: "No messages in %s"; for Inbox after a check
// that brought new messages "%d New e-mail message" / "%d new e-mail
// messages"; otherwise "%d message in %s" / "%d messages in %s.", for an
// Inbox of more than 100 messages followed by two spaces and the hint to
// create folders.
std::string FolderStatusText(const std::string& folderName, int count, bool inbox, int newMessages);

// --- the loader ---------------------------------------------------------------------------

enum class LoaderEventKind { Started = 1, Row = 2, OpenFailed = 3, Finished = 4 };

struct LoaderEvent {
  LoaderEventKind kind = LoaderEventKind::Started;
  unsigned generation = 0;
  std::string folderPath;  // Started
  std::string text;        // Started: "Loading %s ..."; OpenFailed: "Open Failed"; Finished: status
  MessageRow row;          // Row; OpenFailed: row.path is the file
  int count = 0;           // Finished: rows listed
};

// Receives the loader's events on the loader's thread. Returning false stops
// the run (the window is gone).
using LoaderSink = std::function<bool(const LoaderEvent&)>;

// The window message the loader posts by default: wParam the generation,
// lParam the event kind, the text the encoded event.
inline constexpr std::uint32_t kFolderLoaderMessage = 0x8A41;

// A sink that posts every event to a window; it answers false once the
// window is gone, which ends the run.
LoaderSink PostToWindow(platform::WindowHandle window, std::uint32_t message = kFolderLoaderMessage);
// Turns a posted loader message back into its event. False when it is not one.
bool DecodeLoaderMessage(const platform::WindowMessage& message, LoaderEvent& event);

// Lists a folder: a row for every non-directory file that yields a summary,
// in enumeration order. stop is checked after every file. onOpenFailed gets
// the path of a file that could not be opened. Returns the number of rows,
// or -1 when stopped (by the flag or by a callback answering false).
int ScanFolder(const MailStore& store, const std::string& folderPath, const std::atomic<bool>* stop,
               const std::function<bool(MessageRow&&)>& onRow,
               const std::function<bool(const std::string&)>& onOpenFailed = {});
// The rows of a folder in its default order.
std::vector<MessageRow> ListFolderRows(const MailStore& store, const std::string& folderPath);

// How long Stop waits for a running loader before forgetting it.
inline constexpr std::chrono::milliseconds kLoaderStopWait{1100};

class FolderLoader {
 public:
  // The store is copied; its application object must outlive every run.
  explicit FolderLoader(const MailStore& store);
  // Stops a running loader (bounded wait, then forgets it).
  ~FolderLoader();
  FolderLoader(const FolderLoader&) = delete;
  FolderLoader& operator=(const FolderLoader&) = delete;

  // Stops a previous run, then lists the folder on a new thread: Started
  // ("Loading %s ..."), one Row per message, then Finished with the status
  // text (newMessages: messages stored by the last mail check, for Inbox).
  // Returns the run's generation.
  unsigned Start(const std::string& folderPath, int newMessages, LoaderSink sink);
  // Sets the run's stop flag and waits up to wait for it to end. When it has
  // not ended by then it is forgotten (never killed): it leaves at its next
  // check and whatever it still reports carries a stale generation. True when
  // no run was left behind.
  bool Stop(std::chrono::milliseconds wait = kLoaderStopWait);
  // A run is going on (for the mail check, which waits for it).
  bool IsRunning() const;
  // The generation whose events the window takes; every other is stale.
  unsigned Generation() const;
  // Waits until the current run has ended. True when it has.
  bool WaitUntilFinished(std::chrono::milliseconds timeout) const;

 private:
  using Worker = StoppableWorker<std::atomic<bool>>;
  using Run = Worker::Run;
  static void Body(MailStore store, std::shared_ptr<Run> run, std::string folderPath, int newMessages,
                   unsigned generation, LoaderSink sink);

  MailStore store_;
  Worker worker_;
};

// --- the list model -------------------------------------------------------------------------

// What the message list holds and how it is ordered; the window shows it.
class MessageList {
 public:
  // Empties the list for a folder and sets the folder's default order
  // (direction +1).
  void Reset(const std::string& folderPath);
  const std::string& FolderPath() const { return folderPath_; }
  bool OutgoingFolder() const { return outgoing_; }
  std::vector<ListColumn> Columns() const { return MessageListColumns(outgoing_); }
  const std::vector<MessageRow>& Rows() const { return rows_; }
  int SortKey() const { return sortKey_; }
  int Direction() const { return direction_; }

  void Add(MessageRow row);     // at the end (the loader's rows; sorted when it finishes)
  void Insert(MessageRow row);  // at its place in the current order
  // A message stored by the mail check: reads its summary and inserts its
  // row. False when the file yields no summary.
  bool AddMessage(const MailStore& store, const std::string& path);
  void Sort();
  // A click on a column header: that column becomes the key and the
  // direction is reversed, whichever column it was.
  void ColumnClick(int column);
  int Find(const std::string& path) const;
  bool Remove(const std::string& path);
  size_t RemoveAll(const std::vector<std::string>& paths);
  // Marks the row's message read or unread and updates its state and sort
  // time. False when the file cannot be examined.
  bool MarkRead(size_t index, bool read);

  // Applies a loader event of the given generation (Started resets the list,
  // Row adds, Finished sorts). Events of another generation are ignored and
  // answer false. status receives the status-line text of Started and
  // Finished.
  bool Apply(const LoaderEvent& event, unsigned generation, std::string* status = nullptr);

 private:
  std::string folderPath_;
  bool outgoing_ = false;
  int sortKey_ = kSortByState;
  int direction_ = 1;
  std::vector<MessageRow> rows_;
};

}  // namespace vyr
