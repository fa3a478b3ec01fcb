// Feeds arbitrary bytes to the plain-text to HTML conversion and checks that
// no text of the input can open or close a tag: every "<" and ">" of the
// output belongs to a tag the conversion writes itself, and no double quote
// is left.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mail/body/text_to_html.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool StartsTag(std::string_view html, size_t i) {
  for (std::string_view tag : {"<HTML>", "<BODY BGCOLOR=#FFFFFF>", "</HTML>", "</BODY>", "<BR>",
                               "<A HREF=", "</A>"}) {
    if (html.compare(i, tag.size(), tag) == 0) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string html = vyr::TextToHtml(text);
  Require(html.rfind("<HTML><BODY BGCOLOR=#FFFFFF>", 0) == 0);
  Require(html.size() >= 14 && html.compare(html.size() - 14, 14, "</HTML></BODY>") == 0);
  size_t opens = 0, closes = 0;
  for (size_t i = 0; i < html.size(); ++i) {
    if (html[i] == '<') {
      Require(StartsTag(html, i));
      ++opens;
    } else if (html[i] == '>') {
      ++closes;
    }
    Require(html[i] != '"');
  }
  // Each tag has exactly one ">".
  Require(opens == closes);
  return 0;
}
