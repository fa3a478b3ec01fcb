#include "mail/body/html_to_text.h"

#include <cstdint>

#include "mail/body/utf8.h"
#include "platform/text.h"

namespace vyr {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == ':';
}

struct NamedReference {
  const char* name;
  std::uint32_t code;
};

// The references mail bodies use; names are matched as written (HTML's
// names tell case apart: &Auml; is not &auml;).
constexpr NamedReference kNamed[] = {
    {"amp", '&'},       {"lt", '<'},         {"gt", '>'},         {"quot", '"'},       {"apos", '\''},
    {"nbsp", 0xA0},     {"copy", 0xA9},      {"reg", 0xAE},       {"trade", 0x2122},   {"euro", 0x20AC},
    {"pound", 0xA3},    {"yen", 0xA5},       {"cent", 0xA2},      {"sect", 0xA7},      {"deg", 0xB0},
    {"hellip", 0x2026}, {"mdash", 0x2014},   {"ndash", 0x2013},   {"lsquo", 0x2018},   {"rsquo", 0x2019},
    {"sbquo", 0x201A},  {"ldquo", 0x201C},   {"rdquo", 0x201D},   {"bdquo", 0x201E},   {"bull", 0x2022},
    {"middot", 0xB7},   {"laquo", 0xAB},     {"raquo", 0xBB},     {"times", 0xD7},     {"divide", 0xF7},
    {"auml", 0xE4},     {"ouml", 0xF6},      {"uuml", 0xFC},      {"Auml", 0xC4},      {"Ouml", 0xD6},
    {"Uuml", 0xDC},     {"szlig", 0xDF},     {"eacute", 0xE9},    {"egrave", 0xE8},    {"ecirc", 0xEA},
    {"aacute", 0xE1},   {"agrave", 0xE0},    {"acirc", 0xE2},     {"ccedil", 0xE7},    {"Eacute", 0xC9},
    {"oacute", 0xF3},   {"iacute", 0xED},    {"uacute", 0xFA},    {"ntilde", 0xF1},    {"aring", 0xE5},
    {"oslash", 0xF8},   {"aelig", 0xE6},     {"shy", 0xAD},
};

enum class Break { None, Line, Paragraph };

Break BreakOf(std::string_view tag) {
  static constexpr std::string_view kParagraph[] = {"p",  "h1", "h2", "h3",    "h4",         "h5",  "h6",
                                                    "ul", "ol", "dl", "table", "blockquote", "pre", "hr"};
  static constexpr std::string_view kLine[] = {"br",      "div",    "li",     "tr",  "dt",     "dd",
                                               "section", "article", "header", "footer", "address", "center"};
  for (std::string_view t : kParagraph) {
    if (tag == t) return Break::Paragraph;
  }
  for (std::string_view t : kLine) {
    if (tag == t) return Break::Line;
  }
  return Break::None;
}

class Walker {
 public:
  explicit Walker(std::string_view html) : html_(html) {}

  std::string Run() {
    while (i_ < html_.size()) {
      const char c = html_[i_];
      if (c == '<') {
        Tag();
      } else if (c == '&') {
        Reference();
      } else if (IsSpace(c) && pre_ == 0) {
        pendingSpace_ = true;
        ++i_;
      } else {
        Put(std::string_view(&html_[i_], 1));
        ++i_;
      }
    }
    return Finish();
  }

 private:
  void Put(std::string_view text) {
    if (pendingSpace_ && !out_.empty() && out_.back() != '\n' && out_.back() != ' ') out_ += ' ';
    pendingSpace_ = false;
    for (char c : text) {
      if (c == '\r') continue;
      out_ += c;
    }
  }

  // A line of its own (a block's start or end: no empty lines pile up
  // between blocks), an empty line around a paragraph, or a "<br>", which
  // always ends a line.
  void LineBreak(Break kind, bool always = false) {
    if (kind == Break::None) return;
    pendingSpace_ = false;
    while (!out_.empty() && out_.back() == ' ') out_.pop_back();
    size_t ends = 0;
    while (ends < out_.size() && out_[out_.size() - 1 - ends] == '\n') ++ends;
    const size_t wanted = kind == Break::Paragraph ? 2 : 1;
    if (always) {
      out_ += '\n';
      return;
    }
    while (ends < wanted) {
      out_ += '\n';
      ++ends;
    }
  }

  // Skips to the end of an element whose content is never shown.
  void SkipContent(std::string_view tag) {
    const std::string close = "</" + std::string(tag);
    for (size_t at = i_; at < html_.size(); ++at) {
      if (html_[at] == '<' && platform::StartsWithNoCase(html_.substr(at), close)) {
        const size_t end = html_.find('>', at);
        i_ = end == std::string_view::npos ? html_.size() : end + 1;
        return;
      }
    }
    i_ = html_.size();
  }

  void Tag() {
    const std::string_view rest = html_.substr(i_);
    if (rest.starts_with("<!--")) {
      const size_t end = html_.find("-->", i_ + 4);
      i_ = end == std::string_view::npos ? html_.size() : end + 3;
      return;
    }
    size_t j = i_ + 1;
    const bool closing = j < html_.size() && html_[j] == '/';
    if (closing) ++j;
    const size_t nameStart = j;
    while (j < html_.size() && IsNameChar(html_[j])) ++j;
    if (j == nameStart && !(j < html_.size() && (html_[j] == '!' || html_[j] == '?'))) {
      // A "<" that opens no tag is text.
      Put("<");
      ++i_;
      return;
    }
    const std::string name = platform::AsciiLower(html_.substr(nameStart, j - nameStart));
    // The tag ends at the first ">" outside a quoted attribute value.
    char quote = 0;
    for (; j < html_.size(); ++j) {
      const char c = html_[j];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        break;
      }
    }
    i_ = j < html_.size() ? j + 1 : html_.size();
    if (!closing && (name == "script" || name == "style" || name == "head" || name == "title")) {
      SkipContent(name);
      return;
    }
    if (name == "pre") pre_ += closing ? (pre_ > 0 ? -1 : 0) : 1;
    if (name == "td" || name == "th") {
      if (!closing) pendingSpace_ = true;
      return;
    }
    LineBreak(BreakOf(name), name == "br");
  }

  void Reference() {
    const size_t semi = html_.find(';', i_ + 1);
    if (semi != std::string_view::npos && semi - i_ <= 10) {
      const std::string_view body = html_.substr(i_ + 1, semi - i_ - 1);
      std::uint32_t code = 0;
      bool found = false;
      if (!body.empty() && body[0] == '#') {
        const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
        const std::string_view digits = body.substr(hex ? 2 : 1);
        found = !digits.empty();
        for (char d : digits) {
          int v = -1;
          if (d >= '0' && d <= '9') v = d - '0';
          if (hex && d >= 'a' && d <= 'f') v = d - 'a' + 10;
          if (hex && d >= 'A' && d <= 'F') v = d - 'A' + 10;
          if (v < 0 || code > 0x10FFFF) {
            found = false;
            break;
          }
          code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
        }
        if (code == 0) code = 0xFFFD;
      } else {
        for (const NamedReference& r : kNamed) {
          if (body == r.name) {
            code = r.code;
            found = true;
            break;
          }
        }
      }
      if (found) {
        std::string utf8;
        // A no-break space reads as a space in a quote.
        AppendUtf8(utf8, code == 0xA0 ? ' ' : code);
        Put(utf8);
        i_ = semi + 1;
        return;
      }
    }
    Put("&");
    ++i_;
  }

  std::string Finish() {
    // Trailing blanks off every line, at most one empty line in a row, none
    // at either end.
    std::string text;
    int newlines = 0;
    for (char c : out_) {
      if (c == '\n') {
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
        ++newlines;
        continue;
      }
      if (!text.empty() && newlines > 0) text.append(newlines > 1 ? 2 : 1, '\n');
      newlines = 0;
      if (text.empty() && c == ' ') continue;
      text += c;
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    return text;
  }

  std::string_view html_;
  size_t i_ = 0;
  std::string out_;
  bool pendingSpace_ = false;
  int pre_ = 0;
};

}  // namespace

std::string HtmlToText(std::string_view html) { return Walker(html).Run(); }

bool LooksLikeHtml(std::string_view text) {
  text = platform::TrimView(text, platform::kWhitespace);
  if (platform::StartsWithNoCase(text, "<!doctype html")) return true;
  if (!platform::StartsWithNoCase(text, "<html")) return false;
  return text.size() == 5 || text[5] == '>' || IsSpace(text[5]);
}

}  // namespace vyr
