#pragma once
// The spelling dialog's and the question before sending's texts, numbers of
// the string table (res/strings). The check's result line is the logic's
// (mail/body/spelling).
#include "platform/string_table.h"

namespace spell_text {

using vyr::platform::TextId;

// The spelling dialog. Each button has its own key letter (Alt+C, L, I, G,
// A in English); Cancel has none and answers Escape.
inline constexpr TextId kDialogTitle{40901};
inline constexpr TextId kNotInDictionary{40902};
inline constexpr TextId kChangeTo{40903};
inline constexpr TextId kSuggestions{40904};
inline constexpr TextId kChange{40905};
inline constexpr TextId kChangeAll{40906};
inline constexpr TextId kIgnore{40907};
inline constexpr TextId kIgnoreAll{40908};
inline constexpr TextId kAdd{40909};
inline constexpr TextId kCancel{40910};

// The question before sending.
inline constexpr TextId kOptionsTitle{40915};
inline constexpr TextId kQuestion{40916};
inline constexpr TextId kAlwaysQuestion{40917};
inline constexpr TextId kNeverQuestion{40918};
inline constexpr TextId kAlwaysBox{40919};
inline constexpr TextId kNeverBox{40920};

}  // namespace spell_text
