#pragma once
// Where the visual lines of a rich-text document start when it is laid out
// like the editor lays it out: a paragraph end or line break starts a line,
// and a line wraps when the next word does not fit the width. A line breaks
// after spaces and tabs (they stay at the end of the line, even past the
// width); a word wider than a whole line is broken between the characters
// that do not fit. Alignment does not move breaks.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mail/body/rich_text.h"

namespace vyr {

// The width a body is laid out in (the editor's target device line width).
inline constexpr int kLayoutWidthTwips = 8400;
// Default tab stops.
inline constexpr int kTabStopTwips = 720;

// Measures text for the layout.
class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  // False when nothing can be measured (the layout then only breaks at
  // paragraph ends and line breaks).
  virtual bool Available() = 0;
  // The width in twips of a piece of one line of text (no breaks in it) in
  // the given format.
  virtual int Width(std::string_view utf8, const CharFormat& format) = 0;
};

// The system's fonts (platform/text_measure), remembering the widths it has
// measured: bodies repeat their words a lot.
class SystemTextMeasurer : public TextMeasurer {
 public:
  bool Available() override;
  int Width(std::string_view utf8, const CharFormat& format) override;

 private:
  std::unordered_map<std::string, int> cache_;
  std::string key_;
};

// Byte offsets of the first character of every visual line, in order; the
// first is always 0. An empty last line (after a final paragraph end) has
// no character and no entry. Without a measurer, or with one that is not
// available, lines start only after paragraph ends and line breaks.
std::vector<size_t> LayoutLineStarts(const RichTextDocument& doc, int width,
                                     TextMeasurer* measurer);

}  // namespace vyr
