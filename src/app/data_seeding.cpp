#include "app/data_seeding.h"

#include <filesystem>
#include <system_error>

#include "platform/file_system.h"
#include "platform/windows_dir.h"

namespace vyr {

namespace fs = std::filesystem;

namespace {

bool HasMedia(const std::string& folder) {
  return platform::DirectoryExists(platform::JoinPath(folder, "media"));
}

}  // namespace

std::string FindShippedDataFolder(const std::string& programDir) {
  if (programDir.empty()) return {};
  const std::string beside = platform::JoinPath(programDir, "data");
  if (HasMedia(beside)) return beside;
  std::error_code ec;
  const fs::path installed =
      fs::weakly_canonical(fs::path(programDir) / ".." / "share" / "vyrelle", ec);
  if (!ec && HasMedia(installed.string())) return installed.string();
  return {};
}

int SeedDataRoot(const std::string& shippedDir, const DataDirectories& dirs) {
  if (shippedDir.empty()) return 0;
  const fs::path from = fs::path(shippedDir) / "media";
  std::error_code ec;
  if (!fs::is_directory(from, ec)) return 0;
  const std::string mediaDir = dirs.GetDataDirectory("media", true);
  if (mediaDir.empty()) return -1;
  const fs::path to(mediaDir);

  int copied = 0;
  fs::recursive_directory_iterator it(from, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    // Only plain files are shipped; a link could point anywhere.
    if (!it->is_regular_file(ec) || it->is_symlink(ec)) continue;
    const fs::path relative = it->path().lexically_relative(from);
    const fs::path target = to / relative;
    if (fs::exists(fs::symlink_status(target, ec))) continue;
    std::string contents;
    if (!platform::CreateDirectories(target.parent_path().string())) continue;
    if (!platform::ReadWholeFile(it->path().string(), contents)) continue;
    if (platform::WriteFileAtomically(target.string(), contents)) ++copied;
  }
  return copied;
}

}  // namespace vyr
