#pragma once
// One running program per user: a second start hands its command line to
// the running instance and ends.
//
// The running instance listens on a local socket named after its window
// class ("Vyrelle20SpecialClass") in $XDG_RUNTIME_DIR (a private folder in
// /tmp when the variable is unset). A second start connects and sends the
// address to open (message 238: "238 <length>\n" and the bytes) when it has
// one, then the bring-to-front request (message 244: "244\n").
#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace vyr::platform {

inline constexpr char kSingleInstanceName[] = "Vyrelle20SpecialClass";

class SingleInstance {
 public:
  SingleInstance() = default;
  ~SingleInstance();  // stops listening and removes the socket
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Empty when the folder is not this user's alone (another user could
  // write to it): there is then no hand-over and no listening.
  static std::string SocketPath();

  // The second start's part: true when a running instance took the text to
  // open ("" for none) and the bring-to-front request; the caller then ends.
  // False when no instance is running.
  static bool HandOver(const std::string& fileToOpen);

  // The first start's part: listens for later starts. openAddress and
  // bringToFront are called on the listening thread (the caller passes them
  // on to its user-interface thread). A socket left behind by an instance
  // that is gone is replaced. False when the socket cannot be made.
  bool Listen(std::function<void(const std::string&)> openAddress, std::function<void()> bringToFront);

 private:
  void Serve();
  void ServeConnection(int fd);

  int listenFd_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::string path_;
  std::function<void(const std::string&)> openAddress_;
  std::function<void()> bringToFront_;
};

}  // namespace vyr::platform
