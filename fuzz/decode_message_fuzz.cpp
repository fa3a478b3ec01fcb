// Feeds arbitrary message files to DecodeMessage: the bytes are stored as a
// message and decoded into a display directory. Whatever the message holds,
// the decode must succeed, every listed part must be a plain name of a file
// in the display directory, and nothing may be written beside it.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "base/application.h"
#include "base/message_box.h"
#include "base/sound_player.h"
#include "mail/read/message_decoder.h"
#include "platform/file_system.h"

namespace {

namespace fs = std::filesystem;

class QuietMessageBox : public vyr::MessageBoxService {
 public:
  int Error(const std::string&, const std::string&) override { return 0; }
  int Question(const std::string&, const std::string&, bool*) override { return 0; }
  int Information(const std::string&, const std::string&) override { return 0; }
};

struct Scratch {
  Scratch() {
    // Under TMPDIR (scripts/fuzz.sh points it at the run's scratch folder).
    std::string pattern = fs::temp_directory_path() / "vyrelle-fuzz-decode-XXXXXX";
    root = ::mkdtemp(pattern.data());
    message = root + "/message.mail";
    display = root + "/display/";
    app = std::make_unique<vyr::Application>(root + "/home", boxes, sounds);
  }
  std::string root, message, display;
  QuietMessageBox boxes;
  vyr::SilentSoundPlayer sounds;
  std::unique_ptr<vyr::Application> app;
};

Scratch& Shared() {
  static Scratch scratch;
  return scratch;
}

}  // namespace

// uulib loses a few bytes (copies of MIME header values) on a multipart
// message that is never closed; that is the library's own leak, not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libuu.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Scratch& s = Shared();
  if (FILE* f = std::fopen(s.message.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  vyr::MessageDecoder decoder(*s.app);
  std::string page;
  if (decoder.DecodeMessage(s.message, s.display, page) != 1) __builtin_trap();
  const vyr::DecodedMessage& m = decoder.Decoded();
  if (page != vyr::kPlainTextPage && page != vyr::kEnhancedPage) __builtin_trap();
  if (m.partNames.size() != m.partTypes.size()) __builtin_trap();
  for (const std::string& name : m.partNames) {
    if (!vyr::platform::IsPlainFileName(name) || name[0] == '.') __builtin_trap();
    std::error_code ec;
    if (!fs::is_regular_file(s.display + name, ec)) __builtin_trap();
  }
  // Only the message, the display directory and the program's home folder
  // lie in the scratch folder.
  std::error_code ec;
  for (fs::directory_iterator it(s.root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name != "message.mail" && name != "display" && name != "home") __builtin_trap();
  }
  for (fs::directory_iterator it(s.display, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_directory()) __builtin_trap();
  }
  return 0;
}
