// Feeds arbitrary bytes to the bookmark list parser, twice: into a sink that
// only checks what it is handed (every name stays inside its folder and
// within the 1999-byte cut), and into a real scratch folder, after which
// nothing may exist beside that folder. The scratch folder lives in memory
// (/dev/shm when there is one) and is emptied after every input.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
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

class CheckingSink : public vyr::BookmarkSink {
 public:
  bool CreateFolder(const std::string& parent, const std::string& name,
                    std::string& created) override {
    Require(vyr::platform::IsPlainFileName(name) && name.size() <= vyr::kBookmarkTextLimit);
    Require(!parent.empty());
    // Folders are named by their depth so that deep nesting stays cheap.
    created = std::to_string(std::stoul(parent) + 1);
    return name.size() % 7 != 3;  // now and then a folder that cannot be made
  }
  void WriteBookmark(const std::string& folder, const std::string& title,
                     const std::string& address) override {
    Require(!folder.empty());
    Require(vyr::platform::IsPlainFileName(title) && title.size() <= vyr::kBookmarkTextLimit);
    Require(address.size() <= vyr::kBookmarkTextLimit);
    Require(title.find('\0') == std::string::npos && address.find('\0') == std::string::npos);
  }
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

  CheckingSink checking;
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
