#pragma once
// Window handles and posted messages: how workers talk to windows.
//
// A window registers itself and gets a handle. Any thread may post a message
// (a number, two parameters and optionally a text the message owns) to a
// handle. Messages are delivered on the user-interface thread, in the order
// they were posted, by DispatchPending(). A message for a handle that has
// been unregistered is dropped, and IsWindow() turns false at once.
//
// The windowed program installs a wake-up function that schedules
// DispatchPending() on its event loop (it is called once when the queue goes
// from empty to non-empty, so a burst of posts wakes the loop only once).
// Headless programs and tests drive delivery themselves with
// DispatchPending() or WaitAndDispatch().
//
// A message may also be posted for later (PostMessageAfter): a timer that
// fires once, the same way in the windowed program, in headless programs
// and in tests, since it arrives as any other message.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

namespace vyr::platform {

using WindowHandle = std::uint32_t;  // 0 is no window
using WParam = std::uintptr_t;
using LParam = std::intptr_t;

struct WindowMessage {
  WindowHandle target = 0;
  std::uint32_t message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
  std::optional<std::string> text;  // owned by the message
};

class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  virtual void OnWindowMessage(const WindowMessage& message) = 0;
};

class WindowMessages {
 public:
  // The process-wide instance.
  static WindowMessages& Instance();

  WindowMessages() = default;
  ~WindowMessages();
  WindowMessages(const WindowMessages&) = delete;
  WindowMessages& operator=(const WindowMessages&) = delete;

  // User-interface thread: registers a window and returns its handle.
  WindowHandle Register(MessageTarget* target);
  // User-interface thread: forgets a window; queued and later posts to it are
  // dropped.
  void Unregister(WindowHandle handle);

  // Any thread.
  bool IsWindow(WindowHandle handle) const;
  // Queues a message; false (and nothing queued) when the handle is not a
  // window.
  bool PostMessage(WindowHandle handle, std::uint32_t message, WParam wParam = 0, LParam lParam = 0);
  bool PostMessage(WindowHandle handle, std::uint32_t message, std::string text, WParam wParam = 0,
                   LParam lParam = 0);
  // Queues a message that must reach the window within `within` but need
  // not wake the user-interface thread at once: it is delivered, in its
  // order, with the next message that wakes it, and at the latest once
  // `within` has passed. For frequent progress reports, so that a burst
  // wakes the window a few times a second rather than once per report.
  bool PostMessageSoon(WindowHandle handle, std::uint32_t message, std::chrono::milliseconds within,
                       WParam wParam = 0, LParam lParam = 0);
  // Queues the message once `delay` has passed; it is dropped when the
  // handle is no window by then. Messages posted for the same moment are
  // queued in the order they were posted.
  void PostMessageAfter(WindowHandle handle, std::uint32_t message, std::chrono::milliseconds delay,
                        WParam wParam = 0, LParam lParam = 0);

  // User-interface thread: delivers every queued message (also those posted
  // while delivering) and returns how many reached a window.
  size_t DispatchPending();
  // Waits until a message is queued or the timeout passes, then dispatches.
  // Returns how many messages reached a window.
  size_t WaitAndDispatch(std::chrono::milliseconds timeout);

  // Called (from the posting thread) when the queue stops being empty.
  void SetWakeUp(std::function<void()> wakeUp);

  size_t PendingCount() const;

 private:
  bool Enqueue(WindowMessage message);
  void RunTimers();

  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::unordered_map<WindowHandle, MessageTarget*> windows_;
  std::deque<WindowMessage> queue_;
  std::function<void()> wakeUp_;
  // The wake-up was called and the queue has not been emptied since.
  bool woken_ = false;
  // A wake-up is due from the timer thread for messages posted soon.
  bool wakeDue_ = false;
  // Wakes the user-interface thread unless it was woken already.
  void WakeForQueued();
  WindowHandle next_ = 1;
  // Messages waiting for their moment, and the thread that queues them
  // (started by the first PostMessageAfter).
  std::multimap<std::chrono::steady_clock::time_point, WindowMessage> timed_;
  std::condition_variable timedChanged_;
  std::thread timerThread_;
  bool closing_ = false;
};

// Shorthands on the process-wide instance.
inline bool IsWindow(WindowHandle h) { return WindowMessages::Instance().IsWindow(h); }
inline bool PostMessage(WindowHandle h, std::uint32_t msg, WParam w = 0, LParam l = 0) {
  return WindowMessages::Instance().PostMessage(h, msg, w, l);
}
inline bool PostText(WindowHandle h, std::uint32_t msg, std::string text, WParam w = 0, LParam l = 0) {
  return WindowMessages::Instance().PostMessage(h, msg, std::move(text), w, l);
}

}  // namespace vyr::platform
