// The administrator's command queue: delivery exactly once to each
// audience, the reply's size and many request threads at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "home_server/command_queue.h"
#include "tools/test_support.h"

namespace vyr::home {
namespace {

using test::ReadFile;
using test::WriteFile;
using Commands = std::vector<std::string>;

constexpr char kA[] = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA";
constexpr char kB[] = "BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB";
constexpr char kC[] = "0123456789abcdef0123456789ABCDEF";

class Queue : public ::testing::Test {
 protected:
  std::string QueueFile() const { return scratch_.File("commands/queue.txt"); }
  std::string DeliveredFile() const { return scratch_.File("commands/delivered.txt"); }
  CommandQueue Make() const { return CommandQueue(QueueFile(), scratch_.File("commands/queue.lock"), DeliveredFile()); }
  test::TempDir scratch_;
};

TEST_F(Queue, EachCommandReachesItsAudienceExactlyOnce) {
  const std::string every = "* ibpush 3 http://home.example/packages/ibox-3.zip\n";
  WriteFile(QueueFile(), std::string("# note\n  showmail  \n@") + kA + "\tpinginterval 5\n" + every +
                             "@123 showmail\n*showmail\nbad#line\n");
  CommandQueue queue = Make();
  const CommandQueue::Taken first = queue.TakeFor(kB, 10000);
  EXPECT_TRUE(first.ok);
  EXPECT_EQ(first.commands, (Commands{"showmail", every.substr(2, every.size() - 3)}));
  ASSERT_EQ(first.problems.size(), 3u);  // each broken line is named, once
  EXPECT_NE(first.problems[2].find("bad#line"), std::string::npos);
  EXPECT_EQ(ReadFile(DeliveredFile()), std::string(kB) + "\t" + every.substr(2));
  const CommandQueue::Taken again = queue.TakeFor(kB, 10000);
  EXPECT_EQ(again.commands, Commands{});
  EXPECT_EQ(again.problems, Commands{});

  // The id is matched without regard to case.
  EXPECT_EQ(queue.TakeFor("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", 10000).commands,
            (Commands{"pinginterval 5", every.substr(2, every.size() - 3)}));
  EXPECT_EQ(queue.TakeFor(kA, 10000).commands, Commands{});
  EXPECT_EQ(ReadFile(QueueFile()), "# note\n" + every + "@123 showmail\n*showmail\nbad#line\n");

  // A restarted server knows who already has the command for everyone.
  CommandQueue restarted = Make();
  EXPECT_EQ(restarted.TakeFor(kB, 10000).commands, Commands{});
  EXPECT_EQ(restarted.TakeFor(kC, 10000).commands, Commands{every.substr(2, every.size() - 3)});
}

TEST_F(Queue, WhatDoesNotFitWaitsAndTheOrderHolds) {
  WriteFile(QueueFile(), "first-command\nsecond\nthird\n");
  CommandQueue queue = Make();
  // "first-command#" is 14 bytes: "second#" no longer fits.
  EXPECT_EQ(queue.TakeFor(kA, 14 + 6).commands, Commands{"first-command"});
  EXPECT_EQ(ReadFile(QueueFile()), "second\nthird\n");
  EXPECT_EQ(queue.TakeFor(kA, 6).commands, Commands{});
  EXPECT_EQ(queue.TakeFor(kA, 7 + 6).commands, (Commands{"second", "third"}));
  EXPECT_EQ(ReadFile(QueueFile()), "");
}

TEST_F(Queue, ManyThreadsTakeEveryCommandExactlyOnce) {
  std::string text;
  Commands all;
  for (int i = 0; i < 400; ++i) {
    all.push_back("trackurls " + std::to_string(i) + " http://example.org/" + std::to_string(i));
    text += all.back() + "\n";
  }
  WriteFile(QueueFile(), text);
  CommandQueue queue = Make();
  std::vector<Commands> got(8);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      const std::string user = std::string(31, 'A') + static_cast<char>('0' + t);
      for (int round = 0; round < 100; ++round) {  // room for about three commands a reply
        const CommandQueue::Taken taken = queue.TakeFor(user, 120);
        got[t].insert(got[t].end(), taken.commands.begin(), taken.commands.end());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  Commands delivered;
  for (const Commands& part : got) delivered.insert(delivered.end(), part.begin(), part.end());
  std::sort(delivered.begin(), delivered.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(delivered, all);
  EXPECT_EQ(ReadFile(QueueFile()), "");
}

}  // namespace
}  // namespace vyr::home
