#pragma once
// Reply, reply to all and forward: the subject, quoted body, recipients and
// (for a forward) attachments that the viewer hands to the compose editor,
// built from the message it shows.
#include <cstddef>
#include <string>
#include <vector>

#include "mail/store/mail_store.h"
#include "mail/read/message_decoder.h"

namespace vyr {

enum class ReplyKind { Reply, ReplyAll, Forward };

struct ReplyDraft {
  std::string to;
  std::string cc;
  std::string subject;
  std::string body;
  std::vector<std::string> attachments;  // forward only: files in the display directory
};

// A quote longer than this many characters is cut to them.
inline constexpr size_t kQuoteLimit = 32768;
inline constexpr const char* kQuoteTruncatedNote = "\r\n\r\nMessage truncated at 32K";

// "re: %s" for a reply and reply to all, "fw: %s" for a forward.
std::string ReplySubject(ReplyKind kind, const std::string& subject);

// "\r\n\r\n> **--------- Original Message follows... \r\n\r\n>", the
// accumulated text (or, when it is empty, the converted text) with its line
// ends made "\r\n", cut to its first 32 768 characters with "\r\n\r\nMessage
// truncated at 32K" after it when longer, then the original subject, sender
// and date lines and "\r\n> **---------\r\n\r\n> ".
std::string QuotedBody(const DecodedMessage& message);

// The user's own addresses: the account's address and the extra accounts'
// user names that are addresses.
std::vector<std::string> OwnAddresses(const Application& app);

// Subject, body and recipients: a reply goes to the message's Reply-To, or
// to its sender when it names none; a reply to all to that address and the
// message's To, with its CC, leaving out every entry whose address is one
// of ownAddresses (compared without case) unless nobody would be left, and
// every address named twice; a forward to nobody yet.
// A forward attaches the parts the viewer lists (none when there is only
// one), except the two pages and the text part the body already quotes.
ReplyDraft BuildReply(const DecodedMessage& message, ReplyKind kind, const std::string& displayDir,
                      const std::vector<std::string>& ownAddresses = {});

// What the viewer runs: BuildReply and, for a forward, copies of the
// attachments in a new forward folder ("Forward1"...) of copiesDir (the
// display directory when empty), under the parts' own names and
// read-only, so that neither the next message shown nor another forward
// touches them while the forward is being written. When no folder can be
// made the parts are protected where they lie.
ReplyDraft PrepareReply(const DecodedMessage& message, ReplyKind kind, const std::string& displayDir,
                        const std::string& copiesDir = {}, const std::vector<std::string>& ownAddresses = {});

// Makes files read-only; returns how many were.
int ProtectAttachments(const std::vector<std::string>& files);

}  // namespace vyr
