#include "archive/zip_archive.h"

#include <zip.h>

#include <array>

#include "platform/contained_directory.h"

namespace vyr {

namespace {

// File types in the upper half of a member's external attributes when the
// archive was made on a Unix system.
constexpr std::uint32_t kTypeMask = 0170000;
constexpr std::uint32_t kTypeFile = 0100000;
constexpr std::uint32_t kTypeFolder = 0040000;

struct MemberMode {
  bool special = false;     // a link, device or pipe: never unpacked
  bool executable = false;  // owner may execute
};

MemberMode ModeOf(zip_t* archive, zip_uint64_t index) {
  MemberMode mode;
  zip_uint8_t opsys = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(archive, index, 0, &opsys, &attributes) != 0) return mode;
  if (opsys != ZIP_OPSYS_UNIX) return mode;
  const std::uint32_t unixMode = attributes >> 16;
  const std::uint32_t type = unixMode & kTypeMask;
  mode.special = type != 0 && type != kTypeFile && type != kTypeFolder;
  mode.executable = (unixMode & 0100) != 0;
  return mode;
}

bool EndsInSeparator(const std::string& name) {
  return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

}  // namespace

ZipArchive::~ZipArchive() { Release(); }

void ZipArchive::Release() {
  if (archive_ != nullptr) zip_discard(archive_);
  archive_ = nullptr;
  members_ = 0;
}

bool ZipArchive::Open(const std::string& path) {
  Release();
  openError_ = true;
  error_.clear();
  int code = 0;
  archive_ = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
  if (archive_ == nullptr) {
    switch (code) {
      case ZIP_ER_NOENT: error_ = "The archive does not exist: " + path; break;
      case ZIP_ER_OPEN:
      case ZIP_ER_READ: error_ = "The archive cannot be read: " + path; break;
      case ZIP_ER_NOZIP: error_ = "Not a ZIP archive: " + path; break;
      default: error_ = "The archive is damaged: " + path; break;
    }
    return false;
  }
  const zip_int64_t count = zip_get_num_entries(archive_, 0);
  if (count < 0 || count > kMaxMembers) {
    error_ = "The archive lists too many members: " + path;
    Release();
    return false;
  }
  members_ = count;
  openError_ = false;
  return true;
}

bool ZipArchive::SplitMemberName(const std::string& name, std::vector<std::string>& parts) {
  parts.clear();
  if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
  if (name.find('\0') != std::string::npos) return false;
  std::string part;
  for (size_t i = 0; i <= name.size(); ++i) {
    const char c = i < name.size() ? name[i] : '/';
    if (c != '/' && c != '\\') {
      part += c;
      continue;
    }
    if (part == "..") return false;
    // "C:" and any other part with a colon: a drive or a stream name.
    if (part.find(':') != std::string::npos) return false;
    if (!part.empty() && part != ".") parts.push_back(part);
    part.clear();
  }
  return !parts.empty();
}

bool ZipArchive::CheckMembers() {
  std::uint64_t total = 0;
  std::vector<std::string> parts;
  for (zip_int64_t i = 0; i < members_; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
        (st.valid & ZIP_STAT_NAME) == 0 || (st.valid & ZIP_STAT_SIZE) == 0) {
      error_ = "A member of the archive cannot be read";
      return false;
    }
    const std::string name = st.name;
    if (!SplitMemberName(name, parts)) {
      error_ = "The archive holds a member outside its folder: " + name;
      return false;
    }
    if (ModeOf(archive_, static_cast<zip_uint64_t>(i)).special) {
      error_ = "The archive holds a link or device: " + name;
      return false;
    }
    if (st.size > kMaxTotalSize || total + st.size > kMaxTotalSize) {
      error_ = "The archive is too large to unpack";
      return false;
    }
    total += st.size;
  }
  return true;
}

bool ZipArchive::ExtractMember(std::uint64_t index, const std::string& targetDir,
                               std::uint64_t& written) {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive_, index, 0, &st) != 0) return false;
  const std::string name = st.name;
  std::vector<std::string> parts;
  if (!SplitMemberName(name, parts)) return false;
  const bool folderOnly = EndsInSeparator(name);
  const size_t folderCount = folderOnly ? parts.size() : parts.size() - 1;

  platform::ContainedDirectory dir = platform::ContainedDirectory::Open(targetDir);
  for (size_t i = 0; i < folderCount && dir.IsOpen(); ++i) dir = dir.Child(parts[i]);
  if (!dir.IsOpen()) {
    error_ = "Cannot make the folder of " + name;
    return false;
  }
  if (folderOnly) return true;

  zip_file_t* file = zip_fopen_index(archive_, index, 0);
  if (file == nullptr) {
    error_ = "Cannot read " + name + " from the archive";
    return false;
  }
  const std::uint64_t declared = st.size;
  std::uint64_t done = 0;
  bool readFailed = false;
  const bool ok = dir.WriteFile(
      parts.back(), ModeOf(archive_, index).executable,
      [&](const platform::ContainedDirectory::Sink& sink) {
        std::array<char, 32768> buffer;
        for (;;) {
          const zip_int64_t n = zip_fread(file, buffer.data(), buffer.size());
          if (n < 0) {
            readFailed = true;
            return false;
          }
          if (n == 0) return true;
          done += static_cast<std::uint64_t>(n);
          // The data must agree with the size the archive declared, which
          // was counted against the limit.
          if (done > declared || written + done > kMaxTotalSize) {
            readFailed = true;
            return false;
          }
          if (!sink(buffer.data(), static_cast<size_t>(n))) return false;
        }
      });
  zip_fclose(file);
  if (!ok) {
    error_ = readFailed ? "The archive member " + name + " is damaged"
                        : "Cannot write " + name;
    return false;
  }
  written += done;
  return true;
}

bool ZipArchive::ExtractAll(const std::string& targetDir) {
  error_.clear();
  if (archive_ == nullptr) {
    error_ = "No archive is open";
    return false;
  }
  if (!platform::ContainedDirectory::Open(targetDir).IsOpen()) {
    error_ = "The folder cannot be opened: " + targetDir;
    return false;
  }
  if (!CheckMembers()) return false;
  std::uint64_t written = 0;
  for (zip_int64_t i = 0; i < members_; ++i) {
    if (!ExtractMember(static_cast<std::uint64_t>(i), targetDir, written)) return false;
  }
  return true;
}

}  // namespace vyr
