#include "mail/body/rich_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <unordered_map>

namespace vyr {

// ---------------------------------------------------------------------------
// Windows-1252
// ---------------------------------------------------------------------------

namespace {

// Windows-1252 bytes 0x80..0x9F; the five bytes the code page leaves
// undefined map to the control characters of the same number, as the
// system's conversion does.
constexpr std::array<std::uint16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::uint32_t Cp1252ToUnicode(unsigned char b) {
  return (b >= 0x80 && b <= 0x9F) ? kCp1252High[b - 0x80] : b;
}

// The Windows-1252 byte of a code point, or -1 when the code page lacks it.
int UnicodeToCp1252(std::uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (size_t k = 0; k < kCp1252High.size(); ++k) {
    if (kCp1252High[k] == cp) return static_cast<int>(0x80 + k);
  }
  return -1;
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// The document
// ---------------------------------------------------------------------------

RichTextDocument::RichTextDocument() { paragraphs_.push_back(Paragraph{}); }

void RichTextDocument::Clear() {
  text_.clear();
  runs_.clear();
  paragraphs_.assign(1, Paragraph{});
}

void RichTextDocument::Append(std::string_view utf8, const CharFormat& format) {
  // The text stays well-formed whatever the caller hands in, so that a
  // write and a read give back the same document.
  std::string mended;
  if (!IsValidUtf8(utf8)) {
    mended = ValidUtf8(utf8);
    utf8 = mended;
  }
  size_t start = 0;
  while (start < utf8.size()) {
    const size_t nl = utf8.find('\n', start);
    const size_t stop = nl == std::string_view::npos ? utf8.size() : nl;
    if (stop > start) {
      const size_t begin = text_.size();
      text_.append(utf8.substr(start, stop - start));
      if (!runs_.empty() && runs_.back().end == begin && runs_.back().format == format) {
        runs_.back().end = text_.size();
      } else {
        runs_.push_back(FormatRun{begin, text_.size(), format});
      }
      paragraphs_.back().end = text_.size();
    }
    if (nl == std::string_view::npos) break;
    EndParagraph(format);
    start = nl + 1;
  }
}

void RichTextDocument::EndParagraph(const CharFormat& format) {
  const size_t begin = text_.size();
  text_ += '\n';
  if (!runs_.empty() && runs_.back().end == begin && runs_.back().format == format) {
    runs_.back().end = text_.size();
  } else {
    runs_.push_back(FormatRun{begin, text_.size(), format});
  }
  paragraphs_.back().end = text_.size();
  // The next paragraph starts with the format of the one just ended, as a
  // new paragraph does in the editor.
  paragraphs_.push_back(Paragraph{text_.size(), text_.size(), paragraphs_.back().format});
}

bool RichTextDocument::DropFinalParagraphEnd() {
  if (text_.empty() || text_.back() != '\n' || paragraphs_.size() < 2 ||
      paragraphs_.back().begin != text_.size()) {
    return false;
  }
  text_.pop_back();
  if (!runs_.empty()) {
    runs_.back().end = text_.size();
    if (runs_.back().end == runs_.back().begin) runs_.pop_back();
  }
  paragraphs_.pop_back();
  paragraphs_.back().end = text_.size();
  return true;
}

const CharFormat& RichTextDocument::FormatAt(size_t pos) const {
  if (runs_.empty()) return defaultFormat_;
  auto it = std::upper_bound(runs_.begin(), runs_.end(), pos,
                             [](size_t p, const FormatRun& r) { return p < r.begin; });
  if (it == runs_.begin()) return runs_.front().format;
  return std::prev(it)->format;
}

const ParaFormat& RichTextDocument::ParagraphFormatAt(size_t pos) const {
  auto it = std::upper_bound(paragraphs_.begin(), paragraphs_.end(), pos,
                             [](size_t p, const Paragraph& r) { return p < r.begin; });
  if (it == paragraphs_.begin()) return paragraphs_.front().format;
  return std::prev(it)->format;
}

// ---------------------------------------------------------------------------
// The RTF reader
// ---------------------------------------------------------------------------

namespace {

enum class Destination { Body, FontTable, ColorTable, Skip };

// Everything a group saves and restores.
struct GroupState {
  Destination dest = Destination::Body;
  int font = -1;        // font number; -1 means the default font (\deff)
  int halfPoints = 24;  // \fs
  int color = 0;        // index into the colour table; 0 is the automatic colour
  bool bold = false;
  bool italic = false;
  bool underline = false;
  Alignment alignment = Alignment::Left;
  int uc = 1;  // fallback characters after \u

  void PlainCharacter() {
    font = -1;
    halfPoints = 24;
    color = 0;
    bold = italic = underline = false;
  }
};

// Groups that hold no body text.
bool IsSkippedDestination(std::string_view w) {
  static const char* const kWords[] = {
      "stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf", "footer",
      "footerl", "footerr", "footerf", "footnote", "ftnsep", "ftnsepc", "ftncn", "aftnsep",
      "aftnsepc", "aftncn", "annotation", "atnid", "atnauthor", "atndate", "atnref", "fldinst",
      "filetbl", "listtable", "listoverridetable", "revtbl", "rsidtbl", "generator", "xe", "tc",
      "txe", "object", "objdata", "objclass", "nonshppict", "pn", "pntxta", "pntxtb",
      "template", "comment", "title", "subject", "author", "operator", "keywords", "doccomm",
      "company", "manager", "category", "hlinkbase", "bkmkstart", "bkmkend", "datafield",
      "fontemb", "fontfile", "userprops", "xmlnstbl", "mmathPr", "themedata",
      "colorschememapping", "latentstyles", "datastore", "pgdsctbl", "shpinst", "sp", "sn", "sv",
      "picprop", "blipuid", "panose", "falt", "docvar", "background", "private", "passwordhash",
      "defchp", "defpap", "wgrffmtfilter", "listpicture", "pnseclvl", "ud", "buptim", "creatim",
      "revtim", "printim", "leveltext", "levelnumbers"};
  for (const char* k : kWords) {
    if (w == k) return true;
  }
  return false;
}

bool IsUnderlineOn(std::string_view w) {
  static const char* const kWords[] = {
      "ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash", "ulth",
      "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw", "ulwave"};
  for (const char* k : kWords) {
    if (w == k) return true;
  }
  return false;
}

constexpr size_t kMaxFaceName = 255;
constexpr size_t kMaxColors = 32768;
constexpr int kMaxHalfPoints = 3276;  // 1638 points
constexpr size_t kMaxControlWord = 32;
// Stands for \line on its way into the text (outside the Unicode range, so
// no character of the input can be taken for it).
constexpr std::uint32_t kLineBreak = 0x110000;

class RtfReader {
 public:
  RtfReader(std::string_view rtf, RichTextDocument& doc) : in_(rtf), doc_(doc) {}

  void Read() {
    stack_.push_back(GroupState{});  // outside every group
    lastFormat_ = FormatFor(stack_.back());
    size_t i = 0;
    const size_t n = in_.size();
    while (i < n && !done_) {
      const char c = in_[i];
      if (c == '{') {
        Flush();
        ++i;
        pendingSkip_ = 0;
        if (excess_ > 0 || stack_.size() >= kMaxRtfDepth) {
          ++excess_;
        } else {
          stack_.push_back(stack_.back());
        }
      } else if (c == '}') {
        Flush();
        ++i;
        pendingSkip_ = 0;
        CloseGroup();
      } else if (c == '\\') {
        i = ControlWord(i + 1);
      } else if (c == '\r' || c == '\n') {
        ++i;  // line ends in the stream carry no meaning
      } else {
        ++i;
        if (excess_ > 0) continue;
        Character(Cp1252ToUnicode(static_cast<unsigned char>(c)));
      }
    }
    Finish();
  }

 private:
  GroupState& Top() { return stack_.back(); }

  CharFormat FormatFor(const GroupState& s) const {
    CharFormat f;
    f.mask = CharFormat::kAll;
    f.color = (s.color > 0 && static_cast<size_t>(s.color) < colors_.size()) ? colors_[s.color]
                                                                           : kBlack;
    f.height = s.halfPoints * 10;
    // A font number missing from the table means the default font.
    f.face = FaceOf(s.font >= 0 && fonts_.count(s.font) ? s.font : deff_);
    f.bold = s.bold;
    f.italic = s.italic;
    f.underline = s.underline;
    return f;
  }

  std::string FaceOf(int number) const {
    auto it = fonts_.find(number);
    return it == fonts_.end() ? std::string() : it->second;
  }

  // Body text waiting to be added in the current group's format.
  void Flush() {
    if (pending_.empty()) return;
    lastFormat_ = FormatFor(Top());
    doc_.Append(pending_, lastFormat_);
    pending_.clear();
  }

  // A character of text in the current destination.
  void Character(std::uint32_t cp) {
    if (excess_ > 0) return;
    if (pendingSkip_ > 0) {
      --pendingSkip_;
      return;
    }
    if (highSurrogate_ != 0) {
      highSurrogate_ = 0;
      Emit(0xFFFD);
    }
    Emit(cp);
  }

  void Emit(std::uint32_t cp) {
    // Control characters other than the tab do not belong in the text; a
    // paragraph or line break comes only from \par and \line.
    if (cp == kLineBreak) {
      cp = '\v';
    } else if ((cp < 0x20 && cp != '\t') || cp == 0x7F) {
      return;
    }
    switch (Top().dest) {
      case Destination::Body:
        AppendUtf8(pending_, cp);
        break;
      case Destination::FontTable:
        // Face names hold no tabs or breaks.
        if (cp < 0x20) break;
        if (cp == ';') {
          CommitFontName();
        } else if (faceName_.size() < kMaxFaceName) {
          AppendUtf8(faceName_, cp);
        }
        break;
      case Destination::ColorTable:
        if (cp == ';') CommitColor();
        break;
      case Destination::Skip:
        break;
    }
  }

  void EndSurrogate() {
    if (highSurrogate_ != 0) {
      highSurrogate_ = 0;
      Emit(0xFFFD);
    }
  }

  void Unicode(long value) {
    if (excess_ > 0) return;
    std::uint32_t cp = static_cast<std::uint32_t>(value < 0 ? value + 65536 : value) & 0xFFFF;
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      EndSurrogate();
      highSurrogate_ = cp;
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      if (highSurrogate_ != 0) {
        const std::uint32_t full = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (cp - 0xDC00);
        highSurrogate_ = 0;
        Emit(full);
      } else {
        Emit(0xFFFD);
      }
    } else {
      EndSurrogate();
      Emit(cp);
    }
    pendingSkip_ = Top().uc;
  }

  void CommitFontName() {
    size_t b = 0, e = faceName_.size();
    while (b < e && faceName_[b] == ' ') ++b;
    while (e > b && faceName_[e - 1] == ' ') --e;
    if (fontNumber_ >= 0 && !fonts_.count(fontNumber_)) {
      fonts_[fontNumber_] = faceName_.substr(b, e - b);
    }
    faceName_.clear();
  }

  void CommitColor() {
    if (colors_.size() < kMaxColors) {
      colors_.push_back(colorHas_ ? Rgb(red_, green_, blue_) : kBlack);
    }
    red_ = green_ = blue_ = 0;
    colorHas_ = false;
  }

  void CloseGroup() {
    if (excess_ > 0) {
      --excess_;
      return;
    }
    if (Top().dest == Destination::FontTable && !faceName_.empty()) CommitFontName();
    if (stack_.size() <= 2) {
      // The document's own group has closed; anything after it is not RTF.
      done_ = true;
      return;
    }
    stack_.pop_back();
  }

  void ParagraphEnd() {
    Flush();
    doc_.SetParagraphFormat(ParaFormat{true, Top().alignment});
    lastFormat_ = FormatFor(Top());
    doc_.EndParagraph(lastFormat_);
  }

  // Reads the control word or symbol after a backslash at in_[i] and acts on
  // it; returns the position after it.
  size_t ControlWord(size_t i) {
    const size_t n = in_.size();
    if (i >= n) return n;
    const char c = in_[i];
    if (!IsAsciiLetter(c)) {
      return ControlSymbol(i);
    }
    const size_t wordStart = i;
    while (i < n && IsAsciiLetter(in_[i])) ++i;
    std::string_view word = in_.substr(wordStart, std::min(i - wordStart, kMaxControlWord));
    bool hasParam = false;
    long param = 0;
    bool negative = false;
    if (i < n && in_[i] == '-' && i + 1 < n && IsDigit(in_[i + 1])) {
      negative = true;
      ++i;
    }
    while (i < n && IsDigit(in_[i])) {
      hasParam = true;
      if (param < 1000000000L) param = param * 10 + (in_[i] - '0');
      ++i;
    }
    if (negative) param = -param;
    if (i < n && in_[i] == ' ') ++i;

    if (word == "bin") {
      // Binary data follows: skip it whatever the destination.
      Flush();
      const size_t skip = hasParam && param > 0 ? static_cast<size_t>(param) : 0;
      return std::min(n, i + skip);
    }
    if (excess_ > 0) return i;
    // A control word stands for one fallback character after \u.
    if (pendingSkip_ > 0 && word != "u") {
      --pendingSkip_;
      return i;
    }
    Word(word, hasParam, param);
    return i;
  }

  size_t ControlSymbol(size_t i) {
    const size_t n = in_.size();
    const char c = in_[i];
    if (c == '\'') {
      int value = 0, digits = 0;
      size_t j = i + 1;
      while (digits < 2 && j < n && HexValue(in_[j]) >= 0) {
        value = value * 16 + HexValue(in_[j]);
        ++digits;
        ++j;
      }
      if (digits > 0) {
        const unsigned char b = static_cast<unsigned char>(value);
        Character(Cp1252ToUnicode(b));
      }
      return j;
    }
    if (excess_ > 0) return i + 1;
    switch (c) {
      case '\\':
      case '{':
      case '}':
        Character(static_cast<unsigned char>(c));
        break;
      case '~':
        Character(0xA0);
        break;
      case '_':
        Character('-');
        break;
      case '*':
        Flush();
        Top().dest = Destination::Skip;
        break;
      case '\r':
      case '\n':
        // A backslash before a line end is a paragraph end.
        if (pendingSkip_ > 0) {
          --pendingSkip_;
        } else if (Top().dest == Destination::Body) {
          ParagraphEnd();
        }
        break;
      default:
        // \- (optional hyphen), \| \: and the rest show nothing, but they
        // still stand for a fallback character.
        if (pendingSkip_ > 0) --pendingSkip_;
        break;
    }
    return i + 1;
  }

  void Word(std::string_view w, bool hasParam, long p) {
    GroupState& s = Top();
    const bool on = !hasParam || p != 0;

    if (w == "u") {
      if (hasParam) Unicode(p);
      return;
    }
    if (w == "fonttbl") {
      Flush();
      s.dest = Destination::FontTable;
      return;
    }
    if (w == "colortbl") {
      Flush();
      s.dest = Destination::ColorTable;
      return;
    }
    if (IsSkippedDestination(w)) {
      Flush();
      s.dest = Destination::Skip;
      return;
    }
    if (s.dest == Destination::FontTable) {
      if (w == "f" && hasParam) {
        if (!faceName_.empty()) CommitFontName();
        fontNumber_ = static_cast<int>(p);
      }
      return;
    }
    if (s.dest == Destination::ColorTable) {
      const int v = static_cast<int>(std::clamp<long>(p, 0, 255));
      if (w == "red") red_ = v, colorHas_ = true;
      else if (w == "green") green_ = v, colorHas_ = true;
      else if (w == "blue") blue_ = v, colorHas_ = true;
      return;
    }
    if (w == "deff") {
      if (hasParam) deff_ = static_cast<int>(p);
      return;
    }
    if (w == "uc") {
      if (hasParam) s.uc = static_cast<int>(std::clamp<long>(p, 0, 16));
      return;
    }
    if (s.dest == Destination::Skip) return;

    // Text and breaks.
    if (w == "par" || w == "sect" || w == "page" || w == "row" || w == "nestrow") {
      ParagraphEnd();
      return;
    }
    if (w == "line") return Character(kLineBreak);
    if (w == "tab" || w == "cell" || w == "nestcell") return Character('\t');
    if (w == "lquote") return Character(0x2018);
    if (w == "rquote") return Character(0x2019);
    if (w == "ldblquote") return Character(0x201C);
    if (w == "rdblquote") return Character(0x201D);
    if (w == "bullet") return Character(0x2022);
    if (w == "endash") return Character(0x2013);
    if (w == "emdash") return Character(0x2014);
    if (w == "emspace" || w == "enspace" || w == "qmspace") return Character(' ');

    // Formats: the pending text belongs to the format before the change.
    Flush();
    if (w == "b") s.bold = on;
    else if (w == "i") s.italic = on;
    else if (IsUnderlineOn(w)) s.underline = on;
    else if (w == "ulnone") s.underline = false;
    else if (w == "plain") s.PlainCharacter();
    else if (w == "f" && hasParam) s.font = static_cast<int>(p);
    else if (w == "fs" && hasParam && p > 0) s.halfPoints = static_cast<int>(std::min<long>(p, kMaxHalfPoints));
    else if (w == "cf" && hasParam) s.color = static_cast<int>(std::max<long>(p, 0));
    else if (w == "pard") s.alignment = Alignment::Left;
    else if (w == "ql" || w == "qj" || w == "qd") s.alignment = Alignment::Left;
    else if (w == "qc") s.alignment = Alignment::Center;
    else if (w == "qr") s.alignment = Alignment::Right;
  }

  void Finish() {
    Flush();
    EndSurrogate();
    Flush();
    // The last "\par" marks the last paragraph, which has no end in the text.
    if (!doc_.DropFinalParagraphEnd()) {
      doc_.SetParagraphFormat(ParaFormat{true, Top().alignment});
    }
    doc_.SetDefaultFormat(lastFormat_);
  }

  std::string_view in_;
  RichTextDocument& doc_;
  std::vector<GroupState> stack_;
  size_t excess_ = 0;  // groups deeper than the limit, skipped whole
  bool done_ = false;
  std::string pending_;
  CharFormat lastFormat_;
  int pendingSkip_ = 0;
  std::uint32_t highSurrogate_ = 0;
  int deff_ = 0;
  std::map<int, std::string> fonts_;
  int fontNumber_ = -1;
  std::string faceName_;
  std::vector<ColorRef> colors_;
  int red_ = 0, green_ = 0, blue_ = 0;
  bool colorHas_ = false;
};

}  // namespace

bool ReadRtf(std::string_view rtf, RichTextDocument& doc) {
  doc.Clear();
  doc.SetDefaultFormat(CharFormat{});
  if (rtf.substr(0, 5) != "{\\rtf") return false;
  RtfReader(rtf, doc).Read();
  return true;
}

// ---------------------------------------------------------------------------
// The RTF writer
// ---------------------------------------------------------------------------

namespace {

void AppendEscapedChar(std::string& out, std::uint32_t cp) {
  if (cp == '\\' || cp == '{' || cp == '}') {
    out += '\\';
    out += static_cast<char>(cp);
  } else if (cp == '\t') {
    out += "\\tab ";
  } else if (cp == '\v') {
    out += "\\line ";
  } else if (cp < 0x20 || cp == 0x7F) {
    // not part of the text; nothing to write
  } else if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (int b = UnicodeToCp1252(cp); b >= 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\'%02x", b);
    out += buf;
  } else {
    auto unit = [&out](std::uint32_t u) {
      out += "\\u";
      out += std::to_string(static_cast<int>(static_cast<std::int16_t>(static_cast<std::uint16_t>(u))));
      out += '?';
    };
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    } else {
      unit(cp);
    }
  }
}

void AppendEscapedText(std::string& out, std::string_view utf8) {
  for (size_t i = 0; i < utf8.size();) {
    const size_t len = Utf8Length(utf8, i);
    AppendEscapedChar(out, Utf8At(utf8, i));
    i += len;
  }
}

// The value a format gives an attribute it does not carry.
CharFormat Effective(const CharFormat& f) {
  CharFormat d;
  CharFormat e;
  e.mask = CharFormat::kAll;
  e.color = f.Carries(CharFormat::kColor) ? f.color : d.color;
  e.height = f.Carries(CharFormat::kHeight) ? f.height : d.height;
  e.face = f.Carries(CharFormat::kFace) ? f.face : d.face;
  e.bold = f.Carries(CharFormat::kBold) && f.bold;
  e.italic = f.Carries(CharFormat::kItalic) && f.italic;
  e.underline = f.Carries(CharFormat::kUnderline) && f.underline;
  return e;
}

// Writes a document as RTF into out: the font and colour tables of the
// formats in use (NoteFormat each first), then the text with only the
// format words that change from one run to the next.
class RtfWriter {
 public:
  explicit RtfWriter(std::string& out) : out_(out) {
    // The state written so far: the plain character of a new document,
    // with face and size still to be named.
    written_.face = std::string(1, '\0');
    written_.height = -1;
  }

  // Faces and colours in the order of first use; black is the automatic
  // colour, \cf0.
  void NoteFormat(const CharFormat& f) {
    if (!faceIndex_.count(f.face)) {
      faceIndex_[f.face] = static_cast<int>(faces_.size());
      faces_.push_back(f.face);
    }
    if (f.color != kBlack && !colorIndex_.count(f.color)) {
      colors_.push_back(f.color);
      colorIndex_[f.color] = static_cast<int>(colors_.size());
    }
  }

  void WriteHeader() {
    out_ += "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl";
    for (size_t k = 0; k < faces_.size(); ++k) {
      out_ += "{\\f" + std::to_string(k) + "\\fnil\\fcharset0 ";
      std::string face;
      for (char ch : faces_[k]) {
        if (ch != ';') face += ch;
      }
      AppendEscapedText(out_, face);
      out_ += ";}";
    }
    out_ += "}\r\n";
    if (!colors_.empty()) {
      out_ += "{\\colortbl ;";
      for (ColorRef c : colors_) {
        out_ += "\\red" + std::to_string(RedOf(c)) + "\\green" + std::to_string(GreenOf(c)) + "\\blue" +
                std::to_string(BlueOf(c)) + ";";
      }
      out_ += "}\r\n";
    }
    out_ += "\\viewkind4\\uc1";
  }

  void WriteFormat(const CharFormat& f) {
    std::string words;
    if (f.color != written_.color) {
      words += "\\cf" + std::to_string(f.color == kBlack ? 0 : colorIndex_[f.color]);
    }
    if (f.bold != written_.bold) words += f.bold ? "\\b" : "\\b0";
    if (f.italic != written_.italic) words += f.italic ? "\\i" : "\\i0";
    if (f.underline != written_.underline) words += f.underline ? "\\ul" : "\\ulnone";
    if (f.face != written_.face) words += "\\f" + std::to_string(faceIndex_[f.face]);
    if (f.height != written_.height) {
      words += "\\fs" + std::to_string(std::max(1, (f.height + 5) / 10));
    }
    if (!words.empty()) {
      out_ += words;
      out_ += ' ';
    }
    written_ = f;
  }

  bool AnyFormatWritten() const { return written_.height >= 0; }

  void StartParagraph(const ParaFormat& pf) {
    const Alignment a = pf.carriesAlignment ? pf.alignment : Alignment::Left;
    if (!paragraphWritten_ || a != alignment_) {
      out_ += "\\pard";
      if (a == Alignment::Center) out_ += "\\qc";
      if (a == Alignment::Right) out_ += "\\qr";
      out_ += ' ';
    }
    alignment_ = a;
    paragraphWritten_ = true;
  }

  // A piece of one run within one paragraph; its paragraph mark, if it
  // holds one, closes it.
  void WritePiece(std::string_view piece) {
    if (!piece.empty() && piece.back() == '\n') {
      AppendEscapedText(out_, piece.substr(0, piece.size() - 1));
      out_ += "\\par\r\n";
    } else {
      AppendEscapedText(out_, piece);
    }
  }

 private:
  std::string& out_;
  std::vector<std::string> faces_;
  std::unordered_map<std::string, int> faceIndex_;
  std::vector<ColorRef> colors_;
  std::unordered_map<ColorRef, int> colorIndex_;
  CharFormat written_;
  bool paragraphWritten_ = false;
  Alignment alignment_ = Alignment::Left;
};

}  // namespace

std::string WriteRtf(const RichTextDocument& doc) {
  const std::string& text = doc.Text();
  const auto& runs = doc.Runs();
  std::vector<CharFormat> formats;
  formats.reserve(runs.size());
  for (const auto& run : runs) formats.push_back(Effective(run.format));
  const CharFormat fallback = Effective(doc.DefaultFormat());

  std::string out;
  out.reserve(text.size() * 2 + 256);
  RtfWriter writer(out);
  if (formats.empty()) writer.NoteFormat(fallback);
  for (const auto& f : formats) writer.NoteFormat(f);
  writer.WriteHeader();

  size_t r = 0;
  for (const auto& para : doc.Paragraphs()) {
    writer.StartParagraph(para.format);
    size_t pos = para.begin;
    while (pos < para.end) {
      while (r + 1 < runs.size() && runs[r].end <= pos) ++r;
      const size_t stop = std::min(para.end, runs.empty() ? para.end : runs[r].end);
      writer.WriteFormat(runs.empty() ? fallback : formats[r]);
      writer.WritePiece(std::string_view(text.data() + pos, stop - pos));
      pos = stop;
    }
  }
  // The mark of the last paragraph.
  if (!writer.AnyFormatWritten()) writer.WriteFormat(fallback);
  out += "\\par\r\n}\r\n";
  return out;
}

// ---------------------------------------------------------------------------
// The body form
// ---------------------------------------------------------------------------

std::string GetBodyRichText(const RichTextDocument& doc) {
  char number[16];
  std::snprintf(number, sizeof number, "%d", static_cast<int>(doc.Background()));
  return WriteRtf(doc) + kBackgroundMarker + number;
}

bool SetBodyRichText(std::string_view bodyForm, RichTextDocument& doc) {
  std::string_view rtf = bodyForm;
  const size_t marker = bodyForm.rfind(kBackgroundMarker);
  if (marker != std::string_view::npos) {
    std::string_view number = bodyForm.substr(marker + sizeof(kBackgroundMarker) - 1);
    size_t i = 0;
    bool negative = false;
    if (i < number.size() && (number[i] == '-' || number[i] == '+')) negative = number[i++] == '-';
    long long value = 0;
    bool digits = false;
    while (i < number.size() && IsDigit(number[i])) {
      digits = true;
      if (value < 100000000000LL) value = value * 10 + (number[i] - '0');
      ++i;
    }
    if (negative) value = -value;
    doc.SetBackground(digits ? static_cast<ColorRef>(static_cast<std::uint32_t>(value) & 0xFFFFFF)
                             : kWhite);
    rtf = bodyForm.substr(0, marker);
  }
  if (ReadRtf(rtf, doc)) return true;

  // Not RTF: the text is taken as plain text, one paragraph a line, so that
  // a body is never lost. It is read as UTF-8 when it is valid UTF-8 and as
  // Windows-1252 otherwise.
  // Over-long forms, surrogates and code points above U+10FFFF are not
  // UTF-8, so such a text is read as Windows-1252 as well.
  const bool utf8 = IsValidUtf8(rtf);
  std::string text;
  text.reserve(rtf.size());
  for (size_t i = 0; i < rtf.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(rtf[i]);
    if (c == '\r') {
      text += '\n';
      if (i + 1 < rtf.size() && rtf[i + 1] == '\n') ++i;
    } else if (c == '\n' || c == '\t') {
      text += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      // control characters are not text
    } else if (c < 0x80 || utf8) {
      text += static_cast<char>(c);
    } else {
      AppendUtf8(text, Cp1252ToUnicode(c));
    }
  }
  doc.Append(text, doc.DefaultFormat());
  return false;
}

}  // namespace vyr
