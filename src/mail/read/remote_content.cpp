#include "mail/read/remote_content.h"

#include <string>

#include "platform/text.h"

namespace vyr {

namespace {

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ':';
}

// The attribute whose value starts at `at` ("" when the text before is not
// "name=" with optional blanks and quotes around the "=").
std::string_view AttributeBefore(std::string_view lower, size_t at) {
  size_t i = at;
  while (i > 0 && (lower[i - 1] == '"' || lower[i - 1] == '\'' || lower[i - 1] == ' ' || lower[i - 1] == '\t' ||
                   lower[i - 1] == '\r' || lower[i - 1] == '\n')) {
    --i;
  }
  if (i == 0 || lower[i - 1] != '=') return {};
  --i;
  while (i > 0 && (lower[i - 1] == ' ' || lower[i - 1] == '\t')) --i;
  const size_t end = i;
  while (i > 0 && IsNameCharacter(lower[i - 1])) --i;
  return lower.substr(i, end - i);
}

// The name of the tag the text at `at` stands in ("" outside a tag).
std::string_view TagAround(std::string_view lower, size_t at) {
  const size_t open = lower.rfind('<', at);
  if (open == std::string_view::npos || lower.find('>', open) < at) return {};
  size_t end = open + 1;
  while (end < lower.size() && IsNameCharacter(lower[end])) ++end;
  return lower.substr(open + 1, end - open - 1);
}

// Whether the address starting at `at` is fetched by the page.
bool Fetched(std::string_view lower, size_t at) {
  const std::string_view attribute = AttributeBefore(lower, at);
  if (attribute == "href") {
    // A link's address is followed only when clicked; a style sheet's
    // (<link>) or a picture's (<image>) is fetched.
    const std::string_view tag = TagAround(lower, at);
    return tag != "a" && tag != "area" && tag != "base";
  }
  if (!attribute.empty()) return attribute != "action" && attribute != "cite";
  size_t i = at;
  while (i > 0 && (lower[i - 1] == '"' || lower[i - 1] == '\'' || lower[i - 1] == ' ' || lower[i - 1] == '\t' ||
                   lower[i - 1] == '\r' || lower[i - 1] == '\n')) {
    --i;
  }
  if (i == 0) return false;
  const char before = lower[i - 1];
  // url(...), image-set(...), and the further entries of a srcset list.
  if (before == '(' || before == ',') return true;
  return lower.substr(0, i).ends_with("@import");
}

}  // namespace

bool MayHoldRemoteContent(std::string_view html) {
  const std::string lower = platform::AsciiLower(html);
  for (size_t at = lower.find(':'); at != std::string::npos; at = lower.find(':', at + 1)) {
    if (lower.compare(at, 3, "://") != 0) continue;
    size_t start = at;
    while (start > 0 && lower[start - 1] >= 'a' && lower[start - 1] <= 'z') --start;
    const std::string_view scheme = std::string_view(lower).substr(start, at - start);
    if (scheme != "http" && scheme != "https" && scheme != "ftp" && scheme != "ws" && scheme != "wss") continue;
    if (Fetched(lower, start)) return true;
  }
  return false;
}

}  // namespace vyr
