// The mail store on real folders: paths and the folder set, read state in
// the file times, summaries and keys of message files, the welcome message,
// and the folder and message operations with the texts they show.
#include "mail/store/mail_store.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <thread>

#include "mail/mail_test_util.h"
#include "platform/profile_file.h"
#include "platform/string_table.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using platform::FileTimes;
using Texts = std::vector<std::string>;

constexpr std::int64_t kSecond = 1000000000;

// Records boxes and ticks the question's check box when asked to.
class TickingMessageBox : public test::RecordingMessageBox {
 public:
  int Question(const std::string& text, const std::string& caption, bool* dontShowAgain) override {
    offeredCheckBox.push_back(dontShowAgain != nullptr);
    if (dontShowAgain) *dontShowAgain = tick;
    return RecordingMessageBox::Question(text, caption, dontShowAgain);
  }
  bool tick = false;
  std::vector<bool> offeredCheckBox;
};

void SetTimes(const std::string& path, std::int64_t createdSec, std::int64_t accessedSec) {
  ASSERT_TRUE(platform::SetFileTimes(path, FileTimes{createdSec * kSecond, accessedSec * kSecond}));
}

FileTimes TimesOf(const std::string& path) {
  FileTimes t;
  EXPECT_TRUE(platform::GetFileTimes(path, t));
  return t;
}

const char kMessage[] =
    "From: Alice <alice@example.org>\r\n"
    "To: Bob <bob@example.net>\r\n"
    "Subject: Lunch\r\n"
    "Date: Tue, 3 Mar 2020 10:15:00 +0100\r\n"
    "\r\n"
    "See you at noon.\r\n.";

class MailStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClearProfileCache();
    platform::SetStringLanguage(platform::Language::English);
  }
  // A message file in a folder of the store.
  std::string Message(const std::string& folder, const std::string& name, const std::string& text = kMessage) {
    const std::string path = store.FolderPath(folder, true) + name;
    test::WriteFile(path, text);
    return path;
  }
  std::string Root() const { return home.Path() + "/vyrelle/email/"; }
  Texts Shown() const {
    Texts texts;
    for (const auto& b : boxes.boxes) texts.push_back(b.text);
    return texts;
  }

  test::TempDir home;
  TickingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
  MailStore store{app};
};

// --- paths and folders --------------------------------------------------------------------------

TEST_F(MailStoreTest, FolderPathsHangBelowTheMailRoot) {
  EXPECT_EQ(store.MailRoot(false), Root());
  EXPECT_EQ(store.FolderPath("", false), "") << "a missing root is no folder";
  EXPECT_EQ(store.FolderPath("Inbox", false), "");
  EXPECT_FALSE(fs::exists(Root())) << "a lookup without create creates nothing";

  EXPECT_EQ(store.FolderPath("Inbox", true), Root() + "Inbox/");
  EXPECT_EQ(store.FolderPath("", false), Root());
  EXPECT_EQ(store.FolderPath("Inbox", false), Root() + "Inbox/");
  EXPECT_EQ(store.TempDirectory(), home.Path() + "/vyrelle/_TEMP/");
  // Names that would leave the mail root are no folder.
  for (const char* bad : {"..", ".", "../outside", "a/b", "a\\b", " "}) {
    EXPECT_EQ(store.FolderPath(bad, true), "") << bad;
  }
  EXPECT_FALSE(fs::exists(home.Path() + "/vyrelle/outside"));
  EXPECT_TRUE(boxes.boxes.empty());

  test::WriteFile(Root() + "Trash", "a file in the way");
  EXPECT_EQ(store.FolderPath("Trash", true), "");
  EXPECT_EQ(Shown(), Texts{"Error creating email directory"});
  EXPECT_EQ(test::ReadFile(Root() + "Trash"), "a file in the way");
}

TEST_F(MailStoreTest, TheTreeListsSystemFoldersFirstAndAnInboxInAnotherCaseOnce) {
  EXPECT_TRUE(MailStore::IsSystemFolder("sent ITEMS"));
  EXPECT_FALSE(MailStore::IsSystemFolder("Drafts"));
  fs::create_directories(Root() + "inbox");  // the Inbox, spelled otherwise
  fs::create_directories(Root() + "zeta");
  fs::create_directories(Root() + "Alpha");
  fs::create_directories(Root() + "TRASH");
  fs::create_directories(Root() + "beta");
  test::WriteFile(Root() + "Email Signature.txt", "-- \nme");
  EXPECT_EQ(store.FolderNames(), (Texts{"Inbox", "Outbox", "Sent Items", "Draft", "Trash", "Alpha", "beta", "zeta"}));
  // A system folder's path is its directory, whatever its case.
  EXPECT_EQ(store.FolderPath("Inbox", false), Root() + "inbox/");
  EXPECT_EQ(store.FolderPath("Trash", true), Root() + "TRASH/");
  EXPECT_FALSE(fs::exists(Root() + "Trash"));
}

TEST_F(MailStoreTest, TreeIconsAndBoldFolders) {
  Message("Inbox", "a.mail");
  store.FolderPath("Outbox", true);
  Message("Draft", "Out1.mail");
  Message("Trash", "old.mail");
  fs::create_directories(Root() + "Work");
  const auto tree = store.FolderTree();
  ASSERT_EQ(tree.size(), 6u);
  const FolderIcon icons[] = {FolderIcon::Inbox,    FolderIcon::Outgoing, FolderIcon::Outgoing,
                              FolderIcon::Outgoing, FolderIcon::Trash,    FolderIcon::User};
  const bool bold[] = {false, false, false, true, true, false};  // Outbox is empty
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(tree[i].icon, icons[i]) << tree[i].name;
    EXPECT_EQ(tree[i].bold, bold[i]) << tree[i].name;
  }
  EXPECT_EQ(tree[2].path, "") << "Sent Items does not exist yet";
}

TEST_F(MailStoreTest, OutgoingFoldersByTheirOwnName) {
  EXPECT_TRUE(MailStore::IsOutgoingPath("/h/vyrelle/email/Outbox/Out1.mail"));
  EXPECT_TRUE(MailStore::IsOutgoingPath("/h/vyrelle/email/Sent Items/Out2.mail"));
  EXPECT_TRUE(MailStore::IsOutgoingPath("/h/vyrelle/email/Old Drafts/x.mail"));
  EXPECT_TRUE(MailStore::IsOutgoingPath("/h/vyrelle/email/outbox/"));
  EXPECT_TRUE(MailStore::IsOutgoingPath("C:\\Vyrelle\\email\\Sent Items\\Out1.mail"));
  EXPECT_FALSE(MailStore::IsOutgoingPath("/h/vyrelle/email/Inbox/"));
  // Where the data directory lies does not make Inbox an outgoing folder.
  EXPECT_FALSE(MailStore::IsOutgoingPath("/home/draftsman/Outbox stuff/vyrelle/email/Inbox/S1.mail"));
  EXPECT_FALSE(MailStore::IsTrashPath("/home/trash/vyrelle/email/Inbox/"));
  EXPECT_EQ(MailStore::FolderNameOf("/h/email/Sent Items/Out1.mail"), "Sent Items");
  EXPECT_EQ(MailStore::FolderNameOf("/h/email/Sent Items/"), "Sent Items");
}

// --- read state -------------------------------------------------------------------------------

TEST_F(MailStoreTest, ReadStateFollowsTheFileTimes) {
  const std::string path = Message("Inbox", "a.mail");
  SetTimes(path, 1000000, 1000002);
  EXPECT_TRUE(MailStore::IsUnread(path)) << "two seconds later is still unread";
  ASSERT_TRUE(platform::SetFileTimes(path, FileTimes{1000000 * kSecond, 1000002 * kSecond + 1}));
  EXPECT_FALSE(MailStore::IsUnread(path));
  SetTimes(path, 1000000, 900000);
  EXPECT_TRUE(MailStore::IsUnread(path));
  EXPECT_FALSE(MailStore::IsUnread(Root() + "Inbox/missing.mail"));
  EXPECT_FALSE(MailStore::MarkRead(Root() + "Inbox/missing.mail"));
  EXPECT_FALSE(MailStore::MarkUnread(Root() + "Inbox/missing.mail"));
}

TEST_F(MailStoreTest, MarkReadMovesTheCreationTimeToNoonOfTheSameDayAYearEarlier) {
  mailtest::ScopedZone zone("EST5EDT,M3.2.0,M11.1.0");
  const std::string path = Message("Inbox", "a.mail");
  // Last access 2024-03-15 23:30 local (EDT), already the 16th in UTC.
  SetTimes(path, 1710559800 - 3600, 1710559800);
  ASSERT_TRUE(MailStore::MarkRead(path));
  EXPECT_EQ(TimesOf(path), (FileTimes{1678896000 * kSecond, 1710559800 * kSecond})) << "2023-03-15 12:00 EDT";
  EXPECT_FALSE(MailStore::IsUnread(path));
  ASSERT_TRUE(MailStore::MarkUnread(path));
  EXPECT_EQ(TimesOf(path), (FileTimes{1678896000 * kSecond, 1678896000 * kSecond}));
  EXPECT_TRUE(MailStore::IsUnread(path));

  mailtest::ScopedZone utc("UTC0");
  SetTimes(path, 1709200800, 1709200800);  // 2024-02-29 10:00 UTC
  ASSERT_TRUE(MailStore::MarkRead(path));
  EXPECT_EQ(TimesOf(path).createdNs, 1677585600 * kSecond) << "2023-02-28 12:00 UTC";
}

TEST_F(MailStoreTest, MarkReadNeverClaimsAMarkThatDidNotHold) {
  // Marking read and unread again and again moves the creation time back a
  // year each time, past the oldest date some file systems keep (ext4: 1901).
  const std::string path = Message("Inbox", "a.mail");
  const std::string probe = Message("Inbox", "probe", "0123456789");
  SetTimes(probe, -5000000000LL, -5000000000LL);  // 1811
  const bool clamps = TimesOf(probe).createdNs != -5000000000LL * kSecond;
  bool failed = false;
  for (int i = 0; i < 200 && !failed; ++i) {
    failed = !MailStore::MarkRead(path);
    if (!failed) {
      EXPECT_FALSE(MailStore::IsUnread(path)) << "reported read, so it must be read";
      ASSERT_TRUE(MailStore::MarkUnread(path));
    }
  }
  EXPECT_EQ(failed, clamps) << "a mark that did not hold is reported, and only then";
}

TEST_F(MailStoreTest, AMessageReadByAnotherProgramTurnsRead) {
  const std::string path = Message("Inbox", "a.mail");
  const std::int64_t now = std::time(nullptr);
  SetTimes(path, now - 3600, now - 3600);
  ASSERT_TRUE(MailStore::IsUnread(path));
  EXPECT_EQ(test::ReadFile(path), kMessage);  // another program reads it
  const FileTimes t = TimesOf(path);
  if (t.accessedNs == (now - 3600) * kSecond) {
    // The file system does not record accesses (noatime): do it as it would.
    ASSERT_TRUE(platform::SetFileTimes(path, FileTimes{t.createdNs, now * kSecond}));
  }
  EXPECT_FALSE(MailStore::IsUnread(path));
}

// --- summaries and keys ---------------------------------------------------------------------------

TEST_F(MailStoreTest, ReadingASummaryLeavesTheReadStateAndTimesAlone) {
  const std::string path = Message("Inbox", "a.mail");
  const std::int64_t now = std::time(nullptr);
  // Unread, with the access time not later than the modification time: a
  // read under relatime moves it.
  SetTimes(path, now - 7200, now - 7200);
  const FileTimes before = TimesOf(path);
  MessageSummary s;
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(store.ReadSummary(path, s));
    EXPECT_EQ(TimesOf(path), before);
  }
  EXPECT_EQ(s.path, path);
  EXPECT_TRUE(s.unread);
  EXPECT_FALSE(s.outgoing);
  EXPECT_EQ(s.from, "Alice <alice@example.org>");
  EXPECT_EQ(s.subject, "Lunch");
  ASSERT_TRUE(store.ReadSummary(Message("Sent Items", "Out1.mail"), s));
  EXPECT_TRUE(s.outgoing);
}

TEST_F(MailStoreTest, ShortOrMissingFilesGiveNoSummary) {
  const std::string tiny = Message("Inbox", "tiny.mail", "123456789");
  MessageSummary s;
  s.subject = "stale";
  EXPECT_FALSE(store.ReadSummary(tiny, s));
  EXPECT_EQ(s.path, tiny);
  EXPECT_EQ(s.subject, "");
  EXPECT_EQ(store.ReadSummaryQuiet(tiny, s), SummaryResult::TooShort);
  test::WriteFile(tiny, "1234567890");
  EXPECT_EQ(store.ReadSummaryQuiet(tiny, s), SummaryResult::Ok) << "ten bytes are a message";
  EXPECT_EQ(store.ReadSummaryQuiet(Root() + "Inbox/missing", s), SummaryResult::NotExamined);
  EXPECT_EQ(store.ReadSummaryQuiet(Root() + "Inbox", s), SummaryResult::NotExamined);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MailStoreTest, AFileThatCannotBeOpenedShowsItsMessage) {
  const std::string path = Message("Inbox", "a.mail");
  SetTimes(path, 7000000, 7000000);
  MessageSummary s;
  {
    mailtest::NoFreeFileHandles full;  // the file can be examined, not opened
    EXPECT_EQ(store.ReadSummaryQuiet(path, s), SummaryResult::OpenFailed);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(store.ReadSummary(path, s));
    EXPECT_EQ(store.MessageKey(path), "0");
  }
  EXPECT_EQ(Shown(), (Texts{"Open Failed", "Error happened with letter [" + path + "]"}));
  EXPECT_TRUE(s.unread) << "the state is still known";
  EXPECT_EQ(TimesOf(path), (FileTimes{7000000 * kSecond, 7000000 * kSecond}));
  std::string error;
  EXPECT_EQ(store.MessageKey(Root() + "Inbox", &error), "0");
  EXPECT_EQ(error, "Error happened with letter [" + Root() + "Inbox]");
  EXPECT_EQ(boxes.boxes.size(), 2u) << "the quiet form shows no box";
}

TEST_F(MailStoreTest, MessageKeyOfAFile) {
  const std::string a = Message("Inbox", "a.new", "Subject: ab\r\nX-Other: 1\r\n\r\nfirst body\r\n.");
  const std::string b = Message("Inbox", "b.new", "X-Other: 2\r\nSubject: ab\r\n\r\nsecond body\r\n.");
  SetTimes(a, 5000000, 5000000);
  EXPECT_EQ(store.MessageKey(a), "X-392");
  EXPECT_EQ(store.MessageKey(b), "X-392") << "the same headers give the same key";
  EXPECT_EQ(TimesOf(a), (FileTimes{5000000 * kSecond, 5000000 * kSecond}));
  EXPECT_EQ(store.MessageKey(Message("Inbox", "none.new", "X-Mailer: a\r\n\r\nbody")), "X-0");
  EXPECT_EQ(store.MessageKey(Root() + "Inbox/missing.new"), "0");
  EXPECT_TRUE(boxes.boxes.empty()) << "a file that cannot be examined shows nothing";
}

TEST_F(MailStoreTest, HeaderScansAndTemporaryNamesWaitForTheMailLock) {
  const std::string path = Message("Inbox", "a.mail");
  for (int which = 0; which < 3; ++which) {
    std::atomic<bool> done{false};
    std::unique_lock<std::mutex> held(app.MailLock());
    std::thread worker([&] {
      MessageSummary s;
      if (which == 0) store.ReadSummaryQuiet(path, s);
      if (which == 1) store.MessageKey(path);
      if (which == 2) store.NewDownloadPath();
      done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(done) << "operation " << which << " ran without the lock";
    held.unlock();
    worker.join();
  }
}

TEST_F(MailStoreTest, ASummaryReadNeverUndoesAMarkMadeMeanwhile) {
  // The loader reads summaries (and puts the file times back) on its own
  // thread while the user marks messages: a mark must always stick, and the
  // state is never seen half-way through a summary read.
  std::vector<std::string> paths;
  for (int i = 0; i < 1500; ++i) paths.push_back(Message("Inbox", std::to_string(i) + ".mail"));
  std::atomic<int> current{0};
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    MessageSummary s;
    while (!stop) store.ReadSummaryQuiet(paths[current], s);
  });
  int lost = 0;
  for (int i = 0; i < static_cast<int>(paths.size()); ++i) {
    current = i;
    MailStore::MarkRead(paths[i]);
    if (MailStore::IsUnread(paths[i])) ++lost;
    MailStore::MarkUnread(paths[i]);
    if (!MailStore::IsUnread(paths[i])) ++lost;
  }
  stop = true;
  reader.join();
  EXPECT_EQ(lost, 0);
}

TEST_F(MailStoreTest, DownloadNamesLieInTempAndNeverRepeat) {
  const std::string a = store.NewDownloadPath(), b = store.NewDownloadPath();
  const std::string temp = home.Path() + "/vyrelle/_TEMP/M";
  ASSERT_EQ(a.rfind(temp, 0), 0u) << a;
  EXPECT_EQ(a.substr(a.size() - 4), ".new");
  const std::string digits = a.substr(temp.size(), a.size() - temp.size() - 4);
  EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << a;
  EXPECT_NE(a, b);
}

TEST_F(MailStoreTest, AnEmptyInboxGetsTheWelcomeMessage) {
  fs::create_directories(Root() + "Inbox/sub");
  EXPECT_FALSE(store.EnsureWelcomeMessage()) << "any entry keeps it away";
  fs::remove(Root() + "Inbox/sub");
  ASSERT_TRUE(store.EnsureWelcomeMessage());
  const std::string path = Root() + "Inbox/welcome.mail";
  const std::string text = test::ReadFile(path);
  EXPECT_EQ(text.rfind("Return-Path: <support@vyrelle.example>\r\n"
                       "From: Vyrelle Support <support@vyrelle.example>\r\n"
                       "To: New User\r\nSubject: Welcome\r\nDate: Sat, 9 May 1998 18:30:37 -0400\r\n\r\n",
                       0),
            0u);
  EXPECT_NE(text.find("SETTINGS"), std::string::npos);
  EXPECT_TRUE(MailStore::IsUnread(path));
  EXPECT_FALSE(store.EnsureWelcomeMessage()) << "written once";
}

// --- deleting and moving messages --------------------------------------------------------------

TEST_F(MailStoreTest, DeletingAsksFirstAndKeepsTheCheckBoxAnswer) {
  EXPECT_TRUE(store.DeleteMessages({}, false).cancelled);
  EXPECT_EQ(Shown(), Texts{"No items selected!"});
  boxes.boxes.clear();

  const std::string a = Message("Inbox", "a.mail");
  boxes.answer = IDNO;
  EXPECT_TRUE(store.DeleteMessages({a}, false).cancelled);
  EXPECT_TRUE(fs::exists(a));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].kind, "question");
  EXPECT_EQ(boxes.boxes[0].text, "Delete message(s)?");
  EXPECT_EQ(boxes.boxes[0].caption, "Confirm");
  EXPECT_TRUE(boxes.offeredCheckBox[0]);
  EXPECT_EQ(app.GetInt("email", "DontPromptForDeletion", -1), 0) << "written whatever the answer";

  // Ticking the box, even when saying no, stops the question from now on.
  boxes.tick = true;
  EXPECT_TRUE(store.DeleteMessages({a}, false).cancelled);
  EXPECT_EQ(app.GetInt("email", "DontPromptForDeletion", -1), 1);
  EXPECT_FALSE(store.DeleteMessages({a}, false).cancelled);
  EXPECT_EQ(boxes.boxes.size(), 2u) << "no third question";
  EXPECT_TRUE(fs::exists(Root() + "Trash/a.mail"));
}

TEST_F(MailStoreTest, DeletingMovesToTrashAndDeletingInTrashRemoves) {
  const std::string a = Message("Inbox", "a.mail", "first message text");
  const std::string b = Message("Work", "b.mail", "second message text");
  DeleteOutcome d = store.DeleteMessages({a}, false);
  EXPECT_EQ(d.removed, Texts{a});
  EXPECT_EQ(d.status, "1 message moved to Trash (emptied when Vyrelle is closed)");
  EXPECT_EQ(test::ReadFile(Root() + "Trash/a.mail"), "first message text");

  // A message of the same name already in Trash stays; the new one gets
  // another name. A file that cannot be moved keeps its row.
  const std::string a2 = Message("Inbox", "a.mail", "same name, other text");
  d = store.DeleteMessages({a2, Root() + "Inbox/vanished.mail", b}, false);
  EXPECT_EQ(d.removed, (Texts{a2, b}));
  EXPECT_EQ(d.status, "2 messages moved to Trash (emptied upon exit)");
  EXPECT_EQ(test::ReadFile(Root() + "Trash/a.mail"), "first message text");
  EXPECT_EQ(test::ReadFile(Root() + "Trash/a~2.mail"), "same name, other text");

  // In Trash: removed for good, and no status text while Trash is shown.
  const std::string inTrash = Root() + "Trash/a.mail";
  ::chmod(inTrash.c_str(), 0444);
  d = store.DeleteMessages({inTrash}, true);
  EXPECT_EQ(d.removed, Texts{inTrash});
  EXPECT_EQ(d.status, "");
  EXPECT_FALSE(fs::exists(inTrash));
  EXPECT_TRUE(fs::exists(Root() + "Trash/a~2.mail"));
}

TEST_F(MailStoreTest, DroppingIntoAnotherFolderMovesTheFiles) {
  const std::string a = Message("Inbox", "a.mail", "message a text");
  const std::string b = Message("Inbox", "b.mail", "message b text");
  store.FolderPath("Work", true);
  MoveOutcome m = store.MoveDroppedFiles({a}, "Work");
  EXPECT_FALSE(m.refused);
  EXPECT_EQ(m.movedFrom, Texts{a});
  EXPECT_EQ(m.movedTo, Texts{Root() + "Work/a.mail"});
  EXPECT_EQ(m.status, "1 message moved to Work");
  EXPECT_FALSE(fs::exists(a));

  // A file of that name in the target stays; the moved one gets another name.
  const std::string a2 = Message("Inbox", "a.mail", "another a");
  m = store.MoveDroppedFiles({a2, b}, "Work");
  EXPECT_EQ(m.status, "2 messages moved to Work");
  EXPECT_EQ(test::ReadFile(Root() + "Work/a.mail"), "message a text");
  EXPECT_EQ(test::ReadFile(Root() + "Work/a~2.mail"), "another a");
  EXPECT_EQ(test::ReadFile(Root() + "Work/b.mail"), "message b text");

  // Files from outside the store are not taken.
  const std::string outside = home.File("Documents/letter.txt");
  test::WriteFile(outside, "my own letter");
  m = store.MoveDroppedFiles({outside}, "Work");
  EXPECT_TRUE(m.movedFrom.empty());
  EXPECT_TRUE(fs::exists(outside));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MailStoreTest, MoveRefusals) {
  const std::string inbox = Message("Inbox", "a.mail");
  const std::string draft = Message("Draft", "Out1.mail");
  const std::string sent = Message("Sent Items", "Out2.mail");
  const std::string refusal = "You cannot move files TO or FROM the Outbox, Draft or Sent Items Folders.";

  EXPECT_TRUE(store.MoveDroppedFiles({inbox}, "inbox").refused);
  EXPECT_TRUE(store.MoveDroppedFiles({inbox}, "Draft").refused);
  EXPECT_TRUE(store.MoveDroppedFiles({sent}, "Inbox").refused);
  EXPECT_TRUE(store.MoveDroppedFiles({draft}, "Outbox").refused);
  EXPECT_EQ(Shown(), (Texts{"You can not copy from a folder to itself", refusal, refusal, refusal}));
  EXPECT_TRUE(fs::exists(inbox) && fs::exists(draft) && fs::exists(sent));

  const MoveOutcome m = store.MoveDroppedFiles({draft}, "Trash");
  EXPECT_FALSE(m.refused);
  EXPECT_EQ(m.status, "1 message moved to Trash");
  EXPECT_TRUE(fs::exists(Root() + "Trash/Out1.mail"));

  // A refusal stops the move; what was moved before it stays moved.
  store.FolderPath("Work", true);
  const std::string b = Message("Inbox", "b.mail");
  const MoveOutcome stopped = store.MoveDroppedFiles({inbox, sent, b}, "Work");
  EXPECT_TRUE(stopped.refused);
  EXPECT_EQ(stopped.movedFrom, Texts{inbox});
  EXPECT_EQ(stopped.status, "1 message moved to Work");
  EXPECT_TRUE(fs::exists(b)) << "files after the refusal stay";
}

// --- folders ----------------------------------------------------------------------------------------

TEST_F(MailStoreTest, NewFolderRefusesExistingAndUnsafeNames) {
  EXPECT_EQ(MailStore::RenameFolderPrompt("Work"), "Enter new name for: Work");
  EXPECT_EQ(store.NewFolder("Work"), FolderResult::Done);
  EXPECT_TRUE(fs::is_directory(Root() + "Work"));
  EXPECT_EQ(store.NewFolder("WORK"), FolderResult::Exists);
  EXPECT_EQ(store.NewFolder("inbox"), FolderResult::Exists) << "system folders always exist";
  EXPECT_EQ(Shown(), (Texts{"Folder with this name already exists", "Folder with this name already exists"}));
  EXPECT_FALSE(fs::exists(Root() + "WORK") || fs::exists(Root() + "inbox"));

  EXPECT_EQ(store.NewFolder("../escape"), FolderResult::InvalidName);
  EXPECT_EQ(store.NewFolder(""), FolderResult::InvalidName);
  EXPECT_FALSE(fs::exists(home.Path() + "/vyrelle/escape"));
  test::WriteFile(Root() + "Email Signature.txt", "sig");
  boxes.boxes.clear();
  EXPECT_EQ(store.NewFolder("Email Signature.txt"), FolderResult::Failed);
  EXPECT_EQ(Shown(), Texts{"Error creating email directory"});
}

TEST_F(MailStoreTest, RenameFolderKeepsItsMessages) {
  Message("Work", "a.mail", "work message");
  fs::create_directories(Root() + "Private");
  EXPECT_EQ(store.RenameFolder("Work", "Jobs"), FolderResult::Done);
  EXPECT_EQ(test::ReadFile(Root() + "Jobs/a.mail"), "work message");
  EXPECT_EQ(store.RenameFolder("Jobs", "jobs"), FolderResult::Done) << "a change of case only";
  EXPECT_TRUE(boxes.boxes.empty());

  const std::string exists = "Folder with this name already exists";
  EXPECT_EQ(store.RenameFolder("jobs", "private"), FolderResult::Exists);
  EXPECT_EQ(store.RenameFolder("jobs", "Trash"), FolderResult::Exists);
  EXPECT_EQ(store.RenameFolder("Nowhere", "Else"), FolderResult::Failed);
  EXPECT_EQ(Shown(), (Texts{exists, exists, exists}));
  EXPECT_TRUE(fs::exists(Root() + "jobs/a.mail"));
  EXPECT_TRUE(fs::is_empty(Root() + "Private"));

  store.FolderPath("Inbox", true);
  EXPECT_EQ(store.RenameFolder("Inbox", "Old"), FolderResult::SystemFolder);
  EXPECT_EQ(store.RenameFolder("jobs", "a/b"), FolderResult::InvalidName);
  EXPECT_TRUE(fs::is_directory(Root() + "Inbox"));
}

TEST_F(MailStoreTest, DeleteFolderAsksBeforeRemovingItsMessages) {
  Message("Work", "a.mail");
  const std::string b = Message("Work", "b.mail");
  ::chmod(b.c_str(), 0444);
  boxes.answer = IDNO;
  EXPECT_EQ(store.DeleteFolder("Work"), FolderResult::Cancelled);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Work contains 2 message(s)\nDelete them?");
  EXPECT_EQ(boxes.boxes[0].caption, "Confirm");
  EXPECT_TRUE(fs::exists(Root() + "Work/a.mail"));
  boxes.answer = IDYES;
  EXPECT_EQ(store.DeleteFolder("Work"), FolderResult::Done);
  EXPECT_FALSE(fs::exists(Root() + "Work"));

  // An empty folder goes without a question; system folders never.
  fs::create_directories(Root() + "Empty");
  const std::string inbox = Message("Inbox", "a.mail");
  boxes.boxes.clear();
  EXPECT_EQ(store.DeleteFolder("Empty"), FolderResult::Done);
  EXPECT_FALSE(fs::exists(Root() + "Empty"));
  EXPECT_EQ(store.DeleteFolder("INBOX"), FolderResult::SystemFolder);
  EXPECT_EQ(Shown(), Texts{"The Inbox, Outbox, Sent Items, Draft and Trash folders cannot be renamed or deleted."});
  EXPECT_EQ(store.DeleteFolder("../vyrelle"), FolderResult::Failed);
  EXPECT_TRUE(fs::exists(inbox));

  // A subfolder is no message: it stays, and so does its folder.
  Message("Jobs", "c.mail");
  fs::create_directories(Root() + "Jobs/nested");
  EXPECT_EQ(store.DeleteFolder("Jobs"), FolderResult::Failed);
  EXPECT_EQ(boxes.boxes.back().text, "Folder could not be removed\n Jobs");
  EXPECT_TRUE(fs::is_directory(Root() + "Jobs/nested"));
}

TEST_F(MailStoreTest, EmptyTrashRemovesOnlyTrash) {
  Message("Trash", "a.mail");
  const std::string t2 = Message("Trash", "b.txt", "x");
  ::chmod(t2.c_str(), 0444);
  const std::string keep = Message("Inbox", "c.mail");
  EXPECT_EQ(store.EmptyTrash(), 2);
  EXPECT_TRUE(fs::is_empty(Root() + "Trash"));
  EXPECT_TRUE(fs::exists(keep));
}

TEST_F(MailStoreTest, LeftoverCleanUpRemovesHalfWrittenOutboxFilesOnly) {
  const std::int64_t old = std::time(nullptr) - 3600;
  const std::string queued1 = Message("Outbox", "Out1.mail");
  const std::string half1 = Message("Outbox", "Out2.temp", "partial");
  const std::string queued2 = Message("Outbox", "Out3.mail");
  const std::string half2 = Message("Outbox", "Out4.temp", "partial");
  const std::string writing = Message("Outbox", "Out5.temp", "being written now");
  for (const std::string& p : {queued1, half1, queued2, half2}) SetTimes(p, old, old);
  const std::string temp = store.TempDirectory() + "M123.new";
  test::WriteFile(temp, "duplicate download");
  ::chmod(temp.c_str(), 0444);

  EXPECT_EQ(store.CleanLeftovers(), 2);
  EXPECT_TRUE(fs::exists(queued1) && fs::exists(queued2));
  EXPECT_FALSE(fs::exists(half1));
  EXPECT_FALSE(fs::exists(half2)) << "the clean-up goes on past the .mail files";
  EXPECT_TRUE(fs::exists(writing)) << "a file changed a moment ago may still be written";
  EXPECT_NE(fs::status(temp).permissions() & fs::perms::owner_write, fs::perms::none);
}

}  // namespace
}  // namespace vyr
