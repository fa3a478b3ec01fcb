#pragma once
// What a scheme decides about the look, read from its "config.ini" (with the
// fall-back to the "default" scheme) into plain values: window button
// metrics, fonts as face/weight/points, the colours as 0x00BBGGRR values, the
// strip margins, the skinned-frame settings, and for every image list the
// file that supplies it (or none: the compiled-in picture). No GUI types:
// CSchemeArt (src/ui/windows/scheme_art.h) turns this into fonts, brushes
// and image lists.
#include <array>
#include <cstdint>
#include <string>

namespace vyr {

class Application;

using ColorRef = std::uint32_t;  // red + 256 * green + 65536 * blue

// "r,g,b" → colour; each part cut to its low 8 bits; fewer than two commas,
// or the reader's "NONE", gives fallback.
ColorRef ParseSchemeColour(const std::string& value, ColorRef fallback);
std::string FormatSchemeColour(ColorRef colour);  // "%d,%d,%d"

enum class SchemeColour {
  StatusBarText, FancyHeaderText,
  ToolBarText, ToolBarTextRollover, ToolBarTextSelected, ToolBarTextDisabled,
  ToolBarBack, ToolBarTipBack, ToolBarTipText,
  FoldersBack, FoldersText, FoldersTextRollover, FoldersTextSelected, FoldersTextDisabled,
  SitesBack, SitesText, SitesTextRollover, SitesTextSelected, SitesTextDisabled,
  ButtonBack, ButtonText, ButtonTextRollover, ButtonTextSelected, ButtonTextDisabled,
  LogoBack, MenuText, MenuBack, CaptionText, CaptionBack,
  Count
};

enum class SchemeFont { URLBar, Caption, Toolbar, ToolbarRollover, Channel, Folder, Sites, Count };

struct SchemeFontSpec {
  std::string face;
  int weight = 400;
  int points = 8;
  bool underline = false;
};

// Every image list a scheme supplies, with its file name and cell width.
enum class SchemeImages {
  BigButtons, CaptionBar, Borders, ChanIcon, LittleButtons, ChanBar,
  Toolbar, ToolbarDisabled, ToolbarRollover,
  FolderBar, FolderBarDisabled, FolderBarRollover,
  SmallImages, VyrPad, VyrPadRollover, BackTile, Emotions, Numbers,
  StatusAni, ChanEdit, CPanel, Dialup, DialupAni, LogoTop, LogoBottom,
  Count
};

struct SchemeImageSpec {
  const char* file;   // "toolbar.bmp"
  int cellWidth;      // 24; a whole picture (logo pieces) uses its own width: 0
};
const SchemeImageSpec& ImageSpec(SchemeImages which);

struct SchemeMargins {
  int top = -1, left = -1, right = -1, bottom = -1;  // -1: the strip's own margin
};

struct SchemeLook {
  struct WindowButtons { int top = 10, gap = 2, width = 16, height = 16, rightGap = 10; } windowButtons;
  std::array<SchemeFontSpec, static_cast<int>(SchemeFont::Count)> fonts;
  bool underlineRollover = true;
  std::array<ColorRef, static_cast<int>(SchemeColour::Count)> colours{};
  SchemeMargins folders, sites, buttons;
  bool fancyWindows = false;
  // Skinned captions: where the caption text and the menu go.
  struct FancyCaption {
    int leftMargin = 90, rightMargin = 98, topMargin = 8, menuTopMargin = 24;
    bool centerCaption = false;
  } fancy;
  // Placement of the skinned caption's close, restore and minimise buttons.
  struct CaptionButton { int top = 4, left = 0, width = 22, height = 22; };
  CaptionButton closeButton{4, 32, 22, 22}, restoreButton{4, 55, 22, 22},
      minimizeButton{4, 78, 22, 22};
  std::string supportEmail;
  // The file each image list comes from, found with the fall-back rule;
  // empty: the compiled-in picture of that role.
  std::array<std::string, static_cast<int>(SchemeImages::Count)> imageFiles;
  std::string logoFile;  // empty: the compiled-in logo
  // The "default" scheme's file of the same name when imageFiles (logoFile)
  // is the scheme's own: what a damaged picture of the scheme falls back to
  // before the compiled-in one. Empty otherwise.
  std::array<std::string, static_cast<int>(SchemeImages::Count)> imageFallbackFiles;
  std::string logoFallbackFile;

  ColorRef Colour(SchemeColour which) const { return colours[static_cast<int>(which)]; }
  const SchemeFontSpec& Font(SchemeFont which) const { return fonts[static_cast<int>(which)]; }
};

// Reads the current scheme (the application's scheme name, its files with
// the fall-back to "default", the logo's second try by colour count).
SchemeLook LoadSchemeLook(const Application& app);
// The look when no "config.ini" is found: the defaults of every key, and the
// compiled-in pictures.
SchemeLook DefaultSchemeLook();

// The names used in "config.ini" and by "vyrelle-cli scheme look".
const char* SchemeColourKey(SchemeColour which);
const char* SchemeFontName(SchemeFont which);

// Whether the bytes of a ".bmp" file hold a picture that can be read whole:
// "BM", a core (12-byte) or newer (40 bytes and more) header, a width above
// 0, a height other than 0, a known bit count, and for uncompressed pixels
// every row inside the file. A damaged scheme picture falls back instead of
// reaching the picture reader.
bool BmpIsWhole(const std::string& bytes);

// The second name the logo is looked for under when the scheme's own (and
// the default scheme's) "logo.bmp" is missing, by the display's colour
// count; empty when there is no second try.
std::string LogoSecondSchemeName(const std::string& scheme, int colourCount);

}  // namespace vyr
