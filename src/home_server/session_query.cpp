#include "home_server/session_query.h"

#include <algorithm>
#include <initializer_list>

#include "home_server/text.h"

namespace vyr::home {

namespace {

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsBrandChar(char c) { return IsNameChar(c) || c == '.' || c == '-'; }

bool IsOneOf(std::string_view name, std::initializer_list<const char*> names) {
  return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

// "a.b.c.d": one to four signed 32-bit integers separated by dots.
bool IsDottedVersion(std::string_view text) {
  int parts = 0;
  size_t start = 0;
  while (true) {
    const size_t dot = text.find('.', start);
    const std::string_view part = text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (!ParseInteger(part, INT32_MIN, INT32_MAX)) return false;
    if (++parts > 4) return false;
    if (dot == std::string_view::npos) return true;
    start = dot + 1;
  }
}

std::string CheckLoginValue(const QueryPair& pair) {
  const std::string& n = pair.name;
  const std::string& v = pair.value;
  if (n == "TZ") return ParseInteger(v, -24, 24) ? "" : "TZ must be a whole number of hours from -24 to 24";
  if (n == "CD") return ParseInteger(v, 0, 3) ? "" : "CD must be 0, 1, 2 or 3";
  if (n == "SW" || n == "SH") return ParseInteger(v, 0, 1000000) ? "" : n + " must be a number of pixels";
  if (IsOneOf(n, {"OS", "BV", "SV", "NV"})) return IsDottedVersion(v) ? "" : n + " must be a dotted version";
  return "unknown parameter " + n;
}

std::string CheckPingValue(const QueryPair& pair) {
  if (pair.name == "URL" || pair.name == "IBA") {
    return ParseTriples(pair.value) ? "" : pair.name + " must hold whole triples of integers";
  }
  return ParseInteger(pair.value, 0, INT32_MAX) ? "" : "the counter " + pair.name + " must be a count";
}

SessionParse Fail(std::string error) {
  SessionParse result;
  result.error = std::move(error);
  return result;
}

std::string JoinWithPlus(const std::vector<std::int64_t>& numbers, size_t from, size_t count) {
  std::string out;
  for (size_t i = from; i < from + count; ++i) {
    if (!out.empty()) out += '+';
    out += std::to_string(numbers[i]);
  }
  return out;
}

}  // namespace

const char* VerbName(SessionVerb verb) {
  switch (verb) {
    case SessionVerb::kLogin: return "Login";
    case SessionVerb::kPing: return "Ping";
    case SessionVerb::kLogout: return "Logout";
  }
  return "?";
}

std::optional<std::vector<std::int64_t>> ParseTriples(std::string_view decoded) {
  std::vector<std::int64_t> numbers;
  size_t pos = 0;
  while (pos < decoded.size()) {
    if (decoded[pos] == ' ') {
      ++pos;
      continue;
    }
    size_t end = decoded.find(' ', pos);
    if (end == std::string_view::npos) end = decoded.size();
    const auto number = ParseInteger(decoded.substr(pos, end - pos), INT32_MIN, INT32_MAX);
    if (!number) return std::nullopt;
    numbers.push_back(*number);
    if (numbers.size() > 3 * kMaxTriples) return std::nullopt;
    pos = end;
  }
  if (numbers.size() % 3 != 0) return std::nullopt;
  return numbers;
}

SessionParse ParseSessionQuery(std::string_view rawQuery) {
  if (rawQuery.size() > kMaxQueryLength) return Fail("the query is too long");
  if (!IsPrintableToken(rawQuery) && !rawQuery.empty()) return Fail("the query holds a byte that is not allowed");

  std::vector<std::string_view> segments;
  size_t start = 0;
  while (true) {
    const size_t amp = rawQuery.find('&', start);
    segments.push_back(rawQuery.substr(start, amp == std::string_view::npos ? std::string_view::npos : amp - start));
    if (amp == std::string_view::npos) break;
    start = amp + 1;
  }

  SessionRequest request;
  const std::string_view verb = segments.front();
  if (EqualsIgnoreCase(verb, "Login")) {
    request.verb = SessionVerb::kLogin;
  } else if (EqualsIgnoreCase(verb, "Ping")) {
    request.verb = SessionVerb::kPing;
  } else if (EqualsIgnoreCase(verb, "Logout")) {
    request.verb = SessionVerb::kLogout;
  } else {
    return Fail("the query must begin with Login, Ping or Logout");
  }

  for (size_t i = 1; i < segments.size(); ++i) {
    const std::string_view segment = segments[i];
    const size_t eq = segment.find('=');
    if (eq == std::string_view::npos) return Fail("every parameter needs a name and =");
    QueryPair pair;
    pair.name = std::string(segment.substr(0, eq));
    pair.raw = std::string(segment.substr(eq + 1));
    if (pair.name.empty() || pair.name.size() > kMaxNameLength ||
        !std::all_of(pair.name.begin(), pair.name.end(), IsNameChar)) {
      return Fail("a parameter name must be 1 to 16 letters, digits or _");
    }
    if (pair.raw.size() > kMaxValueLength) return Fail("the value of " + pair.name + " is too long");
    const std::optional<std::string> value = PercentDecode(pair.raw, true);
    if (!value) return Fail("the value of " + pair.name + " holds a malformed escape");
    if (HasControlByte(*value)) return Fail("the value of " + pair.name + " holds a control byte");
    pair.value = *value;
    for (const QueryPair& earlier : request.pairs) {
      if (earlier.name == pair.name) return Fail("the parameter " + pair.name + " appears twice");
    }
    request.pairs.push_back(std::move(pair));
  }

  bool haveUser = false;
  for (const QueryPair& pair : request.pairs) {
    std::string error;
    if (pair.name == "U") {
      if (pair.value.size() != 32 || !std::all_of(pair.value.begin(), pair.value.end(), IsHexDigit)) {
        error = "U must be 32 hexadecimal digits";
      }
      request.user = pair.value;
      haveUser = true;
    } else if (pair.name == "B") {
      if (pair.value.empty() || pair.value.size() > 64 ||
          !std::all_of(pair.value.begin(), pair.value.end(), IsBrandChar)) {
        error = "B must be 1 to 64 letters, digits, ., _ or -";
      }
      request.brand = pair.value;
    } else if (pair.name == "MO") {
      const auto minutes = ParseInteger(pair.value, 0, UINT32_MAX);
      if (!minutes) {
        error = "MO must be a whole number of minutes";
      } else {
        request.minutes = static_cast<std::uint32_t>(*minutes);
      }
    } else if (request.verb == SessionVerb::kLogin) {
      error = CheckLoginValue(pair);
    } else if (request.verb == SessionVerb::kPing) {
      error = CheckPingValue(pair);
    } else {
      error = "unknown parameter " + pair.name;
    }
    if (!error.empty()) return Fail(error);
  }
  if (!haveUser) return Fail("U is missing");
  if (request.verb == SessionVerb::kPing && !request.minutes) return Fail("MO is missing");

  SessionParse result;
  result.request = std::move(request);
  return result;
}

std::string UsageLine(std::string_view time, const SessionRequest& request) {
  std::string rest;
  for (const QueryPair& pair : request.pairs) {
    if (pair.name == "U" || pair.name == "MO") continue;
    if (!rest.empty()) rest += '&';
    rest += pair.name + "=" + pair.raw;
  }
  std::string line(time);
  line += '\t';
  line += VerbName(request.verb);
  line += '\t';
  line += request.user;
  line += '\t';
  line += request.minutes ? std::to_string(*request.minutes) : std::string("-");
  line += '\t';
  line += rest.empty() ? std::string("-") : rest;
  return line;
}

std::vector<std::string> AckCommands(const SessionRequest& request) {
  std::vector<std::string> commands;
  if (request.verb != SessionVerb::kPing) return commands;
  const std::string head = "ack ";
  std::string current;
  auto add = [&](const std::string& pair) {
    if (!current.empty() && current.size() + 1 + pair.size() > kAckArgumentLimit) {
      commands.push_back(head + current);
      current.clear();
    }
    if (!current.empty()) current += '&';
    current += pair;
  };
  for (const QueryPair& pair : request.pairs) {
    if (IsOneOf(pair.name, {"U", "B", "MO"})) continue;
    if (pair.name == "URL" || pair.name == "IBA") {
      const std::vector<std::int64_t> numbers = ParseTriples(pair.value).value_or(std::vector<std::int64_t>{});
      // A long list goes as several pairs of the same name, each small
      // enough for one acknowledgement; the program lowers by each in turn.
      // Fifty triples of numbers of up to 11 characters and their "+" stay
      // below 1900 bytes, within kAckArgumentLimit.
      const size_t perPair = 50;
      for (size_t first = 0; first < numbers.size() / 3; first += perPair) {
        const size_t count = std::min(perPair, numbers.size() / 3 - first);
        add(pair.name + "=" + JoinWithPlus(numbers, first * 3, count * 3));
      }
    } else {
      const auto count = ParseInteger(pair.value, 0, INT32_MAX);
      if (count && *count != 0) add(pair.name + "=" + std::to_string(*count));
    }
  }
  if (!current.empty()) commands.push_back(head + current);
  return commands;
}

std::string PongReply(const std::vector<std::string>& commands) {
  std::string reply = "PONG#";
  for (const std::string& command : commands) reply += command + "#";
  return reply;
}

bool IsDeliverableCommand(std::string_view text) {
  return !text.empty() && text.size() <= kMaxCommandLength && text.find('#') == std::string_view::npos &&
         !HasControlByte(text);
}

}  // namespace vyr::home
