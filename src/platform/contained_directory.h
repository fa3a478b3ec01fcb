#pragma once
// A folder held open by descriptor, so that files can be written below it by
// name without ever following a symbolic link and without the process's
// current directory: what an archive unpacks can then never land outside the
// folder it was meant for, even when the tree holds links planted earlier.
#include <cstddef>
#include <functional>
#include <string>

namespace vyr::platform {

class ContainedDirectory {
 public:
  ContainedDirectory() = default;
  ~ContainedDirectory();
  ContainedDirectory(ContainedDirectory&& other) noexcept;
  ContainedDirectory& operator=(ContainedDirectory&& other) noexcept;
  ContainedDirectory(const ContainedDirectory&) = delete;
  ContainedDirectory& operator=(const ContainedDirectory&) = delete;

  // Opens a folder given by path (the path itself may pass through links;
  // it is the caller's own).
  static ContainedDirectory Open(const std::string& path);

  bool IsOpen() const { return fd_ >= 0; }

  // Opens the entry `name` (one plain name) as a folder, creating it when it
  // is missing. Fails (closed result) for a link, a file, or any other entry.
  ContainedDirectory Child(const std::string& name) const;

  // Writes the file `name` through a temporary file in this folder that is
  // renamed over the old entry only when write() returned true, so a failed
  // write leaves the old file whole. A link named `name` is replaced, never
  // followed. write gets a sink that appends bytes and returns false when
  // the disk refused them. executable: mode 0755 instead of 0644.
  using Sink = std::function<bool(const char* data, std::size_t size)>;
  bool WriteFile(const std::string& name, bool executable,
                 const std::function<bool(const Sink& sink)>& write) const;

 private:
  explicit ContainedDirectory(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace vyr::platform
