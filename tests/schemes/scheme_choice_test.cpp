#include "schemes/scheme_choice.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_system.h"
#include "platform/profile_file.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

// BMP headers with the given bit count and colours used; no pixels.
std::string Bmp(int bits, int used) {
  std::string h(54, '\0');
  h[0] = 'B', h[1] = 'M';
  h[14] = 40;
  h[18] = 24, h[22] = 24, h[26] = 1;
  h[28] = static_cast<char>(bits);
  h[46] = static_cast<char>(used & 0xFF), h[47] = static_cast<char>(used >> 8);
  return h;
}

int Profile(const test::TestApp& t, const char* key) {
  return platform::GetPrivateProfileInt("misc", key, -1, t.app.ProfilePath());
}

TEST(SchemeChoiceTest, ConfirmStepFollowsEveryRule) {
  struct Case {
    const char* name;
    const char* chosen;
    bool fancy;        // chosen frame; the dialog opened with false
    int colours;       // the display's colour count read again
    std::string chanbar;  // the chosen scheme's chanbar.bmp
    int answer;        // to the colour question
    LookOutcome outcome;
    const char* current;  // afterwards, and in [misc] userdir ("" not written)
    bool asked;
    int nightFancy;    // [Misc] FancyWindows of Night's config.ini, -1 none
    int defaultFancy;  // of default's config.ini
  };
  const Case cases[] = {
      {"same name in other case", "DEFAULT", false, 1 << 24, Bmp(8, 0), IDYES,
       LookOutcome::OptionsOnly, "default", false, -1, 0},
      {"same scheme, frame changed", "default", true, 1 << 24, Bmp(8, 0), IDYES,
       LookOutcome::Switched, "default", false, -1, 1},
      {"other scheme, true colour", "Night", true, 1 << 24, Bmp(8, 0), IDYES,
       LookOutcome::Switched, "Night", false, 1, 0},
      {"256 colours, 256-entry table, no", "Night", true, 256, Bmp(8, 0), IDNO,
       LookOutcome::Declined, "default", true, -1, 0},
      {"256 colours, 256-entry table, yes", "Night", false, 256, Bmp(8, 0), IDYES,
       LookOutcome::Switched, "Night", true, 0, 0},
      {"256 colours, 17 used", "Night", true, 256, Bmp(8, 17), IDNO,
       LookOutcome::Declined, "default", true, -1, 0},
      {"256 colours, 16 used", "Night", true, 256, Bmp(8, 16), IDNO,
       LookOutcome::Switched, "Night", false, 1, 0},
      {"256 colours, 24-bit picture", "Night", true, 256, Bmp(24, 0), IDNO,
       LookOutcome::Switched, "Night", false, 1, 0},
      {"257 colours", "Night", true, 257, Bmp(8, 0), IDNO,
       LookOutcome::Switched, "Night", false, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TestApp t;
    const std::string media = t.home.Path() + "/vyrelle/media/";
    test::WriteFile(media + "default/config.ini", "[Misc]\nFancyWindows=0\n[Colors]\nToolBarBack=1,2,3\n");
    test::WriteFile(media + "Night/chanbar.bmp", c.chanbar);
    t.app.LoadStartupSettings();
    t.boxes.answer = c.answer;
    t.boxes.tickCheckBox = true;
    bool dontShow = false;
    LookConfirm with;
    with.colourCount = [&] { return c.colours; };
    with.dontShowAgain = &dontShow;

    const LookChoice choice{c.chosen, c.fancy, false, true, false};
    EXPECT_EQ(ConfirmLookChoice(t.app, t.boxes, choice, false, with), c.outcome);

    // The sound options are saved and applied whatever else happens.
    EXPECT_EQ(Profile(t, "PlaySounds") * 100 + Profile(t, "PlayEssentialSoundsOnly") * 10 +
                  Profile(t, "Transitions"), 10);
    EXPECT_TRUE(!t.app.SoundsEnabled() && t.app.EssentialSoundsOnly() && !t.app.TransitionsEnabled());
    EXPECT_EQ(t.app.CurrentSchemeName(), c.current);
    const bool wroteUserdir = c.outcome != LookOutcome::OptionsOnly;
    EXPECT_EQ(t.app.GetString("misc", "userdir"), wroteUserdir ? c.current : "");
    ASSERT_EQ(t.boxes.boxes.size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_EQ(t.boxes.boxes[0].caption, "Bad Color Resolution");
      EXPECT_TRUE(dontShow);
    }
    const std::string night = media + "Night/config.ini";
    EXPECT_EQ(platform::GetPrivateProfileInt("Misc", "FancyWindows", -1, night), c.nightFancy);
    EXPECT_EQ(platform::GetPrivateProfileInt("Misc", "FancyWindows", -1, media + "default/config.ini"),
              c.defaultFancy);
    // A scheme written for the first time starts from the default's values.
    if (c.nightFancy >= 0) {
      EXPECT_EQ(platform::GetPrivateProfileString("Colors", "ToolBarBack", "", night), "1,2,3");
    }
  }
}

TEST(SchemeChoiceTest, CreateListColoursAndLogo) {
  test::TestApp t;
  const std::string media = t.home.Path() + "/vyrelle/media/";
  test::WriteFile(media + "default/config.ini",
                  "[Colors]\nToolBarBack=10,20,30\nFoldersText=300,0,1\nSitesBack=9,9\n");
  test::WriteFile(media + "default/chanuser.vyr", "channels");
  t.app.LoadStartupSettings();

  struct Create {
    const char* entered;
    bool own;
    const char* error;  // null: created
    const char* name;
  };
  const Create creates[] = {
      {"  Dusk \t", true, nullptr, "Dusk"}, {"Plain", false, nullptr, "Plain"},
      {"   ", false, "Invalid Scheme Name", ""}, {"a/b", false, "Invalid Scheme Name", "a/b"},
      {"..", false, "Invalid Scheme Name", ".."}, {"Dusk", false, "Error Creating Scheme", "Dusk"},
  };
  for (const Create& c : creates) {
    SCOPED_TRACE(c.entered);
    t.boxes.boxes.clear();
    std::string name = c.entered;
    EXPECT_EQ(CreateScheme(t.app, t.boxes, name, c.own), c.error == nullptr);
    EXPECT_EQ(name, c.name);
    ASSERT_EQ(t.boxes.boxes.size(), c.error ? 1u : 0u);
    if (c.error) {
      EXPECT_EQ(t.boxes.boxes[0].text, c.error);
    }
  }
  EXPECT_EQ(test::ReadFile(media + "Dusk/config.ini"), test::ReadFile(media + "default/config.ini"));
  EXPECT_EQ(test::ReadFile(media + "Dusk/chanuser.vyr"), "channels");
  EXPECT_FALSE(platform::FileExists(media + "Plain/chanuser.vyr"));
  EXPECT_FALSE(platform::DirectoryExists(t.home.Path() + "/vyrelle/a"));

  auto schemes = ListSchemes(t.app);
  std::sort(schemes.begin(), schemes.end());
  EXPECT_EQ(schemes, (std::vector<std::string>{"Dusk", "Plain", "default"}));

  // Colours: set, cut to 8 bits, malformed or missing (defaults).
  t.app.SetCurrentSchemeName("Dusk");
  const CustomColours read = ReadCustomColours(t.app);
  EXPECT_EQ(read, (CustomColours{0x1E140A, 0x000000, 0xEAEAEA, 0x57B2B2, 0x649696, 0x01002C,
                                 0x808040, 0x000000, 0xA2C0C0, 0x000000}));
  CustomColours changed = read;
  changed[1] = 0x0000FF;  // toolbar text red
  SaveCustomColours(t.app, changed);
  EXPECT_EQ(t.app.GetString("misc", "userdir"), "Dusk");
  EXPECT_EQ(test::ReadFile(media + "Dusk/config.ini"),
            "[Colors]\nToolBarBack=10,20,30\nFoldersText=44,0,1\nSitesBack=64,128,128\n"
            "ToolBarText=255,0,0\nToolBarTipBack=234,234,234\nToolBarTipText=178,178,87\n"
            "FoldersBack=150,150,100\nSitesText=0,0,0\nButtonBack=192,192,162\nButtonText=0,0,0\n");
  EXPECT_EQ(test::ReadFile(media + "default/chanuser.vyr"), "channels");

  // The logo: the default's until the scheme has its own.
  test::WriteFile(t.home.File("pick.bmp"), Bmp(24, 0));
  EXPECT_EQ(SchemeLogoField(t.app), "--DEFAULT--");
  EXPECT_TRUE(SetSchemeLogo(t.app, t.home.File("pick.bmp")));
  EXPECT_EQ(SchemeLogoField(t.app), "logo.bmp");
  EXPECT_EQ(test::ReadFile(media + "Dusk/logo.bmp"), Bmp(24, 0));
  EXPECT_FALSE(SetSchemeLogo(t.app, t.home.File("missing.bmp")));
  EXPECT_TRUE(RemoveSchemeLogo(t.app));
  EXPECT_EQ(SchemeLogoField(t.app), "--DEFAULT--");
}

}  // namespace
}  // namespace vyr
