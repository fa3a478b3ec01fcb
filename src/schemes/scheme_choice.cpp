#include "schemes/scheme_choice.h"

#include <cstdio>

#include "base/application.h"
#include "base/message_box.h"
#include "base/text_trim.h"
#include "platform/file_system.h"
#include "platform/folder_listing.h"
#include "platform/windows_dir.h"
#include "platform/text.h"

namespace vyr {

namespace {



unsigned Little(const std::string& data, size_t at, int bytes) {
  unsigned value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value * 256 + static_cast<unsigned char>(data[at + i]);
  return value;
}

// The current scheme's own folder, with a trailing "/"; empty when "media"
// cannot be made.
std::string OwnSchemeFolder(const Application& app) {
  const std::string media = app.GetDataDirectory("media", true);
  return media.empty() ? std::string() : media + app.CurrentSchemeName() + "/";
}

constexpr ColorRef kTipTextWhenMissing = 0x57B2B2;

}  // namespace

std::vector<std::string> ListSchemes(const Application& app) {
  const std::string media = app.GetDataDirectory("media", false);
  return media.empty() ? std::vector<std::string>{} : platform::ListSubfolders(media);
}

int BmpColourTableSize(const std::string& path) {
  std::string data;
  if (!platform::ReadWholeFile(path, data) || data.size() < 26 || data.compare(0, 2, "BM") != 0) {
    return -1;
  }
  const unsigned headerSize = Little(data, 14, 4);
  unsigned bitCount = 0, used = 0;
  if (headerSize == 12) {  // the old core header: bit count at 24, no count of colours used
    bitCount = Little(data, 24, 2);
  } else if (headerSize >= 40 && data.size() >= 50) {
    bitCount = Little(data, 28, 2);
    used = Little(data, 46, 4);
  } else {
    return -1;
  }
  if (bitCount == 0 || bitCount > 8) return 0;
  const unsigned full = 1u << bitCount;
  return static_cast<int>(used != 0 && used < full ? used : full);
}

bool SchemeFancyWindows(const Application& app, const std::string& scheme) {
  const std::string media = app.GetDataDirectory("media", false);
  if (media.empty()) return false;
  std::string file = media + "default/config.ini";
  if (platform::IsPlainFileName(scheme) && platform::FileExists(media + scheme + "/config.ini")) {
    file = media + scheme + "/config.ini";
  }
  return SettingsStore::GetFrom(kSchemeFancyWindows, file) != 0;
}

LookOutcome ConfirmLookChoice(Application& app, MessageBoxService& boxes, const LookChoice& choice,
                              bool fancyBefore, const LookConfirm& with) {
  app.Write(kMiscPlaySounds, choice.playSounds ? 1 : 0);
  app.Write(kMiscPlayEssentialSoundsOnly, choice.essentialSoundsOnly ? 1 : 0);
  app.Write(kMiscTransitions, choice.transitions ? 1 : 0);
  app.SetSoundsEnabled(choice.playSounds);
  app.SetEssentialSoundsOnly(choice.essentialSoundsOnly);
  app.SetTransitionsEnabled(choice.transitions);

  const std::string old = app.CurrentSchemeName();
  if (platform::AsciiLower(choice.scheme) == platform::AsciiLower(old) && choice.fancyWindows == fancyBefore) {
    return LookOutcome::OptionsOnly;
  }

  app.SetCurrentSchemeName(choice.scheme);
  const std::string chosen = app.CurrentSchemeName();  // a name that is no folder name is not taken
  app.Write(kMiscUserDir, chosen);
  if (with.colourCount) app.SetColourCount(with.colourCount());

  if (app.ColourCount() == 256 &&
      BmpColourTableSize(app.ResolveSchemeFile("chanbar.bmp", true)) > 16) {
    app.SetCurrentSchemeName(old);
    app.Write(kMiscUserDir, old);
    bool ownBox = false;
    bool* dontShowAgain = with.dontShowAgain ? with.dontShowAgain : &ownBox;
    const int answer = boxes.Question(
        "Sorry, your color resolution isn't\r\nhigh enough to display this scheme.\r\n"
        "You can change your resolution\r\nin the system control panel\r\n\r\n"
        "Switch Scheme Anyway ?",
        "Bad Color Resolution", dontShowAgain);
    if (answer != IDYES && answer != IDOK) return LookOutcome::Declined;
    app.SetCurrentSchemeName(chosen);
    app.Write(kMiscUserDir, chosen);
  }

  // The frame setting belongs to the scheme now current: the new one.
  app.Write(kSchemeFancyWindows, choice.fancyWindows ? 1 : 0);
  return LookOutcome::Switched;
}

bool CreateScheme(Application& app, MessageBoxService& boxes, std::string& name, bool ownChannels) {
  name = TrimBlanks(name);
  if (name.empty() || !platform::IsPlainFileName(name)) {
    boxes.Error("Invalid Scheme Name");
    return false;
  }
  const std::string media = app.GetDataDirectory("media", true);
  const std::string folder = media.empty() ? std::string() : media + name;
  // An existing folder is another scheme: it is never taken over.
  if (folder.empty() || platform::DirectoryExists(folder) || !platform::CreateDirectories(folder)) {
    boxes.Error("Error Creating Scheme");
    return false;
  }
  const std::string defaults = media + "default/";
  platform::CopyWholeFile(defaults + "config.ini", folder + "/config.ini");
  if (ownChannels) {
    // The default scheme's channel set when it has one, else the user's own.
    if (!platform::CopyWholeFile(defaults + "chanuser.vyr", folder + "/chanuser.vyr")) {
      platform::CopyWholeFile(platform::JoinPath(app.WindowsDirectory(), "vyrchan1.vyr"),
                              folder + "/chanuser.vyr");
    }
  }
  return true;
}

CustomColours ReadCustomColours(const Application& app) {
  const SchemeLook defaults = DefaultSchemeLook();
  CustomColours colours{};
  for (size_t i = 0; i < kCustomColours.size(); ++i) {
    const SchemeColour which = kCustomColours[i];
    const auto setting = kSchemeColour.At(SchemeColourKey(which));
    const std::string value = app.Get(setting);
    const ColorRef fallback =
        which == SchemeColour::ToolBarTipText && value == setting.Default() ? kTipTextWhenMissing
                                                                 : defaults.Colour(which);
    colours[i] = ParseSchemeColour(value, fallback);
  }
  return colours;
}

void SaveCustomColours(Application& app, const CustomColours& colours) {
  app.Write(kMiscUserDir, app.CurrentSchemeName());
  for (size_t i = 0; i < kCustomColours.size(); ++i) {
    app.Write(kSchemeColour.At(SchemeColourKey(kCustomColours[i])), FormatSchemeColour(colours[i]));
  }
}

std::string SchemeLogoField(const Application& app) {
  const std::string folder = OwnSchemeFolder(app);
  return !folder.empty() && platform::FileExists(folder + "logo.bmp") ? "logo.bmp" : "--DEFAULT--";
}

bool SetSchemeLogo(const Application& app, const std::string& bitmap) {
  const std::string folder = OwnSchemeFolder(app);
  return !folder.empty() && platform::CreateDirectories(folder) &&
         platform::CopyWholeFile(bitmap, folder + "logo.bmp");
}

bool RemoveSchemeLogo(const Application& app) {
  const std::string folder = OwnSchemeFolder(app);
  if (folder.empty()) return true;
  std::remove((folder + "logo.bmp").c_str());
  return !platform::FileExists(folder + "logo.bmp");
}

}  // namespace vyr
