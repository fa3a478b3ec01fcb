#include "platform/charset.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

#include "platform/text.h"

namespace vyr::platform {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
constexpr char kWindows1252[] = "WINDOWS-1252";

void AppendCodePoint(std::uint32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The label as iconv knows it: without quotes, blanks and a language
// suffix; the Latin-1 family as Windows-1252.
std::string IconvName(std::string_view charset) {
  std::string name = AsciiLower(TrimView(charset, " \t\r\n\"'"));
  const size_t star = name.find('*');
  if (star != std::string::npos) name.resize(star);
  if (name == "iso-8859-1" || name == "iso8859-1" || name == "iso_8859-1" || name == "latin1" ||
      name == "latin-1" || name == "l1" || name == "cp819" || name == "ibm819" || name == "us-ascii" ||
      name == "ascii" || name == "iso-ir-100" || name == "cp1252" || name == "windows-1252" ||
      name == "x-cp1252") {
    return kWindows1252;
  }
  if (name == "utf8") return "UTF-8";
  return AsciiUpper(name);
}

class Converter {
 public:
  explicit Converter(const std::string& from, const std::string& to = "UTF-8")
      : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (Ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of text; a sequence iconv refuses costs one byte, written
  // by `refused`.
  template <typename Refused>
  void Run(std::string_view text, std::string& out, Refused refused) {
    out.clear();
    out.reserve(text.size() + text.size() / 8 + 16);
    char buffer[8192];
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    while (inLeft > 0) {
      char* to = buffer;
      size_t toLeft = sizeof buffer;
      const size_t rc = iconv(cd_, &in, &inLeft, &to, &toLeft);
      out.append(buffer, static_cast<size_t>(to - buffer));
      if (rc != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ (not allowed here) or EINVAL (cut off at the end): one byte
      // is given up and the conversion goes on after it.
      refused(static_cast<unsigned char>(*in), out);
      ++in;
      --inLeft;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* to = buffer;
    size_t toLeft = sizeof buffer;
    iconv(cd_, nullptr, nullptr, &to, &toLeft);
    out.append(buffer, static_cast<size_t>(to - buffer));
  }

 private:
  iconv_t cd_;
};

}  // namespace

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    std::uint32_t min;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4, min = 0x10000;
    } else {
      return false;
    }
    if (i + len > s.size()) return false;
    std::uint32_t cp = c & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

bool ConvertToUtf8(std::string_view text, std::string_view charset, std::string& out) {
  out.clear();
  const std::string name = IconvName(charset);
  if (name.empty()) return false;
  Converter converter(name);
  if (!converter.Ok()) return false;
  if (name == kWindows1252) {
    // The five bytes Windows-1252 leaves open stand for themselves, as in
    // Latin-1.
    converter.Run(text, out, [](unsigned char byte, std::string& o) { AppendCodePoint(byte, o); });
  } else {
    converter.Run(text, out, [](unsigned char, std::string& o) { o += kReplacement; });
  }
  return true;
}

std::string UndeclaredToUtf8(std::string_view text) {
  if (IsValidUtf8(text)) return std::string(text);
  std::string out;
  ConvertToUtf8(text, kWindows1252, out);
  return out;
}

std::string TextToUtf8(std::string_view text, std::string_view charset) {
  const std::string name = IconvName(charset);
  // US-ASCII text that is not ASCII was labelled by a program that did not
  // look: it is taken as undeclared.
  const std::string label = AsciiLower(TrimView(charset, " \t\r\n\"'"));
  if (name.empty() || label == "us-ascii" || label == "ascii") return UndeclaredToUtf8(text);
  std::string out;
  if (ConvertToUtf8(text, charset, out)) return out;
  return UndeclaredToUtf8(text);
}

bool ConvertFromUtf8(std::string_view utf8, std::string_view charset, std::string& out) {
  out.clear();
  const std::string name = IconvName(charset);
  if (name.empty()) return false;
  Converter converter("UTF-8", name);
  if (!converter.Ok()) return false;
  bool whole = true;
  converter.Run(utf8, out, [&whole](unsigned char, std::string&) { whole = false; });
  if (!whole) out.clear();
  return whole;
}

}  // namespace vyr::platform
