#pragma once
// A process-wide cache of parsed text files, shared by the profile files and
// the registry file. A read parses the file only when its stamp changed since
// the last parse; a write re-reads the newest version under a cross-process
// folder lock, applies the change and replaces the file atomically.
//
// Doc must provide: void Parse(const std::string&); std::string Serialize()
// const; void Reindex() (called after a change, before writing).
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>

#include "platform/file_system.h"

namespace vyr::platform {

template <typename Doc>
class CachedFileStore {
 public:
  // Runs fn(const Doc&) against an up-to-date copy of the file. A missing or
  // unreadable file reads as an empty document.
  template <typename Fn>
  auto Read(const std::string& path, Fn&& fn) {
    auto entry = EntryFor(path);
    FileStamp now = StampOf(path);
    {
      std::shared_lock<std::shared_mutex> shared(entry->mutex);
      if (entry->loaded && now == entry->stamp) return fn(static_cast<const Doc&>(entry->doc));
    }
    std::unique_lock<std::shared_mutex> exclusive(entry->mutex);
    Refresh(*entry, path);
    return fn(static_cast<const Doc&>(entry->doc));
  }

  // Runs change(Doc&) on a copy of the newest version; when it returns true
  // the copy is written back. False when the file could not be written (the
  // file on disk and the cache are then unchanged).
  template <typename Fn>
  bool Modify(const std::string& path, Fn&& change) {
    if (path.empty()) return false;
    auto entry = EntryFor(path);
    std::unique_lock<std::shared_mutex> exclusive(entry->mutex);
    const std::string folder = ParentFolder(path);
    if (!CreateDirectories(folder)) return false;
    DirectoryLock crossProcess(folder);
    entry->loaded = false;  // another process may have written since
    Refresh(*entry, path);
    Doc updated = entry->doc;
    if (!change(updated)) return true;
    updated.Reindex();
    // Profiles and the registry hold stored passwords and the installation
    // key: only their owner may read them.
    if (!WriteFileAtomically(path, updated.Serialize(), kPrivateFileMode)) return false;
    entry->doc = std::move(updated);
    entry->stamp = StampOf(path);
    return true;
  }

  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
  }

 private:
  struct Entry {
    std::shared_mutex mutex;
    bool loaded = false;
    FileStamp stamp;
    Doc doc;
  };

  std::shared_ptr<Entry> EntryFor(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& slot = entries_[path];
    if (!slot) slot = std::make_shared<Entry>();
    return slot;
  }

  static void Refresh(Entry& entry, const std::string& path) {
    FileStamp now = StampOf(path);
    if (entry.loaded && now == entry.stamp) return;
    std::string data;
    FileStamp readStamp;
    if (ReadWholeFile(path, data, readStamp)) {
      entry.doc = Doc{};
      entry.doc.Parse(data);
      entry.stamp = readStamp;
    } else {
      entry.doc = Doc{};
      entry.stamp = now;
    }
    entry.loaded = true;
  }

  std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<Entry>> entries_;
};

}  // namespace vyr::platform
