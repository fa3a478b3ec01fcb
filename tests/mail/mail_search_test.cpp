// The search across folders: what is read of each message, case, the folder
// order, the rows and status texts, the read state left alone, and the
// worker with its cooperative stop and posted events.
#include "mail/read/mail_search.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "mail/store/folder_loader.h"
#include "mail/mail_test_util.h"
#include "platform/file_times.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;
using std::chrono::milliseconds;

class MailSearchTest : public ::testing::Test, protected test::TestApp {
 protected:
  std::string Message(const std::string& folder, const std::string& name, const std::string& subject,
                      const std::string& body, const std::string& from = "Sender <s@example.org>") {
    const std::string path = store.FolderPath(folder, true) + name;
    test::WriteFile(path, "From: " + from + "\r\nSubject: " + subject +
                              "\r\nDate: Tue, 3 Mar 2020 10:15:00 +0100\r\n\r\n" + body + "\r\n.");
    return path;
  }
  // Runs a search on this thread without pauses; the events as texts:
  // status lines, "subject/folder" for rows, the final status.
  Texts Search(const std::string& text, const std::string& folder = "", std::vector<SearchRow>* rows = nullptr) {
    Texts events;
    SearchStop stop;
    const int found = RunMailSearch(
        store, text, folder, stop,
        [&](const SearchEvent& e) {
          events.push_back(e.kind == SearchEventKind::Row ? e.row.subject + "/" + e.row.folder : e.text);
          if (e.kind == SearchEventKind::Row && rows) rows->push_back(e.row);
          return true;
        },
        milliseconds(0));
    EXPECT_EQ(events.back(), "Finished. " + std::to_string(found) + " messages found");
    return events;
  }

  mailtest::ScopedZone zone{"UTC0"};
  MailStore store{app};
};

TEST_F(MailSearchTest, RowsFromEveryMailFileThatHoldsTheTextInAnyCase) {
  Message("Inbox", "a.mail", "Lunch", "See you at the Garden Gate at noon.");
  Message("Inbox", "B.MAIL", "", "the garden GATE is locked", "\"Bob\" <bob@example.net>");
  Message("Inbox", "c.mail", "Other", "nothing here");
  Message("Inbox", "d.txt", "text file", "garden gate");
  Message("Inbox", "e.mail.bak", "backup", "garden gate");
  fs::create_directories(store.FolderPath("Inbox", false) + "sub.mail");
  std::vector<SearchRow> rows;
  EXPECT_EQ(Search("gARDEN gate", "inbox", &rows),
            (Texts{"Searching Inbox.", "<No Subject>/Inbox", "Searching Inbox..", "Lunch/Inbox", "Searching Inbox...",
                   "Finished. 2 messages found"}));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].date, "03 Mar 2020 [10:15 2020 - Tuesday]");
  // Headers are text too.
  EXPECT_EQ(Search("bob@EXAMPLE.net", "Inbox").size(), 5u);

  // Every folder in the order of the folder choice, with one progress text;
  // a folder named in any case as the choice list spells it.
  for (const char* folder : {"zeta", "Trash", "Alpha", "Sent Items"}) {
    Message(folder, "1.mail", std::string("in ") + folder, "garden gate");
  }
  EXPECT_EQ(Search("GATE"), (Texts{"Searching Inbox.", "<No Subject>/Inbox", "Searching Inbox..", "Lunch/Inbox",
                                   "Searching Inbox...", "Searching Sent Items....", "in Sent Items/Sent Items",
                                   "Searching Trash.....", "in Trash/Trash", "Searching Alpha......", "in Alpha/Alpha",
                                   "Searching zeta.......", "in zeta/zeta", "Finished. 6 messages found"}));
  EXPECT_EQ(Search("gate", "ALPHA")[1], "in Alpha/Alpha");
}

TEST_F(MailSearchTest, OnlyTheFirstTwelveKilobytesAreReadAndTheReadStateStays) {
  const std::string head = "From: s@example.org\r\nSubject: big\r\n\r\n";
  auto at = [&](const std::string& name, size_t offset) {
    const std::string path = store.FolderPath("Inbox", true) + name;
    test::WriteFile(path, head + std::string(offset - head.size(), 'x') + "NEEDLE" + std::string(20000, 'y'));
    EXPECT_TRUE(MailStore::MarkUnread(path));
    return path;
  };
  const std::string a = at("a.mail", 11000);  // past 10 240, within the third 4 KB chunk
  at("b.mail", 12288 - 3);                    // cut by the end of the third chunk
  at("c.mail", 12288);                        // only past the first 12 KB
  at("d.mail", 4096 - 3);                     // across the first chunk boundary
  at("e.mail", 10240 - 3);                    // straddling the 10 240 mark
  platform::FileTimes before, after;
  ASSERT_TRUE(platform::GetFileTimes(a, before));
  std::vector<SearchRow> rows;
  Search("needle", "Inbox", &rows);
  Texts names;
  for (const auto& row : rows) names.push_back(fs::path(row.path).filename().string());
  EXPECT_EQ(names, (Texts{"a.mail", "d.mail", "e.mail"}));
  ASSERT_TRUE(platform::GetFileTimes(a, after));
  EXPECT_EQ(after, before);
}

struct Window : platform::MessageTarget {
  std::vector<platform::WindowMessage> got;
  void OnWindowMessage(const platform::WindowMessage& m) override { got.push_back(m); }
};

TEST_F(MailSearchTest, TheWorkerPostsItsEventsToTheWindowAndStopsOnRequest) {
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
  Texts events;
  for (const auto& m : window.got) {
    SearchEvent e;
    ASSERT_TRUE(DecodeSearchMessage(m, e));
    EXPECT_EQ(e.generation, generation);
    events.push_back(e.kind == SearchEventKind::Row ? e.row.subject + "/" + e.row.folder : e.text);
  }
  EXPECT_EQ(events, (Texts{"Searching Inbox.", "first/Inbox", "Searching Inbox..", "Searching Alpha...",
                           "second/Alpha", "Finished. 2 messages found"}));
  platform::WindowMessage foreign;
  foreign.text = "garbage";
  foreign.lParam = 2;
  SearchEvent ignored;
  EXPECT_FALSE(DecodeSearchMessage(foreign, ignored));

  // A pause far longer than the stop's wait: only a pause the stop cuts
  // short lets the run end within that wait.
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<SearchEvent> seen;
  search.Start(
      "QUARTERLY", "",
      [&](const SearchEvent& event) {
        std::lock_guard<std::mutex> lock(mutex);
        seen.push_back(event);
        changed.notify_all();
        return true;
      },
      std::chrono::minutes(10));
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(20), [&] { return seen.size() >= 2; }));
  }
  const unsigned before = search.Generation();
  EXPECT_TRUE(search.Stop());
  EXPECT_FALSE(search.IsRunning());
  EXPECT_NE(search.Generation(), before) << "what the stopped run still reports is stale";
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_TRUE(seen[2].canceled);
  EXPECT_EQ(seen[2].text, "Canceled. 1 messages found");
}

TEST_F(MailSearchTest, ASinkThatRefusesAnEventStopsTheSearchAndHearsNothingMore) {
  for (int i = 0; i < 4; ++i) Message("Inbox", std::to_string(i) + ".mail", "s", "word");
  SearchStop stop;
  int heard = 0;
  const auto sink = [&](const SearchEvent& e) {
    ++heard;
    return e.kind != SearchEventKind::Row;  // the window is gone
  };
  EXPECT_EQ(RunMailSearch(store, "word", "Inbox", stop, sink, milliseconds(0)), 1);
  EXPECT_EQ(heard, 2);
  EXPECT_TRUE(stop.Stopped());
}

}  // namespace
}  // namespace vyr
