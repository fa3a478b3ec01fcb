#include "tools/network_manager_mock.h"

#include <unistd.h>

#include <cstdio>

namespace vyr::test {

bool NetworkManagerMock::Start(bool withService, std::string* error) {
  WriteFile(dir_.File("bus.conf"),
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig><type>session</type><listen>unix:dir=" + dir_.Path() + "</listen>\n"
            "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
            "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
  if (!daemon_.StartProgram({"/usr/bin/dbus-daemon", "--nofork", "--print-address",
                             "--config-file=" + dir_.File("bus.conf")},
                            error))
    return false;
  const std::string address = daemon_.Line(10);
  if (address.empty()) return *error = "dbus-daemon printed no address", false;
  env_.emplace("DBUS_SYSTEM_BUS_ADDRESS", address);
  if (!withService) return true;
  // Its log of calls goes to a file: on the pipe it would fill it and stop.
  if (!mock_.StartProgram({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "networkmanager", "-l",
                           dir_.File("mock.log")},
                          error))
    return false;
  for (int i = 0; i < 150; ++i) {
    if (!Call(kManager, "org.freedesktop.DBus.Peer.Ping", "").empty()) return true;
    ::usleep(100000);
  }
  return *error = "the mock (python3-dbusmock) did not take NetworkManager's name", false;
}

std::string NetworkManagerMock::Call(const std::string& path, const std::string& method, const std::string& args) {
  const std::string command = "gdbus call --system --dest org.freedesktop.NetworkManager --object-path " + path +
                              " --method " + method + " " + args + " 2>/dev/null";
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    if (::pclose(pipe) != 0) return "";
  }
  return out;
}

std::string NetworkManagerMock::AddConnection(const std::string& id, const std::string& type) {
  const std::string reply = Call(kSettings, "org.freedesktop.NetworkManager.Settings.AddConnection",
                                 "\"{'connection': {'id': <'" + id + "'>, 'type': <'" + type + "'>}}\"");
  const size_t from = reply.find('\''), to = reply.rfind('\'');
  return from < to && to != std::string::npos ? reply.substr(from + 1, to - from - 1) : "";
}

std::string NetworkManagerMock::ActiveConnections() {
  return Call(kManager, "org.freedesktop.DBus.Properties.Get", "org.freedesktop.NetworkManager ActiveConnections");
}

}  // namespace vyr::test
