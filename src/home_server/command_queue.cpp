#include "home_server/command_queue.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>

#include "home_server/content_folder.h"
#include "home_server/session_query.h"
#include "home_server/text.h"

namespace vyr::home {

namespace {

bool IsInstallationId(std::string_view text) {
  return text.size() == 32 && std::all_of(text.begin(), text.end(), IsHexDigit);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

bool WriteAllTo(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  return true;
}

// Replaces path by text as a whole: a temporary file beside it, flushed to
// disk, renamed over it.
bool ReplaceFile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".new";
  UniqueFd fd(open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd) return false;
  if (!WriteAllTo(fd.Get(), text) || fsync(fd.Get()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  fd = UniqueFd();
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::optional<QueuedCommand> ParseQueueLine(std::string_view line, std::string& error) {
  error.clear();
  line = TrimBlanks(line);
  if (line.empty() || line.front() == '#') return std::nullopt;
  QueuedCommand command;
  if (line.front() == '*') {
    command.audience = QueuedCommand::Audience::kEveryInstallation;
    line.remove_prefix(1);
    if (!line.empty() && line.front() != ' ' && line.front() != '\t') {
      error = "a * must be followed by a blank and the command";
      return std::nullopt;
    }
  } else if (line.front() == '@') {
    const size_t end = line.find_first_of(" \t");
    const std::string_view id = line.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
    if (!IsInstallationId(id)) {
      error = "@ must be followed by an installation id of 32 hexadecimal digits";
      return std::nullopt;
    }
    command.audience = QueuedCommand::Audience::kOneInstallation;
    command.user = ToUpperAscii(id);
    line = end == std::string_view::npos ? std::string_view() : line.substr(end);
  }
  line = TrimBlanks(line);
  if (line.empty()) {
    error = "the command is missing";
    return std::nullopt;
  }
  if (!IsDeliverableCommand(line)) {
    error = "a command may not hold # or a control character and must be shorter than 4097 bytes";
    return std::nullopt;
  }
  command.text = std::string(line);
  return command;
}

CommandQueue::CommandQueue(std::string queueFile, std::string lockFile, std::string deliveredFile)
    : queueFile_(std::move(queueFile)), lockFile_(std::move(lockFile)), deliveredFile_(std::move(deliveredFile)) {}

void CommandQueue::LoadDelivered() {
  if (deliveredLoaded_) return;
  deliveredLoaded_ = true;
  std::ifstream in(deliveredFile_, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    delivered_.emplace(ToUpperAscii(line.substr(0, tab)), line.substr(tab + 1));
  }
}

CommandQueue::Taken CommandQueue::TakeFor(const std::string& userIn, size_t budget) {
  Taken taken;
  const std::string user = ToUpperAscii(userIn);
  std::lock_guard guard(mutex_);
  LoadDelivered();

  UniqueFd lock(open(lockFile_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (!lock || flock(lock.Get(), LOCK_EX) != 0) {
    taken.ok = false;
    return taken;
  }
  std::string text;
  {
    UniqueFd queue(open(queueFile_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!queue) {
      taken.ok = errno == ENOENT;  // no queue file: nothing queued
      return taken;
    }
    if (!ReadAll(queue.Get(), text, 16u << 20)) {
      taken.ok = false;
      return taken;
    }
  }

  std::vector<std::string> kept;
  std::vector<std::pair<std::string, bool>> chosen;  // text, for everyone
  bool removed = false;
  bool full = false;
  for (std::string& line : SplitLines(text)) {
    std::string error;
    const std::optional<QueuedCommand> command = ParseQueueLine(line, error);
    if (!command) {
      if (!error.empty() && reported_.insert(line).second) taken.problems.push_back(error + ": " + line);
      kept.push_back(std::move(line));
      continue;
    }
    using Audience = QueuedCommand::Audience;
    const bool forUser = command->audience == Audience::kNextAsker ||
                         (command->audience == Audience::kOneInstallation && command->user == user) ||
                         (command->audience == Audience::kEveryInstallation &&
                          delivered_.count({user, command->text}) == 0);
    const size_t cost = command->text.size() + 1;
    if (forUser && !full && cost <= budget) {
      budget -= cost;
      const bool everyone = command->audience == Audience::kEveryInstallation;
      chosen.emplace_back(command->text, everyone);
      if (!everyone) {
        removed = true;
        continue;  // a one-time command leaves the queue
      }
    } else if (forUser) {
      full = true;  // later commands wait too, so that the order holds
    }
    kept.push_back(std::move(line));
  }

  if (removed) {
    std::string rest;
    for (const std::string& line : kept) rest += line + "\n";
    if (!ReplaceFile(queueFile_, rest)) {
      // Nothing is handed out that would stay in the queue as well.
      taken.ok = false;
      return taken;
    }
  }

  std::string records;
  for (const auto& [command, everyone] : chosen) {
    if (everyone) records += user + "\t" + command + "\n";
  }
  bool recorded = true;
  if (!records.empty()) {
    UniqueFd out(open(deliveredFile_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    recorded = out && WriteAllTo(out.Get(), records);
  }
  for (const auto& [command, everyone] : chosen) {
    if (everyone) {
      // Without its record a command for everyone would come again: it
      // waits for the next time instead.
      if (!recorded) continue;
      delivered_.emplace(user, command);
    }
    taken.commands.push_back(command);
  }
  if (!recorded) taken.ok = false;
  return taken;
}

}  // namespace vyr::home
