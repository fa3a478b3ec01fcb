// What the mail window does when a check has finished: the status line, the
// new-mail message, the notification popup and the resumption after a
// stalled account. No server is involved.
#include <gtest/gtest.h>

#include "app/application.h"
#include "mail/receive/mail_check.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

class CheckFinishedTest : public ::testing::Test, protected test::TestApp {
 protected:
  CheckFinishedOutcome Finish(int arrived, int result, bool inboxShown = true, bool inFront = false) {
    for (int i = 0; i < arrived; ++i) check.NewMessageNoticed();
    return check.CheckFinished(result, inboxShown, inFront);
  }
  MailCheck check{app, 0};
};

TEST_F(CheckFinishedTest, StatusLinesNewMailAndNotifications) {
  const std::string ask = "\n\nDo you want to view your mailboxes?";
  EXPECT_EQ(Finish(0, 0).notification, "No new messages." + ask);
  CheckFinishedOutcome out = Finish(3, 0);
  EXPECT_TRUE(out.postNewMail && out.restartAfterMs == -1);
  EXPECT_EQ(out.statusLine.substr(0, 62) + "|" + out.notification,
            "You have 3 new e-mail messages! - Last Successful Mail Check: |You have 3 new e-mail messages" + ask);
  out = Finish(0, 0);  // as many as last time: no new-mail message
  EXPECT_TRUE(!out.postNewMail && out.statusLine.substr(0, 31) == "You have 3 new e-mail messages!");
  out = Finish(0, 1);  // a failed run
  EXPECT_TRUE(out.statusLine == "No new messages." && !out.postNewMail);

  MailCheck fresh{app, 0};
  fresh.NewMessageNoticed();
  out = fresh.CheckFinished(0, false, true);  // the mail window in front: no notification
  EXPECT_EQ(out.statusLine.substr(0, 45) + out.notification, "You have 1 new e-mail message in your Inbox! ");
  app.WriteInt("email", "popupnotification", 0);
  EXPECT_TRUE(Finish(1, 0).notification.empty());
}

TEST_F(CheckFinishedTest, OnlyARunCutShortByTheWatchdogContinues) {
  check.SetAccountIndex(2);
  CheckFinishedOutcome out = check.CheckFinished(1, true, false);
  EXPECT_TRUE(out.restartAfterMs == 500 && out.statusLine.empty());
  check.SetAccountIndex(4);  // past the last account: an ordinary end
  EXPECT_EQ(check.CheckFinished(1, true, false).restartAfterMs, -1);
  check.SetAccountIndex(2);
  check.WatchdogExpired();  // no run in progress: nothing to time out
  EXPECT_EQ(check.AccountIndex(), 2);
}

}  // namespace
}  // namespace vyr
