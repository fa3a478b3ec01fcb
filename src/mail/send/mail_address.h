#pragma once
// The text routines every mail part uses on addresses and dates: splitting a
// To/CC/BCC field into recipients, parsing one entry made of a display name
// and an address, and the date text written into sent and stored messages.
#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

namespace vyr {

// The first part of the error text of SplitRecipients: the text is this,
// a colon and the entry ("Invalid Recipient: :bob").
inline constexpr char kInvalidRecipient[] = "Invalid Recipient: ";

// Splits a field into recipients and appends each one's bare address and
// display name to the two lists, in the order met.
//
// The next entry ends at the first "," (found from the second character of
// the remaining text on) or ";", whichever comes first. A separator that
// lies inside a quoted name (an odd number of double quotes before it and a
// closing one after it) does not count: the search goes on after it.
//
// 0 when every entry was valid (or the field is empty); 2 when an entry has
// no "@" or ParseAddress rejects it: the error text becomes
// "Invalid Recipient: :<entry>" and the entries before it stay appended.
int SplitRecipients(const std::string& field, std::vector<std::string>& addresses,
                    std::vector<std::string>& names, std::string& error);

// Parses one entry ("John Smith <john@mail.example>", "\"Smith, John\"
// <john@mail.example>", "john@mail.example (John)", "john@mail.example").
//
// The address is the run of characters around the first "@", up to a "<"
// or a blank on the left and a ">" or a blank on the right. The name is the
// trimmed text before the address's left delimiter, or when the address
// begins the entry the text after its right delimiter; text in
// parentheses, then text in double quotes, is taken from it; an empty name
// becomes the part of the address before "@".
//
// False (and the outputs untouched) when the trimmed entry has no "@" or
// starts with one, when the address has nothing before or after its "@",
// or when it holds a control character (so that no parsed address can
// carry a line break into a command or a header).
bool ParseAddress(const std::string& entry, std::string& name, std::string& address);

// The date text of a message for the given moment, in the machine's local
// time: "%2.2d %s %d %2.2d:%2.2d:%2.2d %s" with day, month abbreviation,
// year, hours, minutes, seconds and the zone. The zone is the offset from
// UTC in force at that moment (daylight saving applied, half and quarter
// hours kept), written as a sign, two digits of hours and two of minutes:
// "04 Jul 2026 08:34:56 -0400" in a New York summer, "+0530" in India.
//
// Returns 0, or 1 (nothing written) when size is below 32.
int FormatMailDate(char* buffer, std::size_t size, std::time_t when);
int FormatMailDate(char* buffer, std::size_t size);
// The same for now, as a string.
std::string MailDateNow();

// A header value kept on one line: every CR and LF becomes a space, so that
// no text put after "Subject: " (or any other header name) can start a
// header line or a command of its own.
std::string OneLineHeaderValue(const std::string& value);

}  // namespace vyr
