#pragma once
// Small text helpers every part of the program shares: ASCII case folding,
// trimming a named set of blanks, prefix and suffix tests, splitting into
// lines. All work on bytes; a byte outside ASCII is never changed or folded,
// whatever the locale, so UTF-8 text passes through untouched.
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vyr::platform {

// Blank sets, named for where each applies. A caller picks the one its text
// format uses; they differ on purpose.
// Blanks around a mail header's value or a name in an address entry.
inline constexpr std::string_view kHeaderBlanks = " \t";
// Blanks at the ends of a line of a desktop defaults file, whose lines may
// still carry the CR of a CR LF end.
inline constexpr std::string_view kLineBlanks = " \t\r";
// Blanks at the ends of a text the user typed or a file holds: spaces, tabs
// and line ends.
inline constexpr std::string_view kTypedBlanks = " \t\r\n";
// Blanks inside one line of a profile (INI) file: white space but the line
// feed, which already ended the line.
inline constexpr std::string_view kProfileBlanks = " \t\r\v\f";
// White space as the C library counts it in the "C" locale.
inline constexpr std::string_view kWhitespace = " \t\r\n\v\f";
// Every control byte and the space (0x00-0x20), as around a typed address.
inline constexpr std::string_view kControlAndSpace{
    "\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f"
    "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f ",
    33};

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
// Equal but for ASCII letter case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// `text` without the bytes of `blanks` at either end.
std::string_view TrimView(std::string_view text, std::string_view blanks);
inline std::string Trim(std::string_view text, std::string_view blanks) {
  return std::string(TrimView(text, blanks));
}

inline bool StartsWith(std::string_view text, std::string_view prefix) { return text.starts_with(prefix); }
inline bool EndsWith(std::string_view text, std::string_view suffix) { return text.ends_with(suffix); }
// The same, ignoring ASCII letter case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);

// What happens to the CR of a CR LF line end.
enum class LineEnds { DropCr, KeepCr };
// The lines of `text`, split at each LF. A last line without an end counts;
// the empty text after a final LF does not, so "a\n" is one line and "" none.
std::vector<std::string> SplitLines(std::string_view text, LineEnds ends = LineEnds::DropCr);

// A message text with each "%s" replaced by the next value in turn. What a
// value brings in is never read as a placeholder (a file name holding "%s"
// stays as it is); placeholders past the last value stay, values past the
// last placeholder are dropped.
std::string FillPlaceholders(std::string text, std::initializer_list<std::string_view> values);

}  // namespace vyr::platform
