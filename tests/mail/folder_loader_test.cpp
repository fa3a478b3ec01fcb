// The message list, the folder loader thread and the search across folders.
#include "mail/store/folder_loader.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <optional>
#include <tuple>

#include "mail/mail_test_util.h"
#include "mail/read/mail_search.h"
#include "platform/file_times.h"
#include "platform/string_table.h"
#include "tools/recording_window.h"
#include "tools/test_support.h"

namespace vyr {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using std::chrono::milliseconds;
using Texts = std::vector<std::string>;
constexpr std::int64_t kSecond = 1000000000;

struct MessageListTest : ::testing::Test {
  void SetUp() override { platform::SetStringLanguage(platform::Language::English); }
};

TEST_F(MessageListTest, DateColumnTrimsParsesAndFallsBackToTheText) {
  const struct {
    const char* header;
    const char* shown;
  } cases[] = {
      {"Sat, 9 May 1998 18:30:37 -0400 (EDT)", "09 May 1998 [18:30 1998 - Saturday]"},
      {"Sunday, 02-Jan-05 03:04:05 GMT", "02 Jan 2005 [03:04 2005 - Sunday]"},
      {"Sun 20 Jul 1969 20:17:00 UT", "20 Jul 1969 [20:17 1969 - Sunday]"},
      {"Sat, 9 May 1998 18:30:37 -0400 <via relay>", "09 May 1998 [18:30 1998 - Saturday]"},
      {"2021-06-30 23:59:58", "30 Jun 2021 [23:59 2021 - Wednesday]"},
      {"Mon, 4 January 2021 09:00:00 +0000", "04 Jan 2021 [09:00 2021 - Monday]"},
      {"", ""}, {"yesterday", ""}, {"Sat, 31 Feb 1998 10:00:00 +0000", ""}, {"Sat, 9 May 1998 25:00:00", ""},
  };
  for (const auto& c : cases) {
    MessageRow row;
    row.dateValid = true;
    FillDateColumn(c.header, row);
    EXPECT_EQ(row.dateValid, *c.shown != '\0') << c.header;
    EXPECT_EQ(row.dateShown, *c.shown ? c.shown : c.header);
  }
  EXPECT_EQ(TrimMailDate("(comment) 9 May 1998"), "(comment) 9 May 1998") << "not cut at the start";
}

MessageRow Row(const std::string& id, bool unread, std::optional<std::int64_t> time, const std::string& subject,
               const std::string& name, std::optional<std::int64_t> date) {
  MessageRow r;
  r.path = id, r.unread = unread, r.subjectShown = subject, r.nameShown = name;
  r.sortTimeValid = time.has_value(), r.sortTimeNs = time.value_or(0) * kSecond;
  r.dateValid = date.has_value(), r.date = date.value_or(0);
  return r;
}

std::string Order(const std::vector<MessageRow>& rows) {
  std::string s;
  for (const auto& r : rows) s += r.path;
  return s;
}

std::vector<MessageRow> SampleRows() {
  return {
      Row("a", false, 300, "beta", "\"Zed\" <z@x>", 50),   Row("b", true, 100, "Alpha", "<carl@x>", std::nullopt),
      Row("c", false, std::nullopt, "gamma", "bob", 70),    Row("d", true, 200, "alpha2", "Anna", 10),
      Row("e", false, 400, "Beta", "\"\"quoted", std::nullopt),
  };
}

TEST_F(MessageListTest, SortOrdersAndColumnClicks) {
  const std::tuple<int, const char*, const char*> cases[] = {
      {kSortByState, "dbeac", "caebd"},
      {kSortBySubject, "bdaec", "caedb"},
      {kSortByName, "edcba", "abcde"},
      {kSortByDate, "cadbe", "bedac"},
  };
  for (const auto& [key, ascending, reversed] : cases) {
    auto rows = SampleRows();
    SortRows(rows, key, 1);
    EXPECT_EQ(Order(rows), ascending) << "key " << key;
    SortRows(rows, key, -1);
    EXPECT_EQ(Order(rows), reversed) << "key " << key;
  }
  MessageList list;
  list.Reset("/m/email/Inbox/");
  EXPECT_EQ(std::make_pair(list.SortKey(), list.Direction()), std::make_pair(kSortByState, 1));
  for (auto& r : SampleRows()) list.Add(r);
  list.ColumnClick(kSortBySubject);
  EXPECT_EQ(Order(list.Rows()), "caedb") << "subjects, reversed";
  list.ColumnClick(kSortByDate);
  EXPECT_EQ(list.Direction(), 1) << "reversed whichever column was clicked";
  list.Reset("/m/email/Sent Items/");
  EXPECT_EQ(std::make_pair(list.SortKey(), list.Direction()), std::make_pair(kSortByDate, 1));
  EXPECT_TRUE(list.Rows().empty());
}

class MailFolderLoaderTest : public ::testing::Test, protected test::TestApp {
 protected:
  std::string Message(const std::string& name, const std::string& subject, std::int64_t created, bool unread) {
    const std::string path = store.FolderPath("Inbox", true) + name;
    test::WriteFile(path, "From: s" + name + "@example.org\r\nSubject: " + subject + "\r\n\r\nbody\r\n.");
    EXPECT_TRUE(platform::SetFileTimes(
        path, platform::FileTimes{created * kSecond, (unread ? created : created + 100) * kSecond}));
    return path;
  }
  std::string Inbox() { return store.FolderPath("Inbox", false); }
  MailStore store{app};
};

TEST_F(MailFolderLoaderTest, LoadsEveryMessageIntoAWindow) {
  Message("old.mail", "Old", 1000, false);
  Message("new.mail", "12:30 re: 5:fun", 3000, false);
  Message("unread.mail", "", 2000, true);
  test::WriteFile(Inbox() + "tiny", "too short");
  fs::create_directories(Inbox() + "subfolder");
  test::RecordingWindow window;
  FolderLoader loader(store);
  const unsigned generation = loader.Start(Inbox(), 0, PostToWindow(window.handle));
  ASSERT_TRUE(loader.WaitUntilFinished(10s));
  platform::WindowMessages::Instance().DispatchPending();
  MessageList list;
  std::string status, statuses;
  for (const auto& m : window.got) {
    LoaderEvent e;
    ASSERT_TRUE(DecodeLoaderMessage(m, e) && list.Apply(e, generation, &status));
    if (statuses.find(status) == std::string::npos) statuses += status + "|";
  }
  EXPECT_EQ(statuses, "Loading Inbox ...|3 messages in Inbox.|");
  std::string subjects;
  for (const auto& r : list.Rows()) subjects += r.subjectShown + (r.unread ? "*|" : "|");
  EXPECT_EQ(subjects, "<No Subject>*|12:30 re: 5:fun|Old|");
}

struct Gate {
  std::mutex mutex;
  std::condition_variable cv;
  bool open = false, holding = false;
  int rows = 0, finished = 0;
};

LoaderSink GateSink(std::shared_ptr<Gate> gate) {
  return [gate](const LoaderEvent& e) {
    std::unique_lock<std::mutex> lock(gate->mutex);
    gate->finished += e.kind == LoaderEventKind::Finished;
    if (e.kind != LoaderEventKind::Row) return true;
    ++gate->rows;
    gate->holding = true;
    gate->cv.notify_all();
    gate->cv.wait(lock, [&] { return gate->open; });
    return true;
  };
}

TEST_F(MailFolderLoaderTest, ALoaderThatDoesNotStopInTimeIsForgottenNotKilled) {
  for (int i = 0; i < 50; ++i) Message("m" + std::to_string(i) + ".mail", "n", 1000000 + i, i % 2 == 0);
  auto gate = std::make_shared<Gate>();
  auto loader = std::make_unique<FolderLoader>(store);
  const unsigned first = loader->Start(Inbox(), 0, GateSink(gate));
  std::unique_lock<std::mutex> held(gate->mutex);
  ASSERT_TRUE(gate->cv.wait_for(held, 10s, [&] { return gate->holding; }));
  held.unlock();
  EXPECT_FALSE(loader->Stop(100ms) || loader->IsRunning()) << "still held: forgotten";
  size_t rows = 0;
  const unsigned second = loader->Start(Inbox(), 0, [&](const LoaderEvent& e) { return rows += e.kind == LoaderEventKind::Row, true; });
  ASSERT_TRUE(loader->WaitUntilFinished(10s));
  EXPECT_EQ(rows, 50u);
  {
    std::lock_guard<std::mutex> lock(gate->mutex);
    gate->open = true;
  }
  gate->cv.notify_all();
  loader.reset();
  for (int i = 0; i < 1000 && gate.use_count() > 1; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(gate.use_count(), 1) << "the forgotten run ended by itself";
  EXPECT_EQ(std::make_pair(gate->rows, gate->finished), std::make_pair(1, 0)) << "nothing read after the stop";
  MessageList list;
  LoaderEvent late;
  late.kind = LoaderEventKind::Row;
  late.generation = first;
  EXPECT_FALSE(list.Apply(late, second)) << "its last words carry a stale generation";
}

class MailSearchTest : public ::testing::Test, protected test::TestApp {
 protected:
  std::string Message(const std::string& folder, const std::string& name, const std::string& subject,
                      const std::string& body, const std::string& from = "Sender <s@example.org>") {
    const std::string path = store.FolderPath(folder, true) + name;
    test::WriteFile(path, "From: " + from + "\r\nSubject: " + subject +
                              "\r\nDate: Tue, 3 Mar 2020 10:15:00 +0100\r\n\r\n" + body + "\r\n.");
    return path;
  }
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
  EXPECT_EQ(Search("gARDEN gate", "inbox"),
            (Texts{"Searching Inbox.", "<No Subject>/Inbox", "Searching Inbox..", "Lunch/Inbox", "Searching Inbox...",
                   "Finished. 2 messages found"}));
  EXPECT_EQ(Search("bob@EXAMPLE.net", "Inbox").size(), 5u);
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
  const std::string a = at("a.mail", 11000);
  at("b.mail", 12288 - 3);
  at("c.mail", 12288);
  at("d.mail", 4096 - 3);
  at("e.mail", 10240 - 3);
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

TEST_F(MailSearchTest, TheWorkerPostsItsEventsToTheWindowAndStopsOnRequest) {
  Message("Inbox", "a.mail", "first", "Quarterly Figures");
  Message("Alpha", "b.mail", "second", "quarterly figures\tattached");
  Message("Inbox", "c.mail", "third", "nothing");
  test::RecordingWindow window;
  MailSearch search(store);
  const unsigned generation = search.Start("QUARTERLY", "", PostSearchToWindow(window.handle), milliseconds(1));
  ASSERT_TRUE(search.WaitUntilFinished(std::chrono::seconds(20)));
  platform::WindowMessages::Instance().DispatchPending();
  Texts events;
  for (const auto& m : window.got) {
    SearchEvent e;
    ASSERT_TRUE(DecodeSearchMessage(m, e) && e.generation == generation);
    events.push_back(e.kind == SearchEventKind::Row ? e.row.subject + "/" + e.row.folder : e.text);
  }
  EXPECT_EQ(events, (Texts{"Searching Inbox.", "first/Inbox", "Searching Inbox..", "Searching Alpha...",
                           "second/Alpha", "Finished. 2 messages found"}));
  platform::WindowMessage foreign;
  foreign.text = "garbage";
  foreign.lParam = 2;
  SearchEvent ignored;
  EXPECT_FALSE(DecodeSearchMessage(foreign, ignored));
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
  EXPECT_TRUE(search.Stop() && !search.IsRunning());
  EXPECT_NE(search.Generation(), before) << "what the stopped run still reports is stale";
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[2].canceled ? seen[2].text : "", "Canceled. 1 messages found");
}

}  // namespace
}  // namespace vyr
