#include "mail/receive/mail_connection.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/tick_count.h"

namespace vyr {

namespace {

constexpr unsigned kPauseBeforeSendMs = 50;
constexpr unsigned kPauseBetweenChunksMs = 10;
constexpr size_t kFileChunk = 32000;

bool IsLineEndChar(char c) { return c == '\r' || c == '\n'; }

}  // namespace

MailConnection::MailConnection() = default;

MailConnection::~MailConnection() { Close(); }

int MailConnection::Connect(std::uint16_t port, const std::string& dottedAddress) {
  std::unique_lock<std::mutex> lock(socketMutex_);
  if (socket_.IsOpen()) return 1;
  if (aborted_) return 3;
  if (!socket_.Create()) return 2;
  crPending_ = false;
  // The wait for the peer runs without the lock, so that Abort() can set the
  // flag the wait watches.
  lock.unlock();
  const bool connected = socket_.Connect(dottedAddress, port, aborted_);
  lock.lock();
  if (!connected || aborted_) {
    socket_.Close();
    return 3;
  }
  socket_.SetSendTimeout(kSendTimeoutMs);
  return 0;
}

int MailConnection::Close() {
  std::lock_guard<std::mutex> lock(socketMutex_);
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
  const long sent = socket_.SendAll(data, count);
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
      if (timeLimitSeconds > 0 && WaitReadable(timeLimitSeconds, 0)) break;
      received_.resize(kReceiveChunk);
      const long n = socket_.Receive(received_.data(), received_.size(), false);
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
  return receivedPos_ < received_.size() || socket_.PendingBytes() > 0;
}

int MailConnection::SendBufferSize() { return socket_.SendBufferSize(); }

int MailConnection::ResolveHost(const std::string& host, std::string& dotted, size_t bufferSize) {
  const size_t at = host.rfind('@');
  const std::string name = at == std::string::npos ? host : host.substr(at + 1);
  std::string found;
  if (platform::TcpSocket::ResolveIPv4(name, found) != 0) return 2;
  if (found.size() + 1 > bufferSize) return 1;
  dotted = found;
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
