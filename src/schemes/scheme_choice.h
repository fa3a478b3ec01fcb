#pragma once
// The rules behind the look-and-feel dialog: listing the schemes, the
// confirm step that switches to another scheme, creating a scheme, the ten
// colours a user may customise, and the scheme's own logo. The dialogs only
// show what these functions read and hand back what the user chose.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "schemes/scheme_look.h"

namespace vyr {

class Application;
class MessageBoxService;

// The sub-folders of the data folder "media" in directory order.
std::vector<std::string> ListSchemes(const Application& app);

// The number of entries of a BMP file's colour table: 0 for a picture of
// more than 8 bits per pixel (it has none); -1 when the file is missing or
// not a BMP.
int BmpColourTableSize(const std::string& path);

// What the user chose in the look-and-feel dialog.
struct LookChoice {
  std::string scheme;
  bool fancyWindows = false;
  bool playSounds = true;
  bool essentialSoundsOnly = false;
  bool transitions = true;
};

// [Misc] FancyWindows of a scheme's "config.ini", or of the default
// scheme's when it has none: what the dialog shows for a selected scheme.
bool SchemeFancyWindows(const Application& app, const std::string& scheme);

enum class LookOutcome {
  OptionsOnly,  // same scheme, same frame: only the sound options were saved
  Switched,     // the chosen scheme is current and saved: apply it now
  Declined,     // the colour question was answered no: the old scheme stays
};

struct LookConfirm {
  // Reads the display's colour count again; empty: the count the
  // application holds.
  std::function<int()> colourCount;
  // The state of the colour question's "Don't show me this again" box, in
  // and out; may be null.
  bool* dontShowAgain = nullptr;
};

// The confirm step of the look-and-feel dialog. fancyBefore: the frame
// setting the dialog was opened with.
LookOutcome ConfirmLookChoice(Application& app, MessageBoxService& boxes, const LookChoice& choice,
                              bool fancyBefore, const LookConfirm& with = {});

// Creates the scheme folder "media/<name>" (the name trimmed at both ends)
// with a copy of the default scheme's "config.ini", and with ownChannels a
// copy of the channel file. Shows "Invalid Scheme Name" or "Error Creating
// Scheme" and returns false on failure; name holds the trimmed name.
bool CreateScheme(Application& app, MessageBoxService& boxes, std::string& name, bool ownChannels);

// The ten colours of the customise dialog, in the order they are shown and
// written.
inline constexpr std::array<SchemeColour, 10> kCustomColours = {
    SchemeColour::ToolBarBack, SchemeColour::ToolBarText,  SchemeColour::ToolBarTipBack,
    SchemeColour::ToolBarTipText, SchemeColour::FoldersBack, SchemeColour::FoldersText,
    SchemeColour::SitesBack, SchemeColour::SitesText, SchemeColour::ButtonBack,
    SchemeColour::ButtonText};
using CustomColours = std::array<ColorRef, 10>;

// Reads the ten colours of the current scheme; a missing ToolBarTipText
// reads as 0x57B2B2.
CustomColours ReadCustomColours(const Application& app);
// Saves the current scheme as [misc] userdir and writes the ten colours in
// order into the scheme's own "config.ini".
void SaveCustomColours(Application& app, const CustomColours& colours);

// "logo.bmp" when the current scheme has a logo of its own, else
// "--DEFAULT--".
std::string SchemeLogoField(const Application& app);
// Copies a bitmap to the current scheme's "logo.bmp"; false on failure.
bool SetSchemeLogo(const Application& app, const std::string& bitmap);
// Deletes the current scheme's own "logo.bmp"; false when it is still there.
bool RemoveSchemeLogo(const Application& app);

}  // namespace vyr
