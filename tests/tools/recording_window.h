#pragma once
// A window of the tests: registered for its lifetime, it keeps every message
// posted to it; and window timers that are never set.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/server_session.h"
#include "platform/window_messages.h"

namespace vyr::test {

class RecordingWindow : public platform::MessageTarget {
 public:
  RecordingWindow() : handle(platform::WindowMessages::Instance().Register(this)) {}
  ~RecordingWindow() override { platform::WindowMessages::Instance().Unregister(handle); }
  void OnWindowMessage(const platform::WindowMessage& m) override { got.push_back(m); }

  // The texts of the messages of one kind, in order.
  std::vector<std::string> Texts(std::uint32_t message) const {
    std::vector<std::string> texts;
    for (const auto& m : got) {
      if (m.message == message) texts.push_back(m.text.value_or(""));
    }
    return texts;
  }
  bool Got(std::uint32_t message) const { return !Texts(message).empty(); }
  // Delivers posted messages until `done` holds; false when it still does
  // not after `limit`.
  bool DispatchUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      platform::WindowMessages::Instance().WaitAndDispatch(std::chrono::milliseconds(100));
    }
    return done();
  }

  const platform::WindowHandle handle;
  std::vector<platform::WindowMessage> got;
};

struct NoTimers : WindowTimers {
  void SetTimer(unsigned, unsigned) override {}
  void KillTimer(unsigned) override {}
};

}  // namespace vyr::test
