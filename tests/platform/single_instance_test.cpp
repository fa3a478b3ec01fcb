#include "platform/single_instance.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "tools/test_support.h"

namespace vyr::platform {
namespace {

TEST(SingleInstanceTest, ALaterStartHandsItsAddressToTheRunningOne) {
  test::TempDir runtime;
  test::ScopedEnv env("XDG_RUNTIME_DIR", runtime.Path());
  EXPECT_EQ(SingleInstance::SocketPath(), runtime.File("Vyrelle20SpecialClass"));
  EXPECT_FALSE(SingleInstance::HandOver("http://a.example/"));  // nobody runs yet
  // A socket file left by an instance that is gone does not stop a start.
  {
    SingleInstance gone;
    ASSERT_TRUE(gone.Listen(nullptr, nullptr));
    SingleInstance second;
    EXPECT_FALSE(second.Listen(nullptr, nullptr));  // one runs already
  }
  test::WriteFile(runtime.File("Vyrelle20SpecialClass"), "");

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> events;
  auto record = [&](const std::string& e) {
    std::lock_guard<std::mutex> lock(mutex);
    events.push_back(e);
    changed.notify_all();
  };
  SingleInstance running;
  ASSERT_TRUE(running.Listen([&](const std::string& a) { record("open " + a); }, [&] { record("front"); }));
  const struct {
    std::string handed;
    std::vector<std::string> expected;
  } cases[] = {
      {"mailto:ann@mail.example?subject=Hi there\nline", {"open mailto:ann@mail.example?subject=Hi there\nline", "front"}},
      {"", {"front"}},
  };
  for (const auto& c : cases) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      events.clear();
    }
    EXPECT_TRUE(SingleInstance::HandOver(c.handed));
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, std::chrono::seconds(5), [&] { return events.size() >= c.expected.size(); });
    EXPECT_EQ(events, c.expected);
  }
}

}  // namespace
}  // namespace vyr::platform
