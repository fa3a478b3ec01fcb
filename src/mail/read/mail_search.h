#pragma once
// The mail window's search across folders, without the window: every
// "*.mail" file of the chosen folder (or of every folder, in the order of the
// folder choice) is read from its start - 4 KB at a time until more than
// 10 240 characters are in, so at most 12 KB - and a message whose text holds
// the search text, compared upper-cased, gives a result row.
//
// The search runs on its own thread and reports to the window by posted
// messages (or to a callback): status texts, rows, and the final status.
// Stopping is cooperative: a stop flag checked before every file and a pause
// between files that a stop cuts short.
#include <atomic>
#include <chrono>
#include <condition_variable>
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

inline constexpr size_t kSearchReadChunk = 4096;
inline constexpr size_t kSearchReadLimit = 10240;
inline constexpr size_t kSearchProgressLimit = 100;
// The window's pause between files, which keeps it responsive while the
// search reads.
inline constexpr std::chrono::milliseconds kSearchPause{100};

inline constexpr const char* kSearchButtonStop = "Stop";
inline constexpr const char* kSearchButtonDone = "Done";

struct SearchRow {
  std::string subject;  // as the message list shows it ("<No Subject>", "[**]")
  std::string from;
  std::string date;  // the Date/Time column
  std::string folder;
  std::string path;
};

// The folders searched: the one named (any case of a system folder), or,
// for an empty name, every folder of the store in the folder choice's order.
std::vector<std::string> SearchFolders(const MailStore& store, const std::string& folder);

// Reads the start of a message as the search does and tells whether the
// upper-cased search text occurs in it, upper-cased. The file's times are put
// back, so searching never changes a message's read state. False when the
// file cannot be read.
bool MessageMatches(const std::string& path, const std::string& upperText);

// "Searching" + " " + folder + progress dots.
std::string SearchingStatusText(const std::string& folder, const std::string& progress);
// "%s. %d messages found" with "Finished" or "Canceled".
std::string SearchFinishedText(bool canceled, int found);

// A stop flag with a wait that a stop cuts short.
class SearchStop {
 public:
  void Stop();
  bool Stopped() const { return stop_.load(); }
  // Waits for the given time; false (at once) when stopped.
  bool Pause(std::chrono::milliseconds wait);

 private:
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
};

inline void RequestStop(SearchStop& stop) { stop.Stop(); }

enum class SearchEventKind { Status = 1, Row = 2, Finished = 3 };

struct SearchEvent {
  SearchEventKind kind = SearchEventKind::Status;
  unsigned generation = 0;
  std::string text;  // Status: the status line; Finished: the final status
  SearchRow row;     // Row
  int found = 0;     // Finished: rows found
  bool canceled = false;
};

// Receives the search's events on the search's thread. Returning false stops
// the search (the window is gone).
using SearchSink = std::function<bool(const SearchEvent&)>;

// Runs a search on the calling thread: a Status event before each file, a
// Row for each match, and a Finished event at the end (also when stopped,
// unless the sink refused an event). pause: the wait between files.
// Returns the number of rows found.
int RunMailSearch(const MailStore& store, const std::string& text, const std::string& folder, SearchStop& stop,
                  const SearchSink& sink, std::chrono::milliseconds pause = kSearchPause);

// The window message the search posts by default: wParam the generation,
// lParam the event kind, the text the encoded event.
inline constexpr std::uint32_t kMailSearchMessage = 0x8A44;

SearchSink PostSearchToWindow(platform::WindowHandle window, std::uint32_t message = kMailSearchMessage);
// Turns a posted search message back into its event. False when it is not one.
bool DecodeSearchMessage(const platform::WindowMessage& message, SearchEvent& event);

inline constexpr std::chrono::milliseconds kSearchStopWait{1100};

// The search panel's worker.
class MailSearch {
 public:
  // The store is copied; its application object must outlive every run.
  explicit MailSearch(const MailStore& store);
  ~MailSearch();
  MailSearch(const MailSearch&) = delete;
  MailSearch& operator=(const MailSearch&) = delete;

  // Stops a previous run, then searches on a new thread. Returns the run's
  // generation (events of other generations are stale).
  unsigned Start(const std::string& text, const std::string& folder, SearchSink sink,
                 std::chrono::milliseconds pause = kSearchPause);
  // Sets the stop flag and waits up to wait for the run to end; a run that
  // has not ended by then is forgotten (it leaves at its next check). True
  // when no run was left behind.
  bool Stop(std::chrono::milliseconds wait = kSearchStopWait);
  bool IsRunning() const;
  unsigned Generation() const;
  bool WaitUntilFinished(std::chrono::milliseconds timeout) const;

 private:
  using Worker = StoppableWorker<SearchStop>;
  using Run = Worker::Run;
  static void Body(MailStore store, std::shared_ptr<Run> run, std::string text, std::string folder,
                   unsigned generation, SearchSink sink, std::chrono::milliseconds pause);

  MailStore store_;
  Worker worker_;
};

}  // namespace vyr
