#pragma once
// The request target as the server reads it: split into path and query,
// and the path decoded once into segments that can only name something
// below a served folder.
//
// The rules, applied to the raw target exactly as it arrived:
// - it begins with "/" (no absolute form "http://...", no "*") and is at
//   most kMaxTargetLength bytes of printable ASCII: no blank, no control
//   byte, no byte above 0x7E, no "\" and no "#";
// - the path is percent-decoded once ("%252e" stays the three characters
//   "%2e"); a malformed escape, a decoded NUL or other control byte, or a
//   decoded "\" is refused;
// - the decoded path is split at "/"; empty segments ("//") are dropped, a
//   segment "." or ".." (also when it was written "%2e%2e" or came with an
//   encoded "%2f") is refused;
// - a segment that begins with "." (a hidden file) names nothing.
#include <string>
#include <string_view>
#include <vector>

namespace vyr::home {

inline constexpr size_t kMaxTargetLength = 8192;
inline constexpr size_t kMaxPathLength = 2048;
inline constexpr size_t kMaxSegmentLength = 255;
inline constexpr size_t kMaxSegments = 32;

struct TargetParts {
  std::string_view path;   // raw, still escaped
  std::string_view query;  // raw, after the first "?" (empty when none)
  bool hasQuery = false;
};

// Splits at the first "?".
TargetParts SplitTarget(std::string_view target);

// Checks the raw target's bytes and form (the first rule above). Empty when
// acceptable, else why not.
std::string CheckRawTarget(std::string_view target);

enum class PathVerdict {
  kOk,
  kBadRequest,  // malformed or trying to leave the folder: 400
  kNotFound,    // well-formed, but names nothing that is served: 404
};

struct DecodedPath {
  PathVerdict verdict = PathVerdict::kBadRequest;
  std::string reason;                 // why it was refused
  std::vector<std::string> segments;  // decoded, none empty, "." or ".."
  bool trailingSlash = false;         // the decoded path ended in "/"
};

// Decodes and checks a raw path (the part of the target before "?").
DecodedPath DecodeRequestPath(std::string_view rawPath);

}  // namespace vyr::home
