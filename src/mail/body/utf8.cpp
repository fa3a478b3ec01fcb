#include "mail/body/utf8.h"

namespace vyr {

size_t Utf8Length(std::string_view s, size_t i) {
  if (i >= s.size()) return 0;
  const unsigned char c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return 1;
  // The lead byte gives the length and the range of the second byte; the
  // narrow ranges after E0, ED, F0 and F4 shut out over-long forms,
  // surrogates and code points above U+10FFFF.
  size_t len = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 1;
  }
  if (s.size() - i < len) return 1;
  const unsigned char second = static_cast<unsigned char>(s[i + 1]);
  if (second < low || second > high) return 1;
  for (size_t k = 2; k < len; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
  }
  return len;
}

std::uint32_t Utf8At(std::string_view s, size_t i) {
  const size_t len = Utf8Length(s, i);
  if (len == 0) return 0;
  const unsigned char c = static_cast<unsigned char>(s[i]);
  if (len == 1) return c < 0x80 ? c : 0xFFFD;
  std::uint32_t cp = c & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  return cp;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const size_t len = Utf8Length(s, i);
    if (len == 1 && static_cast<unsigned char>(s[i]) >= 0x80) return false;
    i += len;
  }
  return true;
}

std::string ValidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const size_t len = Utf8Length(s, i);
    if (len == 1 && static_cast<unsigned char>(s[i]) >= 0x80) {
      out += "\xEF\xBF\xBD";
    } else {
      out.append(s.substr(i, len));
    }
    i += len;
  }
  return out;
}

size_t Utf8CutBefore(std::string_view s, size_t limit) {
  if (limit >= s.size()) return s.size();
  // A character holding the byte at limit starts at most three bytes back.
  for (size_t back = 1; back <= 3 && back <= limit; ++back) {
    if (Utf8Length(s, limit - back) > back) return limit - back;
  }
  return limit;
}

}  // namespace vyr
