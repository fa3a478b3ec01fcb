#include "platform/text_measure.h"

#include <pango/pangoft2.h>

#include <cmath>
#include <mutex>

namespace vyr::platform {

namespace {

// The font map works at 1440 dots per inch, so one device unit is one twip
// and glyph hinting, which rounds to device units, costs at most a twip.
constexpr double kTwipsPerInch = 1440.0;
constexpr int kDefaultHeight = 240;
// Heights beyond what an editor offers (1638 points) are measured at that.
constexpr int kMaxHeight = 32760;

// One font map, context and layout for the process. Pango objects must not
// be used from two threads at once, so every use holds the mutex.
struct PangoMeasurer {
  std::mutex mutex;
  PangoFontMap* map = nullptr;
  PangoContext* context = nullptr;
  PangoLayout* layout = nullptr;
  bool available = false;

  PangoMeasurer() {
    map = pango_ft2_font_map_new();
    if (!map) return;
    pango_ft2_font_map_set_resolution(PANGO_FT2_FONT_MAP(map), kTwipsPerInch, kTwipsPerInch);
    context = pango_font_map_create_context(map);
    if (!context) return;
    pango_context_set_round_glyph_positions(context, FALSE);
    layout = pango_layout_new(context);
    if (!layout) return;
    pango_layout_set_single_paragraph_mode(layout, TRUE);
    // Without any usable font every width would be 0.
    available = Width("x", "", kDefaultHeight, false, false) > 0;
  }
  // The process keeps the font map until it ends; freeing it from a static
  // destructor could race with fontconfig's own clean-up.

  int WidthLocked(std::string_view utf8, const std::string& face, int height, bool bold, bool italic) {
    if (!available || utf8.empty()) return 0;
    return Width(utf8, face, height, bold, italic);
  }

  int Width(std::string_view utf8, const std::string& face, int height, bool bold, bool italic) {
    if (height <= 0) height = kDefaultHeight;
    if (height > kMaxHeight) height = kMaxHeight;
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, face.empty() ? "Sans" : face.c_str());
    pango_font_description_set_size(desc, height * PANGO_SCALE / 20);
    pango_font_description_set_weight(desc, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(desc, italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    const std::string text = ValidUtf8(utf8);
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    PangoRectangle logical{};
    pango_layout_get_extents(layout, nullptr, &logical);
    return static_cast<int>(std::lround(static_cast<double>(logical.width) / PANGO_SCALE));
  }

  // Pango refuses invalid UTF-8; every malformed byte becomes U+FFFD, which
  // has a width like any other character.
  static std::string ValidUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
      const unsigned char c = static_cast<unsigned char>(s[i]);
      size_t len = 0;
      unsigned cp = 0;
      if (c < 0x80) {
        len = 1;
        cp = c;
      } else if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
      } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
      } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
      }
      bool ok = len > 0 && i + len <= s.size();
      for (size_t k = 1; ok && k < len; ++k) {
        const unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) ok = false;
        cp = (cp << 6) | (cc & 0x3F);
      }
      if (ok && ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
                 (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))) {
        ok = false;
      }
      // A zero byte would end the text for Pango's C functions.
      if (ok && cp == 0) ok = false;
      if (ok) {
        out.append(s.substr(i, len));
        i += len;
      } else {
        out += "\xEF\xBF\xBD";
        ++i;
      }
    }
    return out;
  }
};

PangoMeasurer& Measurer() {
  static PangoMeasurer* measurer = new PangoMeasurer();
  return *measurer;
}

}  // namespace

bool TextMeasureAvailable() {
  PangoMeasurer& m = Measurer();
  std::lock_guard<std::mutex> lock(m.mutex);
  return m.available;
}

int MeasureTextWidth(std::string_view utf8, const std::string& face, int heightTwips, bool bold,
                     bool italic) {
  PangoMeasurer& m = Measurer();
  std::lock_guard<std::mutex> lock(m.mutex);
  return m.WidthLocked(utf8, face, heightTwips, bold, italic);
}

}  // namespace vyr::platform
