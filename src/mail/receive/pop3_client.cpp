#include "mail/receive/pop3_client.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/file_system.h"
#include "platform/text.h"

namespace vyr {

namespace {

// Piece size used for message lines; longer lines arrive in pieces.
constexpr int kBodyBufferSize = 8192;
constexpr size_t kFileBufferSize = 64 * 1024;

bool IsBlank(char c) { return platform::kWhitespace.find(c) != std::string_view::npos; }

std::string TrimBlanks(std::string_view text) { return platform::Trim(text, platform::kWhitespace); }

// The unique id of one UIDL line ("number id"): the text after the first
// run of blanks, trimmed; the whole line, trimmed, when it has only one word.
std::string IdOfUidlLine(const std::string& line) {
  const std::string trimmed = TrimBlanks(line);
  size_t split = 0;
  while (split < trimmed.size() && !IsBlank(trimmed[split])) ++split;
  if (split == trimmed.size()) return trimmed;
  return TrimBlanks(trimmed.substr(split));
}

// A reply's number: its leading decimal digits, capped at `limit`. False
// when it does not begin with a digit.
bool ParseNumber(const std::string& text, long long limit, long long& value) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > limit) {
      value = limit;
      break;
    }
  }
  return true;
}

std::string SizeStatus(const std::string& base, long size) {
  char text[64];
  if (size <= 1048576) {
    std::snprintf(text, sizeof text, " (%d KB) ", static_cast<int>(size / 1024));
  } else {
    std::snprintf(text, sizeof text, " (%.1f MB) ", static_cast<double>(size) * 9.5367431640625e-07);
  }
  return base + text;
}

}  // namespace

Pop3Client::Pop3Client(std::uint16_t port) : port_(port) {}

Pop3Client::~Pop3Client() = default;

void Pop3Client::SetSecurity(int security, const std::string& trustFile) {
  security_ = security;
  trustFile_ = trustFile;
}

void Pop3Client::ResetResponse() {
  responseOpen_ = false;
  terminatorSeen_ = false;
  responseBroken_ = false;
  atLineStart_ = true;
}

bool Pop3Client::SendCommand(const char* format, int number) {
  std::snprintf(line_, sizeof line_, format, number);
  return SendText(line_) >= 0;
}

int Pop3Client::ReadReply(int timeLimitSeconds) {
  bool ended = false;
  const int n = ReadLinePiece(line_, sizeof line_, timeLimitSeconds, &ended);
  if (n == 0) {
    outOfStep_ = true;
    return 0;
  }
  lastReply_.assign(line_, static_cast<size_t>(n));
  TrimLineEnd(lastReply_);
  // A reply longer than the buffer: read it to its end, or its tail would be
  // taken for the reply to the next command.
  if (!ended && n == static_cast<int>(sizeof line_) - 1) {
    char rest[kLineBufferSize];
    int piece = 0;
    do {
      piece = ReadLinePiece(rest, sizeof rest, timeLimitSeconds, &ended);
    } while (!ended && piece == static_cast<int>(sizeof rest) - 1);
  }
  return n;
}

Pop3Login Pop3Client::Login(const std::string& server, const std::string& user,
                            const std::string& password) {
  try {
    Quit();
    lastReply_.clear();
    outOfStep_ = false;
    uids_.clear();
    const int connected = ConnectHost(port_, server);
    if (connected != 0) {
      lastReply_ = ConnectError();
      return connected == 1 ? Pop3Login::kUnknownServer : Pop3Login::kNoConnection;
    }
    if (security_ == kSecurityTls && StartTls(server, trustFile_) != 0) {
      Close();
      return Pop3Login::kTlsFailed;
    }

    ReadReply(0);  // the greeting; its content is not examined
    if (security_ == kSecurityStartTls) {
      SendText("STLS\r\n");
      if (ReadReply(kReplyTimeLimitSeconds) == 0 || !ReplyPositive()) {
        Close();
        return Pop3Login::kNoStartTls;
      }
      if (StartTls(server, trustFile_) != 0) {
        Close();
        return Pop3Login::kTlsFailed;
      }
    }

    // A CR or LF inside the name or password would end the command early and
    // send the rest as a command of its own.
    if (user.find_first_of("\r\n") != std::string::npos) return Pop3Login::kUserRefused;
    SendText("USER ");
    SendText(user);
    SendText("\r\n");
    if (ReadReply(0) == 0 || !ReplyPositive()) return Pop3Login::kUserRefused;

    if (password.find_first_of("\r\n") != std::string::npos) return Pop3Login::kPasswordRefused;
    SendText("PASS ");
    SendText(password);
    SendText("\r\n");
    if (ReadReply(0) == 0 || !ReplyPositive()) return Pop3Login::kPasswordRefused;
    return Pop3Login::kOk;
  } catch (...) {
    return Pop3Login::kUnknownServer;
  }
}

void Pop3Client::Quit() {
  ResetResponse();
  // Login calls this on an object that may have no socket yet: nothing to
  // say then, and no reply to wait for.
  if (!HasSocket()) return;
  if (SendText("QUIT\r\n") >= 0) ReadReply(kReplyTimeLimitSeconds);
  Close();
}

void Pop3Client::ResetAndQuit() {
  ResetResponse();
  if (!HasSocket()) return;
  SendText("RSET\r\n");
  SendText("QUIT\r\n");
  Close();
}

// Sends a command whose positive reply carries a number (STAT, LIST n) and
// reads field `index` of that reply, split at `separators`, as the number.
Pop3Reply Pop3Client::NumberCommand(const char* format, int arg, const char* separators, int index,
                                    long long max, long long& value) {
  if (!IsConnected()) return Pop3Reply::kNotConnected;
  if (!SendCommand(format, arg)) return Pop3Reply::kNoReply;
  if (ReadReply(kReplyTimeLimitSeconds) == 0) return Pop3Reply::kNoReply;
  if (!ReplyPositive()) return Pop3Reply::kRefused;
  std::string reply(line_);
  TrimLineEnd(reply);
  std::string field;
  if (Field(reply, separators, index, field, kLineBufferSize) != 0 || !ParseNumber(field, max, value)) {
    return Pop3Reply::kNoNumber;
  }
  return Pop3Reply::kOk;
}

Pop3Reply Pop3Client::Stat(int& count) {
  long long value = 0;
  const Pop3Reply result = NumberCommand("STAT\r\n", 0, " ", 1, INT_MAX, value);
  if (result == Pop3Reply::kOk) count = static_cast<int>(value);
  return result;
}

Pop3Reply Pop3Client::List(int number, long& size) {
  long long value = 0;
  const Pop3Reply result = NumberCommand("LIST %d\r\n", number, " ()", 2, LONG_MAX, value);
  if (result == Pop3Reply::kOk) size = static_cast<long>(value);
  return result;
}

int Pop3Client::Uidl(const std::string& lastId, Pop3Progress* progress) {
  // No reply, a refusal and a closed connection all give 1: start at the
  // first message (the store's message key catches what was fetched before).
  // Without a reply the session is out of step and the caller ends it.
  if (!SendCommand("UIDL\r\n", 0)) return 1;
  if (ReadReply(kReplyTimeLimitSeconds) == 0) return 1;
  if (!ReplyPositive()) return 1;

  uids_.assign(1, std::string());
  int result = 1;
  responseOpen_ = true;
  terminatorSeen_ = false;
  responseBroken_ = false;
  atLineStart_ = true;

  std::vector<char> piece(kUidlLineSpace + 1);
  std::string line;
  for (;;) {
    const bool startsLine = atLineStart_;
    const int n = ReadBodyLine(piece.data(), static_cast<int>(piece.size()));
    if (n == 0) break;
    if (progress && progress->LineReceived()) {
      outOfStep_ = true;  // the rest of the listing is still on its way
      break;
    }
    if (startsLine) line.clear();
    if (line.size() < kMaxUidlLine) {
      line.append(piece.data(), std::min(static_cast<size_t>(n), kMaxUidlLine - line.size()));
    }
    if (!atLineStart_) continue;  // the line goes on in the next piece
    const std::string id = IdOfUidlLine(line);
    uids_.push_back(id);
    const int k = static_cast<int>(uids_.size()) - 1;
    if (id == lastId) result = k + 1;
  }
  if (responseBroken_) outOfStep_ = true;
  ResetResponse();
  return result;
}

std::string Pop3Client::UidOf(int number) const {
  if (number <= 0 || static_cast<size_t>(number) >= uids_.size()) return {};
  return uids_[static_cast<size_t>(number)];
}

Pop3Reply Pop3Client::Retr(int number) {
  if (!IsConnected()) return Pop3Reply::kNotConnected;
  ResetResponse();
  if (!SendCommand("RETR %d\r\n", number)) return Pop3Reply::kNoReply;
  if (ReadReply(kReplyTimeLimitSeconds) == 0) return Pop3Reply::kNoReply;
  if (!ReplyPositive()) return Pop3Reply::kRefused;
  responseOpen_ = true;
  return Pop3Reply::kOk;
}

int Pop3Client::ReadBodyLine(char* buffer, int bufferSize) {
  if (!buffer || bufferSize < 1) return 0;
  buffer[0] = '\0';
  if (!responseOpen_ || terminatorSeen_ || responseBroken_ || bufferSize < 4) return 0;

  bool ended = false;
  int n = ReadLinePiece(buffer, bufferSize, 0, &ended);
  if (n == 0) {
    // The connection ended (or was aborted) before the terminating line.
    responseBroken_ = true;
    return 0;
  }
  // Only the first piece of a line can be the terminator or stuffed; a "."
  // at the front of a later piece of a long line is message text.
  if (atLineStart_ && buffer[0] == '.') {
    if (ended && n == 3) {  // ".\r\n"
      terminatorSeen_ = true;
      buffer[0] = '\0';
      return 0;
    }
    if (n >= 2 && buffer[1] == '.') {
      std::memmove(buffer, buffer + 1, static_cast<size_t>(n));  // with the zero
      --n;
    }
  }
  atLineStart_ = ended;
  return n;
}

Pop3Reply Pop3Client::FinishResponse() {
  if (!responseOpen_) return Pop3Reply::kOk;
  if (!IsConnected()) {
    ResetResponse();
    return Pop3Reply::kNotConnected;
  }
  if (!terminatorSeen_ && !responseBroken_) {
    char rest[kLineBufferSize];
    for (;;) {
      bool ended = false;
      const bool startsLine = atLineStart_;
      const int n = ReadLinePiece(rest, sizeof rest, kReplyTimeLimitSeconds, &ended);
      if (n == 0) break;
      if (startsLine && ended && n == 3 && rest[0] == '.') break;
      atLineStart_ = ended;
    }
  }
  ResetResponse();
  return Pop3Reply::kOk;
}

Pop3Reply Pop3Client::Dele(int number) {
  if (!IsConnected()) return Pop3Reply::kNotConnected;
  if (!SendCommand("DELE %d\r\n", number)) return Pop3Reply::kNoReply;
  if (ReadReply(kReplyTimeLimitSeconds) == 0) return Pop3Reply::kNoReply;
  return ReplyPositive() ? Pop3Reply::kOk : Pop3Reply::kRefused;
}

RetrieveResult Pop3Client::RetrieveToFile(int number, const std::string& path, Pop3Progress* progress) {
  long size = 0;
  if (number > 0 && List(number, size) != Pop3Reply::kOk) size = 0;
  // A LIST without a reply leaves its late answer on the way: a RETR now
  // would read it as its own.
  if (outOfStep_) return RetrieveResult::kFailed;

  // The status line reads e.g. "Downloading message 2 of 5..."; the size
  // replaces its trailing "...".
  std::string base = progress ? progress->StatusText() : std::string();
  base.resize(base.size() >= 3 ? base.size() - 3 : 0);
  const std::string statusText = SizeStatus(base, size);
  if (progress && size > 1024) progress->PostStatus(statusText);

  if (number <= 0 || Retr(number) != Pop3Reply::kOk) return RetrieveResult::kFailed;

  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    FinishResponse();
    return RetrieveResult::kFailed;
  }
  // The message goes to disk line by line through a fixed buffer, so memory
  // stays small whatever the message's size (and whatever LIST claimed).
  std::setvbuf(file, nullptr, _IOFBF, kFileBufferSize);
  std::vector<char> piece(kBodyBufferSize);
  bool writeFailed = false;
  for (;;) {
    const int n = ReadBodyLine(piece.data(), static_cast<int>(piece.size()));
    if (progress && progress->CancelCheck(statusText, true)) {
      // No QUIT here: it would commit this session's deletions.
      std::fclose(file);
      std::remove(path.c_str());
      return RetrieveResult::kCancelled;
    }
    if (n == 0) break;
    if (std::fwrite(piece.data(), 1, static_cast<size_t>(n), file) != static_cast<size_t>(n)) {
      writeFailed = true;
      break;
    }
  }

  // Stored only when the terminating line arrived and every byte, with the
  // terminator's ".", reached the disk.
  bool stored = !writeFailed && terminatorSeen_;
  if (stored) stored = std::fputc('.', file) != EOF && std::fflush(file) == 0;
  if (std::fclose(file) != 0) stored = false;
  if (stored) stored = platform::SyncFile(path);
  if (!stored) std::remove(path.c_str());
  FinishResponse();
  return stored ? RetrieveResult::kStored : RetrieveResult::kFailed;
}

}  // namespace vyr
