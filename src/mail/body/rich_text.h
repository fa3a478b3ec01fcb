#pragma once
// The composed message body as the editor holds it: text with per-character
// formats and per-paragraph alignment, the RTF subset the editor exchanges
// (our own reader and writer), and the rich-text body form stored in
// outgoing message files.
//
// Text is held as UTF-8 and walked by character, never by byte. RTF input
// is 8-bit text of the ANSI code page: "\'hh" escapes and unescaped bytes
// above 127 are read as Windows-1252 and converted to UTF-8; "\uN" gives the
// Unicode character N (surrogate pairs are joined) and its "\ucN" fallback
// characters are skipped. The writer does the reverse: characters that
// Windows-1252 has become "\'hh", all others "\uN?".
//
// A paragraph ends with '\n' in the text; a line break inside a paragraph
// ("\line") is '\v'. The last paragraph has no '\n': like the editor, the
// reader takes a final "\par" as the mark of the last paragraph, and the
// writer always writes one.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mail/body/utf8.h"

namespace vyr {

// A red-green-blue colour value with red in the lowest byte.
using ColorRef = std::uint32_t;

constexpr ColorRef Rgb(unsigned r, unsigned g, unsigned b) {
  return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
constexpr unsigned RedOf(ColorRef c) { return c & 0xFF; }
constexpr unsigned GreenOf(ColorRef c) { return (c >> 8) & 0xFF; }
constexpr unsigned BlueOf(ColorRef c) { return (c >> 16) & 0xFF; }

inline constexpr ColorRef kBlack = 0;
inline constexpr ColorRef kWhite = 0xFFFFFF;

// The character height of text without a size: 12 points.
inline constexpr int kDefaultHeightTwips = 240;

// The format of a character. The mask says which attributes the format
// carries, like the editor's format masks: an attribute that is not carried
// is unknown and its value is to be ignored. The reader gives every
// character a format that carries everything.
struct CharFormat {
  enum : unsigned {
    kColor = 1u << 0,
    kHeight = 1u << 1,
    kFace = 1u << 2,
    kBold = 1u << 3,
    kItalic = 1u << 4,
    kUnderline = 1u << 5,
    kAll = kColor | kHeight | kFace | kBold | kItalic | kUnderline,
  };
  unsigned mask = kAll;
  ColorRef color = kBlack;
  int height = kDefaultHeightTwips;  // twips
  std::string face;
  bool bold = false;
  bool italic = false;
  bool underline = false;

  bool Carries(unsigned bits) const { return (mask & bits) == bits; }
  bool operator==(const CharFormat&) const = default;
};

enum class Alignment { Left, Center, Right };

struct ParaFormat {
  bool carriesAlignment = true;
  Alignment alignment = Alignment::Left;
  bool operator==(const ParaFormat&) const = default;
};

// A stretch of text in one format: bytes [begin, end) of the text.
struct FormatRun {
  size_t begin = 0;
  size_t end = 0;
  CharFormat format;
  bool operator==(const FormatRun&) const = default;
};

// A paragraph: bytes [begin, end) of the text, its '\n' (when it has one)
// included.
struct Paragraph {
  size_t begin = 0;
  size_t end = 0;
  ParaFormat format;
  bool operator==(const Paragraph&) const = default;
};

// The editor's content. Runs cover the text without gaps in order and never
// split a character; paragraphs likewise. An empty document has no runs and
// one empty paragraph.
class RichTextDocument {
 public:
  RichTextDocument();

  const std::string& Text() const { return text_; }
  const std::vector<FormatRun>& Runs() const { return runs_; }
  const std::vector<Paragraph>& Paragraphs() const { return paragraphs_; }

  // The format of the insertion point in an empty document, and the format
  // reported for the first character when there is none.
  const CharFormat& DefaultFormat() const { return defaultFormat_; }
  void SetDefaultFormat(const CharFormat& format) { defaultFormat_ = format; }

  // The editor's background colour.
  ColorRef Background() const { return background_; }
  void SetBackground(ColorRef color) { background_ = color; }

  // Appends text in one format (next to a run in the same format it joins
  // that run). Each byte of it that is not part of a well-formed UTF-8
  // character is taken as U+FFFD; '\n' in it ends paragraphs, which get the
  // alignment of the paragraph being written.
  void Append(std::string_view utf8, const CharFormat& format);
  // Ends the current paragraph with '\n' in the given format.
  void EndParagraph(const CharFormat& format);
  // Sets the format of the paragraph being written (the last one).
  void SetParagraphFormat(const ParaFormat& format) { paragraphs_.back().format = format; }
  // Removes the last character when it is a paragraph end, joining the last
  // two paragraphs; the joined paragraph keeps the earlier one's format.
  bool DropFinalParagraphEnd();
  void Clear();

  // The format of the character starting at byte offset pos (the last
  // character's past the end, the default format when the text is empty).
  const CharFormat& FormatAt(size_t pos) const;
  const ParaFormat& ParagraphFormatAt(size_t pos) const;

  // Same text, formats, paragraphs and background (the default format is
  // not content).
  bool operator==(const RichTextDocument& other) const {
    return text_ == other.text_ && runs_ == other.runs_ && paragraphs_ == other.paragraphs_ &&
           background_ == other.background_;
  }

 private:
  std::string text_;
  std::vector<FormatRun> runs_;
  std::vector<Paragraph> paragraphs_;
  CharFormat defaultFormat_;
  ColorRef background_ = kWhite;
};

// Reads an RTF stream into the document's content (the background is left
// alone). Groups nest at most kMaxRtfDepth deep for formatting; deeper
// groups share the state of the deepest one, so any input reads in bounded
// memory and without recursion. Unknown control words are ignored; groups
// that are not body text (the "\*" destinations, \info, \stylesheet,
// \pict, headers, footnotes and the like) are skipped; "\binN" data is
// skipped. Returns false (and leaves an empty document) when the text does
// not begin with "{\rtf".
inline constexpr size_t kMaxRtfDepth = 256;
bool ReadRtf(std::string_view rtf, RichTextDocument& doc);

// Writes the document's content as the editor streams it out: a header with
// the font table and the colour table of the faces and colours in use, then
// the paragraphs with their alignment and the runs with their formats.
// Heights are written in half points, rounded.
std::string WriteRtf(const RichTextDocument& doc);

// The rich-text body form: the RTF of the whole content followed by
// "{RTFBGCOLOR}=" and the background colour in decimal.
inline constexpr char kBackgroundMarker[] = "{RTFBGCOLOR}=";
std::string GetBodyRichText(const RichTextDocument& doc);

// Replaces the document's content (and background) from a body form. When
// the form holds the marker, the number after its last occurrence is the
// background colour (red in the lowest byte; only the low 24 bits are used;
// no digits after the marker leave the background white) and the text is cut
// before it. Returns what ReadRtf returns for the text.
bool SetBodyRichText(std::string_view bodyForm, RichTextDocument& doc);

}  // namespace vyr
