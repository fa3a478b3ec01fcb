#include "mail/body/body_converter.h"

#include <cstdio>
#include <cstring>

#include "base/message_box.h"
#include "platform/string_table.h"
#include "platform/text.h"

namespace vyr {

namespace {

constexpr char kNbsp[] = "&nbsp;";
constexpr char kOpenRaw[] = "<nhtml>";
constexpr char kCloseRaw[] = "</nhtml>";

size_t FindNoCase(std::string_view text, size_t from, std::string_view word) {
  for (size_t i = from; i + word.size() <= text.size(); ++i) {
    // The first character of the word is '<': look for it quickly.
    const void* p = std::memchr(text.data() + i, word[0], text.size() - i);
    if (!p) return std::string_view::npos;
    i = static_cast<size_t>(static_cast<const char*>(p) - text.data());
    if (platform::StartsWithNoCase(text.substr(i), word)) return i;
  }
  return std::string_view::npos;
}

// A character that can be part of a link word in the rich text.
bool CanBelongToLink(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  if (c <= ' ' || c >= 0x7F) return false;  // white space, control, above 127
  return std::strchr("(),;<>[]", c) == nullptr;
}

// Text typed in the editor as HTML: "&", "<" and ">" are written as
// entities, so that "a<b" stays text and cannot swallow the tags after it.
// In an attribute value the double quote is escaped too.
void AppendEscaped(std::string& out, std::string_view text, bool attribute = false) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"':
        if (attribute) {
          out += "&quot;";
          break;
        }
        [[fallthrough]];
      default: out += c;
    }
  }
}

// Text of the model as HTML output: paragraph ends and line breaks are
// written as CR LF.
void AppendWithLineEnds(std::string& out, std::string_view piece) {
  size_t start = 0;
  for (size_t i = 0; i < piece.size(); ++i) {
    if (piece[i] == '\n' || piece[i] == '\v') {
      out.append(piece.substr(start, i - start));
      out += "\r\n";
      start = i + 1;
    }
  }
  out.append(piece.substr(start));
}

// Walks the format runs and paragraphs of a document forward.
class FormatCursor {
 public:
  explicit FormatCursor(const RichTextDocument& doc) : doc_(doc) {}
  const CharFormat& Char(size_t pos) {
    const auto& runs = doc_.Runs();
    if (runs.empty()) return doc_.DefaultFormat();
    while (run_ + 1 < runs.size() && runs[run_].end <= pos) ++run_;
    return runs[run_].format;
  }
  const ParaFormat& Para(size_t pos) {
    const auto& paras = doc_.Paragraphs();
    while (para_ + 1 < paras.size() && paras[para_].end <= pos) ++para_;
    return paras[para_].format;
  }

 private:
  const RichTextDocument& doc_;
  size_t run_ = 0;
  size_t para_ = 0;
};

// The next piece of the body text from i: a raw block ("<nhtml>" to
// "</nhtml>", its text as it stands), a link word made into an anchor, or
// one character.
struct Piece {
  std::string_view text;
  size_t next = 0;       // where the text after the piece starts
  bool raw = false;      // a raw block: no line or format tags
  bool escaped = false;  // the piece is HTML already (an anchor)
};

// Where the current link word ends and where the next "@" lies, kept
// between pieces so that long words are scanned once; the anchor text of
// the last link piece.
struct LinkScan {
  size_t wordEnd = 0;
  size_t nextAt = 0;
  bool nextAtKnown = false;
  std::string anchor;
};

Piece NextPiece(std::string_view text, size_t i, LinkScan& scan) {
  Piece piece;
  if (text[i] == '<' && platform::StartsWithNoCase(text.substr(i), kOpenRaw)) {
    // Conversion resumes normally after the block.
    const size_t from = i + sizeof(kOpenRaw) - 1;
    const size_t close = FindNoCase(text, from, kCloseRaw);
    if (close == std::string_view::npos) {
      piece.text = text.substr(from);
      piece.next = text.size();
    } else {
      piece.text = text.substr(from, close - from);
      piece.next = close + sizeof(kCloseRaw) - 1;
    }
    piece.raw = true;
    return piece;
  }
  if (scan.wordEnd <= i) {
    scan.wordEnd = i;
    while (scan.wordEnd < text.size() && CanBelongToLink(static_cast<unsigned char>(text[scan.wordEnd]))) {
      ++scan.wordEnd;
    }
  }
  if (scan.wordEnd > i) {
    const std::string_view word = text.substr(i, scan.wordEnd - i);
    const char* target = nullptr;
    if (platform::StartsWithNoCase(text.substr(i), "http:")) {
      target = "<A HREF=";
    } else if (platform::StartsWithNoCase(text.substr(i), "www.")) {
      target = "<A HREF=http://";
    } else {
      if (!scan.nextAtKnown || scan.nextAt < i) {
        const size_t at = text.find('@', i);
        scan.nextAt = at == std::string_view::npos ? text.size() : at;
        scan.nextAtKnown = true;
      }
      if (scan.nextAt < scan.wordEnd) target = "<A HREF=mailto:";
    }
    if (target) {
      scan.anchor = target;
      AppendEscaped(scan.anchor, word, true);
      scan.anchor += ">";
      AppendEscaped(scan.anchor, word);
      scan.anchor += "</A>";
      piece.text = scan.anchor;
      piece.escaped = true;
      piece.next = scan.wordEnd;
      return piece;
    }
  }
  piece.next = i + Utf8Length(text, i);
  piece.text = text.substr(i, piece.next - i);
  return piece;
}

// A piece's text: blanks and tabs as hard spaces, the three special
// characters escaped, line ends as breaks.
void AppendPiece(std::string& out, const Piece& piece) {
  const std::string_view t = piece.text;
  if (!piece.raw && t == " ") {
    out += kNbsp;
  } else if (!piece.raw && t == "\t") {
    for (int k = 0; k < 8; ++k) out += kNbsp;
  } else if (!piece.raw && !piece.escaped && t.size() == 1 && (t[0] == '&' || t[0] == '<' || t[0] == '>')) {
    AppendEscaped(out, t);
  } else {
    AppendWithLineEnds(out, t);
  }
}

}  // namespace

const char* HtmlFontSize(int heightTwips) {
  switch (heightTwips) {
    case 140: return "1";
    case 200: return "2";
    case 240: return "3";
    case 350: return "4";
    case 450: return "5";
    case 550: return "6";
    case 700: return "7";
    default: return "3";
  }
}

std::string HtmlColorText(ColorRef color) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", RedOf(color), GreenOf(color), BlueOf(color));
  return buf;
}

BodyConverter::BodyConverter(MessageBoxService* messages, std::unique_ptr<TextMeasurer> measurer)
    : messages_(messages), measurer_(std::move(measurer)) {}

TextMeasurer* BodyConverter::Layout() {
  if (!measurer_) measurer_ = std::make_unique<SystemTextMeasurer>();
  if (measurer_->Available()) return measurer_.get();
  // Without measurement the body still converts, with line breaks only where
  // the text has them: a message is never sent empty for want of fonts.
  if (messages_) messages_->Error(platform::LoadString(kErrorCreatingRichEditString));
  return nullptr;
}

void BodyConverter::Load(std::string_view bodyForm) {
  // Each body starts from a white page, so a body without a background
  // never inherits the previous one's.
  doc_.SetBackground(kWhite);
  SetBodyRichText(bodyForm, doc_);
}

std::string BodyConverter::RichTextToPlainText(std::string_view bodyForm) {
  Load(bodyForm);
  std::string out;
  AppendWithLineEnds(out, doc_.Text());
  return out;
}

std::string BodyConverter::RichTextToHtml(std::string_view bodyForm, bool& needsHtml) {
  Load(bodyForm);
  return DocumentToHtml(doc_, needsHtml);
}

void BodyConverter::ResetFont() {
  state_.color = kBlack;
  state_.height = 0;
  state_.face.clear();
}

bool BodyConverter::FormatStep(const ParaFormat& para, const CharFormat& f, std::string& out) {
  bool wrote = false;
  if (para.carriesAlignment) {
    const bool centred = para.alignment == Alignment::Center;
    if (state_.centerOpen && !centred) {
      out += "</CENTER>";
      state_.centerOpen = false;
      wrote = true;
    } else if (!state_.centerOpen && centred) {
      out += "<CENTER>";
      state_.centerOpen = true;
      wrote = true;
    }
  }

  auto attribute = [&](unsigned bit, bool has, bool& open, const char* openTag,
                       const char* closeTag) {
    if (!f.Carries(bit)) return;
    if (open && !has) {
      out += closeTag;
      open = false;
    } else if (!open && has) {
      out += openTag;
      open = true;
      wrote = true;
    }
  };
  attribute(CharFormat::kBold, f.bold, state_.boldOpen, "<B>", "</B>");
  attribute(CharFormat::kItalic, f.italic, state_.italicOpen, "<I>", "</I>");
  attribute(CharFormat::kUnderline, f.underline, state_.underlineOpen, "<U>", "</U>");

  if ((f.mask & (CharFormat::kColor | CharFormat::kHeight | CharFormat::kFace)) == 0) {
    if (state_.fontOpen) {
      out += "</FONT>";
      state_.fontOpen = false;
    }
    ResetFont();
    return wrote;
  }
  // An attribute the format does not carry stays as it is.
  const ColorRef color = f.Carries(CharFormat::kColor) ? f.color : state_.color;
  const int height = f.Carries(CharFormat::kHeight) ? f.height : state_.height;
  const std::string face = f.Carries(CharFormat::kFace) ? f.face : state_.face;
  auto differs = [&] {
    return color != state_.color || height != state_.height || face != state_.face;
  };
  if (state_.fontOpen && differs()) {
    out += "</FONT>";
    state_.fontOpen = false;
    ResetFont();
  }
  if (differs()) {
    out += "\r\n<FONT COLOR=\"";
    out += HtmlColorText(color);
    out += "\" SIZE=";
    out += HtmlFontSize(height);
    out += " FACE=\"";
    AppendEscaped(out, face, true);
    out += "\">";
    state_.fontOpen = true;
    wrote = true;
  }
  state_.color = color;
  state_.height = height;
  state_.face = face;
  return wrote;
}

std::string BodyConverter::DocumentToHtml(const RichTextDocument& doc, bool& needsHtml) {
  needsHtml = false;
  state_ = State{};
  TextMeasurer* measurer = Layout();

  const std::string_view text = doc.Text();
  std::string out;
  out.reserve(text.size() * 2 + 128);
  out += "<HTML><BODY BGCOLOR=";
  out += HtmlColorText(doc.Background());
  out += ">";

  // The first character's face and height are the current font; the
  // current colour stays black. Text in that font gets no font tag.
  FormatCursor cursor(doc);
  const CharFormat& first = cursor.Char(0);
  state_.face = first.Carries(CharFormat::kFace) ? first.face : std::string();
  state_.height = first.Carries(CharFormat::kHeight) ? first.height : 0;
  state_.color = kBlack;
  if (FormatStep(cursor.Para(0), first, out)) needsHtml = true;

  const std::vector<size_t> lines = LayoutLineStarts(doc, kLayoutWidthTwips, measurer);
  size_t nextLine = 1;

  LinkScan scan;
  for (size_t i = 0; i < text.size();) {
    const Piece piece = NextPiece(text, i, scan);
    if (!piece.text.empty()) {
      if (!piece.raw) {
        // A visual line starting at this piece (lines that start inside a
        // link or a raw block have no place for a break).
        bool lineStart = false;
        while (nextLine < lines.size() && lines[nextLine] <= i) {
          lineStart = lines[nextLine] == i;
          ++nextLine;
        }
        if (lineStart) out += "<BR>";
        if (FormatStep(cursor.Para(i), cursor.Char(i), out) && i != 0) needsHtml = true;
      }
      AppendPiece(out, piece);
    }
    i = piece.next;
  }

  if (state_.centerOpen) out += "</CENTER>", needsHtml = true;
  if (state_.boldOpen) out += "</B>", needsHtml = true;
  if (state_.italicOpen) out += "</I>", needsHtml = true;
  if (state_.underlineOpen) out += "</U>", needsHtml = true;
  if (state_.fontOpen) out += "</FONT>";
  if (doc.Background() != kWhite) needsHtml = true;
  out += "</BODY></HTML>";
  state_ = State{};
  return out;
}

}  // namespace vyr
