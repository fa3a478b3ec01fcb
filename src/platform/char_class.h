#pragma once
// What kind of character a Unicode code point is, as the C library's
// UTF-8 locale data knows it, whatever locale the program runs in.
#include <cstdint>

namespace vyr::platform {

// True for a letter of any script (Latin, Greek, Cyrillic, Hebrew, Arabic,
// the CJK ideographs...). Falls back to ASCII and Latin-1 letters and every
// code point above U+00FF outside the punctuation and symbol blocks when the
// system has no UTF-8 character data.
bool IsLetter(std::uint32_t cp);

}  // namespace vyr::platform
