#include "schemes/scheme_look.h"

#include <cstdio>
#include <cstdlib>

#include "base/application.h"
#include "platform/file_system.h"
#include "platform/windows_dir.h"
#include "platform/text.h"

namespace vyr {

namespace {

// One colour key: its name and its default, either a fixed colour or the
// colour of an earlier key of the same table as just read.
struct ColourKey {
  SchemeColour which;
  const char* name;
  ColorRef fixed;
  SchemeColour sameAs;  // Count: the fixed value
};

constexpr SchemeColour kFixed = SchemeColour::Count;

// In the order they are read, so that a default naming another key always
// finds that key already read.
constexpr ColourKey kColourKeys[] = {
    {SchemeColour::StatusBarText, "StatusBarText", 0x000000, kFixed},
    {SchemeColour::FancyHeaderText, "FancyHeaderText", 0x000000, kFixed},
    {SchemeColour::ToolBarText, "ToolBarText", 0x000000, kFixed},
    {SchemeColour::ToolBarTextRollover, "ToolBarTextRollover", 0, SchemeColour::ToolBarText},
    {SchemeColour::ToolBarTextSelected, "ToolBarTextSelected", 0, SchemeColour::ToolBarText},
    {SchemeColour::ToolBarTextDisabled, "ToolBarTextDisabled", 0, SchemeColour::ToolBarText},
    {SchemeColour::ToolBarBack, "ToolBarBack", 0xA0BEBE, kFixed},
    {SchemeColour::ToolBarTipBack, "ToolBarTipBack", 0xEAEAEA, kFixed},
    {SchemeColour::ToolBarTipText, "ToolBarTipText", 0x000000, kFixed},
    {SchemeColour::FoldersBack, "FoldersBack", 0x649696, kFixed},
    {SchemeColour::FoldersText, "FoldersText", 0x000000, kFixed},
    {SchemeColour::FoldersTextRollover, "FoldersTextRollover", 0, SchemeColour::FoldersText},
    {SchemeColour::FoldersTextSelected, "FoldersTextSelected", 0, SchemeColour::FoldersText},
    {SchemeColour::FoldersTextDisabled, "FoldersTextDisabled", 0, SchemeColour::FoldersText},
    {SchemeColour::SitesBack, "SitesBack", 0x808040, kFixed},
    {SchemeColour::SitesText, "SitesText", 0x000000, kFixed},
    {SchemeColour::SitesTextRollover, "SitesTextRollover", 0, SchemeColour::SitesText},
    {SchemeColour::SitesTextSelected, "SitesTextSelected", 0, SchemeColour::SitesText},
    {SchemeColour::SitesTextDisabled, "SitesTextDisabled", 0, SchemeColour::SitesText},
    {SchemeColour::ButtonBack, "ButtonBack", 0xA2C0C0, kFixed},
    {SchemeColour::ButtonText, "ButtonText", 0x000000, kFixed},
    {SchemeColour::ButtonTextRollover, "ButtonTextRollover", 0, SchemeColour::ButtonText},
    {SchemeColour::ButtonTextSelected, "ButtonTextSelected", 0, SchemeColour::ButtonText},
    {SchemeColour::ButtonTextDisabled, "ButtonTextDisabled", 0, SchemeColour::ButtonText},
    {SchemeColour::LogoBack, "LogoBack", 0x000000, kFixed},
    {SchemeColour::MenuText, "MenuText", 0x000000, kFixed},
    {SchemeColour::MenuBack, "MenuBack", 0xC0C0C0, kFixed},
    {SchemeColour::CaptionText, "CaptionText", 0xFFFFFF, kFixed},
    {SchemeColour::CaptionBack, "CaptionBack", 0xFF00FF, kFixed},
};
static_assert(std::size(kColourKeys) == static_cast<size_t>(SchemeColour::Count));

struct FontKey {
  SchemeFont which;
  const char* name;  // for the listing, and the [Fonts] keys "<name>Face", "<name>Weight"
  int weight;
  int points;
};

// In the order they are made; the toolbar font under the pointer is the
// toolbar font's copy and has no keys of its own.
constexpr FontKey kFontKeys[] = {
    {SchemeFont::URLBar, "URLBar", 400, 8},
    {SchemeFont::Caption, "Caption", 600, 8},
    {SchemeFont::Toolbar, "Toolbar", 550, 9},
    {SchemeFont::ToolbarRollover, "ToolbarRollover", 550, 9},
    {SchemeFont::Channel, "Channel", 500, 9},
    {SchemeFont::Folder, "Folder", 500, 9},
    {SchemeFont::Sites, "Sites", 500, 9},
};
static_assert(std::size(kFontKeys) == static_cast<size_t>(SchemeFont::Count));

constexpr SchemeImageSpec kImageSpecs[] = {
    {"BigButtons.bmp", 24},       {"captionbar.bmp", 48},
    {"borders.bmp", 10},          {"chanicon.bmp", 24},
    {"littlebuttons.bmp", 24},    {"chanbar.bmp", 24},
    {"toolbar.bmp", 24},          {"toolbar_disabled.bmp", 24},
    {"toolbar_rollover.bmp", 24}, {"folderbar.bmp", 24},
    {"folderbar_disabled.bmp", 24}, {"folderbar_rollover.bmp", 24},
    {"small_images.bmp", 24},     {"vyrpad.bmp", 24},
    {"vyrpad_rollover.bmp", 24},  {"backtile.bmp", 60},
    {"emotions.bmp", 60},         {"numbers.bmp", 32},
    {"statusani.bmp", 48},        {"chanedit.bmp", 16},
    {"cpanel.bmp", 32},           {"dialup.bmp", 128},
    {"dialupani.bmp", 122},       {"logotop.bmp", 0},
    {"logobottom.bmp", 0},
};
static_assert(std::size(kImageSpecs) == static_cast<size_t>(SchemeImages::Count));

// A scheme file that is there to be loaded: the scheme's own, else the
// default scheme's; empty when neither has it.
std::string ExistingSchemeFile(const Application& app, const std::string& name) {
  std::string path = app.ResolveSchemeFile(name, true);
  return platform::FileExists(path) ? path : std::string();
}

// The file of another scheme folder, with the same fall-back to "default".
std::string ExistingFileOfScheme(const Application& app, const std::string& scheme,
                                 const std::string& name) {
  const std::string root = app.Directories().Root();
  if (root.empty()) return {};
  const std::string media = platform::JoinPath(root, "media");
  std::string path = platform::JoinPath(platform::JoinPath(media, scheme), name);
  if (platform::FileExists(path)) return path;
  path = platform::JoinPath(platform::JoinPath(media, "default"), name);
  return platform::FileExists(path) ? path : std::string();
}

// The "default" scheme's file when path is another scheme's own and the
// default has one too; else empty.
std::string DefaultSchemeFallback(const Application& app, const std::string& path, const std::string& name) {
  if (path.empty()) return {};
  const std::string root = app.Directories().Root();
  if (root.empty()) return {};
  const std::string fallback =
      platform::JoinPath(platform::JoinPath(platform::JoinPath(root, "media"), "default"), name);
  return fallback != path && platform::FileExists(fallback) ? fallback : std::string();
}

}  // namespace

ColorRef ParseSchemeColour(const std::string& value, ColorRef fallback) {
  const size_t first = value.find(',');
  if (first == std::string::npos) return fallback;
  const size_t second = value.find(',', first + 1);
  if (second == std::string::npos) return fallback;
  // Each part is read as a decimal number the way atoi reads it (leading
  // blanks, a sign, digits up to the first other character) and cut to 8 bits.
  auto part = [&](size_t from, size_t to) {
    const std::string text = value.substr(from, to - from);
    return static_cast<ColorRef>(std::strtol(text.c_str(), nullptr, 10)) & 0xFF;
  };
  const ColorRef r = part(0, first);
  const ColorRef g = part(first + 1, second);
  const ColorRef b = part(second + 1, value.size());
  return r | (g << 8) | (b << 16);
}

std::string FormatSchemeColour(ColorRef colour) {
  char text[16];
  std::snprintf(text, sizeof text, "%d,%d,%d", static_cast<int>(colour & 0xFF),
                static_cast<int>((colour >> 8) & 0xFF), static_cast<int>((colour >> 16) & 0xFF));
  return text;
}

namespace {
// The little-endian number of `size` bytes at `at`.
std::uint32_t Little(const std::string& bytes, size_t at, size_t size) {
  std::uint32_t value = 0;
  for (size_t i = 0; i < size; ++i)
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return value;
}
}  // namespace

bool BmpIsWhole(const std::string& bytes) {
  if (bytes.size() < 26 || bytes.compare(0, 2, "BM") != 0) return false;
  const std::uint32_t header = Little(bytes, 14, 4);
  std::int64_t width = 0, height = 0;
  std::uint32_t bits = 0, compression = 0;
  if (header == 12) {
    width = static_cast<std::int16_t>(Little(bytes, 18, 2));
    height = static_cast<std::int16_t>(Little(bytes, 20, 2));
    bits = Little(bytes, 24, 2);
  } else if (header >= 40 && bytes.size() >= 34) {
    width = static_cast<std::int32_t>(Little(bytes, 18, 4));
    height = static_cast<std::int32_t>(Little(bytes, 22, 4));
    bits = Little(bytes, 28, 2);
    compression = Little(bytes, 30, 4);
  } else {
    return false;
  }
  if (width <= 0 || height == 0 || width > 32768 || height > 32768 || height < -32768) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (compression != 0) return true;  // packed rows: the reader checks them as it goes
  const std::uint64_t row = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
  const std::uint64_t rows = static_cast<std::uint64_t>(height < 0 ? -height : height);
  const std::uint64_t offset = Little(bytes, 10, 4);
  // The pixels start after the headers and end inside the file (64-bit sums:
  // a header length near 4 GB must not wrap round).
  return offset >= 14 + std::uint64_t{header} && offset + row * rows <= bytes.size();
}

const SchemeImageSpec& ImageSpec(SchemeImages which) {
  return kImageSpecs[static_cast<int>(which)];
}

const char* SchemeColourKey(SchemeColour which) {
  for (const ColourKey& k : kColourKeys) {
    if (k.which == which) return k.name;
  }
  return "";
}

const char* SchemeFontName(SchemeFont which) {
  for (const FontKey& k : kFontKeys) {
    if (k.which == which) return k.name;
  }
  return "";
}

std::string LogoSecondSchemeName(const std::string& scheme, int colourCount) {
  if (colourCount <= 256) {
    return platform::AsciiLower(scheme) == "lowcolor" ? std::string() : scheme + "LowColor";
  }
  if (colourCount == 257) return {};
  return platform::AsciiLower(scheme) == "default" ? std::string() : scheme + "default";
}

namespace {

// The value a missing key reads as: the look of no "config.ini" at all.
int DefaultOf(const IntSetting& s) { return s.defaultValue; }
std::string DefaultOf(const StringSetting& s) { return std::string(s.defaultValue); }
int DefaultOf(const SettingMember<IntSetting>& m) { return m.Default(); }
std::string DefaultOf(const SettingMember<StringSetting>& m) { return std::string(m.Default()); }

// Reads every "config.ini" value through the reader, which answers the
// setting's default when a key is missing.
template <typename Read>
SchemeLook ReadLook(Read read) {
  SchemeLook look;

  auto& b = look.windowButtons;
  b.top = read(kSchemeWindowButtonsTop);
  b.gap = read(kSchemeWindowButtonsGap);
  b.width = read(kSchemeWindowButtonsWidth);
  b.height = read(kSchemeWindowButtonsHeight);
  b.rightGap = read(kSchemeWindowButtonsRightGap);

  look.underlineRollover = read(kSchemeUnderlineRollover) != 0;
  for (const FontKey& k : kFontKeys) {
    SchemeFontSpec& font = look.fonts[static_cast<int>(k.which)];
    if (k.which == SchemeFont::ToolbarRollover) {
      font = look.Font(SchemeFont::Toolbar);
      font.underline = look.underlineRollover;
      continue;
    }
    font.face = read(kSchemeFontFace.At(k.name));
    font.weight = read(kSchemeFontWeight.At(k.name, k.weight));
    font.points = k.points;
  }

  for (const ColourKey& k : kColourKeys) {
    const ColorRef fallback = k.sameAs == kFixed ? k.fixed : look.Colour(k.sameAs);
    look.colours[static_cast<int>(k.which)] = ParseSchemeColour(read(kSchemeColour.At(k.name)), fallback);
  }

  struct MarginKeys {
    SchemeMargins* margins;
    const char* strip;
  };
  for (const MarginKeys& m : {MarginKeys{&look.folders, "Folders"}, MarginKeys{&look.sites, "Sites"},
                              MarginKeys{&look.buttons, "Buttons"}}) {
    m.margins->top = read(kSchemeMarginTop.At(m.strip));
    m.margins->left = read(kSchemeMarginLeft.At(m.strip));
    m.margins->right = read(kSchemeMarginRight.At(m.strip));
    m.margins->bottom = read(kSchemeMarginBottom.At(m.strip));
  }

  look.fancyWindows = read(kSchemeFancyWindows) != 0;
  look.fancy.leftMargin = read(kSchemeCaptionLeftMargin);
  look.fancy.rightMargin = read(kSchemeCaptionRightMargin);
  look.fancy.topMargin = read(kSchemeCaptionTopMargin);
  look.fancy.menuTopMargin = read(kSchemeMenuTopMargin);
  look.fancy.centerCaption = read(kSchemeCenterCaption) != 0;

  // A button's top is stored under its own spelling of the name.
  auto button = [&](const char* topName, const char* name, SchemeLook::CaptionButton& to) {
    to.top = read(kSchemeCaptionButtonTop.At(topName, to.top));
    to.left = read(kSchemeCaptionButtonLeft.At(name, to.left));
    to.width = read(kSchemeCaptionButtonWidth.At(name, to.width));
    to.height = read(kSchemeCaptionButtonHeight.At(name, to.height));
  };
  button("Close", "Close", look.closeButton);
  button("Restore", "Restore", look.restoreButton);
  button("Mimimize", "Minimize", look.minimizeButton);  // the stored spelling

  look.supportEmail = read(kSchemeSupportEmail);
  return look;
}

}  // namespace

SchemeLook DefaultSchemeLook() {
  return ReadLook([](const auto& setting) { return DefaultOf(setting); });
}

SchemeLook LoadSchemeLook(const Application& app) {
  SchemeLook look = ReadLook([&](const auto& setting) { return app.Get(setting); });

  for (int i = 0; i < static_cast<int>(SchemeImages::Count); ++i) {
    look.imageFiles[i] = ExistingSchemeFile(app, kImageSpecs[i].file);
    look.imageFallbackFiles[i] = DefaultSchemeFallback(app, look.imageFiles[i], kImageSpecs[i].file);
  }

  look.logoFile = ExistingSchemeFile(app, "logo.bmp");
  if (look.logoFile.empty()) {
    const std::string second = LogoSecondSchemeName(app.CurrentSchemeName(), app.ColourCount());
    if (!second.empty()) look.logoFile = ExistingFileOfScheme(app, second, "logo.bmp");
  }
  look.logoFallbackFile = DefaultSchemeFallback(app, look.logoFile, "logo.bmp");
  return look;
}

}  // namespace vyr
