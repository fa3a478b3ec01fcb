// Feeds arbitrary bytes to the channel file reader: the record reader, the
// tree builder and, when no channel is found, the sectioned-form reader. A
// tree that was read must also survive a write and a second read.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "channels/channel_set.h"
#include "platform/profile_file.h"

namespace {
std::string Scratch() {
  // Under TMPDIR (scripts/fuzz.sh points it at the run's scratch folder).
  static std::string dir = [] {
    std::string pattern = std::filesystem::temp_directory_path() / "vyrelle-fuzz-XXXXXX";
    return std::string(::mkdtemp(pattern.data()));
  }();
  return dir;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  vyr::ChannelSet set;
  size_t channels = vyr::ParseChannelText(text, set);

  // Writing what was read and reading it again gives the same number of
  // channels (names may lose CRs, never items).
  std::string written = vyr::FormatChannelText(set, 0);
  vyr::ChannelSet again;
  if (vyr::ParseChannelText(written, again) != set.Count() || again.Count() != channels) __builtin_trap();

  if (channels == 0) {
    const std::string path = Scratch() + "/input.vyr";
    // A plain write: the atomic one flushes to disk and would slow every run.
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
      vyr::ChannelSet sectioned;
      vyr::LoadSectionedChannels(path, sectioned);
    }
    vyr::platform::ClearProfileCache();
  }
  return 0;
}
