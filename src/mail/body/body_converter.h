#pragma once
// Conversions of a composed body from its rich-text body form to the plain
// text and the HTML that are sent. The HTML keeps the editor's layout line by
// line: the body is laid out as the editor shows it (8400 twips wide) and a
// "<BR>" starts every visual line after the first. What the user typed is
// text: "&", "<" and ">" become "&amp;", "&lt;" and "&gt;". Only a raw block,
// "<nhtml>...</nhtml>", goes out as HTML exactly as typed.
#include <memory>
#include <string>
#include <string_view>

#include "mail/body/rich_text.h"
#include "mail/body/rich_text_layout.h"
#include "platform/string_table.h"

namespace vyr {

class MessageBoxService;

// Message string shown when the converter cannot set up its layout.
inline constexpr platform::TextId kErrorCreatingRichEditString{33361};

// The HTML font size for a character height in twips: 140 → "1", 200 → "2",
// 240 → "3", 350 → "4", 450 → "5", 550 → "6", 700 → "7", any other → "3".
const char* HtmlFontSize(int heightTwips);
// "#RRGGBB" in upper-case hexadecimal.
std::string HtmlColorText(ColorRef color);

// One conversion at a time per converter: the conversion state lives in the
// converter, so converters on different threads do not disturb each other.
class BodyConverter {
 public:
  // measurer: how text is measured for the layout; the system's fonts when
  // null. messages: where "Error Creating RichEdit" is shown when text
  // cannot be measured (nowhere when null).
  explicit BodyConverter(MessageBoxService* messages = nullptr,
                         std::unique_ptr<TextMeasurer> measurer = nullptr);

  // The text of the body, paragraph ends and line breaks as CR LF.
  std::string RichTextToPlainText(std::string_view bodyForm);

  // The HTML of the body. needsHtml is set when the body has formatting that
  // plain text cannot carry (a format tag after the first character, a
  // centring, bold, italic or underline, or a background other than white).
  std::string RichTextToHtml(std::string_view bodyForm, bool& needsHtml);

  // The same for a document already in hand (its background included).
  std::string DocumentToHtml(const RichTextDocument& doc, bool& needsHtml);

  // The body last loaded, and its background colour.
  const RichTextDocument& Document() const { return doc_; }
  ColorRef Background() const { return doc_.Background(); }

 private:
  struct State {
    bool centerOpen = false;
    bool boldOpen = false;
    bool italicOpen = false;
    bool underlineOpen = false;
    bool fontOpen = false;
    ColorRef color = kBlack;
    int height = 0;
    std::string face;
  };

  // Makes sure text can be measured; shows string 33361 when it cannot.
  // Returns the measurer to lay out with, or null.
  TextMeasurer* Layout();
  void Load(std::string_view bodyForm);
  bool FormatStep(const ParaFormat& para, const CharFormat& format, std::string& out);
  void ResetFont();

  MessageBoxService* messages_;
  std::unique_ptr<TextMeasurer> measurer_;
  RichTextDocument doc_;
  State state_;
};

}  // namespace vyr
