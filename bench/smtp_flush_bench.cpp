// The Outbox flush against a local recording SMTP server (aiosmtpd): 200
// queued messages of about 2 KB, each sent over a connection of its own.
// Reports the flush's total time, the fixed pauses it must take (50 ms
// before every send, 100 ms before every message, 10 ms after every file
// name) and the time beyond them per message; then msmtp (when installed)
// sends the same messages, as the server received them, to a second server.
//
//   build/bench/smtp_flush_bench [messages]
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>

#include "base/application.h"
#include "mail/send/outbox.h"
#include "mail/body/rich_text.h"
#include "platform/profile_file.h"
#include "platform/tick_count.h"
#include "tools/python_fixture.h"
#include "tools/test_support.h"

extern char** environ;

using namespace vyr;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr const char* kMsmtp = "/usr/bin/msmtp";

class BenchCompose : public ComposeWindow {
 public:
  std::string ToText() const override { return to; }
  std::string CcText() const override { return ""; }
  std::string BccText() const override { return ""; }
  std::string SubjectText() const override { return subject; }
  std::string BodyForm() const override { return body; }
  std::vector<std::string> Attachments() const override { return {}; }
  std::string StoredPath() const override { return {}; }
  void SetStoredPath(const std::string&) override {}
  void SetSubjectText(const std::string& s) override { subject = s; }
  void FocusToBox() override {}
  void FocusSubjectBox() override {}
  platform::WindowHandle Handle() const override { return 0; }
  std::string to, subject, body;
};

std::string Body(int n) {
  std::string text;
  while (text.size() < 2000) {
    text += "Line of message " + std::to_string(n) + ", long enough to look like ordinary mail.\n";
  }
  RichTextDocument doc;
  doc.Append(text, doc.DefaultFormat());
  return GetBodyRichText(doc);
}

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// How much longer than asked a 50 ms pause takes on this machine.
double PauseOvershootMs() {
  const int rounds = 20;
  const auto start = Clock::now();
  for (int i = 0; i < rounds; ++i) platform::SleepMs(50);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  return (ms - rounds * 50.0) / rounds;
}

// Runs msmtp once with the message on its standard input; true on success.
bool RunMsmtp(int port, const std::string& messageFile, const std::string& recipient) {
  const std::string portArg = "--port=" + std::to_string(port);
  std::vector<std::string> args = {kMsmtp, "--host=127.0.0.1", portArg, "--auth=off", "--tls=off",
                                   "--domain=bench.example", "--from=ann@mail.example", "--",
                                   recipient};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, messageFile.c_str(), O_RDONLY, 0);
  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, kMsmtp, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 200;
  test::TempDir home;
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app(home.Path(), boxes, sounds);

  test::SmtpRecordServer::Options quiet;
  quiet.sessionLogs = false;
  test::SmtpRecordServer server(quiet);
  std::string error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "cannot start the recording server: %s\n", error.c_str());
    return 1;
  }
  app.WriteString("email", "smtp-server", "127.0.0.1");
  app.WriteInt("email", "SMTPPort", server.Port());
  app.WriteString("email", "name", "Ann Sender");
  app.WriteString("email", "e-address", "ann@mail.example");

  Outbox outbox(app);
  const auto queueStart = Clock::now();
  for (int i = 0; i < count; ++i) {
    BenchCompose w;
    w.to = "Bob <bob@mail.example>";
    w.subject = "Message " + std::to_string(i);
    w.body = Body(i);
    if (outbox.QueueMessage(w, false) != 0) {
      std::fprintf(stderr, "queueing message %d failed\n", i);
      return 1;
    }
  }
  const double queueSeconds = std::chrono::duration<double>(Clock::now() - queueStart).count();
  const long queuePauses = outbox.MandatedPauseMs();

  const double overshoot = PauseOvershootMs();
  const double cpuStart = CpuSeconds();
  const auto start = Clock::now();
  const SmtpResult result = outbox.FlushOutbox(0);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpu = CpuSeconds() - cpuStart;
  const double pauses = (outbox.MandatedPauseMs() - queuePauses) / 1000.0;
  const size_t received = server.Messages().size();
  if (result != SmtpResult::kSent || received != static_cast<size_t>(count)) {
    std::fprintf(stderr, "the flush failed: result %d, %zu of %d received\n", static_cast<int>(result),
                 received, count);
    return 1;
  }
  std::printf("queued %d messages in %.2f s (%.2f s of it the 10 ms naming pauses)\n", count,
              queueSeconds, queuePauses / 1000.0);
  const double pausesPerMessage = (outbox.MandatedPauseMs() - queuePauses) / 50.0 / count;
  std::printf("vyrelle flush: %d messages in %.2f s; fixed pauses %.2f s; beyond them %.2f ms per message\n",
              count, seconds, pauses, (seconds - pauses) * 1000.0 / count);
  std::printf("  of which: this process's CPU %.2f ms per message; the pauses' own overshoot about "
              "%.2f ms per message (%.3f ms per pause); the rest is waiting for the server's replies\n",
              cpu * 1000.0 / count, overshoot * pausesPerMessage, overshoot);

  if (::access(kMsmtp, X_OK) != 0) {
    std::printf("msmtp: not installed (Debian package msmtp)\n");
    return 0;
  }
  test::SmtpRecordServer second(quiet);
  if (!second.Start(&error)) {
    std::fprintf(stderr, "cannot start the second recording server: %s\n", error.c_str());
    return 1;
  }
  const auto messages = server.Messages();
  const auto msmtpStart = Clock::now();
  int sent = 0;
  for (const auto& m : messages) sent += RunMsmtp(second.Port(), m.dataPath, "bob@mail.example");
  const double msmtpSeconds = std::chrono::duration<double>(Clock::now() - msmtpStart).count();
  std::printf("msmtp: %d of %zu messages in %.2f s; %.2f ms per message (one process each)\n", sent,
              messages.size(), msmtpSeconds, msmtpSeconds * 1000.0 / static_cast<double>(messages.size()));
  return sent == static_cast<int>(messages.size()) ? 0 : 1;
}
