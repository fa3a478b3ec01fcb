#include "platform/window_messages.h"

namespace vyr::platform {

WindowMessages& WindowMessages::Instance() {
  // Never destroyed: a worker that is still ending when the process exits
  // may post its last message after static objects are gone; the post then
  // finds a live queue (and a window that no longer exists) instead of freed
  // memory.
  static WindowMessages* instance = new WindowMessages;
  return *instance;
}

WindowMessages::~WindowMessages() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  timedChanged_.notify_all();
  if (timerThread_.joinable()) timerThread_.join();
}

WindowHandle WindowMessages::Register(MessageTarget* target) {
  std::lock_guard<std::mutex> lock(mutex_);
  WindowHandle h = next_++;
  if (next_ == 0) next_ = 1;
  windows_[h] = target;
  return h;
}

void WindowMessages::Unregister(WindowHandle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  windows_.erase(handle);
  std::erase_if(queue_, [&](const WindowMessage& m) { return m.target == handle; });
}

bool WindowMessages::IsWindow(WindowHandle handle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return handle != 0 && windows_.count(handle) != 0;
}

bool WindowMessages::PostMessage(WindowHandle handle, std::uint32_t message, WParam wParam,
                                 LParam lParam) {
  return Enqueue(WindowMessage{handle, message, wParam, lParam, std::nullopt});
}

bool WindowMessages::PostMessage(WindowHandle handle, std::uint32_t message, std::string text,
                                 WParam wParam, LParam lParam) {
  return Enqueue(WindowMessage{handle, message, wParam, lParam, std::move(text)});
}

bool WindowMessages::PostMessageSoon(WindowHandle handle, std::uint32_t message, std::chrono::milliseconds within,
                                     WParam wParam, LParam lParam) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (handle == 0 || windows_.count(handle) == 0) return false;
    queue_.push_back(WindowMessage{handle, message, wParam, lParam, std::nullopt});
    if (woken_ || wakeDue_ || closing_) return true;
    // An entry without a target is a wake-up only.
    wakeDue_ = true;
    timed_.emplace(std::chrono::steady_clock::now() + within, WindowMessage{});
    if (!timerThread_.joinable()) timerThread_ = std::thread([this] { RunTimers(); });
  }
  timedChanged_.notify_all();
  return true;
}

void WindowMessages::WakeForQueued() {
  std::function<void()> wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wakeDue_ = false;
    if (woken_ || queue_.empty()) return;
    woken_ = true;
    wake = wakeUp_;
  }
  // The loop's own wake-up first: a thread waiting here that returns has
  // been told as the loop has.
  if (wake) wake();
  posted_.notify_all();
}

void WindowMessages::PostMessageAfter(WindowHandle handle, std::uint32_t message,
                                      std::chrono::milliseconds delay, WParam wParam, LParam lParam) {
  const auto due = std::chrono::steady_clock::now() + delay;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closing_) return;
    timed_.emplace(due, WindowMessage{handle, message, wParam, lParam, std::nullopt});
    if (!timerThread_.joinable()) timerThread_ = std::thread([this] { RunTimers(); });
  }
  timedChanged_.notify_all();
}

void WindowMessages::RunTimers() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!closing_) {
    if (timed_.empty()) {
      timedChanged_.wait(lock);
      continue;
    }
    const auto due = timed_.begin()->first;
    if (std::chrono::steady_clock::now() < due) {
      timedChanged_.wait_until(lock, due);
      continue;
    }
    WindowMessage message = std::move(timed_.begin()->second);
    timed_.erase(timed_.begin());
    lock.unlock();
    if (message.target == 0) {
      WakeForQueued();
    } else {
      Enqueue(std::move(message));
    }
    lock.lock();
  }
}

bool WindowMessages::Enqueue(WindowMessage message) {
  std::function<void()> wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (message.target == 0 || windows_.count(message.target) == 0) return false;
    queue_.push_back(std::move(message));
    // A burst of posts wakes the loop once: until the queue has been
    // emptied, it has been told already (messages posted soon before do
    // not count as telling).
    if (!woken_) wake = wakeUp_;
    woken_ = true;
  }
  if (wake) wake();
  posted_.notify_all();
  return true;
}

size_t WindowMessages::DispatchPending() {
  size_t delivered = 0;
  for (;;) {
    WindowMessage message;
    MessageTarget* target = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) {
        woken_ = false;
        return delivered;
      }
      message = std::move(queue_.front());
      queue_.pop_front();
      auto it = windows_.find(message.target);
      if (it == windows_.end()) continue;  // destroyed since the post
      target = it->second;
    }
    // Delivered without the lock held: the window may post, register or
    // unregister while handling the message.
    target->OnWindowMessage(message);
    ++delivered;
  }
}

size_t WindowMessages::WaitAndDispatch(std::chrono::milliseconds timeout) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    // Messages posted soon wait for their time (or for a message that
    // wakes the thread), as they do on the windowed program's loop.
    posted_.wait_for(lock, timeout, [&] { return woken_; });
  }
  return DispatchPending();
}

void WindowMessages::SetWakeUp(std::function<void()> wakeUp) {
  std::lock_guard<std::mutex> lock(mutex_);
  wakeUp_ = std::move(wakeUp);
}

size_t WindowMessages::PendingCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

}  // namespace vyr::platform
