#include "platform/secret_store.h"

#include <libsecret/secret.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace vyr::platform {

namespace {

const SecretSchema* Schema() {
  static const SecretSchema schema = {
      "example.vyrelle.Vyrelle.Password",
      SECRET_SCHEMA_NONE,
      {
          {"profile", SECRET_SCHEMA_ATTRIBUTE_STRING},
          {"setting", SECRET_SCHEMA_ATTRIBUTE_STRING},
          {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
      },
      0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  return &schema;
}

// A session bus to ask: named in the environment, or the user's bus in the
// runtime folder. Without one nothing is tried (the bus library would
// otherwise start a bus of its own).
bool SessionBusPresent() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime && *runtime && ::access((std::string(runtime) + "/bus").c_str(), F_OK) == 0;
}

// Takes the call's error: true when there was one.
bool Failed(GError* error) {
  if (!error) return false;
  g_error_free(error);
  return true;
}

}  // namespace

SecretAnswer StoreSecret(const std::string& owner, const std::string& name, const std::string& label,
                         const std::string& secret) {
  if (!SessionBusPresent()) return SecretAnswer::kUnavailable;
  GError* error = nullptr;
  const gboolean stored =
      secret_password_store_sync(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(), nullptr,
                                 &error, "profile", owner.c_str(), "setting", name.c_str(), nullptr);
  if (Failed(error) || !stored) return SecretAnswer::kUnavailable;
  return SecretAnswer::kDone;
}

SecretAnswer LookUpSecret(const std::string& owner, const std::string& name, std::string& secret) {
  if (!SessionBusPresent()) return SecretAnswer::kUnavailable;
  GError* error = nullptr;
  gchar* found = secret_password_lookup_sync(Schema(), nullptr, &error, "profile", owner.c_str(), "setting",
                                             name.c_str(), nullptr);
  if (Failed(error)) {
    if (found) secret_password_free(found);
    return SecretAnswer::kUnavailable;
  }
  if (!found) return SecretAnswer::kNotFound;
  secret.assign(found);
  secret_password_free(found);  // wipes the copy before freeing it
  return SecretAnswer::kDone;
}

SecretAnswer RemoveSecret(const std::string& owner, const std::string& name) {
  if (!SessionBusPresent()) return SecretAnswer::kUnavailable;
  GError* error = nullptr;
  const gboolean removed =
      secret_password_clear_sync(Schema(), nullptr, &error, "profile", owner.c_str(), "setting", name.c_str(), nullptr);
  if (Failed(error)) return SecretAnswer::kUnavailable;
  return removed ? SecretAnswer::kDone : SecretAnswer::kNotFound;
}

}  // namespace vyr::platform
