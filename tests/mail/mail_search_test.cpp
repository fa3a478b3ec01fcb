// The search across folders: what is read of each message, case, the folder
// order, the rows and status texts, the read state left alone, and the
// worker with its cooperative stop and posted events.
#include "mail/read/mail_search.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "mail/store/folder_loader.h"
#include "mail/mail_test_util.h"
#include "platform/file_times.h"
#include "platform/profile_file.h"
#include "platform/string_table.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;
using std::chrono::milliseconds;

struct Recorded {
  Texts statuses;
  std::vector<SearchRow> rows;
  std::string final;
  int finishedEvents = 0;
  bool canceled = false;
  int found = -1;
};

class MailSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClearProfileCache();
    platform::SetStringLanguage(platform::Language::English);
  }
  std::string Message(const std::string& folder, const std::string& name, const std::string& subject,
                      const std::string& body, const std::string& from = "Sender <s@example.org>") {
    const std::string path = store.FolderPath(folder, true) + name;
    test::WriteFile(path, "From: " + from + "\r\nSubject: " + subject +
                              "\r\nDate: Tue, 3 Mar 2020 10:15:00 +0100\r\n\r\n" + body + "\r\n.");
    return path;
  }
  Recorded Search(const std::string& text, const std::string& folder = "") {
    Recorded r;
    SearchStop stop;
    const int found = RunMailSearch(
        store, text, folder, stop,
        [&](const SearchEvent& e) {
          switch (e.kind) {
            case SearchEventKind::Status:
              r.statuses.push_back(e.text);
              break;
            case SearchEventKind::Row:
              r.rows.push_back(e.row);
              break;
            case SearchEventKind::Finished:
              r.final = e.text;
              r.canceled = e.canceled;
              r.found = e.found;
              ++r.finishedEvents;
              break;
          }
          return true;
        },
        milliseconds(0));
    EXPECT_EQ(found, static_cast<int>(r.rows.size()));
    return r;
  }
  static Texts Subjects(const Recorded& r) {
    Texts s;
    for (const auto& row : r.rows) s.push_back(row.subject);
    return s;
  }

  mailtest::ScopedZone zone{"UTC0"};
  test::TempDir home;
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
  MailStore store{app};
};

TEST_F(MailSearchTest, MatchesWithoutRegardToCaseAndBuildsRowsFromTheSummary) {
  Message("Inbox", "a.mail", "Lunch", "See you at the Garden Gate at noon.");
  Message("Inbox", "b.mail", "", "the garden GATE is locked", "\"Bob\" <bob@example.net>");
  Message("Inbox", "c.mail", "Other", "nothing here");
  const Recorded r = Search("gARDEN gate", "Inbox");
  ASSERT_EQ(r.rows.size(), 2u);
  EXPECT_EQ(r.rows[0].subject, "Lunch");
  EXPECT_EQ(r.rows[0].from, "Sender <s@example.org>");
  MessageRow expected;
  FillDateColumn("Tue, 3 Mar 2020 10:15:00 +0100", expected);
  EXPECT_EQ(r.rows[0].date, expected.dateShown);
  EXPECT_EQ(r.rows[0].date, "03 Mar 2020 [10:15 2020 - Tuesday]");
  EXPECT_EQ(r.rows[0].folder, "Inbox");
  EXPECT_EQ(r.rows[0].path, store.FolderPath("Inbox", false) + "a.mail");
  EXPECT_EQ(r.rows[1].subject, "<No Subject>");
  EXPECT_EQ(r.rows[1].from, "\"Bob\" <bob@example.net>");
  EXPECT_EQ(r.final, "Finished. 2 messages found");
  EXPECT_FALSE(r.canceled);
  EXPECT_EQ(r.finishedEvents, 1);
  EXPECT_EQ(r.statuses, (Texts{"Searching Inbox.", "Searching Inbox..", "Searching Inbox..."}));
  // Headers are text too.
  EXPECT_EQ(Search("bob@EXAMPLE.net", "inbox").rows.size(), 1u);
}

TEST_F(MailSearchTest, OnlyTheFirstTwelveKilobytesAreRead) {
  const std::string head = "From: s@example.org\r\nSubject: big\r\n\r\n";
  auto at = [&](const std::string& name, size_t offset, const std::string& word) {
    std::string text = head + std::string(offset - head.size(), 'x') + word + std::string(20000, 'y');
    test::WriteFile(store.FolderPath("Inbox", true) + name, text);
  };
  at("a.mail", 11000, "NEEDLE");       // past 10 240, within the third 4 KB chunk
  at("b.mail", 12288 - 3, "NEEDLE");   // cut by the end of the third chunk
  at("c.mail", 12288, "NEEDLE");       // only past the first 12 KB
  at("d.mail", 4096 - 3, "NEEDLE");    // across the first chunk boundary
  at("e.mail", 10240 - 3, "NEEDLE");   // straddling the 10 240 mark
  const Recorded r = Search("needle", "Inbox");
  Texts paths;
  for (const auto& row : r.rows) paths.push_back(fs::path(row.path).filename().string());
  EXPECT_EQ(paths, (Texts{"a.mail", "d.mail", "e.mail"}));
  EXPECT_TRUE(MessageMatches(store.FolderPath("Inbox", false) + "e.mail", "NEEDLE"));
  EXPECT_FALSE(MessageMatches(store.FolderPath("Inbox", false) + "c.mail", "NEEDLE"));
  EXPECT_FALSE(MessageMatches(home.File("missing.mail"), ""));
}

TEST_F(MailSearchTest, AllFoldersAreSearchedInTheOrderOfTheFolderChoice) {
  Message("zeta", "1.mail", "in zeta", "common word");
  Message("Trash", "1.mail", "in trash", "common word");
  Message("Alpha", "1.mail", "in alpha", "common word");
  Message("Sent Items", "1.mail", "in sent", "common word");
  Message("Inbox", "1.mail", "in inbox", "common word");
  Message("Inbox", "2.mail", "in inbox too", "common word");
  ASSERT_EQ(store.FolderNames(), (Texts{"Inbox", "Outbox", "Sent Items", "Draft", "Trash", "Alpha", "zeta"}));
  const Recorded r = Search("COMMON");
  EXPECT_EQ(Subjects(r), (Texts{"in inbox", "in inbox too", "in sent", "in trash", "in alpha", "in zeta"}));
  Texts folders;
  for (const auto& row : r.rows) folders.push_back(row.folder);
  EXPECT_EQ(folders, (Texts{"Inbox", "Inbox", "Sent Items", "Trash", "Alpha", "zeta"}));
  // One progress text across the folders.
  EXPECT_EQ(r.statuses, (Texts{"Searching Inbox.", "Searching Inbox..", "Searching Sent Items...",
                               "Searching Trash....", "Searching Alpha.....", "Searching zeta......"}));
  EXPECT_EQ(r.final, "Finished. 6 messages found");
  EXPECT_EQ(SearchFolders(store, "sent items"), Texts{"Sent Items"});
  EXPECT_EQ(Subjects(Search("common", "Alpha")), Texts{"in alpha"});
  EXPECT_EQ(SearchFolders(store, "ALPHA"), Texts{"Alpha"}) << "the folder as the choice list spells it";
  EXPECT_EQ(Search("common", "alpha").rows.at(0).folder, "Alpha");
}

TEST_F(MailSearchTest, OnlyMailFilesAreSearched) {
  Message("Inbox", "a.mail", "lower", "target");
  Message("Inbox", "B.MAIL", "upper", "target");
  Message("Inbox", "c.txt", "text file", "target");
  Message("Inbox", "d.mail.bak", "backup", "target");
  fs::create_directories(store.FolderPath("Inbox", false) + "sub.mail");
  const Recorded r = Search("target", "Inbox");
  EXPECT_EQ(Subjects(r), (Texts{"upper", "lower"}));
  EXPECT_EQ(r.statuses.size(), 2u);
}

TEST_F(MailSearchTest, TheProgressTextStartsAgainPastOneHundredDots) {
  for (int i = 0; i < 103; ++i) {
    Message("Inbox", "m" + std::to_string(1000 + i) + ".mail", "s", "b");
  }
  const Recorded r = Search("no such text", "Inbox");
  ASSERT_EQ(r.statuses.size(), 103u);
  EXPECT_EQ(r.statuses[100], "Searching Inbox" + std::string(101, '.'));
  EXPECT_EQ(r.statuses[101], "Searching Inbox.");
  EXPECT_EQ(r.statuses[102], "Searching Inbox..");
  EXPECT_EQ(r.final, "Finished. 0 messages found");
}

TEST_F(MailSearchTest, SearchingLeavesTheReadStateAlone) {
  const std::string unread = Message("Inbox", "u.mail", "unread one", "findme");
  const std::string read = Message("Inbox", "r.mail", "read one", "findme");
  ASSERT_TRUE(MailStore::MarkUnread(unread));
  ASSERT_TRUE(MailStore::MarkRead(read));
  platform::FileTimes unreadBefore, readBefore;
  ASSERT_TRUE(platform::GetFileTimes(unread, unreadBefore));
  ASSERT_TRUE(platform::GetFileTimes(read, readBefore));
  EXPECT_EQ(Search("FINDME").rows.size(), 2u);
  platform::FileTimes unreadAfter, readAfter;
  ASSERT_TRUE(platform::GetFileTimes(unread, unreadAfter));
  ASSERT_TRUE(platform::GetFileTimes(read, readAfter));
  EXPECT_EQ(unreadAfter, unreadBefore);
  EXPECT_EQ(readAfter, readBefore);
  EXPECT_TRUE(MailStore::IsUnread(unread));
}

TEST_F(MailSearchTest, StopAndARefusingSinkEndTheSearch) {
  for (int i = 0; i < 5; ++i) Message("Inbox", std::to_string(i) + ".mail", "s" + std::to_string(i), "hit");
  // Stopped at the first row.
  SearchStop stop;
  Recorded r;
  int rows = 0;
  RunMailSearch(
      store, "hit", "", stop,
      [&](const SearchEvent& e) {
        if (e.kind == SearchEventKind::Row && ++rows == 1) stop.Stop();
        if (e.kind == SearchEventKind::Finished) r.final = e.text;
        return true;
      },
      milliseconds(0));
  EXPECT_EQ(r.final, "Canceled. 1 messages found");

  // A sink that answers false hears nothing more, not even the end.
  SearchStop other;
  int events = 0;
  const int found = RunMailSearch(
      store, "hit", "Inbox", other,
      [&](const SearchEvent& e) {
        ++events;
        return e.kind != SearchEventKind::Row;
      },
      milliseconds(0));
  EXPECT_EQ(found, 1);
  EXPECT_EQ(events, 2);
  EXPECT_TRUE(other.Stopped());
}

TEST(SearchTexts, StatusLines) {
  EXPECT_EQ(SearchingStatusText("Inbox", "..."), "Searching Inbox...");
  EXPECT_EQ(SearchFinishedText(false, 1), "Finished. 1 messages found");
  EXPECT_EQ(SearchFinishedText(true, 0), "Canceled. 0 messages found");
}

struct Window : platform::MessageTarget {
  std::vector<platform::WindowMessage> got;
  void OnWindowMessage(const platform::WindowMessage& m) override { got.push_back(m); }
};

TEST_F(MailSearchTest, TheWorkerPostsItsEventsToTheWindow) {
  Message("Inbox", "a.mail", "first", "Quarterly Figures");
  Message("Alpha", "b.mail", "second", "quarterly figures\tattached");
  Message("Inbox", "c.mail", "third", "nothing");
  auto& messages = platform::WindowMessages::Instance();
  Window window;
  const platform::WindowHandle handle = messages.Register(&window);
  MailSearch search(store);
  const unsigned generation = search.Start("QUARTERLY", "", PostSearchToWindow(handle), milliseconds(1));
  ASSERT_TRUE(search.WaitUntilFinished(std::chrono::seconds(20)));
  messages.DispatchPending();
  messages.Unregister(handle);

  Texts statuses, subjects, folders;
  std::string final;
  for (const auto& m : window.got) {
    SearchEvent e;
    ASSERT_TRUE(DecodeSearchMessage(m, e));
    EXPECT_EQ(e.generation, generation);
    if (e.kind == SearchEventKind::Status) statuses.push_back(e.text);
    if (e.kind == SearchEventKind::Row) {
      subjects.push_back(e.row.subject);
      folders.push_back(e.row.folder);
    }
    if (e.kind == SearchEventKind::Finished) final = e.text;
  }
  EXPECT_EQ(statuses, (Texts{"Searching Inbox.", "Searching Inbox..", "Searching Alpha..."}));
  EXPECT_EQ(subjects, (Texts{"first", "second"}));
  EXPECT_EQ(folders, (Texts{"Inbox", "Alpha"}));
  EXPECT_EQ(final, "Finished. 2 messages found");
  EXPECT_FALSE(search.IsRunning());

  platform::WindowMessage foreign;
  foreign.text = "garbage";
  foreign.lParam = 2;
  SearchEvent e;
  EXPECT_FALSE(DecodeSearchMessage(foreign, e));
  foreign.lParam = 9;
  EXPECT_FALSE(DecodeSearchMessage(foreign, e));
}

TEST_F(MailSearchTest, StopCutsThePauseShortAndTheRunReportsCanceled) {
  for (int i = 0; i < 4; ++i) Message("Inbox", std::to_string(i) + ".mail", "s", "word");
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<SearchEvent> events;
  MailSearch search(store);
  // A pause far longer than the stop's wait: only a pause the stop cuts
  // short lets the run end within that wait.
  search.Start(
      "word", "Inbox",
      [&](const SearchEvent& e) {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(e);
        changed.notify_all();
        return true;
      },
      std::chrono::minutes(10));
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(20), [&] { return events.size() >= 2; }));
  }
  EXPECT_TRUE(search.IsRunning());
  const unsigned before = search.Generation();
  EXPECT_TRUE(search.Stop());
  EXPECT_FALSE(search.IsRunning());
  EXPECT_NE(search.Generation(), before) << "what the stopped run still reports is stale";
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].kind, SearchEventKind::Status);
  EXPECT_EQ(events[1].kind, SearchEventKind::Row);
  EXPECT_EQ(events[2].kind, SearchEventKind::Finished);
  EXPECT_TRUE(events[2].canceled);
  EXPECT_EQ(events[2].text, "Canceled. 1 messages found");
}

}  // namespace
}  // namespace vyr
