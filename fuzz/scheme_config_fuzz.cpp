// Feeds arbitrary bytes as the default scheme's "config.ini" (scheme packages
// come from anywhere) to the look reader: every colour stays a 24-bit value,
// no text is longer than the scheme buffer allows, and the toolbar font
// under the pointer is the toolbar font's copy.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/application.h"
#include "platform/profile_file.h"
#include "schemes/scheme_look.h"

namespace {
std::string Scratch() {
  // Under TMPDIR (scripts/fuzz.sh points it at the run's scratch folder).
  static std::string dir = [] {
    std::string pattern = std::filesystem::temp_directory_path() / "vyrelle-fuzz-XXXXXX";
    std::string made(::mkdtemp(pattern.data()));
    std::filesystem::create_directories(made + "/vyrelle/media/default");
    return made;
  }();
  return dir;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vyr::StderrMessageBox boxes;
  static vyr::SilentSoundPlayer sounds;
  static vyr::Application app(Scratch(), boxes, sounds);
  const std::string path = Scratch() + "/vyrelle/media/default/config.ini";
  // A plain write: the atomic one flushes to disk and would slow every run.
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  vyr::platform::ClearProfileCache();
  const vyr::SchemeLook look = vyr::LoadSchemeLook(app);
  for (vyr::ColorRef c : look.colours) {
    if (c > 0xFFFFFF) __builtin_trap();
  }
  for (const vyr::SchemeFontSpec& font : look.fonts) {
    if (font.face.size() > vyr::SettingsStore::kBufferSize - 1) __builtin_trap();
  }
  const auto& toolbar = look.Font(vyr::SchemeFont::Toolbar);
  const auto& rollover = look.Font(vyr::SchemeFont::ToolbarRollover);
  if (rollover.face != toolbar.face || rollover.weight != toolbar.weight ||
      rollover.underline != look.underlineRollover) {
    __builtin_trap();
  }
  return 0;
}
