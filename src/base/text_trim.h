#pragma once
// Trimming a text the user typed or a file holds; the shared text helpers
// live in platform/text.h.
#include <string>
#include <string_view>

#include "platform/text.h"

namespace vyr {

inline bool IsBlank(char c) { return platform::kTypedBlanks.find(c) != std::string_view::npos; }

inline std::string TrimBlanks(std::string_view s) { return platform::Trim(s, platform::kTypedBlanks); }

}  // namespace vyr
