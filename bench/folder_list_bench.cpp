// Listing a large mail folder: 10 000 messages with realistic headers and a
// few KB of body each, half of them unread, some subjects in encoded words.
// Times building the list rows (summaries, read state, date column, default
// sort) on the calling thread and through the folder loader's thread,
// against a plain loop that reads the first 4 KB of every file (target: the
// list within twice the plain read); and opening the folder as the mail
// window does, from the loader's start until its last row is in the message
// list and sorted: the loader posts every row as a window message, the
// user-interface thread turns each back into a row of the MessageList
// (target: under 1 s).
//
//   build/bench/folder_list_bench [messages]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/application.h"
#include "base/message_box.h"
#include "base/sound_player.h"
#include "mail/store/folder_loader.h"
#include "mail/store/mail_store.h"
#include "platform/file_times.h"
#include "platform/window_messages.h"

using Clock = std::chrono::steady_clock;

static double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

static std::string MessageText(int i) {
  static const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::string n = std::to_string(i);
  std::string m;
  m += "Return-Path: <sender" + n + "@lists.example.org>\r\n";
  for (int hop = 0; hop < 3; ++hop) {
    m += "Received: from relay" + std::to_string(hop) + ".example.net (relay" + std::to_string(hop) +
         ".example.net [192.0.2." + std::to_string(hop + 1) + "])\r\n\tby mx.example.com with ESMTP id " +
         n + "x" + std::to_string(hop) + "\r\n\tfor <me@example.com>; Tue, 3 Mar 2020 10:15:0" +
         std::to_string(hop) + " +0100\r\n";
  }
  m += "Message-ID: <" + n + ".1234567890@lists.example.org>\r\n";
  m += "From: \"Sender Number " + n + "\" <sender" + n + "@lists.example.org>\r\n";
  m += "To: Me <me@example.com>\r\n";
  if (i % 3 == 0) m += "CC: friend" + n + "@example.net, other@example.net\r\n";
  if (i % 5 == 0) {
    m += "Subject: =?UTF-8?Q?Re:_Gr=C3=BC=C3=9Fe,_Teil_" + n + "?=\r\n";
  } else {
    m += "Subject: Re: the weekly report, part " + n + "\r\n";
  }
  m += std::string("Date: ") + kDays[i % 7] + ", " + std::to_string(1 + i % 28) + " " + kMonths[i % 12] + " " +
       std::to_string(1998 + i % 25) + " " + std::to_string(i % 24) + ":" + std::to_string(10 + i % 50) +
       ":00 +0100 (CET)\r\n";
  m += "MIME-Version: 1.0\r\n";
  if (i % 4 == 0) {
    m += "Content-Type: multipart/mixed;\r\n\tboundary=\"----=_NextPart_" + n + "\"\r\n";
  } else {
    m += "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n";
  }
  m += "Content-Transfer-Encoding: 7bit\r\nX-Mailer: Some Mailer 5.0\r\n\r\n";
  const int bodyLines = 30 + (i % 5) * 20;  // about 2 to 6 KB
  for (int l = 0; l < bodyLines; ++l) {
    m += "This is line " + std::to_string(l) + " of the body text of message " + n + ", nothing more.\r\n";
  }
  m += ".";
  return m;
}

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
  char pattern[] = "/tmp/vyrelle-bench-XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  const std::string home = pattern;

  vyr::StderrMessageBox boxes;
  vyr::SilentSoundPlayer sounds;
  vyr::Application app(home, boxes, sounds);
  vyr::MailStore store(app);
  const std::string inbox = store.FolderPath("Inbox", true);
  if (inbox.empty()) return 1;
  std::uintmax_t bytes = 0;
  for (int i = 0; i < count; ++i) {
    const std::string path = inbox + "S" + std::to_string(i) + ".mail";
    const std::string text = MessageText(i);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 1;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    bytes += text.size();
  }
  // Half of the messages unread. The plain read is another program reading
  // the files, which makes them read: the state is set again before each
  // round, outside the timing.
  auto setReadState = [&] {
    for (int i = 0; i < count; ++i) {
      const std::int64_t created = (1500000000LL + i * 60) * 1000000000LL;
      const std::int64_t accessed = i % 2 == 0 ? created : created + 3600LL * 1000000000LL;
      vyr::platform::SetFileTimes(inbox + "S" + std::to_string(i) + ".mail", {created, accessed});
    }
  };

  // The plain read: the first 4 KB of every file.
  auto plainRead = [&] {
    size_t total = 0;
    char buf[4096];
    for (const auto& entry : std::filesystem::directory_iterator(inbox)) {
      if (entry.is_directory()) continue;
      std::FILE* f = std::fopen(entry.path().c_str(), "rb");
      if (!f) continue;
      total += std::fread(buf, 1, sizeof buf, f);
      std::fclose(f);
    }
    return total;
  };

  plainRead();  // warm the cache
  // The mail window's side of the loader: each posted row goes into the
  // list; the finish sorts it.
  struct ListWindow : vyr::platform::MessageTarget {
    vyr::MessageList list;
    unsigned generation = 0;
    bool finished = false;
    void OnWindowMessage(const vyr::platform::WindowMessage& message) override {
      vyr::LoaderEvent event;
      if (!vyr::DecodeLoaderMessage(message, event)) return;
      list.Apply(event, generation);
      if (event.kind == vyr::LoaderEventKind::Finished && event.generation == generation) finished = true;
    }
  } window;
  auto& messages = vyr::platform::WindowMessages::Instance();
  const vyr::platform::WindowHandle handle = messages.Register(&window);

  double bestPlain = 1e18, bestList = 1e18, bestLoader = 1e18, bestOpen = 1e18;
  size_t rows = 0, loaderRows = 0, unread = 0, windowRows = 0;
  for (int round = 0; round < 5; ++round) {
    setReadState();
    auto t0 = Clock::now();
    plainRead();
    bestPlain = std::min(bestPlain, Ms(t0, Clock::now()));

    setReadState();
    t0 = Clock::now();
    const std::vector<vyr::MessageRow> list = vyr::ListFolderRows(store, inbox);
    bestList = std::min(bestList, Ms(t0, Clock::now()));
    rows = list.size();
    unread = static_cast<size_t>(
        std::count_if(list.begin(), list.end(), [](const vyr::MessageRow& r) { return r.unread; }));

    setReadState();
    t0 = Clock::now();
    size_t seen = 0;
    {
      vyr::FolderLoader loader(store);
      loader.Start(inbox, 0, [&](const vyr::LoaderEvent& e) {
        if (e.kind == vyr::LoaderEventKind::Row) ++seen;
        return true;
      });
      loader.WaitUntilFinished(std::chrono::minutes(5));
    }
    bestLoader = std::min(bestLoader, Ms(t0, Clock::now()));
    loaderRows = seen;

    setReadState();
    t0 = Clock::now();
    {
      vyr::FolderLoader loader(store);
      window.finished = false;
      window.generation = loader.Start(inbox, 0, vyr::PostToWindow(handle));
      while (!window.finished && Ms(t0, Clock::now()) < 300000) {
        messages.WaitAndDispatch(std::chrono::milliseconds(100));
      }
    }
    bestOpen = std::min(bestOpen, Ms(t0, Clock::now()));
    windowRows = window.finished ? window.list.Rows().size() : 0;
  }
  messages.Unregister(handle);

  std::printf("folder: %d messages, %ju bytes; %zu rows listed (%zu unread), %zu by the loader thread\n", count,
              static_cast<uintmax_t>(bytes), rows, unread, loaderRows);
  std::printf("plain read of the first 4 KB: %.1f ms\n", bestPlain);
  std::printf("list rows:                    %.1f ms  (%.2fx the plain read)\n", bestList, bestList / bestPlain);
  std::printf("folder loader thread:         %.1f ms  (%.2fx the plain read)\n", bestLoader, bestLoader / bestPlain);
  std::printf("opening the folder:           %.1f ms  (%zu rows in the message list; target: under 1000 ms)\n",
              bestOpen, windowRows);
  std::printf("best of 5; target: under 2x\n");
  std::filesystem::remove_all(home);
  const bool ok = rows == static_cast<size_t>(count) && loaderRows == rows && windowRows == rows &&
                  unread == static_cast<size_t>((count + 1) / 2);
  if (!ok) std::printf("WRONG: the listing does not match the folder\n");
  return ok ? 0 : 1;
}
