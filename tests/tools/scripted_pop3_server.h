#pragma once
// A misbehaving POP3 server for the client's tests: tests/fixtures/
// pop3_script_server.py run with Debian's /usr/bin/python3 on a free loopback
// port. It logs every command it receives, so that a test can check what the
// client sent. See the script for the modes.
#include <sys/types.h>

#include <string>
#include <vector>

namespace vyr::test {

class ScriptedPop3Server {
 public:
  // `messages`: the mailbox, message 1 first (line ends become CR LF).
  // Log-in: user "user", password "secret".
  ScriptedPop3Server(std::string mode, std::vector<std::string> messages);
  ~ScriptedPop3Server();
  ScriptedPop3Server(const ScriptedPop3Server&) = delete;
  ScriptedPop3Server& operator=(const ScriptedPop3Server&) = delete;

  // Starts the server; false with a reason (naming the missing package when
  // Python is absent).
  bool Start(std::string* error);
  int Port() const { return port_; }

  // The command lines received so far, in order.
  std::vector<std::string> Commands() const;
  // Waits up to `timeoutMs` until a command line equal to `command` arrived.
  bool WaitForCommand(const std::string& command, int timeoutMs) const;

 private:
  std::string mode_;
  std::vector<std::string> messages_;
  std::string scratch_;
  std::string logPath_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace vyr::test
