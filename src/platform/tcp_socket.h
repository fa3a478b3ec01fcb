#pragma once
// A thin wrapper over a POSIX stream socket (IPv4 or IPv6): everything the
// mail connection needs from the operating system and nothing more.
//
// One thread uses the socket; another thread may call Shutdown() at any time
// to make a blocked receive, send or wait return at once. Only the owning
// thread ever closes the descriptor (closing it from another thread could hit
// a descriptor number that has meanwhile been reused).
#include <atomic>
#include <functional>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vyr::platform {

class TcpSocket {
 public:
  TcpSocket() = default;
  ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  bool IsOpen() const { return fd_ >= 0; }

  // Creates an unconnected stream socket, IPv6 when asked, else IPv4. False
  // when none can be made (or one is already open).
  bool Create(bool ipv6 = false);

  // Connects to a numeric address of the socket's family (dotted IPv4, or
  // IPv6 text for an IPv6 socket). The wait is done in short steps so
  // that a set `cancel` flag ends it early; with `timeLimitMs` > 0 it is
  // given up after that long (else the system's own limit applies). False
  // when the address is not of the socket's family, the connection is
  // refused or fails, the time is up or the wait was cancelled; `error`
  // (when given) then gets the reason as an errno value (ETIMEDOUT for the
  // time limit, ECANCELED for a cancel, EINVAL for an unusable address).
  bool Connect(const std::string& dottedAddress, std::uint16_t port,
               const std::atomic<bool>& cancel, long timeLimitMs = 0, int* error = nullptr);

  // The address of this end of the connection in text form ("127.0.0.1",
  // "::1"); "" without a connection.
  std::string LocalAddress() const;

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
  // Limits how long one blocked receive may wait (SO_RCVTIMEO; 0: no limit).
  bool SetReceiveTimeout(int milliseconds);
  // The descriptor, for a secure layer put over the connection (owning
  // thread only).
  int Descriptor() const { return fd_; }

  // shutdown(SHUT_RDWR). Safe from any thread while the socket is open.
  // 0 or -1.
  int Shutdown();
  // Closes the descriptor (owning thread only). 0, or -1 when close failed
  // or there was nothing to close.
  int Close();

  // Every address the name resolves to for a stream connection, in the
  // order to try them (see AlternateFamilies), without repeats. A numeric
  // address gives itself; a name in brackets ("[::1]") is taken without
  // them. Empty when the name does not resolve.
  static std::vector<std::string> ResolveAll(const std::string& name);
  // ResolveAll within a time limit, given up early when stop is set. The
  // look-up runs on a thread of its own, which is forgotten (it ends by
  // itself) when the limit passes first; timedOut then says so.
  // resolve stands in for ResolveAll where a test needs a slow name server.
  using Resolve = std::function<std::vector<std::string>(const std::string& name)>;
  static std::vector<std::string> ResolveAllWithin(const std::string& name, long timeLimitMs,
                                                   const std::atomic<bool>& stop, bool& timedOut,
                                                   Resolve resolve = ResolveAll);
  // The addresses with IPv6 and IPv4 taking turns, each family keeping the
  // order it had; the family of the first address goes first (the
  // resolver puts the one it prefers there).
  static std::vector<std::string> AlternateFamilies(const std::vector<std::string>& addresses);
  // True when the text is exactly a dotted IPv4 address (a.b.c.d).
  static bool IsIPv4Address(const std::string& text);
  // True when the text is exactly an IPv6 address in text form.
  static bool IsIPv6Address(const std::string& text);

 private:
  std::atomic<int> fd_{-1};
};

}  // namespace vyr::platform
