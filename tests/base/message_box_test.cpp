// Boxes asked for by workers: shown by the user-interface thread.
#include "base/message_box.h"

#include <gtest/gtest.h>

#include <future>

#include "tools/test_support.h"

namespace vyr {
namespace {

using namespace std::chrono_literals;

TEST(UiThreadMessageBoxTest, AWorkersQuestionIsShownOnTheUserInterfaceThreadUntilItCloses) {
  platform::WindowMessages wm;
  test::RecordingMessageBox shown;
  shown.tickCheckBox = true;
  UiThreadMessageBox boxes(shown, wm);
  bool ticked = false;
  std::promise<void> handedOver;
  std::future<int> answer = std::async(std::launch::async, [&] {
    return boxes.QuestionWithCheckBox("Delete them?", "Confirm", "Don't ask", &ticked);
  });
  // Should an assertion end the test early, the waiting worker is let go.
  std::unique_ptr<UiThreadMessageBox, void (*)(UiThreadMessageBox*)> letGo(&boxes, [](auto* b) { b->Close(); });
  for (int i = 0; i < 600 && answer.wait_for(0s) != std::future_status::ready; ++i) wm.WaitAndDispatch(50ms);
  ASSERT_EQ(answer.wait_for(0s), std::future_status::ready);
  EXPECT_EQ(answer.get(), IDYES);
  EXPECT_TRUE(ticked);  // the check box state comes back to the worker
  EXPECT_EQ(boxes.Question("Here?", "Now"), IDYES);  // on this thread: at once
  ASSERT_EQ(shown.boxes.size(), 2u);
  EXPECT_EQ(shown.boxes[0].checkBox, "Don't ask");
  EXPECT_EQ(shown.boxes[0].thread, std::this_thread::get_id());
  // Once the user interface is closed, a worker waiting for a box that was
  // handed over and not yet shown gets "cancel", and so does every later one.
  wm.SetWakeUp([&] { handedOver.set_value(); });
  answer = std::async(std::launch::async, [&] { return boxes.Question("Still there?", "W"); });
  ASSERT_EQ(handedOver.get_future().wait_for(30s), std::future_status::ready);
  boxes.Close();
  ASSERT_EQ(answer.wait_for(30s), std::future_status::ready);
  EXPECT_EQ(answer.get(), IDCANCEL);
  EXPECT_EQ(std::async(std::launch::async, [&] { return boxes.Error("Late"); }).get(), IDCANCEL);
  EXPECT_EQ(wm.DispatchPending() + shown.boxes.size(), 2u);  // nothing more was shown
}

}  // namespace
}  // namespace vyr
