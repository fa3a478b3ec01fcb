// The administrator's command queue: the line forms, delivery exactly once
// (to the next asker, to one installation, to each installation), the
// reply's size and many request threads at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "home_server/command_queue.h"
#include "home_server_test_support.h"

namespace vyr::home {
namespace {

using testing::ReadFile;
using testing::ScratchFolder;
using testing::WriteFile;
using Commands = std::vector<std::string>;

constexpr char kA[] = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA";
constexpr char kB[] = "BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB";
constexpr char kC[] = "0123456789abcdef0123456789ABCDEF";

TEST(QueueLine, ReadsTheThreeAudiences) {
  std::string error;
  auto next = ParseQueueLine("  showmail  ", error);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->audience, QueuedCommand::Audience::kNextAsker);
  EXPECT_EQ(next->text, "showmail");

  auto one = ParseQueueLine(std::string("@") + kC + "\tpinginterval 5", error);
  ASSERT_TRUE(one);
  EXPECT_EQ(one->audience, QueuedCommand::Audience::kOneInstallation);
  EXPECT_EQ(one->user, "0123456789ABCDEF0123456789ABCDEF");
  EXPECT_EQ(one->text, "pinginterval 5");

  auto every = ParseQueueLine("* ibpush 3 http://home.example/packages/ibox-3.zip", error);
  ASSERT_TRUE(every);
  EXPECT_EQ(every->audience, QueuedCommand::Audience::kEveryInstallation);
  EXPECT_EQ(every->text, "ibpush 3 http://home.example/packages/ibox-3.zip");
}

TEST(QueueLine, CommentsAreSilentAndBrokenLinesSayWhy) {
  std::string error;
  for (const char* comment : {"", "   ", "# a note", "  #showmail"}) {
    EXPECT_FALSE(ParseQueueLine(comment, error)) << comment;
    EXPECT_EQ(error, "") << comment;
  }
  for (const std::string& broken : {std::string("@123 showmail"), std::string("@"), std::string("@") + kA,
                                    std::string("*showmail"), std::string("* "),
                                    std::string("showmail#trackurls 1 x"), std::string("show\x01mail")}) {
    EXPECT_FALSE(ParseQueueLine(broken, error)) << broken;
    EXPECT_NE(error, "") << broken;
  }
}

class Queue : public ::testing::Test {
 protected:
  std::string QueueFile() const { return scratch_ / "commands/queue.txt"; }
  std::string DeliveredFile() const { return scratch_ / "commands/delivered.txt"; }
  CommandQueue Make() const { return CommandQueue(QueueFile(), scratch_ / "commands/queue.lock", DeliveredFile()); }
  ScratchFolder scratch_;
};

TEST_F(Queue, EachCommandReachesItsAudienceExactlyOnce) {
  WriteFile(QueueFile(), std::string("# pushed by the administrator\nshowmail\n@") + kA +
                             " pinginterval 5\n* ibpush 3 http://home.example/packages/ibox-3.zip\nbad#line\n");
  CommandQueue queue = Make();

  CommandQueue::Taken first = queue.TakeFor(kB, 10000);
  EXPECT_TRUE(first.ok);
  EXPECT_EQ(first.commands, (Commands{"showmail", "ibpush 3 http://home.example/packages/ibox-3.zip"}));
  ASSERT_EQ(first.problems.size(), 1u);
  EXPECT_NE(first.problems[0].find("bad#line"), std::string::npos);
  EXPECT_EQ(ReadFile(QueueFile()), std::string("# pushed by the administrator\n@") + kA +
                                       " pinginterval 5\n* ibpush 3 http://home.example/packages/ibox-3.zip\n"
                                       "bad#line\n");
  EXPECT_EQ(ReadFile(DeliveredFile()), std::string(kB) + "\tibpush 3 http://home.example/packages/ibox-3.zip\n");

  CommandQueue::Taken again = queue.TakeFor(kB, 10000);
  EXPECT_EQ(again.commands, Commands{});
  EXPECT_EQ(again.problems, Commands{});  // a broken line is reported once

  // The id is matched without regard to case.
  EXPECT_EQ(queue.TakeFor("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", 10000).commands,
            (Commands{"pinginterval 5", "ibpush 3 http://home.example/packages/ibox-3.zip"}));
  EXPECT_EQ(queue.TakeFor(kA, 10000).commands, Commands{});
  EXPECT_EQ(ReadFile(QueueFile()),
            "# pushed by the administrator\n* ibpush 3 http://home.example/packages/ibox-3.zip\nbad#line\n");

  // A restarted server reads who already has the command for everyone.
  CommandQueue restarted = Make();
  EXPECT_EQ(restarted.TakeFor(kB, 10000).commands, Commands{});
  EXPECT_EQ(restarted.TakeFor(kC, 10000).commands,
            Commands{"ibpush 3 http://home.example/packages/ibox-3.zip"});
}

TEST_F(Queue, WhatDoesNotFitWaitsAndTheOrderHolds) {
  WriteFile(QueueFile(), "first-command\nsecond\nthird\n");
  CommandQueue queue = Make();
  // "first-command#" is 14 bytes: "second#" no longer fits.
  EXPECT_EQ(queue.TakeFor(kA, 14 + 6).commands, Commands{"first-command"});
  EXPECT_EQ(ReadFile(QueueFile()), "second\nthird\n");
  // Too small for the first waiting one: the later one waits as well.
  EXPECT_EQ(queue.TakeFor(kA, 6).commands, Commands{});
  EXPECT_EQ(queue.TakeFor(kA, 7 + 6).commands, (Commands{"second", "third"}));
  EXPECT_EQ(ReadFile(QueueFile()), "");
}

TEST_F(Queue, NoQueueFileMeansNothingQueued) {
  std::filesystem::create_directories(scratch_ / "commands");
  CommandQueue queue = Make();
  const CommandQueue::Taken taken = queue.TakeFor(kA, 10000);
  EXPECT_TRUE(taken.ok);
  EXPECT_EQ(taken.commands, Commands{});
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
      for (int round = 0; round < 100; ++round) {
        // Room for about three commands per reply.
        CommandQueue::Taken taken = queue.TakeFor(user, 120);
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
