#pragma once
// Text in a named character set made UTF-8, through the C library's iconv.
// Mail declares its character sets by name ("iso-8859-1", "Windows-1252",
// "ISO-8859-15", "utf-8"...); the program shows and stores everything as
// UTF-8.
#include <string>
#include <string_view>

namespace vyr::platform {

// True when every byte of the text belongs to a well-formed UTF-8 character.
bool IsValidUtf8(std::string_view text);

// Converts text from the named character set (any case, quotes and an RFC
// 2231 "*language" suffix ignored) to UTF-8. "ISO-8859-1", "Latin-1" and
// "US-ASCII" are read as Windows-1252, as mail readers and web browsers do
// (mail labelled Latin-1 often carries Windows quotes and the euro sign),
// and a byte Windows-1252 leaves undefined stands for the character of the
// same number. A byte sequence the character set does not allow becomes one
// U+FFFD per byte. False, and out left empty, when the character set is not
// known.
bool ConvertToUtf8(std::string_view text, std::string_view charset, std::string& out);

// Text whose character set is not declared, or declared under a name that is
// not known: kept when it is valid UTF-8, else read as Windows-1252.
std::string UndeclaredToUtf8(std::string_view text);

// The text in UTF-8 whatever became of its declared character set: the
// declared one when known, else as UndeclaredToUtf8. An empty charset means
// none was declared.
std::string TextToUtf8(std::string_view text, std::string_view charset);

// Converts UTF-8 text to the named character set (the names as for
// ConvertToUtf8, the Latin-1 family again as Windows-1252, so that text read
// with ConvertToUtf8 goes back to the same bytes). False, and out left empty,
// when the character set is not known or a character of the text has no
// place in it.
bool ConvertFromUtf8(std::string_view utf8, std::string_view charset, std::string& out);

}  // namespace vyr::platform
