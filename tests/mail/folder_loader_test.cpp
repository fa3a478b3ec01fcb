// The message list: rows from summaries, the Date/Time column, the sort
// orders, the status texts, and the folder loader thread with its
// cooperative stop and its messages to a window.
#include "mail/store/folder_loader.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <optional>
#include <tuple>

#include "platform/profile_file.h"
#include "platform/string_table.h"
#include "mail/mail_test_util.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
constexpr std::int64_t kSecond = 1000000000;

class MessageListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClearProfileCache();
    platform::SetStringLanguage(platform::Language::English);
  }
};

// --- the Date/Time column ----------------------------------------------------------------------

struct DateCase {
  const char* header;
  const char* shown;  // the column
};

TEST_F(MessageListTest, DateColumnOfRealWorldDateLines) {
  const DateCase cases[] = {
      {"Sat, 9 May 1998 18:30:37 -0400", "09 May 1998 [18:30 1998 - Saturday]"},
      {"Sat, 9 May 1998 18:30:37 -0400 (EDT)", "09 May 1998 [18:30 1998 - Saturday]"},
      {"Sat,  09 May 1998 18:30:37 GMT", "09 May 1998 [18:30 1998 - Saturday]"},
      {"9 May 1998 18:30:37 +0000", "09 May 1998 [18:30 1998 - Saturday]"},
      {"Sat, 9 May 98 18:30:37 EDT", "09 May 1998 [18:30 1998 - Saturday]"},
      {"Sun, 2 Jan 05 03:04 +0100", "02 Jan 2005 [03:04 2005 - Sunday]"},
      {"Sunday, 02-Jan-05 03:04:05 GMT", "02 Jan 2005 [03:04 2005 - Sunday]"},
      {"Sun 20 Jul 1969 20:17:00 UT", "20 Jul 1969 [20:17 1969 - Sunday]"},
      {"Sat, 9 May 1998 18:30:37 -0400 <via relay>", "09 May 1998 [18:30 1998 - Saturday]"},
      {"Fri, 29 Nov 2024 07:05:00 +0100 (CET)", "29 Nov 2024 [07:05 2024 - Friday]"},
      {"Mon, 3 Feb 2020", "03 Feb 2020 [00:00 2020 - Monday]"},
      {"2021-06-30 23:59:58", "30 Jun 2021 [23:59 2021 - Wednesday]"},
      {"Mon, 4 January 2021 09:00:00 +0000", "04 Jan 2021 [09:00 2021 - Monday]"},
  };
  for (const DateCase& c : cases) {
    MessageRow row;
    FillDateColumn(c.header, row);
    EXPECT_TRUE(row.dateValid) << c.header;
    EXPECT_EQ(row.dateShown, c.shown) << c.header;
  }
}

TEST_F(MessageListTest, DatesThatDoNotParseShowTheirTextAndSortLast) {
  for (const char* bad : {"", "yesterday", "Sat, 31 Feb 1998 10:00:00 +0000", "Sat, 9 Mai 1998 10:00:00",
                          "(no date)", "Sat, 9 May 1998 25:00:00 +0000", "12345"}) {
    MessageRow row;
    row.dateValid = true;
    FillDateColumn(bad, row);
    EXPECT_FALSE(row.dateValid) << bad;
    EXPECT_EQ(row.dateShown, bad);
  }
}

TEST_F(MessageListTest, DateTrimmingDropsCommentsWeekdayAndZone) {
  EXPECT_EQ(TrimMailDate("Sat, 9 May 1998 18:30:37 -0400 (EDT)"), " 9 May 1998 18:30:37 ");
  EXPECT_EQ(TrimMailDate("9 May 1998 18:30:37"), "9 May 1998 18:30:37") << "no space after the time";
  EXPECT_EQ(TrimMailDate("(comment) 9 May 1998"), "(comment) 9 May 1998") << "not cut at the start";
  EXPECT_EQ(TrimMailDate(",9 May 1998"), ",9 May 1998");
  EXPECT_EQ(TrimMailDate("Tue, 1 Jan 2002 <x@y> 10:00"), " 1 Jan 2002 ");
}

TEST_F(MessageListTest, ParsedDatesAreLocalTime) {
  mailtest::ScopedZone zone("UTC0");
  std::int64_t when = 0;
  ASSERT_TRUE(ParseMailDate(TrimMailDate("Sat, 9 May 1998 18:30:37 -0400"), when));
  EXPECT_EQ(when, 894738637) << "the zone is dropped, the clock time read as local";
  ASSERT_TRUE(ParseMailDate("2 Jan 05 03:04:05", when));
  EXPECT_EQ(when, 1104635045);
  ASSERT_TRUE(ParseMailDate("20 Jul 69 20:17", when));
  EXPECT_EQ(when, -14182980) << "69 is 1969";
}

// --- rows ----------------------------------------------------------------------------------------

MessageSummary Summary(const std::string& path, const std::string& from, const std::string& to,
                       const std::string& subject) {
  MessageSummary s;
  s.path = path;
  s.outgoing = MailStore::IsOutgoingPath(path);
  s.from = from;
  s.to = to;
  s.subject = subject;
  return s;
}

TEST_F(MessageListTest, RowsShowSenderOrRecipientAndMarkParts) {
  platform::FileTimes times{123 * kSecond, 456 * kSecond};
  MessageSummary s = Summary("/m/email/Inbox/S1.mail", "Alice", "Bob", "");
  MessageRow row = MakeRow(s, &times);
  EXPECT_EQ(row.nameShown, "Alice");
  EXPECT_EQ(row.subjectShown, "<No Subject>");
  EXPECT_TRUE(row.sortTimeValid);
  EXPECT_EQ(row.sortTimeNs, 123 * kSecond);
  EXPECT_FALSE(row.multipart);

  s = Summary("/m/email/Sent Items/Out1.mail", "Alice", "Bob", "Report");
  s.total = 2;
  row = MakeRow(s, nullptr);
  EXPECT_EQ(row.nameShown, "Bob");
  EXPECT_EQ(row.subjectShown, "Report[**]");
  EXPECT_TRUE(row.multipart);
  EXPECT_FALSE(row.sortTimeValid) << "no file times and no date";

  s.total = 1;
  s.date = "Sat, 9 May 1998 18:30:37 -0400";
  row = MakeRow(s, nullptr);
  EXPECT_EQ(row.subjectShown, "Report");
  EXPECT_TRUE(row.sortTimeValid) << "the message date stands in for the file time";
  EXPECT_EQ(row.sortTimeNs, row.date * kSecond);

  const auto columns = MessageListColumns(false);
  ASSERT_EQ(columns.size(), 4u);
  EXPECT_EQ(columns[0].width, 30);
  EXPECT_EQ(columns[1].title + "|" + columns[2].title + "|" + columns[3].title, "Subject|From|Date/Time");
  EXPECT_EQ(MessageListColumns(true)[2].title, "To");
}

TEST_F(MessageListTest, IconChoice) {
  auto icon = [](const std::string& path, const std::string& type, bool unread) {
    MessageSummary s = Summary(path, "a", "b", "c");
    s.contentType = type;
    s.unread = unread;
    return IconOf(MakeRow(s, nullptr));
  };
  const std::string in = "/m/email/Inbox/S1.mail";
  EXPECT_EQ(icon(in, "text/plain", true), MessageIcon::Unread);
  EXPECT_EQ(icon(in, "text/plain", false), MessageIcon::Read);
  EXPECT_EQ(icon(in, "Multipart/Mixed", true), MessageIcon::UnreadAttachment);
  EXPECT_EQ(icon(in, "multipart/related", false), MessageIcon::ReadAttachment);
  EXPECT_EQ(icon(in, "multipart/alternative", true), MessageIcon::Unread) << "text and HTML are no attachment";
  EXPECT_EQ(icon("/m/email/Outbox/Out1.mail", "multipart/mixed", true), MessageIcon::OutgoingUnread);
  EXPECT_EQ(icon("/m/email/Sent Items/Out1.mail", "text/plain", false), MessageIcon::OutgoingRead);
  EXPECT_EQ(icon("/m/email/Draft/Out1.mail", "text/plain", true), MessageIcon::Draft);
  EXPECT_EQ(icon("/m/email/Draft/Out1.mail", "text/plain", false), MessageIcon::Draft);
}

// --- sorting ------------------------------------------------------------------------------------

MessageRow Row(const std::string& id, bool unread, std::optional<std::int64_t> time, const std::string& subject,
               const std::string& name, std::optional<std::int64_t> date) {
  MessageRow r;
  r.path = id;
  r.unread = unread;
  r.sortTimeValid = time.has_value();
  r.sortTimeNs = time.value_or(0) * kSecond;
  r.subjectShown = subject;
  r.nameShown = name;
  r.dateValid = date.has_value();
  r.date = date.value_or(0);
  return r;
}

std::string Order(const std::vector<MessageRow>& rows) {
  std::string s;
  for (const auto& r : rows) s += r.path;
  return s;
}

std::vector<MessageRow> SampleRows() {
  return {
      Row("a", false, 300, "beta", "\"Zed\" <z@x>", 50),
      Row("b", true, 100, "Alpha", "<carl@x>", std::nullopt),
      Row("c", false, std::nullopt, "gamma", "bob", 70),
      Row("d", true, 200, "alpha2", "Anna", 10),
      Row("e", false, 400, "Beta", "\"\"quoted", std::nullopt),
  };
}

TEST_F(MessageListTest, SortByEachKeyAndDirection) {
  struct Case {
    int key;
    const char* ascending;   // direction +1 from the sample order
    const char* reversed;    // then direction -1 from there
  };
  const Case cases[] = {
      // Unread first, the later time first, no time last.
      {kSortByState, "dbeac", "caebd"},
      // Any case; equal subjects (beta, Beta) keep their order.
      {kSortBySubject, "bdaec", "caedb"},
      // Compared as "quoted (one quote is left), Anna, bob, carl@x>, Zed" <z@x>.
      {kSortByName, "edcba", "abcde"},
      // The later date first, undated last.
      {kSortByDate, "cadbe", "bedac"},
  };
  for (const Case& c : cases) {
    auto rows = SampleRows();
    SortRows(rows, c.key, 1);
    EXPECT_EQ(Order(rows), c.ascending) << "key " << c.key;
    SortRows(rows, c.key, -1);
    EXPECT_EQ(Order(rows), c.reversed) << "key " << c.key;
  }
}

TEST_F(MessageListTest, ColumnClicksReverseTheDirectionWhicheverColumn) {
  MessageList list;
  list.Reset("/m/email/Inbox/");
  EXPECT_EQ(list.SortKey(), kSortByState);
  EXPECT_EQ(list.Direction(), 1);
  for (auto& r : SampleRows()) list.Add(r);
  list.ColumnClick(kSortBySubject);
  EXPECT_EQ(list.SortKey(), kSortBySubject);
  EXPECT_EQ(list.Direction(), -1);
  EXPECT_EQ(Order(list.Rows()), "caedb");
  list.ColumnClick(kSortByDate);
  EXPECT_EQ(list.Direction(), 1);
  EXPECT_EQ(Order(list.Rows()), "cadeb") << "undated rows keep their order";
  list.ColumnClick(kSortByDate);
  EXPECT_EQ(list.Direction(), -1);

  list.Reset("/m/email/Sent Items/");
  EXPECT_EQ(list.SortKey(), kSortByDate);
  EXPECT_EQ(list.Direction(), 1);
  EXPECT_TRUE(list.OutgoingFolder());
  EXPECT_TRUE(list.Rows().empty());
  list.Reset("/m/email/Work/");
  EXPECT_EQ(list.SortKey(), kSortByState);
}

// --- status texts ----------------------------------------------------------------------------------

TEST_F(MessageListTest, StatusTextsAndTheInboxHintPastOneHundred) {
  EXPECT_EQ(LoadingStatusText("Inbox"), "Loading Inbox ...");
  EXPECT_EQ(FolderStatusText("Work", 0, false, 0), "No messages in Work");
  EXPECT_EQ(FolderStatusText("Work", 1, false, 0), "1 message in Work");
  EXPECT_EQ(FolderStatusText("Work", 2, false, 0), "2 messages in Work.");
  EXPECT_EQ(FolderStatusText("Inbox", 5, true, 1), "1 New e-mail message");
  EXPECT_EQ(FolderStatusText("Inbox", 5, true, 3), "3 new e-mail messages");
  EXPECT_EQ(FolderStatusText("Work", 5, false, 3), "5 messages in Work.") << "new mail counts for Inbox only";
  EXPECT_EQ(FolderStatusText("Inbox", 100, true, 0), "100 messages in Inbox.");
  EXPECT_EQ(FolderStatusText("Inbox", 101, true, 0),
            "101 messages in Inbox.  Create folders and move some messages from your Inbox to make it load faster.");
  EXPECT_EQ(FolderStatusText("Work", 101, false, 0), "101 messages in Work.");
}

// --- the loader on real folders ----------------------------------------------------------------------

class MailFolderLoaderTest : public MessageListTest {
 protected:
  std::string Message(const std::string& folder, const std::string& name, const std::string& subject,
                      std::int64_t created, bool unread) {
    const std::string path = store.FolderPath(folder, true) + name;
    test::WriteFile(path, "From: sender" + name + "@example.org\r\nTo: me@example.org\r\nSubject: " + subject +
                              "\r\nDate: Sat, 9 May 1998 18:30:37 -0400\r\n\r\nbody\r\n.");
    EXPECT_TRUE(platform::SetFileTimes(
        path, platform::FileTimes{created * kSecond, (unread ? created : created + 100) * kSecond}));
    return path;
  }
  void Fill(const std::string& folder, int n) {
    for (int i = 0; i < n; ++i) Message(folder, "m" + std::to_string(i) + ".mail", "n" + std::to_string(i),
                                        1000000 + i, i % 2 == 0);
  }

  test::TempDir home;
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
  MailStore store{app};
};

// Collects events from the loader thread.
struct Collector {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<LoaderEvent> events;
  LoaderSink Sink() {
    return [this](const LoaderEvent& e) {
      std::lock_guard<std::mutex> lock(mutex);
      events.push_back(e);
      changed.notify_all();
      return true;
    };
  }
  size_t Count(LoaderEventKind kind) {
    std::lock_guard<std::mutex> lock(mutex);
    return std::count_if(events.begin(), events.end(), [&](const LoaderEvent& e) { return e.kind == kind; });
  }
};

TEST_F(MailFolderLoaderTest, LoadsEveryMessageFileAndReportsTheStatus) {
  Message("Inbox", "old.mail", "Old", 1000, false);
  Message("Inbox", "new.mail", "New", 3000, false);
  Message("Inbox", "unread.mail", "Unread", 2000, true);
  test::WriteFile(store.FolderPath("Inbox", false) + "tiny", "too short");
  fs::create_directories(store.FolderPath("Inbox", false) + "subfolder");
  const platform::FileTimes before = [&] {
    platform::FileTimes t;
    platform::GetFileTimes(store.FolderPath("Inbox", false) + "unread.mail", t);
    return t;
  }();

  FolderLoader loader(store);
  Collector c;
  const unsigned generation = loader.Start(store.FolderPath("Inbox", false), 0, c.Sink());
  ASSERT_TRUE(loader.WaitUntilFinished(10s));
  EXPECT_FALSE(loader.IsRunning());
  ASSERT_EQ(c.events.size(), 5u);
  EXPECT_EQ(c.events.front().kind, LoaderEventKind::Started);
  EXPECT_EQ(c.events.front().text, "Loading Inbox ...");
  EXPECT_EQ(c.events.back().kind, LoaderEventKind::Finished);
  EXPECT_EQ(c.events.back().text, "3 messages in Inbox.");
  EXPECT_EQ(c.events.back().count, 3);

  MessageList list;
  std::string status;
  for (const auto& e : c.events) EXPECT_TRUE(list.Apply(e, generation, &status));
  EXPECT_EQ(status, "3 messages in Inbox.");
  std::vector<std::string> subjects;
  for (const auto& r : list.Rows()) subjects.push_back(r.subjectShown);
  EXPECT_EQ(subjects, (std::vector<std::string>{"Unread", "New", "Old"}));
  EXPECT_TRUE(list.Rows()[0].unread);

  platform::FileTimes after;
  platform::GetFileTimes(store.FolderPath("Inbox", false) + "unread.mail", after);
  EXPECT_EQ(after, before) << "listing leaves the read state alone";
  EXPECT_TRUE(boxes.boxes.empty()) << "the loader shows no box itself";
}

TEST_F(MailFolderLoaderTest, AnInboxOf101MessagesShowsTheHintAndOneOf100DoesNot) {
  Fill("Inbox", 100);
  FolderLoader loader(store);
  Collector c;
  loader.Start(store.FolderPath("Inbox", false), 0, c.Sink());
  ASSERT_TRUE(loader.WaitUntilFinished(30s));
  EXPECT_EQ(c.events.back().text, "100 messages in Inbox.");

  Message("Inbox", "extra.mail", "one more", 5, true);
  Collector d;
  loader.Start(store.FolderPath("Inbox", false), 0, d.Sink());
  ASSERT_TRUE(loader.WaitUntilFinished(30s));
  EXPECT_EQ(d.events.back().text,
            "101 messages in Inbox.  Create folders and move some messages from your Inbox to make it load faster.");
  EXPECT_EQ(d.Count(LoaderEventKind::Row), 101u);

  // After a check that stored new messages, Inbox says so instead.
  Collector e;
  loader.Start(store.FolderPath("Inbox", false), 2, e.Sink());
  ASSERT_TRUE(loader.WaitUntilFinished(30s));
  EXPECT_EQ(e.events.back().text, "2 new e-mail messages");
  store.FolderPath("Work", true);
  Collector f;
  loader.Start(store.FolderPath("Work", false), 0, f.Sink());
  ASSERT_TRUE(loader.WaitUntilFinished(30s));
  ASSERT_EQ(f.events.size(), 2u);
  EXPECT_EQ(f.events.back().text, "No messages in Work");
}

// A sink that holds the loader on its first row until released.
struct Gate {
  std::mutex mutex;
  std::condition_variable cv;
  bool open = false;
  bool holding = false;
  int rows = 0;
  int finished = 0;
  int afterRelease = 0;
  void Release() {
    std::lock_guard<std::mutex> lock(mutex);
    open = true;
    cv.notify_all();
  }
  bool WaitHolding(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    return cv.wait_for(lock, timeout, [&] { return holding; });
  }
};

LoaderSink GateSink(std::shared_ptr<Gate> gate) {
  return [gate](const LoaderEvent& e) {
    std::unique_lock<std::mutex> lock(gate->mutex);
    if (e.kind == LoaderEventKind::Finished) ++gate->finished;
    if (e.kind != LoaderEventKind::Row) return true;
    ++gate->rows;
    if (gate->open) {
      ++gate->afterRelease;
      return true;
    }
    gate->holding = true;
    gate->cv.notify_all();
    gate->cv.wait(lock, [&] { return gate->open; });
    return true;
  };
}

TEST_F(MailFolderLoaderTest, StopEndsTheLoaderAtItsNextFile) {
  Fill("Inbox", 50);
  FolderLoader loader(store);
  auto gate = std::make_shared<Gate>();
  const unsigned generation = loader.Start(store.FolderPath("Inbox", false), 0, GateSink(gate));
  ASSERT_TRUE(gate->WaitHolding(10s));
  EXPECT_TRUE(loader.IsRunning());
  std::thread opener([gate] {
    std::this_thread::sleep_for(50ms);
    gate->Release();
  });
  EXPECT_TRUE(loader.Stop()) << "the loader ended within the wait";
  opener.join();
  EXPECT_FALSE(loader.IsRunning());
  EXPECT_EQ(gate->rows, 1) << "no file is read after the stop";
  EXPECT_EQ(gate->finished, 0);
  EXPECT_NE(loader.Generation(), generation);
}

TEST_F(MailFolderLoaderTest, ALoaderThatDoesNotStopInTimeIsForgottenNotKilled) {
  Fill("Inbox", 50);
  auto gate = std::make_shared<Gate>();
  auto loader = std::make_unique<FolderLoader>(store);
  const unsigned first = loader->Start(store.FolderPath("Inbox", false), 0, GateSink(gate));
  ASSERT_TRUE(gate->WaitHolding(10s));
  EXPECT_FALSE(loader->Stop(100ms)) << "still held: forgotten";
  EXPECT_FALSE(loader->IsRunning());

  // A new run goes on while the forgotten one still waits.
  Collector c;
  const unsigned second = loader->Start(store.FolderPath("Inbox", false), 0, c.Sink());
  EXPECT_NE(first, second);
  ASSERT_TRUE(loader->WaitUntilFinished(10s));
  EXPECT_EQ(c.Count(LoaderEventKind::Row), 50u);

  // Let the forgotten run go: it sees its stop flag and leaves.
  gate->Release();
  loader.reset();
  // The run's copy of its sink goes when its thread ends.
  for (int i = 0; i < 1000 && gate.use_count() > 1; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(gate.use_count(), 1) << "the forgotten run ended by itself";
  std::lock_guard<std::mutex> lock(gate->mutex);
  EXPECT_EQ(gate->afterRelease, 0);
  EXPECT_EQ(gate->rows, 1);
  EXPECT_EQ(gate->finished, 0);
  // Its last words would carry a stale generation and be ignored.
  MessageList list;
  LoaderEvent late;
  late.kind = LoaderEventKind::Row;
  late.generation = first;
  EXPECT_FALSE(list.Apply(late, second));
  EXPECT_TRUE(list.Rows().empty());
}

TEST_F(MailFolderLoaderTest, FilesThatCannotBeOpenedAreReportedAndNotListed) {
  const std::string a = Message("Inbox", "a.mail", "A", 1000, true);
  FolderLoader loader(store);
  Collector c;
  {
    // One handle for the folder, none for its files.
    mailtest::NoFreeFileHandles full(1);
    loader.Start(store.FolderPath("Inbox", false), 0, c.Sink());
    ASSERT_TRUE(loader.WaitUntilFinished(10s));
  }
  ASSERT_EQ(c.events.size(), 3u);
  EXPECT_EQ(c.events[1].kind, LoaderEventKind::OpenFailed);
  EXPECT_EQ(c.events[1].text, "Open Failed");
  EXPECT_EQ(c.events[1].row.path, a);
  EXPECT_EQ(c.events[2].text, "No messages in Inbox");
  EXPECT_TRUE(boxes.boxes.empty()) << "the window shows the box, not the worker";
}

struct Window : platform::MessageTarget {
  std::vector<platform::WindowMessage> got;
  void OnWindowMessage(const platform::WindowMessage& m) override { got.push_back(m); }
};

TEST_F(MailFolderLoaderTest, PostsItsEventsToAWindow) {
  Message("Inbox", "a.mail", "12:30 re: 5:fun", 1000, true);
  Message("Inbox", "b.mail", "", 2000, false);
  auto& messages = platform::WindowMessages::Instance();
  Window window;
  const platform::WindowHandle handle = messages.Register(&window);
  FolderLoader loader(store);
  const unsigned generation = loader.Start(store.FolderPath("Inbox", false), 0, PostToWindow(handle));
  ASSERT_TRUE(loader.WaitUntilFinished(10s));
  messages.DispatchPending();
  messages.Unregister(handle);

  MessageList list;
  std::string status;
  size_t applied = 0;
  for (const auto& m : window.got) {
    if (m.message != kFolderLoaderMessage) continue;
    LoaderEvent e;
    ASSERT_TRUE(DecodeLoaderMessage(m, e));
    applied += list.Apply(e, generation, &status) ? 1 : 0;
  }
  EXPECT_EQ(applied, 4u);
  EXPECT_EQ(status, "2 messages in Inbox.");
  ASSERT_EQ(list.Rows().size(), 2u);
  const std::vector<MessageRow> direct = ListFolderRows(store, store.FolderPath("Inbox", false));
  for (size_t i = 0; i < 2; ++i) {
    const MessageRow &got = list.Rows()[i], &want = direct[i];
    EXPECT_EQ(std::tie(got.path, got.subjectShown, got.nameShown, got.dateShown, got.sortTimeNs, got.unread),
              std::tie(want.path, want.subjectShown, want.nameShown, want.dateShown, want.sortTimeNs, want.unread));
  }
  EXPECT_EQ(list.Rows()[0].subjectShown, "12:30 re: 5:fun");
  EXPECT_EQ(list.Rows()[1].subjectShown, "<No Subject>");

  platform::WindowMessage junk;
  junk.message = kFolderLoaderMessage;
  junk.lParam = static_cast<platform::LParam>(LoaderEventKind::Row);
  junk.text = "5:abc";
  LoaderEvent e;
  EXPECT_FALSE(DecodeLoaderMessage(junk, e));
  junk.text.reset();
  EXPECT_FALSE(DecodeLoaderMessage(junk, e));
}

TEST_F(MailFolderLoaderTest, NewMessagesAndMarkingUpdateTheList) {
  Message("Inbox", "old.mail", "Old", 1000, false);
  Message("Inbox", "mid.mail", "Mid", 2000, true);
  MessageList list;
  list.Reset(store.FolderPath("Inbox", false));
  for (auto& r : ListFolderRows(store, store.FolderPath("Inbox", false))) list.Add(r);
  list.Sort();

  const std::string fresh = Message("Inbox", "fresh.mail", "Fresh", 3000, true);
  ASSERT_TRUE(list.AddMessage(store, fresh));
  EXPECT_EQ(Order(list.Rows()), fresh + store.FolderPath("Inbox", false) + "mid.mail" +
                                    store.FolderPath("Inbox", false) + "old.mail");
  EXPECT_FALSE(list.AddMessage(store, store.FolderPath("Inbox", false) + "missing.mail"));

  ASSERT_TRUE(list.MarkRead(0, true));
  EXPECT_FALSE(list.Rows()[0].unread);
  EXPECT_FALSE(MailStore::IsUnread(fresh));
  EXPECT_LT(list.Rows()[0].sortTimeNs, 3000 * kSecond) << "marking read moves the sort time";
  ASSERT_TRUE(list.MarkRead(0, false));
  EXPECT_TRUE(list.Rows()[0].unread);
  EXPECT_TRUE(MailStore::IsUnread(fresh));
  EXPECT_FALSE(list.MarkRead(9, true));

  EXPECT_TRUE(list.Remove(fresh));
  EXPECT_FALSE(list.Remove(fresh));
  EXPECT_EQ(list.Rows().size(), 2u);
}

}  // namespace
}  // namespace vyr
