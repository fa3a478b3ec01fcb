#pragma once
// File-system helpers shared by the stores that keep their data in files.
#include <cstdint>
#include <cstdio>
#include <string>

namespace vyr::platform {

bool FileExists(const std::string& path);       // a regular file (or link to one)
bool DirectoryExists(const std::string& path);

// Creates the folder and every missing parent. True when it exists afterwards.
bool CreateDirectories(const std::string& path);
// The same for a folder only its owner may enter (mode 0700): created so,
// or narrowed to it when it is already there. Its parents are made as
// CreateDirectories makes them.
bool CreatePrivateDirectories(const std::string& path);

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& contents);

// Replaces the file with the given contents so that a crash at any moment
// leaves either the old file or the new one, never a part: the data goes to a
// temporary file in the same folder, is flushed to disk, renamed over the
// target, and the folder itself is flushed. Missing parent folders are created.
// The new file gets `mode` (less the process's umask): kPrivateFileMode for
// files that hold what other users must not read.
inline constexpr unsigned kPrivateFileMode = 0600;
bool WriteFileAtomically(const std::string& path, const std::string& contents, unsigned mode = 0644);

// Flushes a file's data to disk. False when it cannot be opened or flushed.
bool SyncFile(const std::string& path);
// Flushes a folder's entries (new names, removed names) to disk.
void SyncFolder(const std::string& folder);
// Asks the system to start writing a range of an open file to disk now,
// without waiting for it: a flush of the whole file at its end then has
// only the last part left to wait for.
void StartWriteBack(std::FILE* file, std::uint64_t offset, std::uint64_t length);

enum class MoveResult { Moved, TargetExists, Failed };
// Whether a move flushes the folders it changed before it returns, or
// leaves that to the caller (SyncFolder), who flushes once for many moves.
enum class FolderSync { kNow, kLater };
// Moves a file to a new name without ever replacing an existing file: the
// new name is linked first (which fails when it exists), then the old name
// removed and (kNow) the target's folder flushed. Falls back to a rename
// that refuses an existing target when links are not possible.
MoveResult MoveFileNoReplace(const std::string& from, const std::string& to,
                             FolderSync sync = FolderSync::kNow);

// Replaces a small file by a rename, like WriteFileAtomically, but flushes
// nothing: for records whose loss in a crash costs only time (the next
// version, or the older one, serves as well). False when it failed.
bool WriteFileQuickly(const std::string& path, const std::string& contents);

// Puts the file "from" in the place of "to" by one rename, so that at every
// moment one of the two versions is there under "to" (the old one is never
// removed first); then flushes the folder. Both must lie on the same file
// system. False, with nothing changed, when "from" is no regular file or the
// rename fails.
bool ReplaceFileByRename(const std::string& from, const std::string& to);

// The identity of one version of a file: every atomic replacement gives a new
// inode, so a change made by another process is seen even within the same
// timestamp tick.
struct FileStamp {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;
  bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::string& path);

// Reads a whole file and the stamp of exactly the version that was read.
bool ReadWholeFile(const std::string& path, std::string& contents, FileStamp& stamp);

// Holds an exclusive advisory lock on a folder for the lifetime of the
// object, so that writers in different processes take turns on the files in
// it. Locking never fails the caller: when the folder cannot be opened the
// object simply holds nothing.
class DirectoryLock {
 public:
  explicit DirectoryLock(const std::string& folder);
  ~DirectoryLock();
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

 private:
  int fd_ = -1;
};

// An exclusive claim on one file among every process on this machine: while
// one object holds it, every other attempt to claim the file (in this
// process or another) is refused. The claim is the system's lock on an open
// file (flock): it follows the file through renames and moves within its
// file system, and it ends with the object, or with the process however
// that ends, so a crashed holder never leaves a claim behind. Claiming
// neither reads nor writes the file, so its times stay as they are.
class FileClaim {
 public:
  FileClaim() = default;
  ~FileClaim() { Release(); }
  FileClaim(FileClaim&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileClaim& operator=(FileClaim&& other) noexcept;
  FileClaim(const FileClaim&) = delete;
  FileClaim& operator=(const FileClaim&) = delete;

  // Claims the file the path names now. Not held when another holder has
  // it, or when the path names no file (or another file) once the claim is
  // taken: the file was moved or replaced meanwhile. With wait, a claim
  // another holder has is waited for instead.
  static FileClaim Take(const std::string& path, bool wait = false);
  bool Held() const { return fd_ >= 0; }
  void Release();

 private:
  int fd_ = -1;
};

// Whether a claim holds the file the path names (anyone's, this process's
// included). Asking takes no claim another could be refused for, except
// for the moment of asking.
bool IsFileClaimed(const std::string& path);

// True when the name can only ever mean one entry directly inside a folder:
// not empty, not "." or "..", and without "/", "\" or a zero byte. Names
// that come from files or pages must pass this before they become paths.
bool IsPlainFileName(const std::string& name);

// Stricter than IsPlainFileName, for names that arrive from outside and
// become folder names the program keeps using (scheme packages and the
// schemes they create): besides "/" and "\", no ":" (a drive or stream
// marker on other systems) and no control character, so the name means the
// same one entry wherever it is written, shown or stored in a setting.
// Empty, "." and ".." are refused.
bool IsSafePathComponent(const std::string& name);

enum class CopyResult { Copied, NotRegularFile, TooLarge, Failed };
// Copies the regular file "from" into the new file "to" (which must not
// exist yet: an existing file or link there is never written through).
// Anything but a regular file (a device such as /dev/zero, a fifo, a
// folder) is refused before a byte is read, without waiting for a writer.
// maxBytes (0: no limit) bounds the copy, a file that grows past it while
// it is read included. The copy is flushed to disk; on any failure "to" is
// removed again.
CopyResult CopyRegularFile(const std::string& from, const std::string& to,
                           std::uint64_t maxBytes);

// The folder part of a path ("a/b/c.ini" -> "a/b"); "." for a bare name.
std::string ParentFolder(const std::string& path);

}  // namespace vyr::platform
