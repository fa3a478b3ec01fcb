#include "tools/smtp_record_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tools/test_support.h"

extern char** environ;

namespace vyr::test {

namespace {

namespace fs = std::filesystem;

constexpr const char* kPython = "/usr/bin/python3";

std::string ScriptPath() { return std::string(VYRELLE_TEST_FIXTURES_DIR) + "/smtp_record_server.py"; }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Starts a program with its standard output on a pipe (and its standard
// error into errorFile). Returns the pid, or -1.
pid_t Spawn(const std::vector<std::string>& args, int* outFd, const std::string& errorFile) {
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  if (!errorFile.empty()) {
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, kPython, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (rc != 0) {
    ::close(out[0]);
    return -1;
  }
  *outFd = out[0];
  return pid;
}

std::string MissingPackageText(const std::string& stderrText) {
  if (stderrText.find("aiosmtpd") != std::string::npos) {
    return "aiosmtpd is missing: install the Debian package python3-aiosmtpd (" + stderrText + ")";
  }
  return stderrText;
}

}  // namespace

SmtpRecordServer::SmtpRecordServer() = default;

SmtpRecordServer::SmtpRecordServer(Options options) : options_(std::move(options)) {}

SmtpRecordServer::~SmtpRecordServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (!scratch_.empty()) {
    std::error_code ec;
    fs::remove_all(scratch_, ec);
  }
}

bool SmtpRecordServer::Start(std::string* error) {
  if (::access(kPython, X_OK) != 0) {
    *error = std::string(kPython) + " is missing: install the Debian package python3";
    return false;
  }
  std::string pattern = (fs::temp_directory_path() / "vyrelle-smtprecord-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    *error = "cannot make a scratch folder";
    return false;
  }
  scratch_ = pattern;
  const std::string records = scratch_ + "/records";
  fs::create_directories(records);

  std::vector<std::string> args = {kPython, ScriptPath(), "--dir", records};
  if (!options_.rejectSender.empty()) args.insert(args.end(), {"--reject-sender", options_.rejectSender});
  for (const auto& r : options_.rejectRecipients) args.insert(args.end(), {"--reject-rcpt", r});
  if (options_.rejectDataCommand) args.push_back("--reject-data-command");
  if (options_.rejectData) args.push_back("--reject-data");
  if (options_.closeInDataAfter >= 0) {
    args.insert(args.end(), {"--close-in-data", std::to_string(options_.closeInDataAfter)});
  }
  if (options_.delayFinalReplySeconds > 0) {
    args.insert(args.end(), {"--delay-final-reply", std::to_string(options_.delayFinalReplySeconds)});
  }
  if (options_.multilineGreeting) args.push_back("--multiline-greeting");
  if (options_.splitHeloReply) args.push_back("--split-helo-reply");
  if (options_.longHeloReply) args.push_back("--long-helo-reply");
  if (options_.rejectHelo) args.push_back("--reject-helo");
  if (!options_.sessionLogs) args.push_back("--no-session-log");

  const std::string errorFile = scratch_ + "/server.err";
  int out = -1;
  pid_ = Spawn(args, &out, errorFile);
  if (pid_ < 0) {
    *error = "cannot start " + std::string(kPython);
    return false;
  }
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd p{out, POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) continue;
    char buffer[128];
    const ssize_t n = ::read(out, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(out);
  if (text.rfind("PORT ", 0) != 0) {
    *error = "the recording SMTP server did not start: " + MissingPackageText(ReadFile(errorFile));
    return false;
  }
  port_ = std::atoi(text.c_str() + 5);
  return port_ > 0;
}

std::vector<SmtpRecordServer::Message> SmtpRecordServer::Messages() const {
  std::vector<std::string> envelopes;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(scratch_ + "/records", ec)) {
    if (e.path().extension() == ".envelope") envelopes.push_back(e.path().string());
  }
  std::sort(envelopes.begin(), envelopes.end());
  std::vector<Message> messages;
  for (const std::string& envelope : envelopes) {
    const std::string stem = envelope.substr(0, envelope.size() - std::string(".envelope").size());
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
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (Messages().size() >= count) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::vector<std::string> SmtpRecordServer::Sessions() const {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(scratch_ + "/records", ec)) {
    if (e.path().extension() == ".log") files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> sessions;
  for (const auto& f : files) sessions.push_back(ReadFile(f));
  return sessions;
}

bool SmtpRecordServer::ParseWithPython(const std::string& messageFile, const std::string& outDir,
                                       std::vector<std::string>& lines, std::string* error) {
  if (::access(kPython, X_OK) != 0) {
    *error = std::string(kPython) + " is missing: install the Debian package python3";
    return false;
  }
  const std::string errorFile = outDir + "/parse.err";
  int out = -1;
  const pid_t pid = Spawn({kPython, ScriptPath(), "--parse", messageFile, outDir}, &out, errorFile);
  if (pid < 0) {
    *error = "cannot start " + std::string(kPython);
    return false;
  }
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(out, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(out);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    *error = "the email package could not parse the message: " + MissingPackageText(ReadFile(errorFile));
    return false;
  }
  lines = Lines(text);
  return true;
}

}  // namespace vyr::test
