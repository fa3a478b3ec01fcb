#pragma once
// UTF-8 as the program holds text: only well-formed characters count (the
// shortest form of a code point, no surrogates, nothing above U+10FFFF). A
// byte that does not begin a well-formed character is malformed on its own,
// so every such byte stands for one U+FFFD, the way text editors show it.
#include <cstdint>
#include <string>
#include <string_view>

namespace vyr {

// The length of the well-formed character starting at s[i]: 1 for an ASCII
// byte and for a malformed byte, 0 at the end of the text.
size_t Utf8Length(std::string_view s, size_t i);

// The code point of the character at s[i]; U+FFFD for a malformed byte.
std::uint32_t Utf8At(std::string_view s, size_t i);

// Appends a code point as UTF-8; surrogates and values above U+10FFFF are
// written as U+FFFD.
void AppendUtf8(std::string& out, std::uint32_t cp);

// Whether the whole text is well-formed UTF-8.
bool IsValidUtf8(std::string_view s);

// The text with each malformed byte replaced by U+FFFD (EF BF BD).
std::string ValidUtf8(std::string_view s);

// Where to cut the text at or just before limit without splitting a
// well-formed character (malformed bytes are cut where the limit says).
size_t Utf8CutBefore(std::string_view s, size_t limit);

}  // namespace vyr
