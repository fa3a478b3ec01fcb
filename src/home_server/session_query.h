#pragma once
// The session requests of the program's command script, read and checked:
//
//   ?Login&U=<id>&B=<brand>&TZ=<h>&CD=<0-3>&SW=<px>&SH=<px>&OS=<a.b.c.d>&BV=..&SV=..&NV=..
//   ?Ping&U=<id>&B=<brand>&MO=<minutes>[&<counter>=<n>...][&URL=<triples>]&IBA=<triples>
//   ?Logout&U=<id>&B=<brand>&MO=<minutes>
//
// The first segment is the verb (any case). Every later segment is one
// name=value pair; names are 1 to 16 letters, digits or "_" and appear at
// most once; values are percent-decoded ("+" is a blank) and may hold no
// control byte. U is 32 hexadecimal digits and is required. B is 1 to 64
// letters, digits, ".", "_" or "-". MO is an unsigned 32-bit count of whole
// minutes, required in a ping. Login takes only the names above; Logout only
// U, B and MO. In a ping URL and IBA hold integer triples (id, visits,
// clicks) separated by blanks, and every other name is a usage counter whose
// value is an integer from 0 to 2147483647.
//
// The reply to all three is "PONG#" followed by commands, each closed by
// "#". The program reads at most kReplyLimit bytes of it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vyr::home {

inline constexpr size_t kMaxQueryLength = 7168;
inline constexpr size_t kMaxValueLength = 6144;
inline constexpr size_t kMaxNameLength = 16;
inline constexpr size_t kMaxTriples = 2048;
// The program keeps this many bytes of a reply (its buffer less the
// terminator); a command closed only beyond them is lost.
inline constexpr size_t kReplyLimit = 20479;
// The program handles an "ack" argument of at most this many bytes at once.
inline constexpr size_t kAckArgumentLimit = 2047;

enum class SessionVerb { kLogin, kPing, kLogout };

const char* VerbName(SessionVerb verb);

struct QueryPair {
  std::string name;
  std::string raw;    // the value as it arrived, still escaped
  std::string value;  // decoded
};

struct SessionRequest {
  SessionVerb verb = SessionVerb::kPing;
  std::string user;  // U, as sent
  std::string brand;
  std::optional<std::uint32_t> minutes;  // MO
  std::vector<QueryPair> pairs;          // every pair after the verb, in order
};

struct SessionParse {
  std::optional<SessionRequest> request;
  std::string error;  // set when request is empty
};

SessionParse ParseSessionQuery(std::string_view rawQuery);

// The integers of a triples value (URL, IBA), or nullopt when it is not a
// run of whole triples of integers separated by blanks.
std::optional<std::vector<std::int64_t>> ParseTriples(std::string_view decoded);

// The usage log's line for a request (without its line end), fields
// separated by tabs:
//   time, verb, U, MO (or "-"), the other pairs as received
// where "the other pairs" are every pair but U and MO, in the order they
// came, each exactly as sent (still escaped), joined by "&"; "-" when there
// are none. No field can hold a tab or line break: every value passed the
// checks above, which allow printable bytes only.
std::string UsageLine(std::string_view time, const SessionRequest& request);

// The "ack" commands that acknowledge what a ping reported, so that the
// program lowers its counters by what the server has recorded: every
// counter that is not 0, and the URL and IBA triples when there are any,
// with "+" between the numbers. An acknowledgement longer than the program
// takes at once is split into several commands. Empty for anything but a
// ping, and for a ping that reported nothing.
std::vector<std::string> AckCommands(const SessionRequest& request);

// "PONG#" and each command followed by "#".
std::string PongReply(const std::vector<std::string>& commands);

// True when text can travel as one command of a reply: not empty, no "#",
// no control byte, at most kMaxCommandLength bytes.
inline constexpr size_t kMaxCommandLength = 4096;
bool IsDeliverableCommand(std::string_view text);

}  // namespace vyr::home
