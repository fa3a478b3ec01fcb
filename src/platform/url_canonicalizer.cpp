#include "platform/url_canonicalizer.h"

#include <cstring>

#include "platform/text.h"

namespace vyr::platform {

namespace {

bool IsUnsafe(unsigned char c) {
  return c <= 0x20 || c >= 0x7F || std::strchr("\"<>\\^`{|}", c) != nullptr;
}

// Drops the last segment of out together with the "/" before it.
void DropLastSegment(std::string& out) {
  const size_t slash = out.rfind('/');
  out.erase(slash == std::string::npos ? 0 : slash);
}

// The path with its "." and ".." segments resolved.
std::string RemoveDotSegments(std::string in) {
  std::string out;
  while (!in.empty()) {
    if (StartsWith(in, "../")) {
      in.erase(0, 3);
    } else if (StartsWith(in, "./")) {
      in.erase(0, 2);
    } else if (StartsWith(in, "/./")) {
      in.erase(0, 2);
    } else if (in == "/.") {
      in = "/";
    } else if (StartsWith(in, "/../")) {
      in.erase(0, 3);
      DropLastSegment(out);
    } else if (in == "/..") {
      in = "/";
      DropLastSegment(out);
    } else if (in == "." || in == "..") {
      in.clear();
    } else {
      const size_t next = in.find('/', 1);
      const size_t length = next == std::string::npos ? in.size() : next;
      out.append(in, 0, length);
      in.erase(0, length);
    }
  }
  return out;
}

}  // namespace

bool CanonicalizeUrl(const std::string& url, std::string& out, std::size_t bufferSize) {
  std::string text = url;
  while (!text.empty() && std::strchr(" \t\r\n", text.back()) != nullptr) text.pop_back();

  // The path runs from the first "/" after "scheme://host" to "?" or "#".
  const size_t schemeEnd = text.find("://");
  if (schemeEnd != std::string::npos && schemeEnd > 0 &&
      text.find_first_of("/?#") == schemeEnd + 1) {
    const size_t pathStart = text.find_first_of("/?#", schemeEnd + 3);
    if (pathStart != std::string::npos && text[pathStart] == '/') {
      size_t pathEnd = text.find_first_of("?#", pathStart);
      if (pathEnd == std::string::npos) pathEnd = text.size();
      text = text.substr(0, pathStart) +
             RemoveDotSegments(text.substr(pathStart, pathEnd - pathStart)) + text.substr(pathEnd);
    }
  }

  static const char kHex[] = "0123456789ABCDEF";
  std::string result;
  result.reserve(text.size());
  for (unsigned char c : text) {
    if (IsUnsafe(c)) {
      result += '%';
      result += kHex[c >> 4];
      result += kHex[c & 0x0F];
    } else {
      result += static_cast<char>(c);
    }
  }
  if (result.size() + 1 > bufferSize) return false;
  out = std::move(result);
  return true;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string DecodePercentEscapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const int hi = text[i] == '%' && i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
    const int lo = hi >= 0 ? HexDigitValue(text[i + 2]) : -1;
    if (lo >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string PercentEncode(std::string_view text, std::string_view alsoPlain) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.' || c == '~' ||
                       (c != 0 && alsoPlain.find(ch) != std::string_view::npos);
    if (plain) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace vyr::platform
