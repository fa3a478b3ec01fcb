#include "base/installation_id.h"

#include "platform/guid.h"

namespace vyr {

using platform::RegistryRoot;

const char kApplicationClassId[] = "{5F3A9C21-7B4E-4D0A-9E62-1C8B7D2F4A90}";

namespace {
// The default value is read through a buffer of this many bytes.
constexpr size_t kValueBuffer = 10240;
}

std::string InstallationKeyPath() { return std::string("CLSID\\") + kApplicationClassId; }

std::string NewInstallationId() {
  std::string guid = platform::NewGuidString();
  std::string id;
  for (char c : guid) {
    if (c != '{' && c != '}' && c != '-') id += c;
  }
  return id;
}

std::string EnsureInstallationId(const platform::Registry& registry, std::string* error) {
  const std::string key = InstallationKeyPath();
  if (!registry.CreateKey(RegistryRoot::ClassesRoot, key)) {
    if (error) *error = "The installation key cannot be opened (" + registry.File() + ")";
    return {};
  }
  std::string id = registry.GetValue(RegistryRoot::ClassesRoot, key, "").value_or("");
  if (id.size() >= kValueBuffer) id.resize(kValueBuffer - 1);
  if (!id.empty()) return id;
  id = NewInstallationId();
  if (id.size() != 32) {
    if (error) *error = "No random identifier could be made";
    return {};
  }
  if (!registry.SetValue(RegistryRoot::ClassesRoot, key, "", id)) {
    if (error) *error = "The installation key cannot be written (" + registry.File() + ")";
    return {};
  }
  return id;
}

}  // namespace vyr
