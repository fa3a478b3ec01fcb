#pragma once
// The administrator's command queue: a text file, one command per line,
// read at every login and ping. A line is
//
//   COMMAND          for the next installation that asks, once; the line is
//                    then removed from the file
//   @ID COMMAND      for the installation ID (32 hexadecimal digits) only,
//                    once; the line is then removed
//   * COMMAND        for every installation, once each; the line stays, and
//                    the installations that got it are written to the
//                    delivered file ("ID<tab>COMMAND" per line), read once
//                    when the server starts
//
// Blank lines and lines that begin with "#" are comments and stay. A
// command may not hold "#" (it closes a command in the reply) or a control
// byte; a line that breaks the rules is left where it is and reported.
//
// Every read and rewrite of the queue happens with an exclusive flock on a
// lock file beside it, so an administrator adding a line under the same
// lock (flock(1)) never loses it. The file is rewritten through a
// temporary file and a rename, so it is whole at every moment.
#include <cstddef>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vyr::home {

struct QueuedCommand {
  enum class Audience { kNextAsker, kOneInstallation, kEveryInstallation };
  Audience audience = Audience::kNextAsker;
  std::string user;  // kOneInstallation: the id in upper case
  std::string text;
};

// One line of the queue (without its line end). nullopt for comments and
// blank lines (error stays empty) and for lines that break the rules
// (error says why).
std::optional<QueuedCommand> ParseQueueLine(std::string_view line, std::string& error);

class CommandQueue {
 public:
  CommandQueue(std::string queueFile, std::string lockFile, std::string deliveredFile);

  struct Taken {
    std::vector<std::string> commands;  // in the order of the file
    std::vector<std::string> problems;  // lines reported for the first time
    bool ok = true;                     // false: the queue could not be read or rewritten
  };

  // The commands for the installation user, as many as fit into budget
  // bytes (each costs its length and one "#"), in file order: taking stops
  // at the first that does not fit, so the order is kept.
  Taken TakeFor(const std::string& user, size_t budget);

 private:
  void LoadDelivered();

  std::string queueFile_;
  std::string lockFile_;
  std::string deliveredFile_;
  std::mutex mutex_;
  bool deliveredLoaded_ = false;
  std::set<std::pair<std::string, std::string>> delivered_;
  std::set<std::string> reported_;
};

}  // namespace vyr::home
