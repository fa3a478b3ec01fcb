#include "mail/receive/mail_connection.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "platform/tick_count.h"

namespace vyr {

namespace {

// TLS reads and writes go straight to the platform socket through this
// small BIO, so that writes never raise SIGPIPE (a peer that hung up
// reports a failed send instead) and a receive time limit set on the socket
// holds for TLS reads too.
int SocketBioWrite(BIO* bio, const char* data, int length) {
  auto* socket = static_cast<platform::TcpSocket*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  if (length <= 0) return 0;
  const long sent = socket->SendAll(data, static_cast<size_t>(length));
  return sent < 0 ? -1 : static_cast<int>(sent);
}

int SocketBioRead(BIO* bio, char* buffer, int length) {
  auto* socket = static_cast<platform::TcpSocket*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  if (length <= 0) return 0;
  const long n = socket->Receive(buffer, static_cast<size_t>(length), false);
  return static_cast<int>(n);
}

long SocketBioControl(BIO*, int command, long, void*) {
  return command == BIO_CTRL_FLUSH ? 1 : 0;
}

BIO_METHOD* SocketBioMethod() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "vyrelle socket");
    BIO_meth_set_write(m, SocketBioWrite);
    BIO_meth_set_read(m, SocketBioRead);
    BIO_meth_set_ctrl(m, SocketBioControl);
    return m;
  }();
  return method;
}

std::string OpenSslErrorText() {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return "the connection broke off during the handshake";
  const char* reason = ERR_reason_error_string(code);
  return reason ? reason : "the handshake failed";
}

constexpr unsigned kPauseBeforeSendMs = 50;
constexpr unsigned kPauseBetweenChunksMs = 10;
constexpr size_t kFileChunk = 32000;

bool IsLineEndChar(char c) { return c == '\r' || c == '\n'; }

}  // namespace

MailConnection::MailConnection() = default;

MailConnection::~MailConnection() { Close(); }

int MailConnection::Connect(std::uint16_t port, const std::string& dottedAddress, long timeLimitMs) {
  int error = 0;
  return ConnectOne(port, dottedAddress, timeLimitMs, &error);
}

int MailConnection::ConnectOne(std::uint16_t port, const std::string& address, long timeLimitMs,
                               int* error) {
  std::unique_lock<std::mutex> lock(socketMutex_);
  *error = ECANCELED;
  if (socket_.IsOpen()) return 1;
  if (aborted_) return 3;
  if (!socket_.Create(platform::TcpSocket::IsIPv6Address(address))) {
    *error = errno;
    return 2;
  }
  crPending_ = false;
  // The wait for the peer runs without the lock, so that Abort() can set the
  // flag the wait watches.
  lock.unlock();
  const bool connected = socket_.Connect(address, port, aborted_, timeLimitMs, error);
  lock.lock();
  if (!connected || aborted_) {
    socket_.Close();
    return 3;
  }
  socket_.SetSendTimeout(kSendTimeoutMs);
  return 0;
}

int MailConnection::ConnectHost(std::uint16_t port, const std::string& host, long timeLimitMs) {
  const std::string name = HostPart(host);
  // The look-up counts against the connect limit: a name server that does
  // not answer must not hold the check longer than a server that does not.
  const auto start = std::chrono::steady_clock::now();
  bool timedOut = false;
  const std::vector<std::string> addresses =
      platform::TcpSocket::ResolveAllWithin(name, timeLimitMs, aborted_, timedOut);
  if (addresses.empty()) {
    connectError_ = aborted_ ? std::string("Cancelled")
                    : timedOut ? name + " could not be looked up in time"
                               : name + " cannot be resolved";
    return aborted_ ? 3 : 1;
  }
  const long spent = static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  return TryAddresses(port, addresses, std::max(1L, timeLimitMs - spent), name);
}

int MailConnection::ConnectAny(std::uint16_t port, const std::vector<std::string>& addresses,
                               long timeLimitMs) {
  return TryAddresses(port, addresses, timeLimitMs, std::string());
}

int MailConnection::TryAddresses(std::uint16_t port, const std::vector<std::string>& addresses,
                                 long timeLimitMs, const std::string& name) {
  connectError_.clear();
  if (socket_.IsOpen()) {
    connectError_ = "A connection is already open";
    return 3;
  }
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeLimitMs);
  std::string tried;
  for (size_t i = 0; i < addresses.size() && !aborted_; ++i) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    // An equal share of the time left for this address and each after it.
    const long share = std::max(1L, static_cast<long>(left) / static_cast<long>(addresses.size() - i));
    int error = 0;
    const int rc = ConnectOne(port, addresses[i], share, &error);
    if (rc == 0) return 0;
    if (!tried.empty()) tried += "; ";
    tried += addresses[i] + ": " + (error == ETIMEDOUT ? "no answer in time" : std::strerror(error));
  }
  if (aborted_) {
    connectError_ = "Cancelled";
  } else {
    connectError_ = "No connection to " + (name.empty() ? std::string() : name + " ") + "port " +
                    std::to_string(port) + " (" + (tried.empty() ? std::string("out of time") : tried) + ")";
  }
  return 3;
}

void MailConnection::EndTls() {
  if (!tls_) return;
  // close_notify is sent without waiting for the peer's; on a broken
  // connection the send simply fails.
  ERR_clear_error();
  SSL_shutdown(tls_);
  SSL_free(tls_);
  ERR_clear_error();
  tls_ = nullptr;
}

int MailConnection::StartTls(const std::string& host, const std::string& trustFile) {
  tlsError_.clear();
  if (!socket_.IsOpen() || tls_) {
    tlsError_ = "no connection";
    return 1;
  }
  ERR_clear_error();
  std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> context(SSL_CTX_new(TLS_client_method()), &SSL_CTX_free);
  if (!context) {
    tlsError_ = OpenSslErrorText();
    return 1;
  }
  SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
  SSL_CTX_set_default_verify_paths(context.get());
  if (!trustFile.empty() && trustFile != "?" &&
      SSL_CTX_load_verify_locations(context.get(), trustFile.c_str(), nullptr) != 1) {
    ERR_clear_error();
    tlsError_ = "cannot read the trusted certificates in " + trustFile;
    return 1;
  }
  SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);

  SSL* tls = SSL_new(context.get());  // holds its own reference to the context
  if (!tls) {
    tlsError_ = OpenSslErrorText();
    return 1;
  }
  std::unique_ptr<SSL, void (*)(SSL*)> guard(tls, &SSL_free);
  const std::string name = HostPart(host);
  const bool numeric = platform::TcpSocket::IsIPv4Address(name) || platform::TcpSocket::IsIPv6Address(name);
  if (numeric) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(tls), name.c_str());
  } else {
    SSL_set_tlsext_host_name(tls, name.c_str());
    SSL_set1_host(tls, name.c_str());
  }
  BIO* bio = BIO_new(SocketBioMethod());
  if (!bio) {
    tlsError_ = OpenSslErrorText();
    return 1;
  }
  BIO_set_data(bio, &socket_);
  BIO_set_init(bio, 1);
  SSL_set_bio(tls, bio, bio);

  // A server that stops answering mid-handshake does not hold the session
  // forever; Abort() ends the wait at once as well.
  socket_.SetReceiveTimeout(kReceiveTimeoutMs);
  const int rc = SSL_connect(tls);
  socket_.SetReceiveTimeout(0);
  if (rc != 1) {
    const long verify = SSL_get_verify_result(tls);
    if (verify != X509_V_OK) {
      tlsError_ = X509_verify_cert_error_string(verify);
      ERR_clear_error();
    } else {
      tlsError_ = OpenSslErrorText();
    }
    return 1;
  }
  tls_ = guard.release();
  // Lines already received in plain text before the switch were the
  // server's; anything after its go-ahead must come through TLS.
  received_.clear();
  receivedPos_ = 0;
  crPending_ = false;
  return 0;
}

long MailConnection::SendSome(const char* data, size_t length) {
  if (!tls_) return socket_.SendAll(data, length);
  size_t sent = 0;
  while (sent < length) {
    const size_t piece = std::min<size_t>(length - sent, 1 << 30);
    ERR_clear_error();
    const int n = SSL_write(tls_, data + sent, static_cast<int>(piece));
    if (n <= 0) return -1;
    sent += static_cast<size_t>(n);
  }
  return static_cast<long>(sent);
}

long MailConnection::ReceiveSome(char* buffer, size_t length, int timeLimitSeconds) {
  if (!tls_) {
    const long n = socket_.Receive(buffer, length, false);
    return n < 0 ? 0 : n;
  }
  // A readable socket may hold only TLS housekeeping (a session ticket) and
  // no data: the time limit is then kept by the socket's receive limit.
  if (timeLimitSeconds > 0) socket_.SetReceiveTimeout(timeLimitSeconds * 1000);
  ERR_clear_error();
  const int n = SSL_read(tls_, buffer, static_cast<int>(std::min<size_t>(length, 1 << 30)));
  if (timeLimitSeconds > 0) socket_.SetReceiveTimeout(0);
  if (n <= 0) {
    ERR_clear_error();
    return 0;
  }
  return n;
}

int MailConnection::Close() {
  std::lock_guard<std::mutex> lock(socketMutex_);
  EndTls();  // TlsError() stays: a failed StartTls is followed by Close
  crPending_ = false;
  received_.clear();
  receivedPos_ = 0;
  if (!socket_.IsOpen()) return 0;
  int result = 0;
  if (socket_.Shutdown() != 0) result |= 1;
  if (socket_.Close() != 0) result |= 2;
  return result;
}

void MailConnection::Abort() {
  std::lock_guard<std::mutex> lock(socketMutex_);
  aborted_ = true;
  if (socket_.IsOpen()) socket_.Shutdown();
}

int MailConnection::Send(const char* data, int length) {
  if (!data) return -1;
  const size_t count = length < 1 ? std::strlen(data) : static_cast<size_t>(length);
  platform::SleepMs(kPauseBeforeSendMs);
  const long sent = SendSome(data, count);
  return sent < 0 ? -1 : static_cast<int>(sent);
}

int MailConnection::SendText(const std::string& text) {
  // Send() with a length below 1 would measure up to a zero byte; an empty
  // text is simply nothing to send.
  if (text.empty()) return Send("", 0);
  return Send(text.data(), static_cast<int>(text.size()));
}

int MailConnection::SendFile(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return 1;
  std::vector<char> chunk(kFileChunk);
  long total = 0;
  for (;;) {
    const size_t n = std::fread(chunk.data(), 1, chunk.size(), file.get());
    if (n > 0) {
      if (Send(chunk.data(), static_cast<int>(n)) < 0) return 2;
      platform::SleepMs(kPauseBetweenChunksMs);
      total += static_cast<long>(n);
      if (!ProgressHook(total)) return 0;
    }
    if (n < chunk.size()) {
      // A read error must not pass for the end of the file: the peer would
      // take a cut message for a whole one.
      return std::ferror(file.get()) ? 2 : 0;
    }
  }
}

bool MailConnection::WaitReadable(int seconds, int microseconds) {
  if (!socket_.IsOpen()) return true;
  if (receivedPos_ < received_.size()) return false;  // bytes already received
  if (tls_ && SSL_pending(tls_) > 0) return false;
  const long ms = static_cast<long>(seconds) * 1000 + (microseconds + 999) / 1000;
  return socket_.WaitReadable(ms < 0 ? 0 : ms) != 1;
}

int MailConnection::ReadLine(char* buffer, int bufferSize, int timeLimitSeconds) {
  bool lineEnded = false;
  return ReadLinePiece(buffer, bufferSize, timeLimitSeconds, &lineEnded);
}

int MailConnection::ReadLinePiece(char* buffer, int bufferSize, int timeLimitSeconds,
                                  bool* lineEnded) {
  *lineEnded = false;
  readTimedOut_ = false;
  if (!buffer || bufferSize < 1) return 0;
  buffer[0] = '\0';
  const int space = bufferSize - 1;
  if (space < 1 || !socket_.IsOpen()) return 0;

  // Received bytes are taken off the socket in large chunks and kept in
  // received_; a line is served from there, and what follows its end stays
  // for the next read, exactly as if it had stayed on the socket. (Peeking
  // and then reading each line on its own costs two system calls and a copy
  // of the whole peeked window per line.)
  int stored = 0;
  while (stored < space) {
    if (receivedPos_ >= received_.size()) {
      if (timeLimitSeconds > 0 && WaitReadable(timeLimitSeconds, 0)) {
        readTimedOut_ = !aborted_;
        break;
      }
      received_.resize(kReceiveChunk);
      const long n = ReceiveSome(received_.data(), received_.size(), timeLimitSeconds);
      if (n <= 0) {
        received_.clear();
        receivedPos_ = 0;
        break;
      }
      received_.resize(static_cast<size_t>(n));
      receivedPos_ = 0;
    }
    const char* ready = received_.data() + receivedPos_;
    const long available = static_cast<long>(
        std::min<size_t>(received_.size() - receivedPos_, static_cast<size_t>(space - stored)));

    // Where does the line end among these bytes? A CR taken earlier (in
    // this call or the previous one) pairs with an LF at the front.
    long take = available;
    if (crPending_ && ready[0] == '\n') {
      take = 1;
      *lineEnded = true;
    } else {
      const void* cr = ready;
      long from = 0;
      while ((cr = std::memchr(ready + from, '\r', static_cast<size_t>(available - from))) != nullptr) {
        long i = static_cast<const char*>(cr) - ready;
        if (i + 1 < available && ready[i + 1] == '\n') {
          take = i + 2;
          *lineEnded = true;
          break;
        }
        from = i + 1;
        if (from >= available) break;
      }
    }
    std::memcpy(buffer + stored, ready, static_cast<size_t>(take));
    receivedPos_ += static_cast<size_t>(take);
    stored += static_cast<int>(take);
    crPending_ = !*lineEnded && buffer[stored - 1] == '\r';
    if (*lineEnded) break;
  }
  buffer[stored] = '\0';
  return stored;
}

bool MailConnection::IsConnected() {
  if (!socket_.IsOpen()) return false;
  int error = 0;
  if (socket_.PeekNow(&error) < 0 && error == ENOTCONN) return false;
  return true;
}

bool MailConnection::HasPendingData() {
  if (receivedPos_ < received_.size()) return true;
  // Under TLS only decrypted bytes count: raw bytes waiting may be a record
  // that carries no data.
  if (tls_) return SSL_pending(tls_) > 0;
  return socket_.PendingBytes() > 0;
}

int MailConnection::SendBufferSize() { return socket_.SendBufferSize(); }

std::string MailConnection::HostPart(const std::string& host) {
  const size_t at = host.rfind('@');
  std::string name = at == std::string::npos ? host : host.substr(at + 1);
  if (name.size() > 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
  return name;
}

int MailConnection::ResolveHost(const std::string& host, std::string& dotted, size_t bufferSize) {
  const std::string name = HostPart(host);
  const std::vector<std::string> found = platform::TcpSocket::ResolveAll(name);
  if (found.empty()) return 2;
  if (found.front().size() + 1 > bufferSize) return 1;
  dotted = found.front();
  return 0;
}

bool MailConnection::IsDottedAddress(const std::string& text) {
  return platform::TcpSocket::IsIPv4Address(text);
}

void MailConnection::TrimLineEnd(std::string& text) {
  const size_t length = text.size();
  if (length == 0) return;
  if (length == 1) {
    if (IsLineEndChar(text[0])) text.clear();
    return;
  }
  if (IsLineEndChar(text[length - 2])) {
    text.resize(length - 2);
  } else if (IsLineEndChar(text[length - 1])) {
    text.resize(length - 1);
  }
}

int MailConnection::Field(const std::string& text, const std::string& delimiters, int index,
                          std::string& out, size_t bufferSize) {
  if (index < 0) return 1;
  int current = 0;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    while (i < n && delimiters.find(text[i]) != std::string::npos) ++i;
    if (i >= n) break;
    size_t end = i;
    while (end < n && delimiters.find(text[end]) == std::string::npos) ++end;
    if (current == index) {
      if (end - i + 1 > bufferSize) return 1;
      out = text.substr(i, end - i);
      return 0;
    }
    ++current;
    i = end;
  }
  return 1;
}

}  // namespace vyr
