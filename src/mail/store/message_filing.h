#pragma once
// Files downloaded messages into a folder under their message key:
// "S<key>.mail", and "S<key>~2.mail", "S<key>~3.mail", ... for further
// messages of the same key. The key covers a few header lines only, so
// automatic messages (alerts, reports) share one however many there are. A
// download whose name is taken is compared with the stored messages of its
// key that have its size, by a hash of their bytes kept for the session
// and then byte for byte: identical means a duplicate, which is not stored;
// anything else takes the number after the highest of its key, without a
// bound (a gap left by a deleted copy stays a gap). The folder is
// listed once, on the first taken name, and every stored copy is read at
// most once per session, so a session costs no more than linear work
// however many messages share a key.
//
// Moving a download in does not flush the folder: the caller flushes it
// (platform::SyncFolder) before it relies on the new names, once for many
// messages. The caller holds the application's mail lock around File.
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vyr {

class MessageFiling {
 public:
  // folder: with a trailing separator.
  explicit MessageFiling(std::string folder) : folder_(std::move(folder)) {}

  enum class Outcome { kStored, kDuplicate, kFailed };
  // Moves the download into the folder under its key, or removes it when an
  // identical message is stored there already; target receives the stored
  // message's path (the existing copy's for a duplicate).
  Outcome File(const std::string& download, const std::string& key, std::string& target);

 private:
  struct Copy {
    std::string path;
    std::optional<std::uint64_t> size, hash;  // learned when first needed
  };
  struct KeyCopies {
    std::vector<Copy> copies;
    unsigned next = 2;  // the next suffix to try
  };
  void ListFolder();
  KeyCopies& CopiesOf(const std::string& key);
  std::string NameFor(const std::string& key, unsigned suffix) const;

  std::string folder_;
  bool listed_ = false;
  std::unordered_map<std::string, KeyCopies> keys_;
};

// A 64-bit hash of a file's bytes, read without moving its access time (put
// back where the system does not allow that); the size comes with it.
bool HashMessageFile(const std::string& path, std::uint64_t& hash, std::uint64_t& size);
// True when both files hold the same bytes (read as above).
bool SameMessageBytes(const std::string& a, const std::string& b);

}  // namespace vyr
