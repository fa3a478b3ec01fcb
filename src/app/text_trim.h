#pragma once
// Blanks at the ends of a text the user typed or a file holds: spaces, tabs
// and line ends.
#include <string>
#include <string_view>

namespace vyr {

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

inline std::string TrimBlanks(std::string_view s) {
  size_t begin = 0, end = s.size();
  while (begin < end && IsBlank(s[begin])) ++begin;
  while (end > begin && IsBlank(s[end - 1])) --end;
  return std::string(s.substr(begin, end - begin));
}

}  // namespace vyr
