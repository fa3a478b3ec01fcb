#pragma once
// The URL canonicaliser the program applies before it navigates to an
// address it has built itself (enhanced browsing's resolver and search
// addresses): trailing white space dropped, "." and ".." segments of the
// path removed, and every unsafe byte (controls, blanks, bytes above 0x7E
// and " < > \ ^ ` { | }) written as a %XX escape. Existing escapes, "%",
// "#", "?" and "//" are left as they are.
#include <cstddef>
#include <string>
#include <string_view>

namespace vyr::platform {

// Writes the canonical form of url to out. False (out untouched) when the
// canonical form would not fit a buffer of bufferSize bytes with its
// terminating NUL.
bool CanonicalizeUrl(const std::string& url, std::string& out, std::size_t bufferSize = 4096);

// The value of a hexadecimal digit, -1 for any other character.
int HexDigitValue(char c);

// Every "%XX" escape (two hexadecimal digits) becomes its byte, a zero byte
// included; anything else, a lone "%" too, is kept as it is.
std::string DecodePercentEscapes(std::string_view text);

// The text with every byte other than letters, digits, "-", "_", ".", "~"
// and the characters of alsoPlain written as %XX (upper-case hex).
std::string PercentEncode(std::string_view text, std::string_view alsoPlain = {});

}  // namespace vyr::platform
