#include "platform/window_messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace vyr::platform {
namespace {

struct Recorder : MessageTarget {
  std::vector<WindowMessage> got;
  std::thread::id thread;
  std::function<void(const WindowMessage&)> also;
  void OnWindowMessage(const WindowMessage& m) override {
    thread = std::this_thread::get_id();
    got.push_back(m);
    if (also) also(m);
  }
};

TEST(WindowMessagesTest, PostsFromWorkersArriveInOrderOnTheDispatchingThread) {
  WindowMessages wm;
  Recorder window;
  WindowHandle h = wm.Register(&window);
  ASSERT_TRUE(wm.IsWindow(h));
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < 100; ++i) {
        wm.PostMessage(h, 0x8003, "status " + std::to_string(i), static_cast<WParam>(w), i);
      }
    });
  }
  for (auto& t : workers) t.join();
  EXPECT_TRUE(window.got.empty());  // nothing is delivered before dispatch
  EXPECT_EQ(wm.DispatchPending(), 400u);
  EXPECT_EQ(window.thread, std::this_thread::get_id());
  std::vector<LParam> last(4, -1);
  for (const auto& m : window.got) {
    EXPECT_EQ(m.message, 0x8003u);
    ASSERT_TRUE(m.text.has_value());
    EXPECT_EQ(*m.text, "status " + std::to_string(m.lParam));
    EXPECT_GT(m.lParam, last[m.wParam]);  // per worker, in posting order
    last[m.wParam] = m.lParam;
  }
}

TEST(WindowMessagesTest, DestroyedWindowGetsNothing) {
  WindowMessages wm;
  Recorder a, b;
  WindowHandle ha = wm.Register(&a), hb = wm.Register(&b);
  EXPECT_NE(ha, hb);
  wm.PostMessage(ha, 1);
  wm.PostMessage(hb, 2);
  wm.PostMessage(ha, 3);
  wm.Unregister(ha);  // queued messages for it are dropped
  EXPECT_FALSE(wm.IsWindow(ha));
  EXPECT_FALSE(wm.PostMessage(ha, 4));
  EXPECT_FALSE(wm.PostMessage(0, 5));
  EXPECT_EQ(wm.DispatchPending(), 1u);
  EXPECT_TRUE(a.got.empty());
  ASSERT_EQ(b.got.size(), 1u);
  EXPECT_EQ(b.got[0].message, 2u);
}

TEST(WindowMessagesTest, AWindowClosingWhileHandlingDropsTheRestForItself) {
  WindowMessages wm;
  Recorder a;
  WindowHandle h = wm.Register(&a);
  a.also = [&](const WindowMessage& m) {
    if (m.message == 0x800D) wm.Unregister(h);  // "close"
  };
  wm.PostMessage(h, 0x8003);
  wm.PostMessage(h, 0x800D);
  wm.PostMessage(h, 0x8003);
  EXPECT_EQ(wm.DispatchPending(), 2u);
  EXPECT_EQ(a.got.size(), 2u);
}

TEST(WindowMessagesTest, WakeUpFiresOncePerBurstAndWaitDispatchWakesOnAPost) {
  WindowMessages wm;
  Recorder a;
  WindowHandle h = wm.Register(&a);
  std::atomic<int> wakes{0};
  wm.SetWakeUp([&] { ++wakes; });
  for (int i = 0; i < 10; ++i) wm.PostMessage(h, 7);
  EXPECT_EQ(wakes.load(), 1);
  wm.DispatchPending();
  wm.PostMessage(h, 8);
  EXPECT_EQ(wakes.load(), 2);
  wm.DispatchPending();

  std::thread worker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    wm.PostMessage(h, 9, "done");
  });
  size_t n = wm.WaitAndDispatch(std::chrono::seconds(10));
  worker.join();
  EXPECT_EQ(n, 1u);
  EXPECT_EQ(a.got.back().message, 9u);
  EXPECT_EQ(wm.WaitAndDispatch(std::chrono::milliseconds(10)), 0u);
}

}  // namespace
}  // namespace vyr::platform
