#include "mail/send/mail_address.h"

#include <cstdio>
#include <cstring>

#include "base/text_trim.h"

namespace vyr {

namespace {


bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }


// True when the separator at `sep` lies inside a quoted name: an odd number
// of double quotes comes before it (one is open) and one follows it to
// close the name. `quotesBefore` counts the quotes in [counted, sep) and is
// carried between calls, so a long field is scanned once.
bool InsideQuotes(const std::string& text, size_t sep, size_t& counted, size_t& quotesBefore) {
  for (; counted < sep; ++counted) {
    if (text[counted] == '"') ++quotesBefore;
  }
  return (quotesBefore % 2) == 1 && text.find('"', sep + 1) != std::string::npos;
}

// The separator ending the entry that starts the text, searched from
// `from`: the first "," (never the text's own first character) or ";",
// whichever comes first. Both separate entries anywhere in a field, so a
// field that mixes them ("a@x, b@y; c@z") loses no recipient.
size_t NextSeparator(const std::string& text, size_t from) {
  const size_t comma = text.find(',', from == 0 ? 1 : from);
  const size_t semicolon = text.find(';', from);
  return comma < semicolon ? comma : semicolon;
}

constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

bool ParseAddress(const std::string& entry, std::string& name, std::string& address) {
  const std::string text = TrimBlanks(entry);
  const size_t at = text.find('@');
  if (at == std::string::npos || at == 0) return false;

  size_t start = at;
  while (start > 0 && text[start - 1] != '<' && !IsBlank(text[start - 1])) --start;
  size_t end = at;  // last character of the address
  while (end + 1 < text.size() && text[end + 1] != '>' && !IsBlank(text[end + 1])) ++end;
  std::string found = text.substr(start, end - start + 1);
  // "@" must have something on both sides, and nothing that could end a
  // command line or a header may pass.
  if (at == start || at == end) return false;
  for (unsigned char c : found) {
    if (IsControl(c)) return false;
  }

  std::string raw;
  if (start > 0) {
    raw = text.substr(0, start - 1);
  } else if (end + 2 <= text.size()) {
    raw = text.substr(end + 2);
  }
  std::string parsed = TrimBlanks(raw);

  const size_t open = parsed.find('(');
  if (open != std::string::npos) {
    const size_t close = parsed.find(')', open + 1);
    if (close != std::string::npos) parsed = parsed.substr(open + 1, close - open - 1);
  }
  const size_t quote = parsed.find('"');
  if (quote != std::string::npos) {
    const size_t next = parsed.find('"', quote + 1);
    parsed = next == std::string::npos ? parsed.substr(quote + 1)
                                       : parsed.substr(quote + 1, next - quote - 1);
  }
  if (parsed.empty()) parsed = found.substr(0, at - start);

  name = std::move(parsed);
  address = std::move(found);
  return true;
}

int SplitRecipients(const std::string& field, std::vector<std::string>& addresses,
                    std::vector<std::string>& names, std::string& error) {
  std::string remaining = field;
  while (!remaining.empty()) {
    size_t counted = 0, quotes = 0;
    size_t sep = NextSeparator(remaining, 0);
    while (sep != std::string::npos && InsideQuotes(remaining, sep, counted, quotes)) {
      sep = NextSeparator(remaining, sep + 1);
    }
    std::string entry;
    if (sep == std::string::npos) {
      entry.swap(remaining);
    } else {
      entry = remaining.substr(0, sep);
      remaining.erase(0, sep + 1);
    }
    std::string name, address;
    if (entry.find('@') == std::string::npos || !ParseAddress(entry, name, address)) {
      error = std::string(kInvalidRecipient) + ":" + entry;
      return 2;
    }
    addresses.push_back(std::move(address));
    names.push_back(std::move(name));
  }
  return 0;
}

int FormatMailDate(char* buffer, std::size_t size, std::time_t when) {
  if (!buffer || size < 32) return 1;
  tzset();
  std::tm local{};
  if (!localtime_r(&when, &local)) {
    buffer[0] = '\0';
    return 0;
  }
  // The offset in force at that moment, daylight saving and half-hour
  // zones included, as the receiver needs it to place the time.
  const long offset = static_cast<long>(local.tm_gmtoff);
  const long minutes = (offset < 0 ? -offset : offset) / 60;
  char zoneText[32];
  std::snprintf(zoneText, sizeof zoneText, "%c%02ld%02ld", offset < 0 ? '-' : '+', minutes / 60,
                minutes % 60);
  const int month = local.tm_mon >= 0 && local.tm_mon < 12 ? local.tm_mon : 0;
  std::snprintf(buffer, size, "%2.2d %s %d %2.2d:%2.2d:%2.2d %s", local.tm_mday, kMonths[month],
                local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec, zoneText);
  return 0;
}

int FormatMailDate(char* buffer, std::size_t size) {
  return FormatMailDate(buffer, size, std::time(nullptr));
}

std::string MailDateNow() {
  char buffer[256];
  FormatMailDate(buffer, sizeof buffer);
  return buffer;
}

std::string OneLineHeaderValue(const std::string& value) {
  std::string out = value;
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

}  // namespace vyr
