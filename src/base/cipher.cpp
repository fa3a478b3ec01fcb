#include "base/cipher.h"

// The classic DES interface is marked deprecated in OpenSSL 3, but it is the
// only one that offers single DES without loading the legacy provider.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace vyr {

const char kCipherKey[9] = "ZxCvBnMq";

namespace {
const char kPrefix[] = "VY01";
const char kDigits[] = "0123456789ABCDEF";

void Run(const unsigned char* in, unsigned char* out, size_t length, const char* key, int direction) {
  DES_cblock block;
  std::memcpy(block, key, 8);
  DES_set_odd_parity(&block);
  (void)DES_is_weak_key(&block);  // checked, and its answer ignored
  DES_key_schedule schedule;
  DES_set_key_unchecked(&block, &schedule);
  DES_cblock iv;
  std::memset(iv, 0, sizeof iv);
  int position = 0;
  DES_cfb64_encrypt(in, out, static_cast<long>(length), &schedule, &iv, &position, direction);
}

int DigitValue(char c) {
  const char* p = c ? std::strchr(kDigits, c) : nullptr;
  return p ? static_cast<int>(p - kDigits) : 0;
}
}  // namespace

bool EncipherText(std::string_view plain, const char* key, bool hex, std::string& stored) {
  size_t length = 0;
  while (length < plain.size() && plain[length] != '\0') ++length;
  std::vector<unsigned char> out(length);
  if (length > 0) {
    Run(reinterpret_cast<const unsigned char*>(plain.data()), out.data(), length, key, DES_ENCRYPT);
  }
  std::string result = kPrefix;
  for (unsigned char b : out) {
    if (hex) {
      result += kDigits[b >> 4];
      result += kDigits[b & 15];
    } else {
      result += static_cast<char>(b);
    }
  }
  stored = std::move(result);
  return true;
}

namespace {
bool Decipher(std::string_view stored, const char* key, size_t maxBytes, size_t bufferSize,
              std::string& plain) {
  if (stored.size() < 4 || stored.substr(0, 4) != kPrefix) return false;
  std::string_view digits = stored.substr(4);
  // The stored text ends at a zero byte, as it would in a C string.
  size_t end = digits.find('\0');
  if (end != std::string_view::npos) digits = digits.substr(0, end);

  std::vector<unsigned char> bytes;
  for (size_t i = 0; i + 1 < digits.size() && bytes.size() < maxBytes; i += 2) {
    bytes.push_back(static_cast<unsigned char>(DigitValue(digits[i]) * 16 + DigitValue(digits[i + 1])));
  }
  std::vector<unsigned char> buffer(std::max(bufferSize, bytes.size() + 1), 0);
  if (!bytes.empty()) Run(bytes.data(), buffer.data(), bytes.size(), key, DES_DECRYPT);
  plain.assign(reinterpret_cast<const char*>(buffer.data()));
  return true;
}
}  // namespace

bool DecipherText(std::string_view stored, const char* key, std::string& plain) {
  return Decipher(stored, key, kMaxCipherBytes, kCipherBufferSize, plain);
}

bool DecipherLongText(std::string_view stored, std::string& plain) {
  return Decipher(stored, kCipherKey, stored.size(), 0, plain);
}

std::string EncipherText(std::string_view plain) {
  std::string stored;
  EncipherText(plain, kCipherKey, true, stored);
  return stored;
}

bool DecipherText(std::string_view stored, std::string& plain) {
  return DecipherText(stored, kCipherKey, plain);
}

}  // namespace vyr
