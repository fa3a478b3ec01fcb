#pragma once
// Small text rules the home server's request checks share: percent
// decoding, integers with bounds, printable-byte checks, time stamps for the
// logs and escaping for HTML and log lines.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace vyr::home {

bool IsHexDigit(char c);
// Letters A-Z become a-z; every other byte stays.
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// Blanks and tabs removed from both ends.
std::string_view TrimBlanks(std::string_view text);

// Decodes every %XX escape once; with plusIsBlank "+" becomes a blank (the
// query form). nullopt when a "%" is not followed by two hexadecimal digits.
std::optional<std::string> PercentDecode(std::string_view text, bool plusIsBlank);

// True when some byte is below 0x20 or is 0x7F (NUL included).
bool HasControlByte(std::string_view text);
// True when every byte is a printable ASCII character other than the blank
// (0x21 to 0x7E): the bytes a request target may carry.
bool IsPrintableToken(std::string_view text);

// A decimal integer: an optional "-" (only when min < 0) and 1 to 19 digits,
// nothing else, within [min, max].
std::optional<std::int64_t> ParseInteger(std::string_view text, std::int64_t min, std::int64_t max);

// "2025-01-02T03:04:05Z".
std::string UtcTimestamp(std::time_t when);
std::string UtcTimestampNow();

// <, >, &, " and ' as character references.
std::string HtmlEscape(std::string_view text);

// Every byte that is not printable ASCII (blanks and controls included) as
// %XX, so that a logged field never holds a blank, a tab or a line break.
std::string EscapeForLog(std::string_view text);

// A path segment for a Location header: every byte outside the unreserved
// set (letters, digits, "-._~") and a few safe signs as %XX.
std::string EncodePathSegment(std::string_view segment);

}  // namespace vyr::home
