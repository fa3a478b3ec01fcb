#pragma once
// The recording SMTP server of the sending tests: tests/fixtures/
// smtp_record_server.py (aiosmtpd) run with Debian's /usr/bin/python3 on a
// free loopback port. It keeps every message it accepts (envelope, the data
// as taken and the raw wire bytes) in a scratch folder, and can be told to
// refuse the sender, a recipient or the data, or to drop the connection in
// the middle of the data. See the script for the details.
#include <sys/types.h>

#include <string>
#include <vector>

namespace vyr::test {

class SmtpRecordServer {
 public:
  struct Options {
    std::string rejectSender{};                // "*": every sender
    std::vector<std::string> rejectRecipients{};
    bool rejectDataCommand = false;  // DATA answered with 554
    bool rejectData = false;         // the data taken, then refused with 554
    long closeInDataAfter = -1;      // drop the connection after this many data bytes
    int delayFinalReplySeconds = 0;  // the message recorded, its 250 sent this much later
    bool multilineGreeting = false;
    bool splitHeloReply = false;     // "250-..." first, the final line 300 ms later
    bool longHeloReply = false;      // a 400-character HELO reply line
    bool rejectHelo = false;
    bool sessionLogs = true;  // false: Sessions() stays empty (timing runs)
  };

  struct Message {
    std::string mailFrom;                 // the address in MAIL FROM
    std::vector<std::string> recipients;  // the addresses in RCPT TO, in order
    std::string data;                     // as the server took it (dots undone)
    std::string raw;                      // the wire bytes after DATA, terminator included
    std::string dataPath;                 // the file holding `data`
  };

  SmtpRecordServer();
  explicit SmtpRecordServer(Options options);
  ~SmtpRecordServer();
  SmtpRecordServer(const SmtpRecordServer&) = delete;
  SmtpRecordServer& operator=(const SmtpRecordServer&) = delete;

  // Starts the server; false with a reason (naming the missing Debian
  // package when Python or aiosmtpd is absent).
  bool Start(std::string* error);
  int Port() const { return port_; }
  const std::string& Directory() const { return scratch_; }

  // The messages accepted so far, in order.
  std::vector<Message> Messages() const;
  // Waits up to timeoutMs until at least `count` messages were accepted.
  bool WaitForMessages(size_t count, int timeoutMs) const;
  // The raw client bytes of every connection so far, in order.
  std::vector<std::string> Sessions() const;

  // Parses a recorded message with Python's email package (the script's
  // --parse mode): its output lines, the attachments written into
  // `outDir` as attachment1, attachment2, ...
  static bool ParseWithPython(const std::string& messageFile, const std::string& outDir,
                              std::vector<std::string>& lines, std::string* error);

 private:
  Options options_;
  std::string scratch_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace vyr::test
