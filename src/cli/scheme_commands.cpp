// "scheme look": the current scheme's look as the program reads it (for
// support and tests); "scheme seed [DIR]": fill the data root from the
// shipped files.
#include <string>
#include <vector>

#include "app/data_seeding.h"
#include "cli/cli_context.h"
#include "platform/process.h"
#include "schemes/scheme_look.h"

namespace vyr::cli {

namespace {

const char* Shown(const std::string& file) { return file.empty() ? "(built in)" : file.c_str(); }

void PrintLook(std::ostream& out, const Application& app, const SchemeLook& look) {
  out << "scheme: " << app.CurrentSchemeName() << "\n";
  const auto& b = look.windowButtons;
  out << "WindowButtons: top " << b.top << ", gap " << b.gap << ", width " << b.width
      << ", height " << b.height << ", right gap " << b.rightGap << "\n";
  for (int i = 0; i < static_cast<int>(SchemeFont::Count); ++i) {
    const SchemeFontSpec& f = look.fonts[i];
    out << "font " << SchemeFontName(static_cast<SchemeFont>(i)) << ": " << f.face << ", weight "
        << f.weight << ", " << f.points << " pt" << (f.underline ? ", underlined" : "") << "\n";
  }
  for (int i = 0; i < static_cast<int>(SchemeColour::Count); ++i) {
    out << "colour " << SchemeColourKey(static_cast<SchemeColour>(i)) << ": "
        << FormatSchemeColour(look.colours[i]) << "\n";
  }
  auto margins = [&](const char* name, const SchemeMargins& m) {
    out << "margins " << name << ": " << m.top << " " << m.left << " " << m.right << " "
        << m.bottom << "\n";
  };
  margins("Folders", look.folders);
  margins("Sites", look.sites);
  margins("Buttons", look.buttons);
  const auto& fw = look.fancy;
  out << "FancyWindows: " << look.fancyWindows << ", caption margins " << fw.leftMargin << " "
      << fw.rightMargin << " " << fw.topMargin << ", menu top " << fw.menuTopMargin
      << ", centred " << fw.centerCaption << "\n";
  auto button = [&](const char* name, const SchemeLook::CaptionButton& cb) {
    out << "caption button " << name << ": " << cb.top << " " << cb.left << " " << cb.width << " "
        << cb.height << "\n";
  };
  button("Close", look.closeButton);
  button("Restore", look.restoreButton);
  button("Minimize", look.minimizeButton);
  out << "SupportEmail: " << look.supportEmail << "\n";
  for (int i = 0; i < static_cast<int>(SchemeImages::Count); ++i) {
    const SchemeImageSpec& spec = ImageSpec(static_cast<SchemeImages>(i));
    out << "image " << spec.file << " (" << spec.cellWidth << "): " << Shown(look.imageFiles[i])
        << "\n";
  }
  out << "logo: " << Shown(look.logoFile) << "\n";
}

}  // namespace

void AddSchemeLookCommands(CommandTree& tree, CLI::App& scheme) {
  tree.Command(scheme, "look",
               "the current scheme's look: fonts, colours\n"
               "(r,g,b), margins, caption settings and the file\n"
               "of every picture",
               [](Context& c, const CLI::App&) {
                 c.app.LoadStartupSettings();
                 PrintLook(c.out, c.app, LoadSchemeLook(c.app));
                 return 0;
               });
  tree.Command(scheme, "seed",
               "copy the shipped scheme files into the data\n"
               "root, keeping files there; prints the count",
               [](Context& c, const CLI::App& a) {
                 const std::string shipped =
                     Given(a, "DIR") ? Value(a, "DIR") : FindShippedDataFolder(platform::ProgramDirectory());
                 if (shipped.empty()) {
                   c.err << "vyrelle-cli: the shipped data folder was not found\n";
                   return 1;
                 }
                 const int copied = SeedDataRoot(shipped, c.app.Directories());
                 if (copied < 0) return 1;
                 c.out << copied << "\n";
                 return 0;
               })
      ->add_option("DIR", "the shipped files (else those beside or\ninstalled with the program)")
      ->check(CLI::Validator(CLI::ExistingDirectory).description(""));
}

}  // namespace vyr::cli
