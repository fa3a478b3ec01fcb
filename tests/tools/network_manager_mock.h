#pragma once
// NetworkManager as python3-dbusmock's template plays it, on a bus of the
// test's own (dbus-daemon) that this process and the programs it starts take
// for the system bus. The mock is set up and driven with gdbus, as a user's
// desktop tools would.
#include <optional>
#include <string>

#include "tools/python_fixture.h"
#include "tools/test_support.h"

namespace vyr::test {

class NetworkManagerMock {
 public:
  static constexpr const char* kManager = "/org/freedesktop/NetworkManager";
  static constexpr const char* kSettings = "/org/freedesktop/NetworkManager/Settings";

  // The bus alone (withService false: nothing owns NetworkManager's name),
  // or with the mock once it answers; false with a reason.
  bool Start(bool withService, std::string* error);
  // gdbus's answer to a method call on the object ("" when it failed).
  static std::string Call(const std::string& path, const std::string& method, const std::string& args);
  // A call of the mock's own interface on the manager object.
  static std::string Mock(const std::string& method, const std::string& args) {
    return Call(kManager, std::string("org.freedesktop.DBus.Mock.") + method, args);
  }
  // A stored connection with the name and type; its object path.
  static std::string AddConnection(const std::string& id, const std::string& type);
  // The manager's ActiveConnections property as gdbus prints it.
  static std::string ActiveConnections();

 private:
  TempDir dir_;
  PythonFixture daemon_, mock_;
  std::optional<ScopedEnv> env_;
};

}  // namespace vyr::test
