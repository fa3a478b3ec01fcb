#include "app/data_seeding.h"

#include <filesystem>
#include <system_error>

#include "platform/file_system.h"
#include "platform/windows_dir.h"

namespace vyr {

namespace fs = std::filesystem;

namespace {

// The shipped folders that are seeded, each into the data-root folder of the
// same name.
constexpr const char* kSeededFolders[] = {"media", "Data", "InfoBox", "Pages", "Search"};

bool HasMedia(const std::string& folder) {
  return platform::DirectoryExists(platform::JoinPath(folder, "media"));
}

// Copies every regular file below `from` that `to` lacks; returns how many
// were copied.
int CopyMissingFiles(const fs::path& from, const fs::path& to) {
  int copied = 0;
  std::error_code walkError;
  fs::recursive_directory_iterator it(from, fs::directory_options::skip_permission_denied,
                                      walkError);
  for (; !walkError && it != fs::recursive_directory_iterator(); it.increment(walkError)) {
    // Only plain files are shipped; a link could point anywhere. Links to
    // folders are not entered either (the walk does not follow them).
    std::error_code ec;
    if (it->is_symlink(ec) || ec || !it->is_regular_file(ec) || ec) continue;
    const fs::path target = to / it->path().lexically_relative(from);
    // Anything already under that name, even a dangling link, is the user's.
    const fs::file_status present = fs::symlink_status(target, ec);
    if (fs::exists(present)) continue;
    std::string contents;
    if (!platform::CreateDirectories(target.parent_path().string())) continue;
    if (!platform::ReadWholeFile(it->path().string(), contents)) continue;
    if (platform::WriteFileAtomically(target.string(), contents)) ++copied;
  }
  return copied;
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
  int copied = 0;
  for (const char* folder : kSeededFolders) {
    const fs::path from = fs::path(shippedDir) / folder;
    std::error_code ec;
    if (!fs::is_directory(from, ec)) continue;
    const std::string to = dirs.GetDataDirectory(folder, true);
    if (to.empty()) return -1;
    copied += CopyMissingFiles(from, fs::path(to));
  }
  return copied;
}

}  // namespace vyr
