#pragma once
// "mailto:" links: the address part and the query of a link read into the
// fields of a new message. Only To, CC, Subject and the body are taken; any
// other header a link names (Bcc, From, Reply-To...) is ignored, so a page
// can never add a hidden recipient or a header of its own.
#include <string>

namespace vyr {

struct MailtoFields {
  std::string to;       // the address part and any "to=" fields, joined by ", "
  std::string cc;
  std::string subject;
  std::string body;     // line breaks kept as "\r\n"
};

// Parses a link with or without its "mailto:" scheme (compared without
// regard to case). Percent escapes are decoded; control characters are
// removed from the one-line fields (To, CC, Subject); the body keeps its line
// breaks and loses every other control character.
MailtoFields ParseMailtoLink(const std::string& link);

// The fields written back as one "mailto:" link, every value
// percent-encoded (for a mail program of the desktop).
std::string FormatMailtoLink(const MailtoFields& fields);

}  // namespace vyr
