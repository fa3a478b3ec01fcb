// The scheme look: colours, fonts, caption buttons, pictures and the logo.
#include "schemes/scheme_look.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using test::WriteFile;

TEST(SchemeLookTest, ColourValues) {
  const std::pair<const char*, ColorRef> cases[] = {
      {"255,0,0", 0x0000FF},   {"300,0,0", 0x00002C},       {"0,128,255", 0xFF8000},
      {" 10, 20 ,30x", 0x1E140A}, {"-1,0,0", 0x0000FF},     {"a,b,c", 0x000000},
      {"12,34", 0x123456},     {"NONE", 0x123456},          {"", 0x123456},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(ParseSchemeColour(value, 0x123456), expected) << value;
  }
  EXPECT_EQ(FormatSchemeColour(0x2C8001), "1,128,44");
}

// A BMP file: the 14-byte file header, a 40-byte header, `pixels` bytes.
std::string Bmp(int width, int height, int bits, size_t pixels, int compression = 0) {
  std::string b(54 + pixels, '\0');
  auto put = [&b](size_t at, long value, int size) {
    for (int i = 0; i < size; ++i) b[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  b[0] = 'B', b[1] = 'M';
  put(2, static_cast<long>(b.size()), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, width, 4);
  put(22, height, 4);
  put(26, 1, 2);
  put(28, bits, 2);
  put(30, compression, 4);
  return b;
}

TEST(SchemeLookTest, WholeBmpFiles) {
  // Rows are padded to 4 bytes.
  std::string core = Bmp(2, 2, 24, 16).substr(0, 26) + std::string(16, '\0');
  core[14] = 12, core[15] = 0, core[10] = 26;
  core[18] = 2, core[19] = 0, core[20] = 2, core[21] = 0, core[22] = 1, core[23] = 0, core[24] = 24, core[25] = 0;
  std::string hugeHeader = Bmp(2, 2, 24, 16);  // a header length of 0xFFFFFFF5
  hugeHeader[14] = '\xF5', hugeHeader[15] = hugeHeader[16] = hugeHeader[17] = '\xFF';
  const std::pair<std::string, bool> cases[] = {
      {Bmp(2, 2, 24, 16), true},    {Bmp(2, -2, 24, 16), true},  {Bmp(3, 5, 8, 20), true},
      {Bmp(2, 2, 24, 15), false},   {Bmp(2, 0, 24, 0), false},   {Bmp(0, 2, 24, 16), false},
      {Bmp(2, 2, 7, 16), false},    {Bmp(3, 5, 8, 19), false},   {Bmp(2, 2, 8, 3, 1), true},
      {core, true},                 {core.substr(0, 41), false}, {Bmp(2, 2, 24, 16).substr(0, 40), false},
      {"GIF89a", false},            {"", false},                 {hugeHeader, false},
  };
  int row = 0;
  for (const auto& [bytes, whole] : cases) EXPECT_EQ(BmpIsWhole(bytes), whole) << "case " << row++;
}

class SchemeLookFilesTest : public ::testing::Test, protected test::TestApp {
 protected:
  std::string Media(const std::string& name) { return home.Path() + "/vyrelle/media/" + name; }
};

TEST_F(SchemeLookFilesTest, KeysFilesAndFallBack) {
  WriteFile(Media("default/config.ini"),
            "[Colors]\nToolBarText=1,2,3\nFoldersText=10,20,30\nFoldersTextSelected=9,9,9\n"
            "ToolBarBack=12,34\n[Fonts]\nToolbarFace=Ocean Sans\nToolbarWeight=700\n"
            "[misc]\nunderline_rollover=1\n[CaptionButtons]\nMimimizeTop=7\nMinimizeTop=99\n"
            "CloseLeft=40\n");
  WriteFile(Media("default/chanbar.bmp"), "BM");
  WriteFile(Media("default/toolbar.bmp"), "BM");
  WriteFile(Media("Ocean/toolbar.bmp"), "BM");  // the scheme's only file
  app.SetCurrentSchemeName("Ocean");
  const SchemeLook look = LoadSchemeLook(app);

  const std::pair<SchemeColour, ColorRef> colours[] = {
      {SchemeColour::ToolBarTextRollover, 0x030201}, {SchemeColour::ToolBarTextDisabled, 0x030201},
      {SchemeColour::FoldersTextRollover, 0x1E140A}, {SchemeColour::FoldersTextSelected, 0x090909},
      {SchemeColour::FoldersTextDisabled, 0x1E140A}, {SchemeColour::SitesTextRollover, 0x000000},
      {SchemeColour::ToolBarBack, 0xA0BEBE},          {SchemeColour::CaptionBack, 0xFF00FF},
      {SchemeColour::ButtonBack, 0xA2C0C0},
  };
  for (const auto& [which, expected] : colours) {
    EXPECT_EQ(look.Colour(which), expected) << SchemeColourKey(which);
  }

  const auto font = [&](SchemeFont f) {
    const SchemeFontSpec& s = look.Font(f);
    return std::make_tuple(s.face, s.weight, s.points, s.underline);
  };
  EXPECT_EQ(font(SchemeFont::ToolbarRollover), std::make_tuple("Ocean Sans", 700, 9, true));
  EXPECT_EQ(font(SchemeFont::Toolbar), std::make_tuple("Ocean Sans", 700, 9, false));
  EXPECT_EQ(font(SchemeFont::URLBar), std::make_tuple("MS Sans Serif", 400, 8, false));
  EXPECT_EQ(font(SchemeFont::Caption), std::make_tuple("MS Sans Serif", 600, 8, false));

  EXPECT_EQ(std::make_tuple(look.minimizeButton.top, look.minimizeButton.left, look.closeButton.left),
            std::make_tuple(7, 78, 40));

  EXPECT_EQ(look.imageFiles[static_cast<int>(SchemeImages::Toolbar)], Media("Ocean/toolbar.bmp"));
  EXPECT_EQ(look.imageFiles[static_cast<int>(SchemeImages::ChanBar)], Media("default/chanbar.bmp"));
  EXPECT_EQ(look.imageFiles[static_cast<int>(SchemeImages::Numbers)], "");  // compiled-in
  EXPECT_EQ(look.logoFile, "");
}

TEST_F(SchemeLookFilesTest, LogoSecondTryByColourCount) {
  struct Case {
    int colours;
    const char* scheme;
    std::vector<const char*> withLogo;
    const char* expected;  // the folder whose logo is used; "" compiled-in
  };
  const Case cases[] = {
      {300, "Ocean", {"Oceandefault"}, "Oceandefault"},
      {256, "Ocean", {"OceanLowColor", "Oceandefault"}, "OceanLowColor"},
      {257, "Ocean", {"OceanLowColor", "Oceandefault"}, ""},
      {300, "Ocean", {"Ocean", "Oceandefault"}, "Ocean"},
      {300, "Ocean", {"default", "Oceandefault"}, "default"},
      {16, "lowCOLOR", {"lowCOLORLowColor"}, ""},
      {300, "DEFAULT", {"DEFAULTdefault"}, ""},
  };
  for (const Case& c : cases) {
    fs::remove_all(Media(""));
    for (const char* folder : c.withLogo) WriteFile(Media(std::string(folder) + "/logo.bmp"), "BM");
    app.SetColourCount(c.colours);
    app.SetCurrentSchemeName(c.scheme);
    const std::string expected = *c.expected ? Media(std::string(c.expected) + "/logo.bmp") : "";
    EXPECT_EQ(LoadSchemeLook(app).logoFile, expected) << c.colours << " " << c.scheme;
  }
}

}  // namespace
}  // namespace vyr
