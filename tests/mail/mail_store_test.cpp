// The mail store on real folders and the header scanner.
#include "mail/store/mail_store.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <thread>

#include "mail/mail_test_util.h"
#include "mail/store/message_summary.h"
#include "tools/test_support.h"

namespace vyr {
namespace {
namespace fs = std::filesystem;
using platform::FileTimes;
using Texts = std::vector<std::string>;

constexpr std::int64_t kSecond = 1000000000;

void SetTimes(const std::string& path, std::int64_t createdSec, std::int64_t accessedSec) {
  ASSERT_TRUE(platform::SetFileTimes(path, FileTimes{createdSec * kSecond, accessedSec * kSecond}));
}

FileTimes TimesOf(const std::string& path) {
  FileTimes t;
  EXPECT_TRUE(platform::GetFileTimes(path, t));
  return t;
}

MessageSummary Scan(const std::string& text) {
  MessageSummary s;
  ScanHeaders(text, s);
  return s;
}

const char kMessage[] = "From: abc\r\nTo: a\r\nSubject: ab\r\n\r\nSee you at noon.\r\n.";

class MailStoreTest : public ::testing::Test, protected test::TestApp {
 protected:
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
  MailStore store{app};
};

TEST_F(MailStoreTest, FolderPathsTheFolderTreeAndOutgoingFolders) {
  EXPECT_EQ(store.FolderPath("Inbox", false), "");
  EXPECT_FALSE(fs::exists(Root())) << "a lookup without create creates nothing";
  EXPECT_EQ(store.FolderPath("Inbox", true), Root() + "Inbox/");
  EXPECT_EQ(store.FolderPath("", false), Root());
  EXPECT_EQ(store.TempDirectory(), home.Path() + "/vyrelle/_TEMP/");
  const std::string a = store.NewDownloadPath(), b = store.NewDownloadPath(), temp = store.TempDirectory() + "M";
  EXPECT_TRUE(a.rfind(temp, 0) == 0 && a.find_first_not_of("0123456789", temp.size()) == a.size() - 4 && a != b) << a;
  for (const char* bad : {"..", ".", "../outside", "a/b", "a\\b", " "}) EXPECT_EQ(store.FolderPath(bad, true), "") << bad;
  EXPECT_FALSE(fs::exists(home.Path() + "/vyrelle/outside"));
  fs::remove(Root() + "Inbox");
  fs::create_directories(Root() + "inbox");
  for (const char* d : {"zeta", "Alpha", "TRASH", "beta"}) fs::create_directories(Root() + d);
  Message("Draft", "Out1.mail");
  store.FolderPath("Outbox", true);
  Message("Trash", "old.mail");
  EXPECT_EQ(store.FolderNames(), (Texts{"Inbox", "Outbox", "Sent Items", "Draft", "Trash", "Alpha", "beta", "zeta"}));
  EXPECT_EQ(store.FolderPath("Inbox", false), Root() + "inbox/");
  std::string bold;
  for (const auto& f : store.FolderTree()) bold += f.bold ? "B" : "-";
  EXPECT_EQ(bold, "---BB---");
  test::WriteFile(Root() + "Work", "a file in the way");
  EXPECT_EQ(store.FolderPath("Work", true), "");
  EXPECT_EQ(Shown(), Texts{"Error creating email directory"});
  EXPECT_TRUE(MailStore::IsOutgoingPath("C:\\Vyrelle\\email\\Old Drafts\\Out1.mail"));
  EXPECT_FALSE(MailStore::IsOutgoingPath("/home/draftsman/Outbox stuff/vyrelle/email/Inbox/S1.mail"));
  EXPECT_FALSE(MailStore::IsTrashPath("/home/trash/vyrelle/email/Inbox/"));
  EXPECT_EQ(MailStore::FolderNameOf("/h/email/Sent Items/Out1.mail"), "Sent Items");
}

TEST_F(MailStoreTest, ReadStateLivesInTheFileTimes) {
  const std::string path = Message("Inbox", "a.mail");
  SetTimes(path, 1000000, 1000002);
  EXPECT_TRUE(MailStore::IsUnread(path)) << "two seconds later is still unread";
  ASSERT_TRUE(platform::SetFileTimes(path, FileTimes{1000000 * kSecond, 1000002 * kSecond + 1}));
  EXPECT_FALSE(MailStore::IsUnread(path) || MailStore::MarkRead(Root() + "Inbox/missing.mail"));
  mailtest::ScopedZone zone("EST5EDT,M3.2.0,M11.1.0");
  SetTimes(path, 1710559800 - 3600, 1710559800);
  ASSERT_TRUE(MailStore::MarkRead(path));
  EXPECT_EQ(TimesOf(path), (FileTimes{1678896000 * kSecond, 1710559800 * kSecond})) << "2023-03-15 12:00 EDT";
  ASSERT_TRUE(MailStore::MarkUnread(path));
  EXPECT_EQ(TimesOf(path), (FileTimes{1678896000 * kSecond, 1678896000 * kSecond}));
  mailtest::ScopedZone utc("UTC0");
  SetTimes(path, 1709200800, 1709200800);
  ASSERT_TRUE(MailStore::MarkRead(path));
  EXPECT_EQ(TimesOf(path).createdNs, 1677585600 * kSecond) << "2023-02-28 12:00 UTC";
}

TEST_F(MailStoreTest, OwnReadsOfAMessagePutItsTimesBack) {
  const std::string path = Message("Inbox", "a.mail");
  const std::int64_t now = std::time(nullptr);
  MessageSummary s;
  std::string text;
  const std::pair<std::function<void()>, bool> reads[] = {
      {[&] { EXPECT_TRUE(store.ReadSummary(path, s) && s.unread && s.subject + "|" + s.from == "ab|abc"); }, true},
      {[&] { EXPECT_EQ(store.MessageKey(path), "X-1576") << "From 1184 + To 0 + Subject 392"; }, true},
      {[&] { EXPECT_TRUE(store.ReadWholeMessage(path, text) && text == kMessage); }, false},
  };
  auto changed = [&] {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return std::make_pair(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
  };
  for (const auto& [read, changeTimeKept] : reads) {
    SetTimes(path, now - 7200, now - 7200);
    const auto before = changed();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    read();
    EXPECT_EQ(TimesOf(path), (FileTimes{(now - 7200) * kSecond, (now - 7200) * kSecond}));
    if (changeTimeKept) {
      EXPECT_EQ(changed(), before);
    }
  }
  EXPECT_EQ(store.MessageKey(Root() + "Inbox/missing.new"), "0");
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MailStoreTest, ShortAndMissingFiles) {
  const std::string tiny = Message("Inbox", "tiny.mail", "123456789");
  MessageSummary s;
  s.subject = "stale";
  EXPECT_FALSE(store.ReadSummary(tiny, s));
  EXPECT_EQ(s.path + s.subject, tiny);
  const std::string ten = Message("Inbox", "ten.mail", "1234567890");
  EXPECT_EQ(std::vector<SummaryResult>({store.ReadSummaryQuiet(tiny, s), store.ReadSummaryQuiet(ten, s),
                                         store.ReadSummaryQuiet(Root() + "Inbox/missing", s),
                                         store.ReadSummaryQuiet(Root() + "Inbox", s)}),
            std::vector<SummaryResult>({SummaryResult::TooShort, SummaryResult::Ok, SummaryResult::NotExamined,
                                        SummaryResult::NotExamined}));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MailStoreTest, ASummaryReadNeverUndoesAMarkMadeMeanwhile) {
  std::vector<std::string> paths;
  for (int i = 0; i < 500; ++i) paths.push_back(Message("Inbox", std::to_string(i) + ".mail"));
  std::atomic<int> current{0};
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    MessageSummary s;
    while (!stop) store.ReadSummaryQuiet(paths[current], s);
  });
  int lost = 0;
  for (int i = 0; i < static_cast<int>(paths.size()); ++i) {
    current = i;
    lost += !MailStore::MarkRead(paths[i]) || MailStore::IsUnread(paths[i]);
    lost += !MailStore::MarkUnread(paths[i]) || !MailStore::IsUnread(paths[i]);
  }
  stop = true;
  reader.join();
  EXPECT_EQ(lost, 0);
}

TEST_F(MailStoreTest, DeletingAsksFirstMovesToTrashAndRemovesInTrash) {
  const std::string a = Message("Inbox", "a.mail", "first message text");
  boxes.answer = IDNO;
  EXPECT_TRUE(store.DeleteMessages({}, false).cancelled && store.DeleteMessages({a}, false).cancelled);
  EXPECT_EQ(Shown(), (Texts{"No items selected!", "Delete message(s)?"}));
  EXPECT_EQ(app.GetInt("email", "DontPromptForDeletion", -1), 0) << "written whatever the answer";
  boxes.tickCheckBox = true;
  EXPECT_TRUE(store.DeleteMessages({a}, false).cancelled && app.GetInt("email", "DontPromptForDeletion", -1) == 1);
  boxes.boxes.clear();
  DeleteOutcome d = store.DeleteMessages({a}, false);
  EXPECT_EQ(d.removed.size() == 1 ? d.status : "", "1 message moved to Trash (emptied when Vyrelle is closed)");
  const std::string a2 = Message("Inbox", "a.mail", "same name, other text");
  const std::string b = Message("Work", "b.mail");
  d = store.DeleteMessages({a2, Root() + "Inbox/vanished.mail", b}, false);
  EXPECT_EQ(d.removed, (Texts{a2, b}));
  EXPECT_EQ(test::ReadFile(Root() + "Trash/a.mail") + "|" + test::ReadFile(Root() + "Trash/a~2.mail"),
            "first message text|same name, other text");
  const std::string inTrash = Root() + "Trash/a.mail";
  ::chmod(inTrash.c_str(), 0444);
  d = store.DeleteMessages({inTrash}, true);
  EXPECT_TRUE(d.removed == Texts{inTrash} && d.status.empty() && !fs::exists(inTrash));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MailStoreTest, DroppingMovesFilesWithItsRefusals) {
  const std::string a = Message("Inbox", "a.mail", "message a text");
  const std::string b = Message("Inbox", "b.mail");
  Message("Work", "a.mail", "already there");
  MoveOutcome m = store.MoveDroppedFiles({a, b, home.File("letter.txt")}, "Work");
  EXPECT_EQ(m.movedTo, (Texts{Root() + "Work/a~2.mail", Root() + "Work/b.mail"}));
  EXPECT_EQ(m.status + "|" + test::ReadFile(Root() + "Work/a.mail"), "2 messages moved to Work|already there");
  const std::string inbox = Message("Inbox", "c.mail");
  const std::string draft = Message("Draft", "Out1.mail");
  const std::string sent = Message("Sent Items", "Out2.mail");
  boxes.boxes.clear();
  for (auto [file, folder] : {std::pair(inbox, "inbox"), std::pair(inbox, "Draft"), std::pair(sent, "Inbox")}) {
    EXPECT_TRUE(store.MoveDroppedFiles({file}, folder).refused) << folder;
  }
  EXPECT_EQ(boxes.boxes.size(), 3u);
  EXPECT_EQ(store.MoveDroppedFiles({draft}, "Trash").status, "1 message moved to Trash");
  m = store.MoveDroppedFiles({inbox, sent, Root() + "Work/b.mail"}, "Work");
  EXPECT_TRUE(m.refused && m.movedFrom == Texts{inbox} && fs::exists(sent));
}

TEST_F(MailStoreTest, NewAndRenamedFolders) {
  EXPECT_EQ(std::vector<FolderResult>({store.NewFolder("Work"), store.NewFolder("WORK"), store.NewFolder("inbox"),
                                        store.NewFolder("../escape")}),
            std::vector<FolderResult>({FolderResult::Done, FolderResult::Exists, FolderResult::Exists,
                                       FolderResult::InvalidName}));
  Message("Work", "a.mail", "work message");
  fs::create_directories(Root() + "Private");
  EXPECT_EQ(store.RenameFolder("Work", "Jobs"), FolderResult::Done);
  EXPECT_EQ(store.RenameFolder("Jobs", "jobs"), FolderResult::Done) << "a change of case only";
  EXPECT_EQ(test::ReadFile(Root() + "jobs/a.mail"), "work message");
  EXPECT_EQ(std::vector<FolderResult>({store.RenameFolder("jobs", "private"), store.RenameFolder("jobs", "Trash"),
                                        store.RenameFolder("Nowhere", "Else"), store.RenameFolder("Inbox", "Old"),
                                        store.RenameFolder("jobs", "a/b")}),
            std::vector<FolderResult>({FolderResult::Exists, FolderResult::Exists, FolderResult::Failed,
                                       FolderResult::SystemFolder, FolderResult::InvalidName}));
  EXPECT_EQ(Shown().size(), 8u);
}

TEST_F(MailStoreTest, DeletedFoldersTrashAndLeftovers) {
  Message("Work", "a.mail");
  const std::string b = Message("Work", "b.mail");
  ::chmod(b.c_str(), 0444);
  boxes.answer = IDNO;
  boxes.tickCheckBox = true;
  EXPECT_EQ(store.DeleteFolder("Work"), FolderResult::Cancelled);
  EXPECT_EQ(Shown(), Texts{"Work contains 2 message(s)\nDelete them?"});
  EXPECT_EQ(boxes.boxes[0].checkBox, "Don't ask me this question anymore");
  boxes.answer = IDYES;
  EXPECT_TRUE(store.DeleteFolder("Work") == FolderResult::Done && !fs::exists(Root() + "Work"));
  EXPECT_EQ(app.GetInt("email", "DontPromptForFolderDeletion", 0), 1);
  EXPECT_TRUE(store.DeleteFolder("INBOX") == FolderResult::SystemFolder && store.DeleteFolder("../vyrelle") == FolderResult::Failed);
  Message("Jobs", "c.mail");
  fs::create_directories(Root() + "Jobs/nested");
  EXPECT_EQ(store.DeleteFolder("Jobs"), FolderResult::Failed);
  EXPECT_EQ(boxes.boxes.back().text, "Folder could not be removed\n Jobs");
  EXPECT_EQ(std::count_if(boxes.boxes.begin(), boxes.boxes.end(), [](auto& b) { return b.kind == "question"; }), 2);
  Message("Trash", "a.mail");
  ::chmod(Message("Trash", "b.txt", "x").c_str(), 0444);
  EXPECT_EQ(store.EmptyTrash(), 2);
  EXPECT_TRUE(fs::is_empty(Root() + "Trash"));
  const std::int64_t old = std::time(nullptr) - 3600;
  const std::string queued = Message("Outbox", "Out1.mail"), half1 = Message("Outbox", "Out2.temp");
  const std::string queued2 = Message("Outbox", "Out3.mail"), half2 = Message("Outbox", "Out4.temp");
  const std::string writing = Message("Outbox", "Out5.temp");
  for (const std::string& p : {queued, half1, queued2, half2}) SetTimes(p, old, old);
  const std::string temp = store.TempDirectory() + "M123.new";
  test::WriteFile(temp, "download");
  ::chmod(temp.c_str(), 0444);
  EXPECT_EQ(store.CleanLeftovers(), 2);
  EXPECT_TRUE(fs::exists(queued) && fs::exists(queued2) && fs::exists(writing));
  EXPECT_FALSE(fs::exists(half1) || fs::exists(half2)) << "the clean-up goes on past the .mail files";
  EXPECT_NE(fs::status(temp).permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST(MessageSummaryTest, ReadsTheFirstOfEachFieldWithoutRegardToCase) {
  const MessageSummary s = Scan(
      "  orphan continuation: ignored\r\n"
      "fROM:   Alice <a@example.org>  \r\n"
      "TO: bob@example.net\r\n"
      "BCC: hidden@example.com\r\n"
      "cc: carol@example.com\r\n"
      "CC: later@example.com\r\n"
      "subject:\tHello\r\n   there\r\n\tagain\r\n"
      "Subject: second\r\n"
      "DATE: Sat, 9 May 1998 18:30:37 -0400\r\n"
      "Mime-Version: 1.0\r\n"
      "content-type: multipart/mixed ;\r\n\tboundary=\"----=_Next_0001\"\r\n"
      "Content-Transfer-Encoding: quoted-printable; x=y\r\n"
      "\r\n"
      "To: body@example.org\r\n");
  EXPECT_EQ(s.from + "|" + s.to + "|" + s.cc + "|" + s.bcc, "Alice <a@example.org>|bob@example.net|carol@example.com|"
                                                           "hidden@example.com");
  EXPECT_EQ(s.subject, "Hello there again") << "folded lines are unfolded for display";
  EXPECT_EQ(s.date + "|" + s.mimeVersion + "|" + s.contentType + "|" + s.boundary + "|" + s.contentTransferEncoding,
            "Sat, 9 May 1998 18:30:37 -0400|1.0|multipart/mixed|----=_Next_0001|quoted-printable");
  const MessageSummary t = Scan("From user@example.org Sat May  9 1998\nTocken: x\nDates: y\n\n");
  EXPECT_EQ(t.from + t.to + t.date, "");
  EXPECT_EQ(Scan("\r\nSubject: body\r\n").subject, "") << "no header block at all";
}

TEST(MessageSummaryTest, ParametersFileNamesAndLimits) {
  MessageSummary s = Scan(
      "Content-Type: application/octet-stream; NAME=\"report; final \\\"v2\\\".pdf\" ;\r\n"
      " BOUNDARY = plain-token ; Id=\"part@host\"\r\n\r\n");
  EXPECT_EQ(s.contentType + "|" + s.fileName + "|" + s.boundary + "|" + s.id,
            "application/octet-stream|report; final \"v2\".pdf|plain-token|part@host");
  s = Scan("Content-Type: message/partial; id=\"abc@host\"; number=2; total=\"7\"\n\n");
  EXPECT_EQ(std::make_pair(s.number, s.total), std::make_pair(2, 7));
  EXPECT_EQ(Scan("Content-Type: m/p; number=two; total=99999999999999\n\n").total, 2147483647);
  s = Scan("Subject: " + std::string(300, 'x') + "\nContent-Type: text/plain; name=\"" +
           std::string(400, 'n') + "\"; boundary=b\n\n");
  EXPECT_TRUE(s.subject == std::string(255, 'x') && s.fileName == std::string(255, 'n'));
  EXPECT_EQ(s.boundary, "b") << "parameters past 255 characters are still read";
  const std::pair<const char*, const char*> names[] = {
      {"Content-Disposition: attachment; filename=\"d.txt\"\nContent-Type: text/plain; name=t.txt\n\n", "t.txt"},
      {"Content-Disposition: attachment; filename*=UTF-8''na%C3%AFve%20plan.txt\n\n", "na\xC3\xAFve plan.txt"},
      {"Content-Type: text/plain;\n name*0=\"long\";\n name*1=\"-name\";\n name*2*=%2Etxt\n\n", "long-name.txt"},
  };
  for (const auto& [header, name] : names) EXPECT_EQ(Scan(header).fileName, name) << header;
  EXPECT_EQ(HeaderParameter("a/b; x=1; y=\"2\"", "Y"), "2");
  EXPECT_EQ(HeaderParameter("x=1", "x"), "") << "the main value is not a parameter";
}

TEST(MessageSummaryTest, EncodedWordsAndRawBytesReadAsWritten) {
  const std::pair<std::string, std::string> cases[] = {
      {"=?ISO-8859-1?Q?J=FCrgen?= <j@example.de>", "J\xC3\xBCrgen <j@example.de>"},
      {"=?utf-8?q?caf=C3=A9_au_lait?=", "caf\xC3\xA9 au lait"},
      {"=?UTF-8?B?w6k=?= \t =?UTF-8?B?w6k=?= x =?UTF-8?B?w6k?=", "\xC3\xA9\xC3\xA9 x \xC3\xA9"},
      {"=?windows-1252?Q?=80_5?=", "\xE2\x82\xAC 5"},
      {"=?ISO-8859-15?Q?=A4?= =?ISO-8859-1?Q?=A4?=", "\xE2\x82\xAC\xC2\xA4"},
      {"=?UTF-8*de?Q?Stra=C3=9Fe?=", "Stra\xC3\x9F" "e"},
      {"=?UTF-8?Q?two=0D=0Alines?=", "two  lines"},
      {"=?UTF-8?Q?no end", "=?UTF-8?Q?no end"},
      {"=?UTF-8?X?abc?=", "=?UTF-8?X?abc?="},
      {"=?x-unknown?Q?abc?=", "abc"},
      {"M\xC3\xBCller", "M\xC3\xBCller"},
      {"M\xFCller \x93x\x94", "M\xC3\xBCller \xE2\x80\x9Cx\xE2\x80\x9D"},
  };
  for (const auto& [raw, shown] : cases) EXPECT_EQ(DecodeHeaderText(raw), shown) << raw;
  const MessageSummary s = Scan("From: =?UTF-8?B?w4Z0aGVs?= <a@example.org>\r\nSubject: =?UTF-8?Q?" +
                                std::string(100, 'x') + "?= " + std::string(200, 'y') +
                                "\r\nTo: =?ISO-8859-1?Q?G=F6?= <g@example.org>\r\n\r\n");
  EXPECT_EQ(s.from + "|" + s.to, "\xC3\x86thel <a@example.org>|G\xC3\xB6 <g@example.org>");
  EXPECT_EQ(s.subject, std::string(100, 'x') + " " + std::string(154, 'y')) << "decoded first, then cut";
}

TEST(MessageKeyTest, KeysOfHeaderBlocks) {
  const struct {
    const char* header;
    const char* key;
  } cases[] = {
      {"", "X-0"},
      {"Received: x\nBCC: abc\nMIME-Version: 1.0\nContent-Transfer-Encoding: 7bit\n\nbody", "X-0"},
      {"From:\r\nSubject: ab\r\n\r\n", "X-391"},
      {"To:   \r\nCC:\r\n\r\n", "X--2"},
      {"Subject: ab\r\n cd\r\n\r\n", "X-392"},
      {"Subject: ab\r\nSubject: abc\r\n\r\n", "X-392"},
      {"SUBJECT:  ab \t\r\n\r\n", "X-392"},
      {"BCC: abc\r\nCc: ab\r\n\r\n", "X-392"},
      {"From : ab\r\n\r\n", "X-0"},
      {"Date: ab\n\nFrom: abc\n", "X-392"},
      {"From: \xe9\xe9\r\n\r\n", "X--90"},
      {"Content-Type: ab; boundary=\"abc\"; number=3; total=5\r\n\r\n", "X-1584"},
      {"Content-Type: ab;\r\n boundary=\"abc\"; number=3\r\n\r\n", "X-392"},
      {"Content-Type: a; id=\"\"; number=-123\r\n\r\n", "X--124"},
      {"Received: by mx.example.net\r\nFrom: Alice Example <alice@example.org>\r\n"
       "To: bob@example.net\r\nCC: carol@example.com\r\nSubject: Quarterly report\r\n"
       "Date: Tue, 3 Mar 2020 10:15:00 +0100\r\nMIME-Version: 1.0\r\n"
       "Content-Type: multipart/mixed; boundary=\"b1_xyz\"\r\n\r\nbody",
       "X--263104758"},
      {"From: x@y.z\nSubject: Big file\nContent-Type: message/partial; id=\"abc@host\"; number=2; total=3\n\n",
       "X-7299337"},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageKeyOfHeaders(c.header), c.key) << c.header;
}

TEST(MessageSummaryTest, HeaderBlockEndsAtTheEmptyLineAndItsLimit) {
  test::TempDir dir;
  const std::string body(100000, 'b');
  const std::string edge = "X-Fill: " + std::string(4096 - 8 - 2, 'f') + "\r\n";
  std::string big;
  while (big.size() < 3 * kHeaderReadLimit) big += "X-Long: " + std::string(70, 'l') + "\n";
  const struct {
    std::string file, header;
  } cases[] = {
      {"Subject: s\r\nFrom: f\r\n\r\n" + body, "Subject: s\r\nFrom: f\r\n\r\n"},
      {"Subject: s\n\n" + body, "Subject: s\n\n"},
      {edge + "\r\nSubject: body\r\n", edge + "\r\n"},
      {big + "\nSubject: too late\n", big.substr(0, kHeaderReadLimit)},
  };
  for (const auto& c : cases) {
    test::WriteFile(dir.File("m.mail"), c.file);
    std::string header;
    ASSERT_TRUE(ReadHeaderBlock(dir.File("m.mail"), header));
    EXPECT_TRUE(header == c.header) << c.header.substr(0, 40);
  }
  std::string header;
  EXPECT_FALSE(ReadHeaderBlock(dir.File("missing.mail"), header));
}

}  // namespace
}  // namespace vyr
