// Feeds arbitrary bytes to the ZIP reader as an archive file and unpacks it
// into a folder three levels down a scratch tree. Whatever the archive holds,
// nothing may appear in the scratch tree beside the archive and the target
// chain, and nothing below the target may be a link.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/zip_archive.h"

namespace {

namespace fs = std::filesystem;

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zipfuzz.XXXXXX";
  Require(mkdtemp(pattern.data()) != nullptr);
  const fs::path scratch = pattern;
  const fs::path target = scratch / "a" / "b" / "out";
  fs::create_directories(target);
  const fs::path archivePath = scratch / "in.zip";
  {
    std::ofstream out(archivePath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

  vyr::ZipArchive archive;
  if (archive.Open(archivePath.string())) {
    Require(!archive.OpenError());
    Require(archive.MemberCount() >= 0 && archive.MemberCount() <= vyr::ZipArchive::kMaxMembers);
    archive.ExtractAll(target.string());
  } else {
    Require(archive.OpenError() && archive.MemberCount() == 0);
  }
  archive.Release();

  for (auto it = fs::recursive_directory_iterator(scratch); it != fs::recursive_directory_iterator();
       ++it) {
    const fs::path rel = it->path().lexically_relative(scratch);
    const std::string r = rel.string();
    const bool inTarget = r.rfind("a/b/out/", 0) == 0;
    Require(inTarget || r == "in.zip" || r == "a" || r == "a/b" || r == "a/b/out");
    Require(!it->is_symlink());
    // No temporary file of a member is left behind.
    Require(rel.filename().string().rfind(".vyrpart-", 0) != 0);
  }
  fs::remove_all(scratch);
  return 0;
}
