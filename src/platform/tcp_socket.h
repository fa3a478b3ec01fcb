#pragma once
// A thin wrapper over a POSIX IPv4 stream socket: everything the mail
// connection needs from the operating system and nothing more.
//
// One thread uses the socket; another thread may call Shutdown() at any time
// to make a blocked receive, send or wait return at once. Only the owning
// thread ever closes the descriptor (closing it from another thread could hit
// a descriptor number that has meanwhile been reused).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vyr::platform {

class TcpSocket {
 public:
  TcpSocket() = default;
  ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  bool IsOpen() const { return fd_ >= 0; }

  // Creates an unconnected IPv4 stream socket. False when none can be made
  // (or one is already open).
  bool Create();

  // Connects to a dotted IPv4 address. The wait is done in short steps so
  // that a set `cancel` flag ends it early; the system's own connect time
  // limit still applies. False when the address is not dotted IPv4, the
  // connection is refused or fails, or the wait was cancelled.
  bool Connect(const std::string& dottedAddress, std::uint16_t port,
               const std::atomic<bool>& cancel);

  // Sends every byte (a blocking socket may accept a large buffer in several
  // parts). Never raises SIGPIPE. Returns the length, or -1 on failure.
  long SendAll(const void* data, std::size_t length);

  // Receives up to `length` bytes, waiting for at least one; with `peek` the
  // bytes stay queued. Returns the count, 0 when the peer closed (or the
  // socket was shut down), -1 on error.
  long Receive(void* buffer, std::size_t length, bool peek);

  // Peeks at one byte without waiting. Returns the count (0: closed), or -1
  // with the error number in *error.
  long PeekNow(int* error);

  // Waits until bytes (or the end of the stream) can be read. timeoutMs < 0
  // waits without limit. 1 readable, 0 timed out, -1 error or no socket.
  int WaitReadable(long timeoutMs);

  // Bytes received and waiting (FIONREAD), -1 on error.
  int PendingBytes() const;
  // The send-buffer size (SO_SNDBUF), -1 on error.
  int SendBufferSize() const;
  bool SetNonBlocking(bool on);
  // Limits how long one blocked send may wait (SO_SNDTIMEO).
  bool SetSendTimeout(int milliseconds);

  // shutdown(SHUT_RDWR). Safe from any thread while the socket is open.
  // 0 or -1.
  int Shutdown();
  // Closes the descriptor (owning thread only). 0, or -1 when close failed
  // or there was nothing to close.
  int Close();

  // Looks the name up and gives its first IPv4 address in dotted form.
  // 0 resolved, -1 not resolvable.
  static int ResolveIPv4(const std::string& name, std::string& dotted);
  // True when the text is exactly a dotted IPv4 address (a.b.c.d).
  static bool IsIPv4Address(const std::string& text);

 private:
  std::atomic<int> fd_{-1};
};

}  // namespace vyr::platform
