#pragma once
// The desktop's keyring, reached through the Secret Service on the session
// bus. A secret is found again by its owner (the profile it belongs to) and
// its name (the setting it stands for). Every call waits for the service's
// answer; without a session bus, or with no service on it, the answer is
// kUnavailable at once.
#include <string>

namespace vyr::platform {

enum class SecretAnswer {
  kDone,         // stored, found or removed
  kNotFound,     // the service answered and holds no such secret
  kUnavailable,  // no service answered (or it refused): keep the secret elsewhere
};

// label: what the desktop's keyring window shows for the secret.
SecretAnswer StoreSecret(const std::string& owner, const std::string& name, const std::string& label,
                         const std::string& secret);
SecretAnswer LookUpSecret(const std::string& owner, const std::string& name, std::string& secret);
SecretAnswer RemoveSecret(const std::string& owner, const std::string& name);

}  // namespace vyr::platform
