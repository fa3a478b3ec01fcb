#pragma once
// The POP3 commands the mail check needs: log-in with USER and PASS, STAT,
// LIST, UIDL, RETR with its multi-line body, DELE, RSET and QUIT. Every
// operation reports its outcome as a value of its own result type; nothing
// throws.
//
// A reply is positive when its first byte is "+". Command replies are awaited
// for at most 10 seconds; the greeting, the USER and PASS replies and message
// lines are awaited without limit (the mail check's watchdog ends a stalled
// session through Abort()).
#include <cstdint>
#include <string>
#include <vector>

#include "mail/receive/mail_connection.h"

namespace vyr {

// How a log-in ended. Nothing stores or shows these as numbers: the mail
// check turns each into its own status text.
enum class Pop3Login {
  kOk,               // logged in
  kUnknownServer,    // the server's name cannot be resolved
  kNoConnection,     // no address of the server answered (LastReply() says what each gave)
  kUserRefused,      // USER refused, or the name holds a line break
  kPasswordRefused,  // PASS refused, or the password holds a line break
  kNoStartTls,       // STARTTLS is asked for and the server refuses STLS
  kTlsFailed,        // the secure connection cannot be made (TlsError() says why)
};

// How a single-line command (STAT, LIST n, RETR n, DELE n) ended.
enum class Pop3Reply {
  kOk,            // a positive reply (carrying its number, for STAT and LIST)
  kNotConnected,  // no session: the socket is gone
  kNoReply,       // the command could not be sent, or no reply came in time
  kRefused,       // the reply was not positive
  kNoNumber,      // STAT and LIST: the positive reply carries no number
};

// How RetrieveToFile ended.
enum class RetrieveResult {
  kStored,     // the message is in its file, whole and flushed to disk
  kFailed,     // not requested, broken off or not written: no file is left
  kCancelled,  // cancelled through the progress: no file is left, nothing sent
};

// What RetrieveToFile asks of the mail check while it downloads.
class Pop3Progress {
 public:
  virtual ~Pop3Progress() = default;
  // Called after every line; true: the run is cancelled. Re-arms the
  // watchdog when asked.
  virtual bool CancelCheck(const std::string& statusText, bool rearm) = 0;
  // The status line's current text.
  virtual std::string StatusText() = 0;
  virtual void PostStatus(const std::string& text) = 0;
  // Called for every line of a long listing (UIDL): keeps the watchdog from
  // ending a session that is still receiving. True: the run is cancelled.
  virtual bool LineReceived() { return false; }
};

class Pop3Client : public MailConnection {
 public:
  static constexpr int kLineBufferSize = 512;
  static constexpr int kReplyTimeLimitSeconds = 10;
  static constexpr int kUidlLineSpace = 1024;
  // Longest unique-id line kept by Uidl; the rest of a longer line is read
  // and dropped (ids are at most 70 characters by the protocol).
  static constexpr size_t kMaxUidlLine = 4096;

  // The caller reads the port from the settings ([email] POP3Port).
  explicit Pop3Client(std::uint16_t port = 110);
  ~Pop3Client() override;

  // How the session is secured (MailSecurity) and an extra PEM file of
  // trusted certificates ("" none). Takes effect at the next Login.
  void SetSecurity(int security, const std::string& trustFile);

  // Connects (each address of the server in turn, within MailConnection's
  // connect time limit) and logs in with USER and PASS. With security asked
  // for, nothing (above all no password) is sent in plain text after STLS,
  // and a failure never falls back to it. Ends any earlier session first.
  Pop3Login Login(const std::string& server, const std::string& user, const std::string& password);
  // QUIT, one reply awaited for up to 10 s, Close. Without a socket it does
  // nothing.
  void Quit();
  // RSET and QUIT without awaiting replies, then Close: this session's
  // deletions are not committed.
  void ResetAndQuit();

  // The number of messages in the mailbox.
  Pop3Reply Stat(int& count);
  // `size` is the message's size in bytes.
  Pop3Reply List(int number, long& size);
  // The number of the first message after `lastId` in the UIDL listing:
  // one past the last message when the last one listed is `lastId`; 1 when
  // the id is not listed, the server refuses UIDL, or no reply comes (the
  // session is then out of step: see OutOfStep). `progress`, when given,
  // hears of every line of the listing and can cancel it.
  int Uidl(const std::string& lastId, Pop3Progress* progress = nullptr);
  // The unique id of message `number` from the last Uidl, or empty.
  std::string UidOf(int number) const;
  // Number of ids the last Uidl listed.
  size_t UidCount() const { return uids_.empty() ? 0 : uids_.size() - 1; }

  // kOk: the message follows.
  Pop3Reply Retr(int number);
  // Bytes of the next line (or piece of a long line) of the open response,
  // with byte-stuffing undone; 0 at its end. bufferSize must be at least 4.
  int ReadBodyLine(char* buffer, int bufferSize);
  // True once the terminating line of the open response has been read.
  bool ResponseComplete() const { return terminatorSeen_; }
  // Drains what is left of the open response: kOk, or kNotConnected.
  Pop3Reply FinishResponse();
  Pop3Reply Dele(int number);

  // Downloads message `number` into a new file at `path`, streaming each
  // line to disk as it arrives. The file holds the message's lines with CR
  // LF line ends and byte-stuffing undone, followed by the byte "." of the
  // terminating line, and is flushed to disk before kStored is reported.
  // After kCancelled the caller ends the session with ResetAndQuit.
  // `progress` may be null.
  RetrieveResult RetrieveToFile(int number, const std::string& path, Pop3Progress* progress);

  // A command of this session got no reply in time (or its listing was cut
  // off): a late reply may still arrive and would be taken for the answer to
  // the next command, so the session must be ended. Cleared by Login.
  bool OutOfStep() const { return outOfStep_; }

  // The last line the server sent, without its line end.
  const std::string& LastReply() const { return lastReply_; }

 private:
  // Sends the formatted command held in line_.
  bool SendCommand(const char* format, int number);
  // A command whose positive reply carries a number (STAT, LIST n).
  Pop3Reply NumberCommand(const char* format, int arg, const char* separators, int index, long long max,
                          long long& value);
  // Reads one reply line into line_ (time limit 0: none). A reply longer
  // than the buffer is read to its end so that the next reply starts in
  // step. Returns the stored length, 0 when nothing came.
  int ReadReply(int timeLimitSeconds);
  bool ReplyPositive() const { return line_[0] == '+'; }
  void ResetResponse();

  std::uint16_t port_;
  int security_ = kSecurityNone;
  std::string trustFile_;
  char line_[kLineBufferSize] = {};
  std::string lastReply_;
  bool responseOpen_ = false;
  bool terminatorSeen_ = false;
  bool responseBroken_ = false;
  bool atLineStart_ = true;
  bool outOfStep_ = false;
  std::vector<std::string> uids_;  // position k: id of message k; 0 unused
};

}  // namespace vyr
