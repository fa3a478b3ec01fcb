#pragma once
// Reads ZIP archives (scheme packages, update packages) and unpacks them into
// a folder given by path. Archives come from the network, so every member is
// checked before anything is written: a member that would land outside the
// folder (absolute paths, drive paths, "..", links) makes the whole archive
// refused, and so do absurd sizes. Nothing here changes the process's current
// directory.
#include <cstdint>
#include <string>
#include <vector>

struct zip;

namespace vyr {

class ZipArchive {
 public:
  // Archives with more members or more bytes in all are refused.
  static constexpr std::int64_t kMaxMembers = 100000;
  static constexpr std::uint64_t kMaxTotalSize = std::uint64_t{4} << 30;  // 4 GiB

  ZipArchive() = default;
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  // Opens the archive file. False when it cannot be read, is no ZIP archive,
  // or lists more than kMaxMembers members; ErrorText() says why.
  bool Open(const std::string& path);
  // Whether the last Open raised an error.
  bool OpenError() const { return openError_; }
  // Members of the open archive (0 when none is open).
  std::int64_t MemberCount() const { return members_; }

  // Unpacks every member into targetDir (which must exist). Folders in
  // member names are created; existing files are replaced whole (each member
  // is written to a temporary name and renamed), links are never followed.
  // Before writing anything every member name is checked: one unsafe member
  // or a total size over kMaxTotalSize refuses the archive and nothing is
  // written. A member that cannot be written stops the unpacking; members
  // written before it stay. True when every member was written.
  bool ExtractAll(const std::string& targetDir);

  // Closes the archive; the object can open another one.
  void Release();

  const std::string& ErrorText() const { return error_; }

  // The path parts a member name stands for, with "\" taken as a separator
  // and empty and "." parts dropped; false for a name that would leave the
  // folder (absolute, drive path, "..") or names nothing. A name ending in a
  // separator is a folder.
  static bool SplitMemberName(const std::string& name, std::vector<std::string>& parts);

 private:
  bool CheckMembers();
  bool ExtractMember(std::uint64_t index, const std::string& targetDir, std::uint64_t& written);

  zip* archive_ = nullptr;
  std::int64_t members_ = 0;
  bool openError_ = false;
  std::string error_;
};

}  // namespace vyr
