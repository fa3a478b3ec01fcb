#pragma once
// Text measurement for laying out rich text the way the editor shows it.
// The widths come from the system's font machinery (Pango over fontconfig):
// a face name that is not installed is measured in the face fontconfig
// substitutes for it, as the editor would show it.
#include <string>
#include <string_view>

namespace vyr::platform {

// True when text can be measured at all (a font map exists and a plain
// letter has a width). Decided once per process.
bool TextMeasureAvailable();

// The advance width, in twips (1/1440 inch), of a run of UTF-8 text set on
// one line in the given face, character height in twips, bold and italic.
// An empty face means the system's default sans-serif face; a height of 0 or
// less means 240 twips (12 points). Invalid UTF-8 is measured with the
// replacement character in place of each bad byte. 0 for an empty text or
// when measurement is not available. Safe to call from any thread (calls are
// serialised).
int MeasureTextWidth(std::string_view utf8, const std::string& face, int heightTwips, bool bold,
                     bool italic);

}  // namespace vyr::platform
