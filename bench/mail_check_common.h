#pragma once
// What the mail-check benchmarks share: the messages they put in the
// mailbox and one timed check run through a window handle of their own.
#include <chrono>
#include <cstdio>
#include <string>

#include "base/application.h"
#include "mail/receive/mail_check.h"
#include "platform/window_messages.h"

namespace vyr::bench {

using Clock = std::chrono::steady_clock;

inline std::string MakeMessage(int n, size_t bodyBytes) {
  std::string m = "From: Sender <sender@mail.example>\nTo: alice@mail.example\nSubject: Message number " +
                  std::to_string(n) + "\nDate: Tue, 1 Dec 2026 10:00:00 +0000\nMessage-ID: <m" +
                  std::to_string(n) + "@mail.example>\n\n";
  while (m.size() < bodyBytes) {
    m += "Some text of message " + std::to_string(n) + ", wrapped like ordinary mail is wrapped.\n";
  }
  return m;
}

// One whole check; its time in seconds (negative on failure). Status
// texts go to standard error.
inline double RunCheck(Application& app) {
  struct Window : platform::MessageTarget {
    bool finished = false;
    int result = -1;
    void OnWindowMessage(const platform::WindowMessage& m) override {
      if (m.message == kMsgMailStatus) std::fprintf(stderr, "  %s\n", m.text.value_or("").c_str());
      if (m.message == kMsgMailCheckFinished) {
        finished = true;
        result = static_cast<int>(m.lParam);
      }
    }
  } window;
  auto& messages = platform::WindowMessages::Instance();
  platform::WindowHandle handle = messages.Register(&window);
  double seconds = -1;
  {
    MailCheck check(app, handle);
    auto start = Clock::now();
    if (check.StartMailCheck(true)) {
      while (!window.finished) messages.WaitAndDispatch(std::chrono::milliseconds(100));
      if (window.result == 0) seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
  }
  messages.Unregister(handle);
  return seconds;
}

}  // namespace vyr::bench
