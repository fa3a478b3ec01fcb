#pragma once
// The cipher that protects stored mail passwords and the values of the
// installation key: DES in 64-bit cipher-feedback mode with a fixed key and a
// zero vector. The stored form is "VY01" followed by the enciphered bytes as
// upper-case hexadecimal pairs, so an n-character text is stored as 4 + 2n
// characters.
#include <string>
#include <string_view>

namespace vyr {

// The fixed key, copied into an 8-byte DES key block before every use.
extern const char kCipherKey[9];

// The deciphered text is cut to this many enciphered bytes...
constexpr size_t kMaxCipherBytes = 999;
// ...and deciphered into a zero-filled buffer of this size.
constexpr size_t kCipherBufferSize = 2000;

// Enciphers the text up to its first zero byte. With hex set (every caller
// sets it) the result is the stored form; without, "VY01" and the raw bytes.
// Returns true on success.
bool EncipherText(std::string_view plain, const char* key, bool hex, std::string& stored);

// Deciphers a stored form. Fails, leaving plain unchanged, when the text does
// not begin with "VY01". Digits are looked up in "0123456789ABCDEF" only, so
// a lower-case or damaged text gives a wrong text, not a failure; a lone last
// digit is ignored.
bool DecipherText(std::string_view stored, const char* key, std::string& plain);

// With the fixed key.
std::string EncipherText(std::string_view plain);
bool DecipherText(std::string_view stored, std::string& plain);

// The same stored form without the length limit of a password: the values of
// the installation key grow with the tracked addresses and must come back
// whole.
bool DecipherLongText(std::string_view stored, std::string& plain);

}  // namespace vyr
