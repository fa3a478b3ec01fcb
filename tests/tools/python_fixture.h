#pragma once
// Test servers written in Python: scripts in tests/fixtures run with Debian's
// /usr/bin/python3 on a free loopback port, each with a scratch folder of its
// own. A script prints "PORT <n>" once it listens; it is ended with SIGTERM
// when the object goes away. Its error output goes to the scratch file
// "server.err". Other test servers are started the same way (StartProgram).
#include <sys/types.h>

#include <string>
#include <vector>

namespace vyr::test {

class PythonFixture {
 public:
  PythonFixture();
  ~PythonFixture();
  PythonFixture(const PythonFixture&) = delete;
  PythonFixture& operator=(const PythonFixture&) = delete;

  // Starts tests/fixtures/<script> with the arguments and waits for its
  // port; false with a reason (the script's error output included).
  bool Start(const std::string& script, std::vector<std::string> args, std::string* error);
  // Starts the program argv[0] without waiting for anything; false with a
  // reason.
  bool StartProgram(std::vector<std::string> argv, std::string* error);
  // SIGTERM and the wait for its end; true when it ended with status 0.
  bool Stop();
  int Port() const { return port_; }
  // The line the script printed when it started listening.
  const std::string& FirstLine() const { return first_; }
  // The next line the script prints; "" when none comes within the time.
  std::string Line(int seconds = 20);
  std::string File(const std::string& name) const { return scratch_ + "/" + name; }

 private:
  std::string scratch_, first_, pending_;
  pid_t pid_ = -1;
  int out_ = -1;
  int port_ = 0;
};

// LF line ends to the wire form: a message as the POP3 server sends it.
inline std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

// pop3_script_server.py: a POP3 server that misbehaves in the given mode
// (see the script). Log-in: user "user", password "secret".
class ScriptedPop3Server {
 public:
  // `messages`: the mailbox, message 1 first (line ends become CR LF).
  ScriptedPop3Server(std::string mode, std::vector<std::string> messages)
      : mode_(std::move(mode)), messages_(std::move(messages)) {}
  bool Start(std::string* error);
  int Port() const { return fixture_.Port(); }
  // The command lines received so far, in order.
  std::vector<std::string> Commands() const;
  // Waits up to `timeoutMs` until a command line equal to `command` arrived.
  bool WaitForCommand(const std::string& command, int timeoutMs) const;

 private:
  std::string mode_;
  std::vector<std::string> messages_;
  PythonFixture fixture_;
};

// smtp_record_server.py (aiosmtpd): keeps every message it accepts and every
// session's client bytes, and refuses or misbehaves when told to.
class SmtpRecordServer {
 public:
  struct Options {
    std::string rejectSender{};  // "*": every sender
    std::vector<std::string> rejectRecipients{};
    bool rejectDataCommand = false;  // DATA answered with 554
    bool stallAtData = false;        // DATA never answered
    bool rejectData = false;         // the data taken, then refused with 554
    long closeInDataAfter = -1;      // drop the connection after this many data bytes
    int delayFinalReplySeconds = 0;  // the message recorded, its 250 sent this much later
    bool multilineGreeting = false;
    bool splitHeloReply = false;  // "250-..." first, the final line 300 ms later
    bool longHeloReply = false;   // a 400-character HELO reply line
    bool rejectHelo = false;
    bool sessionLogs = true;  // false: Sessions() stays empty (timing runs)
    std::string listenAddress = "127.0.0.1";  // the loopback address listened on ("::1")
  };
  struct Message {
    std::string mailFrom;                 // the address in MAIL FROM
    std::vector<std::string> recipients;  // the addresses in RCPT TO, in order
    std::string data;                     // as the server took it (dots undone)
    std::string raw;                      // the wire bytes after DATA, terminator included
    std::string dataPath;                 // the file holding `data`
  };

  SmtpRecordServer();
  explicit SmtpRecordServer(Options options) : options_(std::move(options)) {}
  bool Start(std::string* error);
  int Port() const { return fixture_.Port(); }
  // The messages accepted so far, in order.
  std::vector<Message> Messages() const;
  bool WaitForMessages(size_t count, int timeoutMs) const;
  // The raw client bytes of every connection so far, in order.
  std::vector<std::string> Sessions() const;

  // Parses a recorded message with Python's email package: the lines the
  // script prints, the attachments written into `outDir` as attachment1...
  // and the decoded text parts as part1...
  static bool ParseWithPython(const std::string& messageFile, const std::string& outDir,
                              std::vector<std::string>& lines, std::string* error);

 private:
  std::vector<std::string> Records(const std::string& extension) const;
  Options options_;
  PythonFixture fixture_;
};

}  // namespace vyr::test
