// Feeds arbitrary bytes to the bookmark list parser, twice: into a sink that
// only checks what it is handed (every name a cleaned file name that stays
// inside its folder, within the cuts, valid UTF-8 whenever the input is; no
// address of a left-out scheme), and into a real scratch folder, after which
// nothing may exist beside that folder. The scratch folder lives in memory
// (/dev/shm when there is one) and is emptied after every input.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "channels/bookmark_import.h"
#include "platform/file_system.h"
#include "platform/profile_file.h"

namespace {

namespace fs = std::filesystem;

void Require(bool condition) {
  if (!condition) std::abort();
}

bool IsUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const int tail = b < 0x80 ? 0 : b >= 0xC2 && b < 0xE0 ? 1 : b >= 0xE0 && b < 0xF0 ? 2
                   : b >= 0xF0 && b < 0xF5 ? 3 : -1;
    if (tail < 0 || i + tail + 1 > s.size()) return false;
    uint32_t cp = b & (0x7F >> tail);
    for (int k = 1; k <= tail; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[tail] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += 1 + tail;
  }
  return true;
}

class CheckingSink : public vyr::BookmarkSink {
 public:
  explicit CheckingSink(bool utf8) : utf8_(utf8) {}
  bool CreateFolder(const std::string& parent, const std::string& name,
                    std::string& created) override {
    CheckName(name, 255);
    Require(!parent.empty());
    // Folders are named by their depth so that deep nesting stays cheap.
    created = std::to_string(std::stoul(parent) + 1);
    return name.size() % 7 != 3;  // now and then a folder that cannot be made
  }
  void WriteBookmark(const std::string& folder, const std::string& title,
                     const std::string& address) override {
    Require(!folder.empty());
    CheckName(title, 251);
    Require(!address.empty() && address.size() <= vyr::kBookmarkTextLimit);
    Require(address.find_first_of(std::string("\0\t\r\n", 4)) == std::string::npos);
    Require(!utf8_ || IsUtf8(address));
    std::string lower = address.substr(0, 12);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* scheme : {"javascript:", "place:", "data:", "about:"}) {
      Require(!lower.starts_with(scheme));
    }
  }

 private:
  void CheckName(const std::string& name, size_t limit) {
    Require(vyr::platform::IsPlainFileName(name) && name.size() <= limit);
    Require(name.find_first_of("!#*+/:<>?[\\]`{|}") == std::string::npos);
    for (char c : name) Require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    Require(!utf8_ || IsUtf8(name));
  }
  bool utf8_;
};

struct Scratch {
  Scratch() {
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    outer = (base / ("vyrelle-bookmark-fuzz-" + std::to_string(::getpid()))).string();
    fs::remove_all(outer, ec);
    fs::create_directories(outer, ec);
    inner = outer + "/Imported";
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(outer, ec);
  }
  std::string outer, inner;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Scratch scratch;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  CheckingSink checking(IsUtf8(text));
  vyr::ParseBookmarks(text, "0", checking);

  std::error_code ec;
  fs::create_directory(scratch.inner, ec);
  vyr::ParseBookmarks(text, scratch.inner);
  // Nothing but the import folder may exist beside it.
  for (const auto& entry : fs::directory_iterator(scratch.outer)) {
    Require(entry.path().string() == scratch.inner);
  }
  fs::remove_all(scratch.inner, ec);
  vyr::platform::ClearProfileCache();
  return 0;
}
