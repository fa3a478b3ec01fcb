#pragma once
// A file-backed stand-in for the system registry: a tree of keys under three
// roots, each key with a default value (the empty name) and named string
// values. Key and value names match without regard to case and keep the case
// they were created with. The tree lives in one text file; every change
// replaces that file atomically, and changes made by another process are seen
// by the next read.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vyr::platform {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine };

// "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE".
const char* RegistryRootName(RegistryRoot root);

class Registry {
 public:
  // The registry file "registry.reg" in the Windows-directory stand-in.
  Registry();
  explicit Registry(std::string file);

  const std::string& File() const { return file_; }

  // Creates the key and its missing parents. False when the file cannot be
  // written or the path is empty.
  bool CreateKey(RegistryRoot root, const std::string& path) const;
  bool KeyExists(RegistryRoot root, const std::string& path) const;

  // The value, or nothing when the key or value is missing. The empty name
  // is the key's default value.
  std::optional<std::string> GetValue(RegistryRoot root, const std::string& path,
                                      const std::string& name) const;
  // Sets a value, creating the key when missing.
  bool SetValue(RegistryRoot root, const std::string& path, const std::string& name,
                const std::string& value) const;
  // True when the value is gone afterwards.
  bool DeleteValue(RegistryRoot root, const std::string& path, const std::string& name) const;
  // Deletes the key with all its subkeys. True when it is gone afterwards.
  bool DeleteKey(RegistryRoot root, const std::string& path) const;

  // Names of the direct subkeys, in the order they were created.
  std::vector<std::string> EnumKeys(RegistryRoot root, const std::string& path) const;
  // Named values and the default value (empty name) when set, in order.
  std::vector<std::pair<std::string, std::string>> EnumValues(RegistryRoot root,
                                                              const std::string& path) const;

 private:
  std::string file_;
};

}  // namespace vyr::platform
