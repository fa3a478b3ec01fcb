#pragma once
// The SMTP side of the mail client: the dialogue with the user's outgoing
// server and the exact header and MIME text written after "DATA".
//
//   HELO <domain>            MAIL from:<sender>       RCPT to:<address> ...
//   DATA                     header lines, body, attachments, "\r\n.\r\n"
//
// With STARTTLS or authentication asked for, the greeting is EHLO, the
// connection is secured before anything else is said, and the log-in uses
// AUTH PLAIN, else AUTH LOGIN, as the server offers them.
//
// Every reply is awaited for at most 20 seconds, except the reply to the end
// of the data: servers may take minutes to check and store a message before
// they answer, and a message given up on too early stays pending and goes
// out a second time at the next check. That reply is awaited for ten
// minutes; stopping the run (Abort) ends the wait at once. Every text goes
// out through MailConnection's Send, so each is preceded by its 50 ms pause.
//
// Everything sent after DATA passes one encoder: a "." that starts a line
// is doubled (the body's first line included, and the signature and
// download lines as well, so that no text can end the message early or
// turn its rest into commands), and a lone CR or LF goes out as CR LF.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mail/receive/mail_connection.h"
#include "platform/string_table.h"
#include "platform/window_messages.h"

namespace vyr {

class Application;

// Posted to the compose window when the message's data is complete, just
// before the terminating line goes out (no parameters).
inline constexpr std::uint32_t kMsgSendEndOfData = 0x800B;

// The texts of the download line (plain text and HTML forms).
inline constexpr platform::TextId kDownloadLineText{33115};
inline constexpr platform::TextId kDownloadLineHtml{33114};

// The program's version text as the mailer header carries it: four numbers
// joined by dots, ending in CR LF ("0.1.0.0\r\n").
std::string ProgramVersionText();

// How long each ordinary reply (greeting, HELO, MAIL, RCPT, DATA) is
// awaited.
inline constexpr int kSmtpReplyTimeLimitSeconds = 20;
// How long the reply to the end of the data is awaited.
inline constexpr int kSmtpFinalReplyTimeLimitSeconds = 600;

// What a sending run needs from the settings and the application.
struct SmtpOptions {
  int port = 25;              // [email] SMTPPort (465 when unset and security is 2)
  int security = 0;           // [email] SMTPSecurity: a MailSecurity value
  bool authenticate = false;  // [email] SMTPAuth is 1
  std::string user;           // [email] SMTPUser (default: the POP3 account)
  std::string password;       // [email] SMTPPass, deciphered (default: the POP3 password)
  std::string trustFile;      // [email] TLSTrustFile: extra trusted certificates (PEM)
  // The name the greeting gives for this machine (one without a dot gives
  // way to the address of this end of the connection).
  std::string greetingName = "localhost";
  // The wait for each ordinary reply (tests shorten it; the wait for the
  // reply to the end of the data does not follow it).
  int replyTimeLimitSeconds = kSmtpReplyTimeLimitSeconds;
  bool sendTextOnly = false;  // [email] SendTextOnly: never the HTML form without attachments
  bool downloadLink = false;  // [email] downloadlink: add the download line
  std::string updateUrl;      // [misc] updateurl (default: the home server's address)
  std::string versionText = ProgramVersionText();
  std::string installationId;      // the X-ID header
  std::mutex* uulibLock = nullptr;  // held around every use of the encoding library

  static SmtpOptions FromSettings(Application& app);
};

// How ConnectServer ended. Nothing stores these as numbers: a Send Now or
// a flush turns them into SmtpResult.
enum class SmtpConnect {
  kOk,               // connected, greeted and logged in as asked
  kUnknownHost,      // the host name cannot be resolved
  kNoConnection,     // no address of the host answered (LastReply() says what each gave)
  kGreetingRefused,  // the server refused HELO or EHLO
  kLogInRefused,     // the server refused the log-in
  kTlsFailed,        // the secure connection cannot be made (TlsError() says why)
  kNoStartTls,       // STARTTLS is asked for and the server does not offer it
  kNoLogInMethod,    // the server offers no log-in method known here
  kBadSecurity,      // [email] SMTPSecurity is none of 0, 1, 2: nothing is tried
};

// What became of a message handed to the outgoing server: SendMail's
// result, and that of a Send Now or an Outbox flush. The numbers are kept:
// they are vyrelle-cli's exit status for "mail send" and "mail
// flush-outbox", and the mail check's flush hook reports them.
enum class SmtpResult {
  kSent = 0,                  // the server took the message's end with 250
  kNotSent = 1,               // nothing reached the server: it cannot be reached (SendMail: no
                              // longer connected), or the message never got that far (a Send
                              // Now stopped by its checks, a queued file that cannot be read)
  kSenderRefused = 3,         // MAIL refused
  kRecipientRefused = 4,      // RCPT refused, or a recipient that is no valid address
  kDataRefused = 5,           // DATA refused, or the reply to the end of the data was not 250
  kConnectionLost = 6,        // the connection failed while the data was sent
  kAttachmentUnreadable = 7,  // an attachment could not be read or encoded
  kLogInRefused = 8,          // the server refused the log-in (before SendMail)
};

// One message as it goes to the server.
struct OutgoingMail {
  std::string from{};     // the sender text, "Name <address>"
  std::string to{};       // the To box: its header line and recipients
  std::string cc{};       // the CC box: its header line and recipients
  std::string bcc{};      // the BCC box: recipients that no header line names
  std::string subject{};
  std::string bodyForm{};  // the composed body in its rich-text form
  std::string signature{};
  std::vector<std::string> attachments{};  // paths of the files to attach
};

// The message's envelope: the bare addresses of To, CC and BCC, in that
// order, and their display names (each box kept on one line first). False
// at the first invalid entry, with its error text ("Invalid Recipient: :x");
// the entries before it stay in the lists.
bool EnvelopeRecipients(const std::string& to, const std::string& cc, const std::string& bcc,
                        std::vector<std::string>& addresses, std::vector<std::string>& names,
                        std::string& error);

// Carries the state of the data encoder across the texts of one message.
class SmtpDataEncoder {
 public:
  // Appends the text with every line-start "." doubled and every line end
  // (CR LF, lone CR, lone LF) written as CR LF.
  void Append(std::string_view text, std::string& out);
  // Completes a CR left open at the end of the last text.
  void Finish(std::string& out);
  // The next byte starts a line (after a header block or a streamed file).
  void AtLineStart() {
    lineStart_ = true;
    pendingCr_ = false;
  }

 private:
  bool lineStart_ = true;
  bool pendingCr_ = false;
};

class SmtpClient : public MailConnection {
 public:
  static constexpr int kReplyTimeLimitSeconds = kSmtpReplyTimeLimitSeconds;
  static constexpr int kFinalReplyTimeLimitSeconds = kSmtpFinalReplyTimeLimitSeconds;
  static constexpr int kReplyBufferSize = 256;
  // The body goes out in pieces of at most this many bytes (or the
  // socket's send-buffer size when smaller).
  static constexpr int kMaxBodyPiece = 1023;
  // A server that keeps sending lines does not keep ReadReply forever.
  static constexpr int kMaxReplyLines = 512;

  explicit SmtpClient(SmtpOptions options = {});
  ~SmtpClient() override;

  // Ends any earlier connection, connects to the SMTP port of the host
  // (each of its addresses in turn, MailConnection::ConnectHost; through
  // TLS at once with security 2), reads the greeting and sends "HELO
  // <domain>", or "EHLO <domain>" when STARTTLS or authentication is asked
  // for (a domain without a dot is no name the server can look up: the
  // address of this end of the connection goes instead, "[192.0.2.7]" or
  // "[IPv6:2001:db8::7]"); then switches to TLS (STARTTLS, and EHLO again)
  // and logs in as asked. Nothing more is sent after a failure, and never a
  // password in plain text after STARTTLS was asked for.
  SmtpConnect ConnectServer(const std::string& host, const std::string& greetingDomain);

  // The status text of a refused log-in or secure connection ("" for the
  // other results, which say "could not connect").
  std::string ConnectFailureText(SmtpConnect result, const std::string& host) const;

  // Sends one message: RCPT for every address of To, CC and BCC
  // (EnvelopeRecipients), the header lines (From, To, CC, Subject, Date,
  // X-Mailer, X-ID, Message-ID: never a BCC line), then the body, plain or
  // MIME, with its attachments. composeWindow gets kMsgSendEndOfData (0 for
  // none).
  //
  // Nothing is sent for a message that cannot go out whole: an invalid
  // recipient or an attachment that cannot be read fails before MAIL. The
  // first failure ends the run; the caller calls Quit. An attachment that
  // cannot be encoded fails with the data unterminated, so the server keeps
  // nothing. After the end of the data the server's reply is awaited for
  // kFinalReplyTimeLimitSeconds; Abort() from another thread ends that wait
  // (kDataRefused, last reply "Cancelled").
  SmtpResult SendMail(const OutgoingMail& mail, platform::WindowHandle composeWindow = 0);

  // Sends "Quit\r\n" (when connected) and closes the socket.
  void Quit();

  // Reads one reply: its lines (up to 255 bytes of each are kept; the rest
  // of a longer line is read and dropped) until a line that is neither a
  // continuation ("250-...", or a first word ending in "-") nor followed
  // by bytes already waiting. Returns the number at the start of the last
  // line's first word (0 when there is none), or 1 when no line came in
  // time (the last reply is then "Timeout", or "Cancelled" when the wait
  // was ended by Abort()).
  int ReadReply(int timeLimitSeconds);

  // The last reply line (without its line end), "Timeout" or "Cancelled".
  const std::string& LastReply() const { return lastReply_; }
  // How many times this object has sent (each send waits 50 ms first; a
  // streamed file chunk also waits 10 ms after).
  long SendCount() const { return sends_; }
  long FileChunkCount() const { return fileChunks_; }

 private:
  // One SendText; false when it failed.
  bool Put(const std::string& text);
  // Texts after DATA: encoded, then sent whole (or in body pieces).
  bool PutData(std::string_view text, bool bodyPieces = false);
  int Command(const std::string& text);

  // The steps of SendMail. Those that may fail give the failure, or
  // nothing when the message may go on.
  struct BodyTexts;
  BodyTexts ComposeBody(const OutgoingMail& mail) const;
  // MAIL, RCPT for each recipient and DATA.
  std::optional<SmtpResult> OpenData(const std::string& sender, const std::vector<std::string>& recipients);
  bool PutHeaders(const OutgoingMail& mail, const std::string& sender);
  // A message without parts: plain text (labelled when it needs to be).
  bool PutPlainMessage(const BodyTexts& body);
  // The text and HTML parts, and the attachments after them.
  std::optional<SmtpResult> PutMimeMessage(const BodyTexts& body,
                                           const std::vector<std::string>& attachments);
  // Each part's content (signature and download line included).
  bool PutPlainContent(const BodyTexts& body);
  bool PutHtmlContent(const BodyTexts& body);
  std::optional<SmtpResult> SendAttachment(const std::string& path, const std::string& outerBoundary);
  // The terminating line and the server's reply to it.
  SmtpResult EndData(platform::WindowHandle composeWindow);
  // EHLO; the capability words of the reply (upper case) in capabilities_.
  int Ehlo(const std::string& greetingDomain);
  // The domain HELO/EHLO gives: the name when it has a dot, else the
  // address literal of this end of the connection.
  std::string GreetingDomain(const std::string& name) const;
  bool Offers(const std::string& capability, const std::string& word = {}) const;
  SmtpConnect LogIn();

  std::vector<std::string> replyLines_;
  std::vector<std::string> capabilities_;
  SmtpOptions options_;
  std::string lastReply_;
  SmtpDataEncoder encoder_;
  long sends_ = 0;
  long fileChunks_ = 0;
};

}  // namespace vyr
