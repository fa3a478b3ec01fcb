// Searching 10 000 messages (Inbox and two user folders, 2 to 16 KB each)
// for a text, as the search panel does but without its 100 ms pause between
// files (which alone would make 10 000 files take over 16 minutes): on the
// calling thread and through the worker with its events, against a plain
// loop that reads the first 12 KB of every file.
//
//   build/bench/mail_search_bench [messages]
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/application.h"
#include "base/message_box.h"
#include "base/sound_player.h"
#include "mail/read/mail_search.h"
#include "mail/store/mail_store.h"

using Clock = std::chrono::steady_clock;

static double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

static std::string MessageText(int i) {
  const std::string n = std::to_string(i);
  std::string m = "Return-Path: <sender" + n + "@lists.example.org>\r\n";
  m += "Received: from relay.example.net by mx.example.com; Tue, 3 Mar 2020 10:15:00 +0100\r\n";
  m += "From: \"Sender " + n + "\" <sender" + n + "@lists.example.org>\r\nTo: Me <me@example.com>\r\n";
  m += "Subject: Weekly report " + n + "\r\nDate: Tue, 3 Mar 2020 10:15:00 +0100\r\n\r\n";
  const int lines = 30 + (i % 8) * 25;  // about 2 to 16 KB
  for (int l = 0; l < lines; ++l) {
    m += "Line " + std::to_string(l) + " of the report body of message " + n + ", nothing special.\r\n";
    // One message in fifty mentions the searched words early, one in a
    // hundred only past the part the search reads.
    if (l == 5 && i % 50 == 0) m += "The Quarterly Figures are attached.\r\n";
    if (l == lines - 1 && i % 100 == 1 && m.size() > 13000) m += "quarterly figures again\r\n";
  }
  return m + ".";
}

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
  char pattern[] = "/tmp/vyrelle-search-bench-XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  const std::string home = pattern;

  vyr::StderrMessageBox boxes;
  vyr::SilentSoundPlayer sounds;
  vyr::Application app(home, boxes, sounds);
  vyr::MailStore store(app);
  const char* folders[] = {"Inbox", "Projects", "Lists"};
  std::uintmax_t bytes = 0;
  for (int i = 0; i < count; ++i) {
    const std::string folder = store.FolderPath(folders[i % 3], true);
    if (folder.empty()) return 1;
    const std::string path = folder + "S" + std::to_string(i) + ".mail";
    const std::string text = MessageText(i);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 1;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    bytes += text.size();
  }
  std::printf("%d messages, %.1f MB in 3 folders\n", count, static_cast<double>(bytes) / (1024 * 1024));

  auto plainRead = [&] {
    size_t total = 0;
    std::string buf(12288, '\0');
    for (const char* name : folders) {
      for (const auto& entry : std::filesystem::directory_iterator(store.FolderPath(name, false))) {
        std::FILE* f = std::fopen(entry.path().c_str(), "rb");
        if (!f) continue;
        total += std::fread(buf.data(), 1, buf.size(), f);
        std::fclose(f);
      }
    }
    return total;
  };
  plainRead();  // warm the cache

  double bestPlain = 1e18, bestSearch = 1e18, bestWorker = 1e18;
  int found = 0, workerFound = 0;
  for (int round = 0; round < 5; ++round) {
    auto t0 = Clock::now();
    plainRead();
    bestPlain = std::min(bestPlain, Ms(t0, Clock::now()));

    vyr::SearchStop stop;
    t0 = Clock::now();
    found = vyr::RunMailSearch(
        store, "quarterly FIGURES", "", stop, [](const vyr::SearchEvent&) { return true; },
        std::chrono::milliseconds(0));
    bestSearch = std::min(bestSearch, Ms(t0, Clock::now()));

    std::atomic<int> rows{0};
    t0 = Clock::now();
    {
      vyr::MailSearch search(store);
      search.Start(
          "quarterly FIGURES", "",
          [&](const vyr::SearchEvent& e) {
            if (e.kind == vyr::SearchEventKind::Row) ++rows;
            return true;
          },
          std::chrono::milliseconds(0));
      search.WaitUntilFinished(std::chrono::minutes(10));
    }
    bestWorker = std::min(bestWorker, Ms(t0, Clock::now()));
    workerFound = rows;
  }
  std::printf("plain read of the first 12 KB: %.1f ms\n", bestPlain);
  std::printf("search, calling thread:        %.1f ms (%d found, %.1f us a message)\n", bestSearch, found,
              bestSearch * 1000 / count);
  std::printf("search, worker with events:    %.1f ms (%d found)\n", bestWorker, workerFound);
  std::printf("with the window's 100 ms pause the same search would take %.0f s\n", count * 0.1);
  std::filesystem::remove_all(home);
  return 0;
}
