#pragma once
// The installation identifier: 32 hexadecimal characters generated on the
// first start and kept as the default value of the installation key,
// HKEY_CLASSES_ROOT\CLSID\<the application's class identifier>.
#include <string>

#include "platform/registry.h"

namespace vyr {

// The application's class identifier, which names the installation key.
extern const char kApplicationClassId[];
// "CLSID\<class identifier>", under HKEY_CLASSES_ROOT.
std::string InstallationKeyPath();

// Reads the identifier, creating the key and a new identifier when there is
// none yet. On failure returns empty and describes the reason in error;
// nothing stored is changed then.
std::string EnsureInstallationId(const platform::Registry& registry, std::string* error = nullptr);

// A new identifier: a GUID's hexadecimal groups joined without braces or
// dashes (8+4+4+4+12 characters).
std::string NewInstallationId();

}  // namespace vyr
