#include "platform/window_messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace vyr::platform {
namespace {

struct Recorder : MessageTarget {
  std::vector<WindowMessage> got;
  std::vector<std::thread::id> threads;
  std::function<void(const WindowMessage&)> also;
  void OnWindowMessage(const WindowMessage& m) override {
    threads.push_back(std::this_thread::get_id());
    got.push_back(m);
    if (also) also(m);
  }
};

TEST(WindowMessagesTest, PostsFromWorkersArriveInOrderOnTheDispatchingThread) {
  WindowMessages wm;
  Recorder window;
  WindowHandle h = wm.Register(&window);
  std::atomic<int> wakes{0};
  wm.SetWakeUp([&] { ++wakes; });
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < 100; ++i) wm.PostMessage(h, 0x8003, "status " + std::to_string(i), w, i);
    });
  }
  for (auto& t : workers) t.join();
  EXPECT_TRUE(window.got.empty());  // nothing is delivered before dispatch
  EXPECT_EQ(wakes, 1);              // one wake-up for the whole burst
  EXPECT_EQ(wm.DispatchPending(), 400u);
  std::vector<LParam> last(4, -1);
  for (size_t i = 0; i < window.got.size(); ++i) {
    const WindowMessage& m = window.got[i];
    EXPECT_EQ(window.threads[i], std::this_thread::get_id());
    EXPECT_EQ(*m.text, "status " + std::to_string(m.lParam));
    EXPECT_GT(m.lParam, last[m.wParam]);  // per worker, in posting order
    last[m.wParam] = m.lParam;
  }
}

TEST(WindowMessagesTest, ADestroyedWindowGetsNothingAndClosingDropsTheRest) {
  WindowMessages wm;
  Recorder a, b;
  WindowHandle ha = wm.Register(&a), hb = wm.Register(&b);
  b.also = [&](const WindowMessage& m) {
    if (m.message == 0x800D) wm.Unregister(hb);  // "close" while handling
  };
  wm.PostMessage(ha, 1);
  wm.PostMessage(hb, 2);
  wm.PostMessage(hb, 0x800D);
  wm.PostMessage(hb, 3);
  wm.Unregister(ha);  // queued messages for it are dropped
  EXPECT_FALSE(wm.IsWindow(ha));
  EXPECT_FALSE(wm.PostMessage(ha, 4));
  EXPECT_FALSE(wm.PostMessage(0, 5));
  EXPECT_EQ(wm.DispatchPending(), 2u);
  EXPECT_TRUE(a.got.empty());
  ASSERT_EQ(b.got.size(), 2u);
  EXPECT_EQ(b.got[1].message, 0x800Du);
  EXPECT_FALSE(wm.IsWindow(hb));
}

TEST(WindowMessagesTest, WaitAndDispatchWakesOnAPostFromAnotherThread) {
  WindowMessages wm;
  Recorder a;
  WindowHandle h = wm.Register(&a);
  std::thread worker([&] { wm.PostMessage(h, 9, "done"); });
  size_t n = 0;
  for (int i = 0; i < 600 && n == 0; ++i) n = wm.WaitAndDispatch(std::chrono::milliseconds(50));
  worker.join();
  EXPECT_EQ(n, 1u);
  EXPECT_EQ(*a.got.back().text, "done");
}

}  // namespace
}  // namespace vyr::platform
