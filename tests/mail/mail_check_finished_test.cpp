// What the mail window does when a check has finished: the status line, the
// new-mail message, the notification popup and the resumption after a
// stalled account. No server is involved.
#include <gtest/gtest.h>

#include "app/application.h"
#include "mail/receive/mail_check.h"
#include "platform/profile_file.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

class CheckFinishedTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ClearProfileCache(); }
  void Arrive(int n) {
    for (int i = 0; i < n; ++i) check.NewMessageNoticed();
  }
  test::TempDir home;
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
  MailCheck check{app, 0};
};

TEST_F(CheckFinishedTest, NewMessagesAnnounceThemselves) {
  Arrive(3);
  CheckFinishedOutcome out = check.CheckFinished(0, true, false);
  EXPECT_EQ(out.restartAfterMs, -1);
  EXPECT_TRUE(out.postNewMail);
  EXPECT_EQ(out.statusLine.substr(0, 62),
            "You have 3 new e-mail messages! - Last Successful Mail Check: ");
  EXPECT_EQ(out.notification, "You have 3 new e-mail messages\n\nDo you want to view your mailboxes?");
}

TEST_F(CheckFinishedTest, OneMessageOutsideTheInboxSaysWhere) {
  Arrive(1);
  CheckFinishedOutcome out = check.CheckFinished(0, false, true);
  EXPECT_EQ(out.statusLine.substr(0, 45), "You have 1 new e-mail message in your Inbox! ");
  EXPECT_TRUE(out.notification.empty());  // the mail window is in front
}

TEST_F(CheckFinishedTest, AFailedRunShowsNoNewMessagesAndNoTime) {
  Arrive(2);
  CheckFinishedOutcome out = check.CheckFinished(1, true, false);
  EXPECT_FALSE(out.postNewMail);
  EXPECT_EQ(out.statusLine, "No new messages.");
}

TEST_F(CheckFinishedTest, NewMailIsPostedOnlyWhenMoreArrivedThanLastTime) {
  Arrive(2);
  EXPECT_TRUE(check.CheckFinished(0, true, false).postNewMail);
  // The next run brings as many: no new-mail message, the status still counts.
  CheckFinishedOutcome out = check.CheckFinished(0, true, false);
  EXPECT_FALSE(out.postNewMail);
  EXPECT_EQ(out.statusLine.substr(0, 31), "You have 2 new e-mail messages!");
}

TEST_F(CheckFinishedTest, NotificationFollowsTheSetting) {
  CheckFinishedOutcome out = check.CheckFinished(0, true, false);
  EXPECT_EQ(out.notification, "No new messages.\n\nDo you want to view your mailboxes?");
  app.WriteInt("email", "popupnotification", 0);
  Arrive(1);
  EXPECT_TRUE(check.CheckFinished(0, true, false).notification.empty());
}

TEST_F(CheckFinishedTest, RunCutShortByTheWatchdogContinues) {
  check.SetAccountIndex(2);
  CheckFinishedOutcome out = check.CheckFinished(1, true, false);
  EXPECT_EQ(out.restartAfterMs, 500);
  EXPECT_TRUE(out.statusLine.empty());
  check.SetAccountIndex(4);  // past the last account: an ordinary end
  EXPECT_EQ(check.CheckFinished(1, true, false).restartAfterMs, -1);
}

TEST_F(CheckFinishedTest, IncompleteSettingsStartNothingAndAskWhenNotSilent) {
  struct Questions : MailCheckQuestions {
    int asked = 0;
    bool AskToCheckSettings(const std::string& text, const std::string& title) override {
      ++asked;
      EXPECT_EQ(title, "Setup Required");
      EXPECT_EQ(text, "Your e-mail settings are incomplete or invalid.\r\nChange them now ?");
      return false;
    }
    void OpenMailSettings() override {}
  } questions;
  check.SetQuestions(&questions);
  EXPECT_FALSE(check.StartMailCheck(true));
  EXPECT_EQ(questions.asked, 0);
  EXPECT_FALSE(check.StartMailCheck(false));
  EXPECT_EQ(questions.asked, 1);
  EXPECT_FALSE(check.IsRunning());
}

}  // namespace
}  // namespace vyr
