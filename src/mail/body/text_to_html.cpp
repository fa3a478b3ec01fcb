#include "mail/body/text_to_html.h"

#include <array>
#include <cstring>

namespace vyr {

namespace {

bool IsWhite(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

constexpr std::array<bool, 256> MakeMailTable() {
  std::array<bool, 256> t{};
  for (int c = 0x21; c < 0x7F; ++c) t[c] = true;
  for (unsigned char c : std::string_view("\"(),:;<>[\\]")) t[c] = false;
  return t;
}
constexpr std::array<bool, 256> kMailChar = MakeMailTable();

bool IsMailChar(unsigned char c) { return kMailChar[c]; }

// Characters the walk cannot copy as they are: escapes, white space with
// additions, and the first letters of web links.
constexpr std::array<bool, 256> MakeAttentionTable() {
  std::array<bool, 256> t{};
  for (unsigned char c : std::string_view("\n\"&<> \thw")) t[c] = true;
  return t;
}
constexpr std::array<bool, 256> kNeedsAttention = MakeAttentionTable();

// A numeric escape without its semicolon, unless the next character would
// read as part of it.
void NumericEscape(std::string& out, const char* escape, std::string_view text, size_t next) {
  out += escape;
  if (next < text.size() && (IsDigit(static_cast<unsigned char>(text[next])) || text[next] == ';')) {
    out += ';';
  }
}

void Nbsp(std::string& out, std::string_view text, size_t next) {
  out += "&nbsp";
  if (next < text.size() && text[next] == ';') out += ';';
}

// Link text, with the four escapes so that it cannot leave the anchor.
void AppendLinkText(std::string& out, std::string_view link) {
  for (size_t k = 0; k < link.size(); ++k) {
    switch (link[k]) {
      case '"': NumericEscape(out, "&#34", link, k + 1); break;
      case '&': NumericEscape(out, "&#38", link, k + 1); break;
      case '<': NumericEscape(out, "&#60", link, k + 1); break;
      case '>': NumericEscape(out, "&#62", link, k + 1); break;
      default: out += link[k]; break;
    }
  }
}

struct MailLink {
  size_t start = 0;
  size_t end = 0;
  bool found = false;
};

// The first mail link around an "@" at or after from, extending left no
// further than bound.
MailLink FindMailLink(std::string_view text, size_t from, size_t bound) {
  const size_t n = text.size();
  size_t at = from;
  while (at < n) {
    const void* p = std::memchr(text.data() + at, '@', n - at);
    if (!p) break;
    at = static_cast<size_t>(static_cast<const char*>(p) - text.data());
    if (at > 0 && at + 1 < n && at > bound && IsMailChar(static_cast<unsigned char>(text[at - 1])) &&
        IsMailChar(static_cast<unsigned char>(text[at + 1]))) {
      MailLink link;
      link.start = at;
      while (link.start > bound && IsMailChar(static_cast<unsigned char>(text[link.start - 1]))) {
        --link.start;
      }
      link.end = at + 1;
      while (link.end < n && IsMailChar(static_cast<unsigned char>(text[link.end]))) ++link.end;
      while (link.end > at + 1 && text[link.end - 1] == '.') --link.end;
      link.found = true;
      return link;
    }
    ++at;
  }
  return MailLink{};
}

bool WebLinkAt(std::string_view text, size_t i) {
  const char c = text[i];
  if (c == 'h') return text.compare(i, 7, "http://") == 0;
  if (c == 'w') return text.compare(i, 4, "www.") == 0;
  return false;
}

}  // namespace

void TextToHtml(std::string_view text, std::string& out) {
  const size_t n = text.size();
  out.reserve(out.size() + n + n / 4 + 64);
  out += "<HTML><BODY BGCOLOR=#FFFFFF>";

  MailLink mail = FindMailLink(text, 0, 0);
  // After a link ending at end, a pending mail link that started inside it
  // is dropped and the scan goes on from there.
  auto linkWritten = [&](size_t end) {
    if (mail.found && mail.start < end) mail = FindMailLink(text, end, end);
  };

  size_t i = 0;
  while (i < n) {
    // Copy ordinary characters up to the next one that needs attention.
    const size_t limit = mail.found ? mail.start : n;
    size_t j = i;
    while (j < limit && !kNeedsAttention[static_cast<unsigned char>(text[j])]) ++j;
    out.append(text.data() + i, j - i);
    i = j;
    if (i >= n) break;

    if (WebLinkAt(text, i)) {
      size_t end = i;
      while (end < n && !IsWhite(static_cast<unsigned char>(text[end]))) ++end;
      // Sentence punctuation after an address is not part of it.
      while (end > i + 1 && (text[end - 1] == '.' || text[end - 1] == ',')) --end;
      const std::string_view link = text.substr(i, end - i);
      out += "<A HREF=";
      if (link.substr(0, 7) != "http://") out += "http://";
      AppendLinkText(out, link);
      out += '>';
      AppendLinkText(out, link);
      out += "</A>";
      i = end;
      linkWritten(end);
      continue;
    }
    if (mail.found && mail.start == i) {
      const std::string_view link = text.substr(mail.start, mail.end - mail.start);
      out += "<A HREF=mailto:";
      AppendLinkText(out, link);
      out += '>';
      AppendLinkText(out, link);
      out += "</A>";
      i = mail.end;
      mail = FindMailLink(text, i, i);
      continue;
    }

    const char c = text[i];
    switch (c) {
      case '\n': out += "<BR>"; break;
      case '"': NumericEscape(out, "&#34", text, i + 1); break;
      case '&': NumericEscape(out, "&#38", text, i + 1); break;
      case '<': NumericEscape(out, "&#60", text, i + 1); break;
      case '>': NumericEscape(out, "&#62", text, i + 1); break;
      case '\t':
        out += '\t';
        for (int k = 0; k < 7; ++k) out += "&nbsp";
        Nbsp(out, text, i + 1);
        break;
      case ' ':
        out += ' ';
        if (i > 0 && text[i - 1] == ' ') {
          Nbsp(out, text, i + 1);
        } else {
          out += ' ';
        }
        break;
      default: out += c; break;  // 'h' or 'w' that start no link
    }
    ++i;
  }
  out += "</HTML></BODY>";
}

std::string TextToHtml(std::string_view text) {
  std::string out;
  TextToHtml(text, out);
  return out;
}

}  // namespace vyr
