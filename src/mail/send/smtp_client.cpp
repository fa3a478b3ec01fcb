#include "mail/send/smtp_client.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>

#include "base/application.h"
#include "base/installation_id.h"
#include "mail/body/body_converter.h"
#include "mail/receive/mail_accounts.h"
#include "mail/send/header_words.h"
#include "mail/send/mail_address.h"
#include "mail/body/text_to_html.h"
#include "platform/host_name.h"
#include "platform/tick_count.h"
#include "platform/text.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#define PROTOTYPES 1
#include <uudeview.h>

#ifndef VYRELLE_VERSION
#define VYRELLE_VERSION "0.1.0"
#endif

namespace vyr {

namespace {

namespace fs = std::filesystem;

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

constexpr size_t kFileChunk = 32000;  // MailConnection::SendFile's chunk

std::string Fill(const std::string& pattern, const std::string& value) {
  std::string out = pattern;
  const size_t at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, value);
  return out;
}

std::string Boundary(const char* stem, const char* tail) {
  // The tick count is written as the signed number the system's "%d" gives.
  const auto tick = static_cast<std::int32_t>(platform::GetTickCount());
  return std::string(stem) + std::to_string(tick) + tail;
}

bool IsAscii(std::string_view text) {
  for (unsigned char c : text) {
    if (c > 127) return false;
  }
  return true;
}

bool HoldsLineBreak(const std::string& text) {
  return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

// The name an attachment goes by in its part header: the file name after the
// last separator, with nothing in it that could end the quoted parameter or
// the header line.
std::string AttachmentName(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  for (char& c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '_';
    if (c == '"') c = '\'';
  }
  return name;
}

// A new file in the system's temporary folder whose name starts with
// "VYR", created so that it can never be an existing file.
FilePtr CreateTemporaryFile(std::string& path) {
  std::error_code ec;
  fs::path folder = fs::temp_directory_path(ec);
  if (ec) folder = "/tmp";
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "VYR%08x%04x.tmp", static_cast<unsigned>(random()),
                  static_cast<unsigned>(random() & 0xFFFF));
    path = (folder / name).string();
    FilePtr file(std::fopen(path.c_str(), "wbx"), &std::fclose);
    if (file) return file;
    if (errno != EEXIST) break;
  }
  path.clear();
  return FilePtr(nullptr, &std::fclose);
}

// Removes a temporary file when it goes out of scope.
struct TemporaryFile {
  std::string path;
  ~TemporaryFile() {
    if (!path.empty()) std::remove(path.c_str());
  }
};

// Encodes one attachment as a MIME body part (its own header lines, an empty
// line and the Base64 data) into a new temporary file, ready to be streamed
// after DATA: the encoder writes bare line feeds, which become CR LF here,
// and the data encoder's dot rule is applied too. The encoding library keeps
// global state, so it runs under `lock`. Returns the file's size, -1 on
// failure.
long EncodeAttachment(const std::string& path, std::mutex* lock, std::FILE* out) {
  FilePtr raw(std::tmpfile(), &std::fclose);
  if (!raw) return -1;
  std::vector<char> input(path.begin(), path.end());
  input.push_back('\0');
  std::string nameText = AttachmentName(path);
  std::vector<char> name(nameText.begin(), nameText.end());
  name.push_back('\0');
  int rc;
  {
    std::unique_lock<std::mutex> guard;
    if (lock) guard = std::unique_lock<std::mutex>(*lock);
    UUInitialize();
    rc = UUEncodeMulti(raw.get(), nullptr, input.data(), B64ENCODED, name.data(), nullptr, 0);
    UUCleanUp();
  }
  if (rc != UURET_OK || std::fflush(raw.get()) != 0 || std::ferror(raw.get())) return -1;
  std::rewind(raw.get());

  SmtpDataEncoder encoder;
  std::vector<char> chunk(16384);
  std::string converted;
  long size = 0;
  char last[2] = {0, 0};
  for (;;) {
    const size_t n = std::fread(chunk.data(), 1, chunk.size(), raw.get());
    converted.clear();
    if (n > 0) encoder.Append(std::string_view(chunk.data(), n), converted);
    if (n < chunk.size()) {
      if (std::ferror(raw.get())) return -1;
      encoder.Finish(converted);
    }
    if (!converted.empty()) {
      if (std::fwrite(converted.data(), 1, converted.size(), out) != converted.size()) return -1;
      size += static_cast<long>(converted.size());
      if (converted.size() >= 2) {
        last[0] = converted[converted.size() - 2];
        last[1] = converted.back();
      } else {
        last[0] = last[1];
        last[1] = converted.back();
      }
    }
    if (n < chunk.size()) break;
  }
  // The part must end with a line end, or the next boundary line would be
  // glued to its last line.
  if (size > 0 && !(last[0] == '\r' && last[1] == '\n')) {
    if (std::fwrite("\r\n", 1, 2, out) != 2) return -1;
    size += 2;
  }
  if (std::fflush(out) != 0) return -1;
  return size;
}

// The longest line a message may carry, without its CR LF.
constexpr size_t kMaxMailLine = 998;
constexpr char kQuotedPrintableHeader[] = "Content-Transfer-Encoding: quoted-printable\r\n";

bool HasOverlongLine(std::string_view text) {
  size_t run = 0;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      run = 0;
    } else if (++run > kMaxMailLine) {
      return true;
    }
  }
  return false;
}

// The longest header line (without its CR LF) that every reader shows
// whole.
constexpr size_t kMaxHeaderLine = 78;

// A header line (ending in CR LF) longer than 78 characters is folded: a
// line break goes in before a blank, which readers take out again. Each
// line takes as much as fits; a word too long to fit stays whole on a line
// of its own. The blank after the header's name, and a blank that only
// blanks or the line end follow, are no places to break (a line of blanks
// alone would end the header block early for some readers).
std::string FoldHeader(const std::string& line) {
  std::string out;
  std::string_view rest(line);
  const size_t colon = rest.find(':');
  size_t keep = colon == std::string_view::npos ? 0 : colon + 1;
  auto breakable = [&](size_t i) {
    return (rest[i] == ' ' || rest[i] == '\t') && i + 1 < rest.size() &&
           std::string_view(" \t\r\n").find(rest[i + 1]) == std::string_view::npos;
  };
  while (rest.size() > kMaxHeaderLine + 2) {
    size_t cut = std::string_view::npos;
    for (size_t i = keep + 1; i <= kMaxHeaderLine; ++i) {
      if (breakable(i)) cut = i;
    }
    for (size_t i = std::max(keep + 1, kMaxHeaderLine + 1); cut == std::string_view::npos && i < rest.size(); ++i) {
      if (breakable(i)) cut = i;
    }
    if (cut == std::string_view::npos) break;
    // The continuation keeps its leading blank.
    out.append(rest.substr(0, cut));
    out += "\r\n";
    rest.remove_prefix(cut);
    keep = 0;
  }
  out.append(rest);
  return out;
}

// Quoted-printable text (RFC 2045): every line end (CR LF, lone CR or lone
// LF) is a line break; "=", control characters and bytes above 126 become
// "=XX", as do blanks before a line end; lines are broken with "=" after at
// most 76 characters.
std::string QuotedPrintable(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() + text.size() / 8 + 16);
  size_t column = 0;
  auto put = [&](const char* piece, size_t n) {
    if (column + n > 75) {
      out += "=\r\n";
      column = 0;
    }
    out.append(piece, n);
    column += n;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\r\n";
      column = 0;
      continue;
    }
    const bool lineEnds = i + 1 >= text.size() || text[i + 1] == '\r' || text[i + 1] == '\n';
    const bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !lineEnds);
    if (literal) {
      const char one = static_cast<char>(c);
      put(&one, 1);
    } else {
      const char escaped[3] = {'=', kHex[c >> 4], kHex[c & 0xF]};
      put(escaped, 3);
    }
  }
  return out;
}

std::string Base64(const std::string& bytes) {
  std::vector<unsigned char> out(4 * ((bytes.size() + 2) / 3) + 1);
  const int n = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                                static_cast<int>(bytes.size()));
  return std::string(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(n));
}

// A message id no other message shares: the time, 64 random bits and the
// sender's domain (this machine's name when the sender has none).
std::string NewMessageId(const std::string& senderAddress) {
  const size_t at = senderAddress.rfind('@');
  std::string domain = at == std::string::npos ? std::string() : senderAddress.substr(at + 1);
  if (domain.empty() || domain.find_first_of("<>\"\\ \t\r\n") != std::string::npos) {
    domain = platform::FullyQualifiedHostName();
  }
  unsigned char random[8] = {};
  if (RAND_bytes(random, sizeof random) != 1) {
    std::random_device device;
    for (unsigned char& b : random) b = static_cast<unsigned char>(device());
  }
  char text[64];
  std::snprintf(text, sizeof text, "%llx.", static_cast<unsigned long long>(std::time(nullptr)));
  std::string id = text;
  for (unsigned char b : random) {
    std::snprintf(text, sizeof text, "%02X", b);
    id += text;
  }
  return "<" + id + "@" + domain + ">";
}

constexpr platform::TextId kLogInRefusedText{40152};
constexpr platform::TextId kNoStartTlsText{40153};
constexpr platform::TextId kNoLogInMethodText{40154};

std::string FillTwo(const std::string& pattern, const std::string& a, const std::string& b) {
  return Fill(Fill(pattern, a), b);
}

}  // namespace

std::string ProgramVersionText() {
  // Four numbers, the missing ones 0.
  std::string version = VYRELLE_VERSION;
  int parts = 1;
  for (char c : version) parts += c == '.';
  for (; parts < 4; ++parts) version += ".0";
  return version + "\r\n";
}

SmtpOptions SmtpOptions::FromSettings(Application& app) {
  SmtpOptions o;
  o.security = app.Get(kEmailSmtpSecurity);
  o.port = app.GetOr(kEmailSmtpPort, o.security == kSecurityTls ? 465 : kEmailSmtpPort.defaultValue);
  o.authenticate = app.Get(kEmailSmtpAuth) == 1;
  if (o.authenticate) {
    o.user = app.Get(kEmailSmtpUser);
    if (o.user.empty() || o.user == kUnsetText) o.user = app.Get(kEmailPop3Account);
    if (o.user == kUnsetText) o.user.clear();
    o.password = SmtpLogInPassword(app);
  }
  o.trustFile = app.Get(kEmailTlsTrustFile);
  if (o.trustFile == kUnsetText) o.trustFile.clear();
  o.greetingName = platform::FullyQualifiedHostName();
  o.sendTextOnly = app.IsOn(kEmailSendTextOnly);
  o.downloadLink = app.IsOn(kEmailDownloadLink);
  o.updateUrl = app.Get(kMiscUpdateUrl);
  o.installationId = app.InstallationId();
  if (o.installationId.empty()) o.installationId = EnsureInstallationId(app.Registry());
  o.uulibLock = &app.MailLock();
  return o;
}

// --- data encoder ------------------------------------------------------------------

void SmtpDataEncoder::Append(std::string_view text, std::string& out) {
  out.reserve(out.size() + text.size() + text.size() / 32 + 4);
  for (char c : text) {
    if (pendingCr_) {
      pendingCr_ = false;
      out += '\n';
      lineStart_ = true;
      if (c == '\n') continue;  // the CR's own LF
    }
    if (c == '\r') {
      out += '\r';
      pendingCr_ = true;
      continue;
    }
    if (c == '\n') {
      out += "\r\n";
      lineStart_ = true;
      continue;
    }
    if (c == '.' && lineStart_) out += '.';
    out += c;
    lineStart_ = false;
  }
}

void SmtpDataEncoder::Finish(std::string& out) {
  if (pendingCr_) {
    out += '\n';
    pendingCr_ = false;
    lineStart_ = true;
  }
}

// --- client ------------------------------------------------------------------------

SmtpClient::SmtpClient(SmtpOptions options) : options_(std::move(options)) {}

SmtpClient::~SmtpClient() = default;

bool SmtpClient::Put(const std::string& text) {
  if (text.empty()) return true;
  ++sends_;
  return SendText(text) > 0;
}

bool SmtpClient::PutData(std::string_view text, bool bodyPieces) {
  std::string out;
  encoder_.Append(text, out);
  if (out.empty()) return true;
  if (!bodyPieces) return Put(out);
  int capacity = SendBufferSize();
  if (capacity <= 0 || capacity > kMaxBodyPiece) capacity = kMaxBodyPiece;
  for (size_t pos = 0; pos < out.size(); pos += static_cast<size_t>(capacity)) {
    const size_t n = std::min(out.size() - pos, static_cast<size_t>(capacity));
    ++sends_;
    if (Send(out.data() + pos, static_cast<int>(n)) <= 0) return false;
  }
  return true;
}

int SmtpClient::Command(const std::string& text) {
  Put(text);  // a failed send shows as a reply that never comes
  return ReadReply(options_.replyTimeLimitSeconds);
}

int SmtpClient::ReadReply(int timeLimitSeconds) {
  char buffer[kReplyBufferSize];
  replyLines_.clear();
  for (int lines = 0;; ++lines) {
    bool ended = false;
    const int n = ReadLinePiece(buffer, sizeof buffer, timeLimitSeconds, &ended);
    if (n <= 0) {
      lastReply_ = Aborted() ? "Cancelled" : "Timeout";
      return 1;
    }
    std::string line(buffer, static_cast<size_t>(n));
    // The rest of a line longer than the buffer is read and dropped, so
    // that it is never taken for a reply of its own.
    while (!ended) {
      char rest[kReplyBufferSize];
      if (ReadLinePiece(rest, sizeof rest, timeLimitSeconds, &ended) <= 0) break;
    }
    MailConnection::TrimLineEnd(line);
    lastReply_ = line;
    replyLines_.push_back(line);

    const std::string word = line.substr(0, line.find(' '));
    const bool continued =
        (!word.empty() && word.back() == '-') ||
        (line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0])) &&
         std::isdigit(static_cast<unsigned char>(line[1])) &&
         std::isdigit(static_cast<unsigned char>(line[2])) && line[3] == '-');
    if ((continued || HasPendingData()) && lines + 1 < kMaxReplyLines) continue;

    int code = 0;
    for (char c : word) {
      if (!std::isdigit(static_cast<unsigned char>(c)) || code > 99999) break;
      code = code * 10 + (c - '0');
    }
    return code;
  }
}

SmtpConnect SmtpClient::ConnectServer(const std::string& host, const std::string& greetingDomain) {
  Quit();
  if (HoldsLineBreak(host)) return SmtpConnect::kUnknownHost;
  if (options_.port <= 0 || options_.port > 65535) return SmtpConnect::kNoConnection;
  // A broken security setting is not taken for a plain connection.
  if (!IsMailSecurity(options_.security)) return SmtpConnect::kBadSecurity;
  const int connected = ConnectHost(static_cast<std::uint16_t>(options_.port), host);
  if (connected != 0) {
    lastReply_ = ConnectError();
    return connected == 1 ? SmtpConnect::kUnknownHost : SmtpConnect::kNoConnection;
  }
  if (options_.security == kSecurityTls && StartTls(host, options_.trustFile) != 0) {
    lastReply_ = TlsError();
    Close();
    return SmtpConnect::kTlsFailed;
  }
  ReadReply(options_.replyTimeLimitSeconds);  // the greeting; its code does not matter
  const std::string greeting = GreetingDomain(greetingDomain);
  const bool extended = options_.authenticate || options_.security == kSecurityStartTls;
  if (!extended) {
    const int code = Command("HELO " + OneLineHeaderValue(greeting) + "\r\n");
    return code >= 200 && code <= 299 ? SmtpConnect::kOk : SmtpConnect::kGreetingRefused;
  }
  if (Ehlo(greeting) != 0) return SmtpConnect::kGreetingRefused;
  if (options_.security == kSecurityStartTls) {
    if (!Offers("STARTTLS")) {
      Close();
      return SmtpConnect::kNoStartTls;
    }
    const int code = Command("STARTTLS\r\n");
    if (code != 220) {
      Close();
      return SmtpConnect::kNoStartTls;
    }
    if (StartTls(host, options_.trustFile) != 0) {
      lastReply_ = TlsError();
      Close();
      return SmtpConnect::kTlsFailed;
    }
    // What the server said before the switch no longer counts.
    if (Ehlo(greeting) != 0) return SmtpConnect::kGreetingRefused;
  }
  return options_.authenticate ? LogIn() : SmtpConnect::kOk;
}

std::string SmtpClient::GreetingDomain(const std::string& name) const {
  // A bare host name ("localhost", "vm") means nothing to the server; the
  // address it sees the connection coming from does.
  if (name.find('.') != std::string::npos && !HoldsLineBreak(name)) return name;
  const std::string local = LocalAddress();
  if (local.empty()) return name;
  return local.find(':') != std::string::npos ? "[IPv6:" + local + "]" : "[" + local + "]";
}

int SmtpClient::Ehlo(const std::string& greetingDomain) {
  capabilities_.clear();
  const int code = Command("EHLO " + OneLineHeaderValue(greetingDomain) + "\r\n");
  if (code < 200 || code > 299) return 3;
  for (size_t i = 1; i < replyLines_.size(); ++i) {
    const std::string& line = replyLines_[i];
    if (line.size() > 4) capabilities_.push_back(platform::AsciiUpper(line.substr(4)));
  }
  return 0;
}

bool SmtpClient::Offers(const std::string& capability, const std::string& word) const {
  for (const std::string& line : capabilities_) {
    std::vector<std::string> words;
    size_t pos = 0;
    while (pos < line.size()) {
      const size_t end = line.find_first_of(" =", pos);
      words.push_back(line.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
      if (end == std::string::npos) break;
      pos = end + 1;
    }
    if (words.empty() || words[0] != capability) continue;
    if (word.empty()) return true;
    for (size_t i = 1; i < words.size(); ++i) {
      if (words[i] == word) return true;
    }
  }
  return false;
}

SmtpConnect SmtpClient::LogIn() {
  if (HoldsLineBreak(options_.user) || HoldsLineBreak(options_.password)) {
    lastReply_ = "The user name or password holds a line break";
    Close();
    return SmtpConnect::kLogInRefused;
  }
  int code;
  if (Offers("AUTH", "PLAIN")) {
    code = Command("AUTH PLAIN " + Base64(std::string(1, '\0') + options_.user + '\0' + options_.password) +
                   "\r\n");
  } else if (Offers("AUTH", "LOGIN")) {
    code = Command("AUTH LOGIN\r\n");
    if (code == 334) code = Command(Base64(options_.user) + "\r\n");
    if (code == 334) code = Command(Base64(options_.password) + "\r\n");
  } else {
    Close();
    return SmtpConnect::kNoLogInMethod;
  }
  if (code == 235) return SmtpConnect::kOk;
  Quit();
  return SmtpConnect::kLogInRefused;
}

std::string SmtpClient::ConnectFailureText(SmtpConnect result, const std::string& host) const {
  switch (result) {
    case SmtpConnect::kLogInRefused: return FillTwo(kLogInRefusedText, host, lastReply_);
    case SmtpConnect::kTlsFailed: return FillTwo(kTlsFailedText, host, TlsError());
    case SmtpConnect::kNoStartTls: return Fill(kNoStartTlsText, host);
    case SmtpConnect::kNoLogInMethod: return Fill(kNoLogInMethodText, host);
    case SmtpConnect::kBadSecurity: return Fill(kBadSecurityText, host);
    case SmtpConnect::kOk:
    case SmtpConnect::kUnknownHost:
    case SmtpConnect::kNoConnection:
    case SmtpConnect::kGreetingRefused:
      return std::string();
  }
  return std::string();
}

void SmtpClient::Quit() {
  if (HasSocket()) Put("Quit\r\n");
  Close();
}

std::optional<SmtpResult> SmtpClient::SendAttachment(const std::string& path,
                                                     const std::string& outerBoundary) {
  TemporaryFile temp;
  long size;
  {
    FilePtr out = CreateTemporaryFile(temp.path);
    if (!out) {
      lastReply_ = "Cannot create a temporary file for " + path;
      return SmtpResult::kAttachmentUnreadable;
    }
    size = EncodeAttachment(path, options_.uulibLock, out.get());
    if (std::fclose(out.release()) != 0) size = -1;
  }
  if (size < 0) {
    lastReply_ = "Cannot encode the attached file " + path;
    return SmtpResult::kAttachmentUnreadable;
  }
  if (!PutData("--" + outerBoundary + "\r\n")) return SmtpResult::kConnectionLost;
  const long chunks = (size + static_cast<long>(kFileChunk) - 1) / static_cast<long>(kFileChunk);
  sends_ += chunks;
  fileChunks_ += chunks;
  const int rc = SendFile(temp.path);
  encoder_.AtLineStart();
  if (rc == 1) {
    lastReply_ = "Cannot read the encoded file " + temp.path;
    return SmtpResult::kAttachmentUnreadable;
  }
  if (rc != 0) return SmtpResult::kConnectionLost;
  return std::nullopt;
}

// What a message's body is made of, in both its forms.
struct SmtpClient::BodyTexts {
  std::string plain, html;  // the body form converted
  std::string signature, signatureHtml;
  bool downloadLink = false;
  std::string downloadText, downloadHtml;
  // Each part's whole text: the body with the signature and download line
  // after it, as both message forms carry it.
  std::string plainContent, htmlContent;
  bool mime = false;  // the HTML form is needed, or there are attachments
  // Text that is not plain ASCII is labelled as the UTF-8 it is, and a part
  // with a line longer than a mail line may be goes quoted-printable, so
  // that every server takes it and it reaches the reader as written.
  bool plainAscii = true, plainLong = false, htmlLong = false;
  std::string plainType, htmlType;  // the parts' Content-Type lines
};

SmtpClient::BodyTexts SmtpClient::ComposeBody(const OutgoingMail& mail) const {
  BodyTexts b;
  BodyConverter converter;
  b.plain = converter.RichTextToPlainText(mail.bodyForm);
  bool needsHtml = false;
  b.html = converter.RichTextToHtml(mail.bodyForm, needsHtml);
  if (options_.sendTextOnly) needsHtml = false;
  b.mime = needsHtml || !mail.attachments.empty();
  b.signature = mail.signature;
  if (!b.signature.empty()) b.signatureHtml = TextToHtml(b.signature);
  b.downloadLink = options_.downloadLink;
  if (b.downloadLink) {
    b.downloadText = Fill(kDownloadLineText, options_.updateUrl);
    b.downloadHtml = Fill(kDownloadLineHtml, options_.updateUrl);
  }

  b.plainContent = b.plain + "\r\n";
  if (!b.signature.empty()) b.plainContent += "\r\n" + b.signature;
  if (b.downloadLink) b.plainContent += "\r\n\r\n" + b.downloadText;
  b.plainContent += "\r\n";
  b.htmlContent = b.html + "\r\n";
  if (!b.signature.empty()) b.htmlContent += "<BR><BR>" + b.signatureHtml;
  b.htmlContent += "\r\n";
  if (b.downloadLink) b.htmlContent += "<BR><BR>" + b.downloadHtml;
  b.htmlContent += "\r\n";

  b.plainAscii = IsAscii(b.plainContent);
  b.plainLong = HasOverlongLine(b.plainContent);
  b.plainType = std::string("Content-Type: text/plain; charset=\"") + (b.plainAscii ? "us-ascii" : "utf-8") +
                "\"\r\n";
  b.htmlLong = HasOverlongLine(b.htmlContent);
  b.htmlType = std::string("Content-Type: text/html; charset=\"") +
               (IsAscii(b.htmlContent) ? "us-ascii" : "utf-8") + "\"\r\n";
  return b;
}

std::optional<SmtpResult> SmtpClient::OpenData(const std::string& sender,
                                               const std::vector<std::string>& recipients) {
  int code = Command("MAIL from:<" + sender + ">\r\n");
  if (code < 200 || code > 299) return SmtpResult::kSenderRefused;
  for (const std::string& r : recipients) {
    code = Command("RCPT to:<" + r + ">\r\n");
    if (code < 200 || code > 299) return SmtpResult::kRecipientRefused;
  }
  if (Command("DATA\r\n") != 354) return SmtpResult::kDataRefused;
  return std::nullopt;
}

bool SmtpClient::PutHeaders(const OutgoingMail& mail, const std::string& sender) {
  const std::string headers[] = {
      "From: " + EncodeAddressList(OneLineHeaderValue(mail.from)) + "\r\n",
      "To: " + EncodeAddressList(OneLineHeaderValue(mail.to)) + "\r\n",
      "CC: " + EncodeAddressList(OneLineHeaderValue(mail.cc)) + "\r\n",
      "Subject: " + EncodeHeaderText(OneLineHeaderValue(mail.subject)) + "\r\n",
      "Date: " + MailDateNow() + "\r\n",
      "X-Mailer: Vyrelle Version: " + options_.versionText,
      "X-ID: " + OneLineHeaderValue(options_.installationId) + "\r\n",
      "Message-ID: " + NewMessageId(sender) + "\r\n",
  };
  for (const std::string& line : headers) {
    if (!Put(FoldHeader(line))) return false;
  }
  return true;
}

bool SmtpClient::PutPlainContent(const BodyTexts& b) {
  if (b.plainLong) return PutData(QuotedPrintable(b.plainContent), true);
  if (!PutData(b.plain, true) || !PutData("\r\n")) return false;
  if (!b.signature.empty() && !PutData("\r\n" + b.signature)) return false;
  if (b.downloadLink && !PutData("\r\n\r\n" + b.downloadText)) return false;
  return PutData("\r\n");
}

bool SmtpClient::PutHtmlContent(const BodyTexts& b) {
  if (b.htmlLong) return PutData(QuotedPrintable(b.htmlContent), true);
  if (!PutData(b.html, true) || !PutData("\r\n")) return false;
  if (!b.signature.empty() && !PutData("<BR><BR>" + b.signatureHtml)) return false;
  if (!PutData("\r\n")) return false;
  if (b.downloadLink && !PutData("<BR><BR>" + b.downloadHtml)) return false;
  return PutData("\r\n");
}

bool SmtpClient::PutPlainMessage(const BodyTexts& b) {
  // Plain ASCII in short lines needs no MIME header at all.
  if (!b.plainAscii || b.plainLong) {
    if (!Put("Mime-Version: 1.0\r\n") || !Put(b.plainType)) return false;
    if (b.plainLong && !Put(std::string(kQuotedPrintableHeader))) return false;
  }
  return PutData("\r\n") && PutPlainContent(b);
}

std::optional<SmtpResult> SmtpClient::PutMimeMessage(const BodyTexts& b,
                                                     const std::vector<std::string>& attachments) {
  constexpr SmtpResult kLost = SmtpResult::kConnectionLost;
  if (!Put("Mime-Version: 1.0\r\n")) return kLost;
  // With attachments the text and HTML parts are the first part of a
  // multipart/mixed message; each attachment follows as a part of its own.
  const std::string outer = Boundary("X-X-X-X-X-X--Vyrelle-MIME-Attachment--X-X-X-X-X-X-X", "-X");
  if (!attachments.empty()) {
    if (!PutData("Content-Type: multipart/mixed; boundary=\"" + outer + "\"\r\n") || !PutData("\r\n") ||
        !PutData("--" + outer + "\r\n")) {
      return kLost;
    }
  }
  const std::string inner = Boundary("X-X-X-X-X-X--Vyrelle-MIME-TEXTandHTML--X-X-X-X-X-X-X", "-X-X");
  if (!PutData("Content-Type: multipart/alternative; boundary=\"" + inner + "\"\r\n\r\n") ||
      !PutData("This is a multi-part message in MIME format.") || !PutData("\r\n\r\n")) {
    return kLost;
  }
  if (!PutData("--" + inner + "\r\n") || !PutData(b.plainType) ||
      (b.plainLong && !PutData(kQuotedPrintableHeader)) || !PutData("\r\n") || !PutPlainContent(b)) {
    return kLost;
  }
  if (!PutData("--" + inner + "\r\n") || !PutData(b.htmlType) ||
      (b.htmlLong && !PutData(kQuotedPrintableHeader)) || !PutData("\r\n\r\n") || !PutHtmlContent(b)) {
    return kLost;
  }
  if (!PutData("--" + inner + "--\r\n")) return kLost;

  if (attachments.empty()) return std::nullopt;
  if (!PutData("\r\n")) return kLost;
  for (const std::string& path : attachments) {
    if (const std::optional<SmtpResult> failed = SendAttachment(path, outer)) return failed;
  }
  if (!PutData("\r\n") || !PutData("--" + outer + "--\r\n")) return kLost;
  return std::nullopt;
}

SmtpResult SmtpClient::EndData(platform::WindowHandle composeWindow) {
  if (composeWindow != 0) platform::PostMessage(composeWindow, kMsgSendEndOfData);
  std::string terminator;
  encoder_.Finish(terminator);
  terminator += "\r\n.\r\n";
  if (!Put(terminator)) return SmtpResult::kConnectionLost;
  // The server checks and stores the message before it answers, which may
  // take minutes; giving up early would leave a delivered message pending.
  return ReadReply(kFinalReplyTimeLimitSeconds) == 250 ? SmtpResult::kSent : SmtpResult::kDataRefused;
}

SmtpResult SmtpClient::SendMail(const OutgoingMail& mail, platform::WindowHandle composeWindow) {
  if (!IsConnected()) return SmtpResult::kNotSent;

  // Nothing is sent for a message that cannot go out whole. Every BCC
  // recipient is in the envelope; no header line names one.
  std::vector<std::string> recipients, names;
  std::string error;
  if (!EnvelopeRecipients(mail.to, mail.cc, mail.bcc, recipients, names, error)) {
    lastReply_ = error;
    return SmtpResult::kRecipientRefused;
  }
  for (const std::string& path : mail.attachments) {
    std::error_code ec;
    FilePtr probe(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!probe || !fs::is_regular_file(path, ec)) {
      lastReply_ = "Cannot read the attached file " + path;
      return SmtpResult::kAttachmentUnreadable;
    }
  }
  const BodyTexts body = ComposeBody(mail);

  std::string name, address;
  const std::string sender = ParseAddress(mail.from, name, address) ? address : OneLineHeaderValue(mail.from);
  if (const std::optional<SmtpResult> failed = OpenData(sender, recipients)) return *failed;
  encoder_.AtLineStart();
  if (!PutHeaders(mail, sender)) return SmtpResult::kConnectionLost;
  if (!body.mime) {
    if (!PutPlainMessage(body)) return SmtpResult::kConnectionLost;
  } else if (const std::optional<SmtpResult> failed = PutMimeMessage(body, mail.attachments)) {
    return *failed;
  }
  return EndData(composeWindow);
}

bool EnvelopeRecipients(const std::string& to, const std::string& cc, const std::string& bcc,
                        std::vector<std::string>& addresses, std::vector<std::string>& names,
                        std::string& error) {
  for (const std::string* field : {&to, &cc, &bcc}) {
    if (SplitRecipients(OneLineHeaderValue(*field), addresses, names, error) != 0) return false;
  }
  return true;
}

}  // namespace vyr
