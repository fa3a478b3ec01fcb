#include "mail/send/header_words.h"

#include <openssl/evp.h>

#include <algorithm>
#include <vector>

#include "platform/text.h"

namespace vyr {

namespace {

// Bytes per encoded word: 42 bytes give 56 Base64 characters, which with
// "=?UTF-8?B?" and "?=" make 68, so that "Subject: " and one word fit the
// 78 characters of a header line, and a folded line holds a blank and one
// word.
constexpr size_t kWordBytes = 42;

bool IsAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c > 127) return false;
  }
  return true;
}

std::string Base64(const std::string& bytes) {
  std::vector<unsigned char> out(4 * ((bytes.size() + 2) / 3) + 1);
  const int n = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                                static_cast<int>(bytes.size()));
  return std::string(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(n));
}

std::string EncodeEntry(const std::string& entry) {
  const size_t open = entry.find('<');
  if (IsAscii(entry) || open == std::string::npos) return entry;
  std::string name = platform::Trim(entry.substr(0, open), platform::kHeaderBlanks);
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
  if (IsAscii(name)) return entry;
  // Keep the blank that led the entry after a separator.
  const size_t lead = entry.find_first_not_of(" \t");
  return entry.substr(0, lead == std::string::npos ? 0 : lead) + EncodeHeaderText(name) + " " +
         entry.substr(open);
}

}  // namespace

std::string EncodeHeaderText(const std::string& text) {
  if (IsAscii(text)) return text;
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = std::min(text.size(), pos + kWordBytes);
    // Never cut inside a character: back off over continuation bytes.
    while (end < text.size() && end > pos + 1 &&
           (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
      --end;
    }
    if (!out.empty()) out += ' ';
    out += "=?UTF-8?B?" + Base64(text.substr(pos, end - pos)) + "?=";
    pos = end;
  }
  return out;
}

std::string EncodeAddressList(const std::string& list) {
  if (IsAscii(list)) return list;
  std::string out;
  std::string entry;
  bool quoted = false;
  for (char c : list) {
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == ',' || c == ';')) {
      out += EncodeEntry(entry);
      out += c;
      entry.clear();
      continue;
    }
    entry += c;
  }
  return out + EncodeEntry(entry);
}

}  // namespace vyr
