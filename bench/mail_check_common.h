#pragma once
// What the mail-check benchmarks share: the messages they put in the
// mailbox and one timed check.
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "base/application.h"
#include "mail/check/mail_check_driver.h"
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

// One whole check, run through the driver as a window runs it; its time in
// seconds (negative on failure). Status texts go to standard error.
inline double RunCheck(Application& app) {
  struct Printed : MailCheckObserver {
    std::optional<MailCheckEnd> end;
    void MailCheckStatus(const std::string& text, bool) override { std::fprintf(stderr, "  %s\n", text.c_str()); }
    void MailCheckFinished(const MailCheckEnd& e) override { end = e; }
  } printed;
  MailCheckDriver driver(app, printed);
  const auto start = Clock::now();
  if (!driver.Start(true)) return -1;
  while (!printed.end) platform::WindowMessages::Instance().WaitAndDispatch(std::chrono::milliseconds(100));
  return printed.end->allWell ? std::chrono::duration<double>(Clock::now() - start).count() : -1;
}

}  // namespace vyr::bench
