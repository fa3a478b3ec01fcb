#include "mail/read/reply_builder.h"

#include <filesystem>
#include <system_error>

#include "mail/body/utf8.h"

namespace vyr {

namespace fs = std::filesystem;

namespace {

// Line ends of the quoted text as the rest of the body has them: the parts
// the library wrote carry bare line feeds.
std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += c;
  }
  return out;
}

// The cut falls on a character boundary: a well-formed UTF-8 character is
// never split; other bytes are cut where the limit says.
size_t CutPosition(const std::string& text, size_t limit) { return Utf8CutBefore(text, limit); }

std::string WithSeparator(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace

std::string ReplySubject(ReplyKind kind, const std::string& subject) {
  return (kind == ReplyKind::Forward ? "fw: " : "re: ") + subject;
}

std::string QuotedBody(const DecodedMessage& message) {
  const MessageSummary& s = message.summary;
  std::string body = "\r\n\r\n> **--------- Original Message follows... \r\n\r\n>";
  body += WithCrLf(message.text.empty() ? message.converted : message.text);
  if (body.size() > kQuoteLimit) {
    body.resize(CutPosition(body, kQuoteLimit));
    body += kQuoteTruncatedNote;
  }
  body += "\r\n> ** Original Subject: " + s.subject;
  body += "\r\n> ** Original Sender: " + s.from;
  body += "\r\n> ** Original Date: " + s.date;
  body += "\r\n> **---------";
  body += "\r\n\r\n> ";
  return body;
}

ReplyDraft BuildReply(const DecodedMessage& message, ReplyKind kind, const std::string& displayDir) {
  ReplyDraft draft;
  const MessageSummary& s = message.summary;
  draft.subject = ReplySubject(kind, s.subject);
  draft.body = QuotedBody(message);
  switch (kind) {
    case ReplyKind::Reply:
      draft.to = s.from;
      break;
    case ReplyKind::ReplyAll:
      // No empty address at either end when one of the two is missing.
      draft.to = s.from;
      if (!s.to.empty()) draft.to += (draft.to.empty() ? "" : ",") + s.to;
      draft.cc = s.cc;
      break;
    case ReplyKind::Forward: {
      // What the viewer lists, without the pages and the text the body
      // already quotes.
      const std::string dir = WithSeparator(displayDir);
      for (size_t i : ListedParts(message)) {
        const std::string& name = message.partNames[i];
        if (name == kEnhancedPage || name == kPlainTextPage || name == message.bodyPart) continue;
        draft.attachments.push_back(dir + name);
      }
      break;
    }
  }
  return draft;
}

int ProtectAttachments(const std::vector<std::string>& files) {
  int protectedFiles = 0;
  for (const std::string& file : files) {
    std::error_code ec;
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove, ec);
    if (!ec) ++protectedFiles;
  }
  return protectedFiles;
}

namespace {

std::string NewForwardFolder(const std::string& displayDir) {
  const std::string dir = WithSeparator(displayDir);
  if (dir.empty()) return {};
  for (int n = 1; n < 100000; ++n) {
    const std::string folder = dir + kForwardFolderPrefix + std::to_string(n);
    std::error_code ec;
    // create_directory is false for a folder that is there already: that
    // one belongs to another forward.
    if (fs::create_directory(folder, ec) && !ec) return folder + "/";
    if (ec) return {};
  }
  return {};
}

}  // namespace

ReplyDraft PrepareReply(const DecodedMessage& message, ReplyKind kind, const std::string& displayDir,
                        const std::string& copiesDir) {
  ReplyDraft draft = BuildReply(message, kind, displayDir);
  if (draft.attachments.empty()) return draft;
  // Copies in a folder of the forward's own keep their names, whatever the
  // viewer shows next (the same message again, say) and however many
  // forwards are being written.
  const std::string folder = NewForwardFolder(copiesDir.empty() ? displayDir : copiesDir);
  for (std::string& file : draft.attachments) {
    if (folder.empty()) break;
    const std::string copy = folder + fs::path(file).filename().string();
    std::error_code ec;
    if (fs::copy_file(file, copy, fs::copy_options::none, ec) && !ec) file = copy;
  }
  ProtectAttachments(draft.attachments);
  return draft;
}

}  // namespace vyr
