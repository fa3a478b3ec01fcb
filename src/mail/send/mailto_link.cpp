#include "mail/send/mailto_link.h"

#include <algorithm>
#include <cctype>

#include "platform/url_canonicalizer.h"
#include "platform/text.h"

namespace vyr {

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (!IsControl(static_cast<unsigned char>(c))) out += c;
  }
  // Blanks left where a line break was cut out are folded to one.
  const size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

// Line breaks of any kind become "\r\n"; other control characters but the
// tab go.
std::string BodyText(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\r\n";
    } else if (c == '\t' || !IsControl(static_cast<unsigned char>(c))) {
      out += c;
    }
  }
  return out;
}

void Append(std::string& list, const std::string& value) {
  if (value.empty()) return;
  if (!list.empty()) list += ", ";
  list += value;
}

}  // namespace

MailtoFields ParseMailtoLink(const std::string& link) {
  std::string rest = link;
  if (platform::AsciiLower(rest.substr(0, 7)) == "mailto:") rest = rest.substr(7);
  rest = rest.substr(0, rest.find('#'));
  const size_t query = rest.find('?');
  MailtoFields fields;
  // Decoded only after the split, so an encoded "?" or "&" stays text.
  Append(fields.to, OneLine(platform::DecodePercentEscapes(rest.substr(0, query))));
  if (query == std::string::npos) return fields;
  const std::string hfields = rest.substr(query + 1);
  for (size_t start = 0; start <= hfields.size();) {
    const size_t end = std::min(hfields.find('&', start), hfields.size());
    const std::string pair = hfields.substr(start, end - start);
    start = end + 1;
    const size_t eq = pair.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = platform::AsciiLower(platform::DecodePercentEscapes(pair.substr(0, eq)));
    // "+" is a plus sign in mailto links, not a blank.
    const std::string value = platform::DecodePercentEscapes(pair.substr(eq + 1));
    if (name == "to") {
      Append(fields.to, OneLine(value));
    } else if (name == "cc") {
      Append(fields.cc, OneLine(value));
    } else if (name == "subject" && fields.subject.empty()) {
      fields.subject = OneLine(value);
    } else if (name == "body" && fields.body.empty()) {
      fields.body = BodyText(value);
    }
  }
  return fields;
}

std::string FormatMailtoLink(const MailtoFields& fields) {
  // The address part keeps "@" and the separators of a list readable.
  std::string link = "mailto:" + platform::PercentEncode(fields.to, "@,");
  char separator = '?';
  auto add = [&](const char* name, const std::string& value) {
    if (value.empty()) return;
    link += separator;
    link += name;
    link += '=';
    link += platform::PercentEncode(value);
    separator = '&';
  };
  add("cc", fields.cc);
  add("subject", fields.subject);
  add("body", fields.body);
  return link;
}

}  // namespace vyr
