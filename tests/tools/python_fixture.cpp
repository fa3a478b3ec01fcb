#include "tools/python_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "tools/test_support.h"

extern char** environ;

namespace vyr::test {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr const char* kPython = "/usr/bin/python3";

// Starts argv[0] with its standard output on a pipe (returned in *outFd) and
// its error output into errorFile; the pid, or -1 with a reason.
pid_t Spawn(std::vector<std::string> args, const std::string& errorFile, int* outFd, std::string* error) {
  if (::access(args[0].c_str(), X_OK) != 0) {
    *error = args[0] + " is missing" + (args[0] == kPython ? ": install the Debian package python3" : "");
    return -1;
  }
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return *error = "pipe failed", -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (rc != 0) {
    ::close(out[0]);
    *error = "cannot start " + args[0];
    return -1;
  }
  *outFd = out[0];
  return pid;
}

// Everything the program writes until it closes its end, or the time is up;
// closes fd.
std::string ReadAll(int fd, int seconds) {
  std::string text;
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  char buffer[4096];
  for (ssize_t n = 1; n > 0 && Clock::now() < deadline;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) continue;
    if ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

bool WaitUntil(const std::function<bool()>& ready, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!ready()) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace

PythonFixture::PythonFixture() {
  std::string pattern = (fs::temp_directory_path() / "vyrelle-fixture-XXXXXX").string();
  if (::mkdtemp(pattern.data())) scratch_ = pattern;
}

PythonFixture::~PythonFixture() {
  Stop();
  if (out_ >= 0) ::close(out_);
  std::error_code ec;
  if (!scratch_.empty()) fs::remove_all(scratch_, ec);
}

bool PythonFixture::Stop() {
  if (pid_ <= 0) return false;
  ::kill(pid_, SIGTERM);
  int status = 0;
  const bool ended = ::waitpid(pid_, &status, 0) == pid_;
  pid_ = -1;
  return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool PythonFixture::StartProgram(std::vector<std::string> argv, std::string* error) {
  pid_ = Spawn(std::move(argv), File("server.err"), &out_, error);
  return pid_ > 0;
}

bool PythonFixture::Start(const std::string& script, std::vector<std::string> args, std::string* error) {
  args.insert(args.begin(), {kPython, std::string(VYRELLE_TEST_FIXTURES_DIR) + "/" + script});
  if (!StartProgram(std::move(args), error)) return false;
  first_ = Line();
  if (first_.rfind("PORT ", 0) != 0) {
    const std::string why = ReadFile(File("server.err"));
    *error = script + " did not start" +
             (why.find("aiosmtpd") != std::string::npos ? " (install the Debian package python3-aiosmtpd): " : ": ") + why;
    return false;
  }
  port_ = std::atoi(first_.c_str() + 5);
  return port_ > 0;
}

std::string PythonFixture::Line(int seconds) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  size_t end;
  while ((end = pending_.find('\n')) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd p{out_, POLLIN, 0};
    char buffer[4096];
    const ssize_t n = left > 0 && ::poll(&p, 1, static_cast<int>(left)) > 0 ? ::read(out_, buffer, sizeof buffer) : 0;
    if (n <= 0) return "";
    pending_.append(buffer, static_cast<size_t>(n));
  }
  std::string line = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  return line;
}

bool ScriptedPop3Server::Start(std::string* error) {
  std::vector<std::string> args = {"--mode", mode_, "--log", fixture_.File("commands.log")};
  for (size_t i = 0; i < messages_.size(); ++i) {
    args.insert(args.end(), {"--message", fixture_.File("message" + std::to_string(i + 1))});
    WriteFile(args.back(), messages_[i]);
  }
  return fixture_.Start("pop3_script_server.py", args, error);
}

std::vector<std::string> ScriptedPop3Server::Commands() const {
  return Lines(ReadFile(fixture_.File("commands.log")));  // a line still being written is left out
}

bool ScriptedPop3Server::WaitForCommand(const std::string& command, int timeoutMs) const {
  return WaitUntil([&] {
    const auto lines = Commands();
    return std::find(lines.begin(), lines.end(), command) != lines.end();
  }, timeoutMs);
}

SmtpRecordServer::SmtpRecordServer() = default;

bool SmtpRecordServer::Start(std::string* error) {
  const Options& o = options_;
  std::vector<std::string> args = {"--dir", fixture_.File(""), "--listen", o.listenAddress};
  if (!o.rejectSender.empty()) args.insert(args.end(), {"--reject-sender", o.rejectSender});
  for (const auto& r : o.rejectRecipients) args.insert(args.end(), {"--reject-rcpt", r});
  if (o.closeInDataAfter >= 0) args.insert(args.end(), {"--close-in-data", std::to_string(o.closeInDataAfter)});
  if (o.delayFinalReplySeconds > 0) {
    args.insert(args.end(), {"--delay-final-reply", std::to_string(o.delayFinalReplySeconds)});
  }
  const std::pair<bool, const char*> flags[] = {
      {o.rejectDataCommand, "--reject-data-command"}, {o.stallAtData, "--stall-at-data"}, {o.rejectData, "--reject-data"},
      {o.multilineGreeting, "--multiline-greeting"}, {o.splitHeloReply, "--split-helo-reply"},
      {o.longHeloReply, "--long-helo-reply"}, {o.rejectHelo, "--reject-helo"}, {!o.sessionLogs, "--no-session-log"}};
  for (const auto& [on, flag] : flags) {
    if (on) args.push_back(flag);
  }
  return fixture_.Start("smtp_record_server.py", args, error);
}

std::vector<std::string> SmtpRecordServer::Records(const std::string& extension) const {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(fixture_.File(""), ec)) {
    if (e.path().extension() == extension) files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<SmtpRecordServer::Message> SmtpRecordServer::Messages() const {
  std::vector<Message> messages;
  for (const std::string& envelope : Records(".envelope")) {
    const std::string stem = envelope.substr(0, envelope.rfind('.'));
    Message m;
    for (const std::string& line : Lines(ReadFile(envelope))) {
      auto inner = [&](size_t prefix) { return line.substr(prefix, line.size() - prefix - 1); };
      if (line.rfind("MAIL FROM:<", 0) == 0) m.mailFrom = inner(11);
      if (line.rfind("RCPT TO:<", 0) == 0) m.recipients.push_back(inner(9));
    }
    m.dataPath = stem + ".data";
    m.data = ReadFile(m.dataPath);
    m.raw = ReadFile(stem + ".raw");
    messages.push_back(std::move(m));
  }
  return messages;
}

bool SmtpRecordServer::WaitForMessages(size_t count, int timeoutMs) const {
  return WaitUntil([&] { return Messages().size() >= count; }, timeoutMs);
}

std::vector<std::string> SmtpRecordServer::Sessions() const {
  std::vector<std::string> sessions;
  for (const auto& f : Records(".log")) sessions.push_back(ReadFile(f));
  return sessions;
}

bool SmtpRecordServer::ParseWithPython(const std::string& messageFile, const std::string& outDir,
                                       std::vector<std::string>& lines, std::string* error) {
  int out = -1;
  const std::string errorFile = outDir + "/parse.err";
  const pid_t pid = Spawn({kPython, std::string(VYRELLE_TEST_FIXTURES_DIR) + "/smtp_record_server.py", "--parse",
                           messageFile, outDir}, errorFile, &out, error);
  if (pid < 0) return false;
  const std::string text = ReadAll(out, 60);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    *error = "the email package could not parse the message: " + ReadFile(errorFile);
    return false;
  }
  lines = Lines(text);
  return true;
}

}  // namespace vyr::test
