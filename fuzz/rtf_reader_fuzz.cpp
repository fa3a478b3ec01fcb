// Feeds arbitrary bytes to the rich-text body form reader (RTF, or plain
// text when it is not RTF), then checks what was read: runs and paragraphs
// cover the text, the text is valid UTF-8, a write and a second read give
// the same document, the layout's line starts lie on character boundaries,
// and both conversions run to the end and give valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "mail/body/body_converter.h"
#include "mail/body/rich_text.h"
#include "mail/body/rich_text_layout.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// Widths without fonts: the fuzzer exercises the layout, not Pango.
class FixedMeasurer : public vyr::TextMeasurer {
 public:
  bool Available() override { return true; }
  int Width(std::string_view utf8, const vyr::CharFormat& format) override {
    return static_cast<int>(utf8.size()) * (format.height / 2 + 1);
  }
};

// Checked here on its own terms rather than with the decoder under test: the
// code point each sequence gives must need exactly that many bytes, and be
// neither a surrogate nor above U+10FFFF.
bool ValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3
                                    : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    std::uint32_t cp = len == 1 ? c : c & (0xFF >> (len + 1));
    for (size_t k = 1; k < len; ++k) {
      const unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    static const std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

void RequireConsistent(const vyr::RichTextDocument& doc) {
  const std::string& text = doc.Text();
  size_t pos = 0;
  for (const auto& run : doc.Runs()) {
    Require(run.begin == pos && run.end > run.begin);
    // A run never starts inside a character.
    Require((static_cast<unsigned char>(text[run.begin]) & 0xC0) != 0x80);
    pos = run.end;
  }
  Require(pos == text.size());
  pos = 0;
  for (const auto& p : doc.Paragraphs()) {
    Require(p.begin == pos);
    pos = p.end;
  }
  Require(pos == text.size());
  Require(ValidUtf8(text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  vyr::RichTextDocument doc;
  vyr::SetBodyRichText(input, doc);
  RequireConsistent(doc);

  vyr::RichTextDocument again;
  Require(vyr::SetBodyRichText(vyr::GetBodyRichText(doc), again));
  RequireConsistent(again);
  Require(again == doc);

  FixedMeasurer measurer;
  const std::vector<size_t> lines = vyr::LayoutLineStarts(doc, vyr::kLayoutWidthTwips, &measurer);
  Require(!lines.empty() && lines[0] == 0);
  for (size_t k = 1; k < lines.size(); ++k) {
    Require(lines[k] > lines[k - 1] && lines[k] < doc.Text().size());
    Require((static_cast<unsigned char>(doc.Text()[lines[k]]) & 0xC0) != 0x80);
  }

  vyr::BodyConverter converter(nullptr, std::make_unique<FixedMeasurer>());
  bool needsHtml = false;
  const std::string html = converter.DocumentToHtml(doc, needsHtml);
  Require(html.rfind("<HTML><BODY BGCOLOR=#", 0) == 0);
  Require(html.size() >= 14 && html.compare(html.size() - 14, 14, "</BODY></HTML>") == 0);
  Require(ValidUtf8(html));
  Require(ValidUtf8(converter.RichTextToPlainText(input)));
  return 0;
}
