#include "mail/read/reply_builder.h"

#include <filesystem>
#include <set>
#include <system_error>

#include "base/settings_table.h"
#include "mail/body/utf8.h"
#include "platform/text.h"

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

// The entries of an address header as it is shown ("Name <a@b>, c@d"):
// split at commas and semicolons outside quotes, angle brackets and
// comments, blanks around each entry removed.
std::vector<std::string> AddressEntries(const std::string& field) {
  std::vector<std::string> entries;
  std::string current;
  bool quoted = false;
  int angle = 0, comment = 0;
  auto finish = [&] {
    const size_t first = current.find_first_not_of(" \t");
    if (first != std::string::npos) entries.push_back(current.substr(first, current.find_last_not_of(" \t") + 1 - first));
    current.clear();
  };
  for (size_t i = 0; i < field.size(); ++i) {
    const char c = field[i];
    if (c == '\\' && quoted && i + 1 < field.size()) {
      current += c;
      current += field[++i];
      continue;
    }
    if (c == '"' && !comment) quoted = !quoted;
    else if (!quoted && c == '<') ++angle;
    else if (!quoted && c == '>' && angle) --angle;
    else if (!quoted && c == '(') ++comment;
    else if (!quoted && c == ')' && comment) --comment;
    else if (!quoted && !angle && !comment && (c == ',' || c == ';')) {
      finish();
      continue;
    }
    current += c;
  }
  finish();
  return entries;
}

// The address of one entry, in lower case: what its angle brackets hold,
// else the entry without its comments.
std::string EntryAddress(const std::string& entry) {
  const size_t open = entry.rfind('<');
  if (open != std::string::npos) {
    const size_t close = entry.find('>', open);
    return platform::AsciiLower(entry.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1));
  }
  std::string bare;
  int comment = 0;
  for (char c : entry) {
    if (c == '(') ++comment;
    else if (c == ')' && comment) --comment;
    else if (!comment && c != ' ' && c != '\t' && c != '"') bare += c;
  }
  return platform::AsciiLower(bare);
}

// The entries of the fields joined by ", ", without the entries whose
// address is in `leaveOut` or was taken already (which it then is).
std::string Recipients(const std::vector<std::string>& fields, std::set<std::string>& leaveOut) {
  std::string out;
  for (const std::string& field : fields) {
    for (const std::string& entry : AddressEntries(field)) {
      if (!leaveOut.insert(EntryAddress(entry)).second) continue;
      out += (out.empty() ? "" : ", ") + entry;
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> OwnAddresses(const Application& app) {
  std::vector<std::string> own;
  const std::string address = app.Get(kEmailAddress);
  if (address.find('@') != std::string::npos) own.push_back(address);
  for (int n = 1; n <= 3; ++n) {
    const std::string account = app.Get(kEmailExtraAccount.At(n));
    if (account.find('@') != std::string::npos) own.push_back(account);
  }
  return own;
}

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

ReplyDraft BuildReply(const DecodedMessage& message, ReplyKind kind, const std::string& displayDir,
                      const std::vector<std::string>& ownAddresses) {
  ReplyDraft draft;
  const MessageSummary& s = message.summary;
  draft.subject = ReplySubject(kind, s.subject);
  draft.body = QuotedBody(message);
  // A sender who names another address for replies gets them there.
  const std::string& replyTo = s.replyTo.find('@') != std::string::npos ? s.replyTo : s.from;
  switch (kind) {
    case ReplyKind::Reply:
      draft.to = replyTo;
      break;
    case ReplyKind::ReplyAll: {
      // The user's own addresses are left out (a reply to all of one's
      // own message goes to the others); every address is named once.
      std::set<std::string> leaveOut;
      for (const std::string& own : ownAddresses) leaveOut.insert(EntryAddress(own));
      std::set<std::string> named = leaveOut;
      draft.to = Recipients({replyTo, s.to}, named);
      draft.cc = Recipients({s.cc}, named);
      if (draft.to.empty() && draft.cc.empty()) draft.to = replyTo;
      break;
    }
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
                        const std::string& copiesDir, const std::vector<std::string>& ownAddresses) {
  ReplyDraft draft = BuildReply(message, kind, displayDir, ownAddresses);
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
