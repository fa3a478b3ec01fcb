#include "mail/read/mail_search.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "mail/store/folder_loader.h"
#include "platform/file_times.h"
#include "platform/text.h"

namespace vyr {

namespace fs = std::filesystem;

namespace {

bool EndsWithMail(const std::string& name) { return platform::EndsWithNoCase(name, ".mail"); }

// The "*.mail" files of a folder, by name.
std::vector<std::string> MailFiles(const std::string& folderPath) {
  std::vector<std::string> files;
  std::error_code ec;
  fs::directory_iterator it(folderPath, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    const std::string name = it->path().filename().string();
    if (EndsWithMail(name)) files.push_back(it->path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// --- posted events ---------------------------------------------------------------------------

void Put(std::string& out, const std::string& field) {
  out += std::to_string(field.size());
  out += ':';
  out += field;
}

bool Get(const std::string& s, size_t& pos, std::string& field) {
  const size_t colon = s.find(':', pos);
  if (colon == std::string::npos || colon == pos || colon - pos > 12) return false;
  size_t length = 0;
  for (size_t i = pos; i < colon; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    length = length * 10 + static_cast<size_t>(s[i] - '0');
  }
  if (length > s.size() - colon - 1) return false;
  field = s.substr(colon + 1, length);
  pos = colon + 1 + length;
  return true;
}

std::string Encode(const SearchEvent& e) {
  std::string out;
  Put(out, e.text);
  Put(out, std::to_string(e.found));
  Put(out, e.canceled ? "1" : "0");
  Put(out, e.row.subject);
  Put(out, e.row.from);
  Put(out, e.row.date);
  Put(out, e.row.folder);
  Put(out, e.row.path);
  return out;
}

bool Decode(const std::string& text, SearchEvent& e) {
  size_t pos = 0;
  std::string found, canceled;
  if (!(Get(text, pos, e.text) && Get(text, pos, found) && Get(text, pos, canceled) &&
        Get(text, pos, e.row.subject) && Get(text, pos, e.row.from) && Get(text, pos, e.row.date) &&
        Get(text, pos, e.row.folder) && Get(text, pos, e.row.path))) {
    return false;
  }
  if (pos != text.size() || (canceled != "0" && canceled != "1") || found.empty() || found.size() > 9 ||
      found.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  e.found = std::stoi(found);
  e.canceled = canceled == "1";
  return true;
}

}  // namespace

std::vector<std::string> SearchFolders(const MailStore& store, const std::string& folder) {
  const std::vector<std::string> names = store.FolderNames();
  if (folder.empty()) return names;
  // The folder as the choice list spells it.
  for (const std::string& name : names) {
    if (platform::AsciiUpper(name) == platform::AsciiUpper(folder)) return {name};
  }
  return {folder};
}

bool MessageMatches(const std::string& path, const std::string& upperText) {
  platform::FileTimes before;
  const bool haveTimes = platform::GetFileTimes(path, before);
  std::string text;
  bool read = false;
  {
    std::ifstream in(path, std::ios::binary);
    if (in) {
      std::array<char, kSearchReadChunk> chunk;
      while (text.size() <= kSearchReadLimit) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        text.append(chunk.data(), static_cast<size_t>(got));
      }
      read = !in.bad();
    }
  }
  if (haveTimes) {
    // Reading moved the access time, which holds the read state. It goes
    // back unless the message was marked read or unread meanwhile (a mark
    // changes the creation time or sets the access time to it).
    platform::FileTimes after;
    if (platform::GetFileTimes(path, after) && after.createdNs == before.createdNs &&
        after.accessedNs != before.accessedNs && after.accessedNs != after.createdNs) {
      platform::SetFileTimes(path, before);
    }
  }
  if (!read) return false;
  return platform::AsciiUpper(std::move(text)).find(upperText) != std::string::npos;
}

std::string SearchingStatusText(const std::string& folder, const std::string& progress) {
  return "Searching " + folder + progress;
}

std::string SearchFinishedText(bool canceled, int found) {
  return FormatMailText("%s. %d messages found", {canceled ? "Canceled" : "Finished", std::to_string(found)});
}

void SearchStop::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
}

bool SearchStop::Pause(std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (wait.count() > 0) changed_.wait_for(lock, wait, [this] { return stop_.load(); });
  return !stop_.load();
}

int RunMailSearch(const MailStore& store, const std::string& text, const std::string& folder, SearchStop& stop,
                  const SearchSink& sink, std::chrono::milliseconds pause) {
  const std::string upperText = platform::AsciiUpper(text);
  std::string progress;
  int found = 0;
  bool first = true;
  bool listening = true;
  auto send = [&](SearchEvent& e) {
    if (!listening) return false;
    if (!sink(e)) {
      listening = false;
      stop.Stop();
      return false;
    }
    return true;
  };
  for (const std::string& name : SearchFolders(store, folder)) {
    if (stop.Stopped()) break;
    const std::string folderPath = store.FolderPath(name, false);
    if (folderPath.empty()) continue;
    for (const std::string& file : MailFiles(folderPath)) {
      if (!first && !stop.Pause(pause)) break;
      first = false;
      if (stop.Stopped()) break;
      if (progress.size() > kSearchProgressLimit) progress.clear();
      progress += '.';
      SearchEvent status;
      status.kind = SearchEventKind::Status;
      status.text = SearchingStatusText(name, progress);
      if (!send(status)) break;
      if (!MessageMatches(file, upperText)) continue;
      MessageSummary summary;
      platform::FileTimes times;
      const SummaryResult result = store.ReadSummaryQuiet(file, summary, &times);
      if (result != SummaryResult::Ok) continue;
      const MessageRow row = MakeRow(summary, &times);
      SearchEvent hit;
      hit.kind = SearchEventKind::Row;
      hit.row.subject = row.subjectShown;
      hit.row.from = summary.from;
      hit.row.date = row.dateShown;
      hit.row.folder = name;
      hit.row.path = file;
      ++found;
      if (!send(hit)) break;
    }
  }
  SearchEvent finished;
  finished.kind = SearchEventKind::Finished;
  finished.canceled = stop.Stopped();
  finished.found = found;
  finished.text = SearchFinishedText(finished.canceled, found);
  send(finished);
  return found;
}

SearchSink PostSearchToWindow(platform::WindowHandle window, std::uint32_t message) {
  return [window, message](const SearchEvent& e) {
    return platform::PostText(window, message, Encode(e), static_cast<platform::WParam>(e.generation),
                              static_cast<platform::LParam>(e.kind));
  };
}

bool DecodeSearchMessage(const platform::WindowMessage& message, SearchEvent& event) {
  if (!message.text) return false;
  if (message.lParam < static_cast<platform::LParam>(SearchEventKind::Status) ||
      message.lParam > static_cast<platform::LParam>(SearchEventKind::Finished)) {
    return false;
  }
  SearchEvent e;
  e.kind = static_cast<SearchEventKind>(message.lParam);
  e.generation = static_cast<unsigned>(message.wParam);
  if (!Decode(*message.text, e)) return false;
  event = std::move(e);
  return true;
}

// --- the worker ----------------------------------------------------------------------------------

MailSearch::MailSearch(const MailStore& store) : store_(store) {}

MailSearch::~MailSearch() { Stop(); }

unsigned MailSearch::Start(const std::string& text, const std::string& folder, SearchSink sink,
                           std::chrono::milliseconds pause) {
  return worker_.StartRun(kSearchStopWait, [store = store_, text, folder, sink = std::move(sink),
                                            pause](std::shared_ptr<Run> run, unsigned generation) mutable {
    Body(store, std::move(run), text, folder, generation, std::move(sink), pause);
  });
}

bool MailSearch::Stop(std::chrono::milliseconds wait) { return worker_.StopRun(wait); }
bool MailSearch::IsRunning() const { return worker_.IsRunning(); }
unsigned MailSearch::Generation() const { return worker_.Generation(); }
bool MailSearch::WaitUntilFinished(std::chrono::milliseconds timeout) const {
  return worker_.WaitUntilFinished(timeout);
}

void MailSearch::Body(MailStore store, std::shared_ptr<Run> run, std::string text, std::string folder,
                      unsigned generation, SearchSink sink, std::chrono::milliseconds pause) {
  Worker::DoneMark markDone(*run);
  try {
    RunMailSearch(
        store, text, folder, run->stop,
        [&](const SearchEvent& e) {
          SearchEvent stamped = e;
          stamped.generation = generation;
          return sink(stamped);
        },
        pause);
  } catch (...) {
    // Nothing may leave the thread; the run simply ends.
  }
}

}  // namespace vyr
