#pragma once
// A small blocking TCP client for the mail protocols: connect to a server
// (each of its IPv6 and IPv4 addresses in turn, within one time limit),
// optionally secure the connection with TLS, send text, read CR
// LF-terminated lines (with an optional time limit), stream a file, test
// the connection, close. The POP3 and SMTP
// clients derive from it. Outcomes are small integer codes, never
// exceptions.
//
// All calls block the calling thread and one thread uses an object at a
// time, except Abort(), which any thread may call to make a blocked call
// return at once.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/string_table.h"
#include "platform/tcp_socket.h"

struct ssl_st;

namespace vyr {

// How a mail account's connection is secured ([email] POP3Security,
// multipop%d-security, SMTPSecurity).
enum MailSecurity : int {
  kSecurityNone = 0,      // plain text, as the protocols began
  kSecurityStartTls = 1,  // plain greeting, then the protocol's switch to TLS
  kSecurityTls = 2,       // TLS from the first byte
};

// A security value outside these three is a broken setting: no connection is
// made for it (never one in plain text).
inline bool IsMailSecurity(int value) { return value >= kSecurityNone && value <= kSecurityTls; }
// "<host>: the security setting is not ..." for such a value.
inline constexpr platform::TextId kBadSecurityText{41400};

// "Secure connection to <host> failed: <reason>" (the reason from TlsError).
inline constexpr platform::TextId kTlsFailedText{40150};

class MailConnection {
 public:
  // Send and receive time-outs recorded when the object is made. The send
  // limit is applied to every socket (a peer that stops reading cannot hold a
  // send forever); reads keep their own limits (see ReadLine), and a stalled
  // read is ended by Abort().
  static constexpr int kSendTimeoutMs = 30000;
  static constexpr int kReceiveTimeoutMs = 30000;

  MailConnection();
  virtual ~MailConnection();
  MailConnection(const MailConnection&) = delete;
  MailConnection& operator=(const MailConnection&) = delete;

  // How long reaching a server may take in all, over all of its addresses.
  static constexpr int kConnectTimeLimitMs = 20000;

  // 0 connected; 1 a socket is already open; 2 the socket cannot be
  // created; 3 the connection fails (also when the address is neither
  // dotted IPv4 nor IPv6 text, when `timeLimitMs` > 0 passes without an
  // answer, or after Abort()). A failed attempt leaves no socket behind.
  int Connect(std::uint16_t port, const std::string& dottedAddress, long timeLimitMs = 0);

  // Connects to a server by name ("mail.example", "user@mail.example", an
  // address, "[IPv6 address]"): every address the name resolves to is
  // tried in turn, IPv6 and IPv4 taking turns (TcpSocket::ResolveAll), until
  // one takes the connection. The look-up itself counts against
  // `timeLimitMs`. 0 connected; 1 the name does not resolve (or not within
  // the limit); 3 after Abort(); otherwise ConnectAny's result.
  int ConnectHost(std::uint16_t port, const std::string& host, long timeLimitMs = kConnectTimeLimitMs);
  // Tries the numeric addresses in the order given. Each attempt may take
  // an equal share of the time still left (so a silent address cannot use
  // up the time of those after it), `timeLimitMs` in all. 0 connected;
  // 3 none took the connection (ConnectError() names each address tried
  // and why it failed), also after Abort() or with a socket already open.
  int ConnectAny(std::uint16_t port, const std::vector<std::string>& addresses,
                 long timeLimitMs = kConnectTimeLimitMs);
  // Why the last ConnectHost or ConnectAny failed ("" after success).
  const std::string& ConnectError() const { return connectError_; }
  // The address of this end of the connection ("127.0.0.1", "::1"); ""
  // without a connection.
  std::string LocalAddress() const { return socket_.LocalAddress(); }

  // Puts TLS over the open connection: the server's certificate must chain
  // to the system's trust store or to a certificate in `trustFile` (a PEM
  // file; empty: none), and must name `host` (a host name, or an IPv4/IPv6
  // address). From then on every send and read goes through TLS. 0 secured;
  // 1 failed (TlsError() says why; the caller ends the session, nothing is
  // ever sent in plain text after a failure).
  int StartTls(const std::string& host, const std::string& trustFile);
  bool Secure() const { return tls_ != nullptr; }
  // Why the last StartTls failed, in a few words ("" after success).
  const std::string& TlsError() const { return tlsError_; }
  // Shuts the socket down and closes it. Bit set: 1 the shutdown failed,
  // 2 closing failed. Nothing to close gives 0.
  int Close();

  // Waits 50 ms, then sends the bytes (length below 1: the text's length up
  // to its terminating zero). Returns the count sent or -1.
  int Send(const char* data, int length);
  int SendText(const std::string& text);
  // Streams a file in chunks of 32 000 bytes, calling ProgressHook with the
  // running total after each; a false answer stops early. 0 done (or
  // stopped); 1 the file cannot be opened; 2 a send (or a read of the file)
  // failed.
  int SendFile(const std::string& path);

  // True when NOTHING became readable within the time (also without a
  // socket). The end of the stream counts as readable.
  bool WaitReadable(int seconds, int microseconds);

  // Reads one CR LF-terminated line into the buffer, ending the text with a
  // zero. The usable space is bufferSize - 1. With a time limit (seconds,
  // 0: none) each wait for more bytes gives up after that long. Returns the
  // number of bytes stored (CR LF included), 0 when nothing arrived. Only the
  // bytes of this line are taken from the socket; a line longer than the
  // space comes back in pieces over several calls.
  int ReadLine(char* buffer, int bufferSize, int timeLimitSeconds);
  // True when the last read came back short because its time limit passed
  // with nothing more arriving (not because the peer closed or Abort()).
  bool ReadTimedOut() const { return readTimedOut_; }

  // False only when there is no socket or the system reports it as not
  // connected. A connection the peer has closed still counts as connected;
  // its next read comes back empty.
  bool IsConnected();
  bool HasPendingData();
  int SendBufferSize();

  // Resolves the part after the last "@" of `host` to the first address
  // ConnectHost would try (a name without a dot, such as "localhost", is
  // looked up as it is). 0 resolved; 1 it does not fit bufferSize (with its
  // terminator); 2 the name cannot be resolved.
  static int ResolveHost(const std::string& host, std::string& dotted, size_t bufferSize = 512);
  static bool IsDottedAddress(const std::string& text);
  // The host name a certificate must carry for `host`: the part after its
  // last "@", without brackets around an IPv6 address.
  static std::string HostPart(const std::string& host);
  // Removes the line end in place: with length L, when the character at
  // L-2 is CR or LF the text is cut there, else when the last one is, it is
  // cut there.
  static void TrimLineEnd(std::string& text);
  // Field `index` (from 0) of the text, fields being maximal runs of
  // characters not in `delimiters`. 0 found; 1 no such field, or it and its
  // terminator do not fit bufferSize.
  static int Field(const std::string& text, const std::string& delimiters, int index,
                   std::string& out, size_t bufferSize);

  // Any thread: shuts the socket down so that blocked reads, sends and the
  // connection wait return at once. Sticky: later Connect calls fail until
  // ClearAbort(). The descriptor itself is closed only by the owning thread.
  void Abort();
  bool Aborted() const { return aborted_.load(); }
  void ClearAbort() { aborted_ = false; }

  // Called with the running byte count while a file is streamed; false stops.
  virtual bool ProgressHook(long total) { (void)total; return true; }

 protected:
  // ReadLine, also telling whether the piece ended a line (its CR LF was
  // taken). A CR LF split between two arrivals, or between two calls, is
  // still recognised as the line end.
  int ReadLinePiece(char* buffer, int bufferSize, int timeLimitSeconds, bool* lineEnded);
  bool HasSocket() const { return socket_.IsOpen(); }

 private:
  // One connection attempt; the errno value of a failure in *error.
  int ConnectOne(std::uint16_t port, const std::string& address, long timeLimitMs, int* error);
  int TryAddresses(std::uint16_t port, const std::vector<std::string>& addresses, long timeLimitMs,
                   const std::string& name);
  // One receive, through TLS when it is on. timeLimitSeconds > 0 bounds the
  // wait. Bytes received, 0 when nothing came.
  long ReceiveSome(char* buffer, size_t length, int timeLimitSeconds);
  long SendSome(const char* data, size_t length);
  void EndTls();

  ssl_st* tls_ = nullptr;
  std::string tlsError_;
  std::string connectError_;
  bool readTimedOut_ = false;
  platform::TcpSocket socket_;
  std::mutex socketMutex_;  // serialises Abort() against Connect/Close
  std::atomic<bool> aborted_{false};
  // The last byte taken by the previous read was a CR whose LF had not
  // arrived yet.
  bool crPending_ = false;
  // Bytes received but not yet handed out as lines.
  static constexpr size_t kReceiveChunk = 16384;
  std::vector<char> received_;
  size_t receivedPos_ = 0;
};

}  // namespace vyr
