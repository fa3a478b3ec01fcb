// Feeds arbitrary bytes to the encoded-word writer of sent headers and
// checks what readers rely on: plain ASCII comes back unchanged, encoded
// text is ASCII, every encoded word is at most 75 characters and whole
// characters, the words decode back to the input, and no line break is
// ever added to a header value.
#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mail/send/header_words.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool IsAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c > 127) return false;
  }
  return true;
}

std::string DecodeWord(const std::string& word) {
  const std::string prefix = "=?UTF-8?B?";
  Require(word.size() <= 75 && word.rfind(prefix, 0) == 0 && word.size() >= prefix.size() + 2 &&
          word.compare(word.size() - 2, 2, "?=") == 0);
  const std::string b64 = word.substr(prefix.size(), word.size() - prefix.size() - 2);
  std::string out(b64.size(), '\0');
  const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(b64.data()), static_cast<int>(b64.size()));
  Require(n >= 0);
  size_t length = static_cast<size_t>(n);
  // EVP_DecodeBlock counts the padding bytes as data.
  if (b64.size() >= 1 && b64.back() == '=') --length;
  if (b64.size() >= 2 && b64[b64.size() - 2] == '=') --length;
  out.resize(length);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const bool hasBreak = text.find_first_of("\r\n") != std::string::npos;

  const std::string encoded = vyr::EncodeHeaderText(text);
  if (IsAscii(text)) {
    Require(encoded == text);
  } else {
    Require(IsAscii(encoded));
    std::string decoded;
    size_t start = 0;
    while (start <= encoded.size()) {
      size_t end = encoded.find(' ', start);
      if (end == std::string::npos) end = encoded.size();
      decoded += DecodeWord(encoded.substr(start, end - start));
      start = end + 1;
    }
    Require(decoded == text);
  }

  const std::string list = vyr::EncodeAddressList(text);
  if (IsAscii(text)) Require(list == text);
  if (!hasBreak) Require(list.find_first_of("\r\n") == std::string::npos);
  return 0;
}
