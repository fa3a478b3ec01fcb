// Send Now, Send Later, Save Draft and the Outbox flush against a recording
// SMTP server (aiosmtpd) started on a loopback port: what is stored, what
// the server gets, and that a message that fails for any reason stays
// pending in Outbox, whole, until a later flush sends it.
#include "mail/send/outbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>

#include "app/application.h"
#include "mail/send/address_lists.h"
#include "mail/store/mail_store.h"
#include "mail/body/rich_text.h"
#include "mail/send/smtp_client.h"
#include "platform/file_times.h"
#include "platform/profile_file.h"
#include "tools/smtp_record_server.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using test::SmtpRecordServer;

std::string PlainBody(const std::string& text) {
  RichTextDocument doc;
  doc.Append(text, doc.DefaultFormat());
  return GetBodyRichText(doc);
}

struct Posted {
  std::uint32_t message;
  std::string text;
};

class Recorder : public platform::MessageTarget {
 public:
  Recorder() : handle(platform::WindowMessages::Instance().Register(this)) {}
  ~Recorder() override { platform::WindowMessages::Instance().Unregister(handle); }
  void OnWindowMessage(const platform::WindowMessage& m) override {
    posted.push_back({m.message, m.text.value_or("")});
  }
  std::vector<std::string> Texts(std::uint32_t message) const {
    std::vector<std::string> texts;
    for (const auto& p : posted) {
      if (p.message == message) texts.push_back(p.text);
    }
    return texts;
  }
  bool Got(std::uint32_t message) const {
    return std::any_of(posted.begin(), posted.end(), [&](const Posted& p) { return p.message == message; });
  }
  std::vector<Posted> posted;
  const platform::WindowHandle handle;
};

// The compose window: its boxes, and what is posted to it.
class ComposeHarness : public ComposeWindow, public Recorder {
 public:
  std::string ToText() const override { return to; }
  std::string CcText() const override { return cc; }
  std::string BccText() const override { return bcc; }
  std::string SubjectText() const override { return subject; }
  std::string BodyForm() const override { return body; }
  std::vector<std::string> Attachments() const override { return attachments; }
  std::string StoredPath() const override { return storedPath; }
  void SetStoredPath(const std::string& path) override { storedPath = path; }
  void SetSubjectText(const std::string& s) override { subject = s; }
  void FocusToBox() override { ++focusTo; }
  void FocusSubjectBox() override { ++focusSubject; }
  platform::WindowHandle Handle() const override { return handle; }

  std::string to = "Bob <bob@mail.example>";
  std::string cc = "Dan <dan@mail.example>";
  std::string bcc = "carol@mail.example";
  std::string subject = "Hello";
  std::string body = PlainBody(".dot first\nline two");
  std::vector<std::string> attachments;
  std::string storedPath;
  int focusTo = 0, focusSubject = 0;
};

void Dispatch() { platform::WindowMessages::Instance().DispatchPending(); }

// Reads a message file without touching its times: reading it the plain way
// would move its last access and so mark it read (not pending any more).
std::string ReadKept(const std::string& path) {
  platform::FileTimesKeeper keep(path);
  return test::ReadFile(path);
}

class OutboxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClearProfileCache();
    app.WriteString("email", "smtp-server", "127.0.0.1");
    app.WriteString("email", "name", "Ann Sender");
    app.WriteString("email", "e-address", "ann@mail.example");
    ASSERT_TRUE(WriteSignature(app, "-- \nAnn"));
  }
  void UseServer(const SmtpRecordServer& server) { app.WriteInt("email", "SMTPPort", server.Port()); }
  void UsePort(int port) { app.WriteInt("email", "SMTPPort", port); }

  std::string Folder(const char* name) { return home.File(std::string("vyrelle/email/") + name); }
  std::vector<std::string> Files(const char* folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(Folder(folder), ec)) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
  }
  // The stored form the file should hold, with the file's own date.
  std::string Expected(const ComposeHarness& w, const std::string& file, const std::string& subject) {
    const std::string text = ReadKept(file);
    const size_t at = text.find("Date: ");
    const std::string date = text.substr(at + 6, text.find("\r\n", at) - at - 6);
    return BuildStoredMessage(w.to, w.cc, w.bcc, "Ann Sender <ann@mail.example>", subject, w.body,
                              w.attachments, date);
  }

  test::TempDir home;
  test::TempDir scratch;
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
};

#define START_SERVER(server)                              \
  do {                                                    \
    std::string startError;                               \
    ASSERT_TRUE(server.Start(&startError)) << startError; \
  } while (0)

// --- the stored form -------------------------------------------------------------------

TEST(StoredMessageTest, BuildAndParse) {
  const std::string body = PlainBody("Hi");
  const std::string text = BuildStoredMessage("Bob <b@x.example>", "", "c@x.example", "Ann <a@x.example>",
                                              "Sub\r\nject", body, {"/tmp/a b.txt", "/tmp/c"},
                                              "04 Jul 2026 08:34:56 -0500");
  EXPECT_EQ(text, "To: Bob <b@x.example>\r\nCC: \r\nBCC: c@x.example\r\nFrom: Ann <a@x.example>\r\n"
                  "Subject: Sub  ject\r\nDate: 04 Jul 2026 08:34:56 -0500\r\n\r\n" +
                      body +
                      "\r\n\r\n"
                      "\r\nFile Attached: /tmp/a b.txt\r\n\r\n"
                      "\r\nFile Attached: /tmp/c\r\n\r\n");
  const StoredMessage m = ParseStoredMessage(text);
  EXPECT_EQ(m.to, "Bob <b@x.example>");
  EXPECT_EQ(m.cc, "");
  EXPECT_EQ(m.bcc, "c@x.example");
  EXPECT_EQ(m.from, "Ann <a@x.example>");
  EXPECT_EQ(m.subject, "Sub  ject");
  EXPECT_EQ(m.date, "04 Jul 2026 08:34:56 -0500");
  EXPECT_EQ(m.body, body);
  EXPECT_EQ(m.attachments, (std::vector<std::string>{"/tmp/a b.txt", "/tmp/c"}));
}

TEST(StoredMessageTest, BodyThatMentionsAttachmentsIsKeptWhole) {
  const std::string body = PlainBody("Look:\r\nFile Attached: /etc/passwd\r\n\r\nthanks");
  const std::string text = BuildStoredMessage("b@x.example", "", "", "a@x.example", "s", body, {}, "d");
  const StoredMessage m = ParseStoredMessage(text);
  EXPECT_EQ(m.body, body);
  EXPECT_TRUE(m.attachments.empty());
}

TEST(StoredMessageTest, LongHeaderValuesAreKeptWhole) {
  std::string to;
  for (int i = 0; i < 40; ++i) to += (i ? ", " : "") + std::string("user") + std::to_string(i) + "@mail.example";
  const StoredMessage m = ParseStoredMessage(BuildStoredMessage(to, "", "", "a", "s", "b", {}, "d"));
  EXPECT_EQ(m.to, to);
}

// --- Send Now --------------------------------------------------------------------------

TEST_F(OutboxTest, SendNowStoresSendsAndMovesToSentItems) {
  SmtpRecordServer server;
  START_SERVER(server);
  UseServer(server);
  ComposeHarness w;
  Recorder mailWindow;
  Outbox outbox(app, mailWindow.handle);
  ASSERT_TRUE(outbox.StartSendNow(w));
  EXPECT_EQ(outbox.WaitForSendNow(), 0);
  Dispatch();

  EXPECT_EQ(w.Texts(kMsgSendStatus),
            (std::vector<std::string>{"Saving message", "* Connecting to 127.0.0.1...",
                                      "Sending message to Bob <bob@mail.example>...",
                                      "Wrapping things up..."}));
  EXPECT_TRUE(w.Texts(kMsgSendError).empty());
  EXPECT_TRUE(w.Got(kMsgSendEndOfData));
  EXPECT_TRUE(w.Got(kMsgComposeClose));

  EXPECT_TRUE(Files("Outbox").empty());
  const auto sent = Files("Sent Items");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_FALSE(MailStore::IsUnread(sent[0]));
  EXPECT_EQ(ReadKept(sent[0]), Expected(w, sent[0], "Hello"));
  EXPECT_EQ(fs::path(sent[0]).filename().string().substr(0, 3), "Out");
  EXPECT_EQ(fs::path(w.storedPath).parent_path(), fs::path(Folder("Outbox")));

  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  const auto m = server.Messages()[0];
  EXPECT_EQ(m.mailFrom, "ann@mail.example");
  EXPECT_EQ(m.recipients,
            (std::vector<std::string>{"bob@mail.example", "dan@mail.example", "carol@mail.example"}));
  EXPECT_NE(m.data.find("\r\nCC: Dan <dan@mail.example>\r\n"), std::string::npos);
  EXPECT_NE(m.data.find("\r\n\r\n.dot first\r\nline two\r\n\r\n-- \r\nAnn\r\n"), std::string::npos) << m.data;
  EXPECT_NE(m.raw.find("\r\n\r\n..dot first\r\n"), std::string::npos);

  EXPECT_EQ(ReadKept(GetAddressBookFile(app, kPreviouslySentAddresses)),
            "\"Bob\" <bob@mail.example>\n\"Dan\" <dan@mail.example>\n\"carol\" <carol@mail.example>\n");
  EXPECT_EQ(mailWindow.Texts(kMsgMailRemoveRow), (std::vector<std::string>{w.storedPath}));
  EXPECT_EQ(mailWindow.Texts(kMsgMailAddRow), sent);
  EXPECT_TRUE(mailWindow.Got(kMsgMailFoldersChanged));
}

TEST_F(OutboxTest, SendNowChecksStopBeforeAnythingIsStored) {
  Outbox outbox(app);
  ComposeHarness noTo;
  noTo.to = "   ";
  EXPECT_FALSE(outbox.StartSendNow(noTo));
  Dispatch();
  EXPECT_EQ(noTo.Texts(kMsgSendError), (std::vector<std::string>{"You must fill in the TO box"}));
  EXPECT_EQ(noTo.focusTo, 1);

  ComposeHarness noSubject;
  noSubject.subject = " ";
  boxes.answer = IDYES;
  EXPECT_FALSE(outbox.StartSendNow(noSubject));
  Dispatch();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "You haven't supplied a subject.\nDo you want to enter one now?");
  EXPECT_EQ(boxes.boxes[0].caption, "Subject Field Blank");
  EXPECT_EQ(noSubject.focusSubject, 1);
  EXPECT_EQ(noSubject.Texts(kMsgSendError), (std::vector<std::string>{""}));

  ComposeHarness badCc;
  badCc.cc = "dan@mail.example, bob";
  EXPECT_EQ(outbox.SendNow(badCc), 1);
  Dispatch();
  EXPECT_EQ(badCc.Texts(kMsgSendError), (std::vector<std::string>{"Invalid Recipient: : bob"}));

  ComposeHarness badAttachment;
  badAttachment.attachments = {"/tmp/a\nb"};
  EXPECT_EQ(outbox.SendNow(badAttachment), 1);

  EXPECT_TRUE(Files("Outbox").empty());
  EXPECT_FALSE(fs::exists(GetAddressBookFile(app, kPreviouslySentAddresses)));
}

TEST_F(OutboxTest, EmptySubjectOnSendNowGoesOutEmpty) {
  SmtpRecordServer server;
  START_SERVER(server);
  UseServer(server);
  ComposeHarness w;
  w.subject = "";
  boxes.answer = IDNO;
  Outbox outbox(app);
  EXPECT_EQ(outbox.SendNow(w), 0);
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  EXPECT_NE(server.Messages()[0].data.find("\r\nSubject: \r\n"), std::string::npos);
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(OutboxTest, FailedSendNowStaysPendingAndTheFlushSendsIt) {
  SmtpRecordServer::Options refuse;
  refuse.rejectRecipients = {"dan@mail.example"};
  SmtpRecordServer refusing(refuse);
  START_SERVER(refusing);
  UseServer(refusing);
  ComposeHarness w;
  Recorder mailWindow;
  {
    Outbox outbox(app, mailWindow.handle);
    ASSERT_TRUE(outbox.StartSendNow(w));
    EXPECT_EQ(outbox.WaitForSendNow(), 4);
  }
  Dispatch();
  EXPECT_EQ(w.Texts(kMsgSendError),
            (std::vector<std::string>{
                "Error sending message to [ Bob <bob@mail.example> ] \n550 5.1.1 Recipient refused"}));
  EXPECT_TRUE(w.Got(kMsgComposeClose));
  const auto pending = Files("Outbox");
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_TRUE(MailStore::IsUnread(pending[0]));
  const std::string stored = ReadKept(pending[0]);
  EXPECT_EQ(stored, Expected(w, pending[0], "Hello"));
  EXPECT_EQ(mailWindow.Texts(kMsgMailAddRow), pending);
  EXPECT_TRUE(Files("Sent Items").empty());
  EXPECT_TRUE(refusing.Messages().empty());

  SmtpRecordServer good;
  START_SERVER(good);
  UseServer(good);
  Recorder progress;
  Outbox flush(app);
  EXPECT_EQ(flush.FlushOutbox(progress.handle), 0);
  Dispatch();
  EXPECT_EQ(progress.Texts(kMsgMailStatus), (std::vector<std::string>{"* Sending messages from outbox"}));
  ASSERT_TRUE(good.WaitForMessages(1, 5000));
  EXPECT_EQ(good.Messages()[0].recipients,
            (std::vector<std::string>{"bob@mail.example", "dan@mail.example", "carol@mail.example"}));
  EXPECT_TRUE(Files("Outbox").empty());
  const auto sent = Files("Sent Items");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(ReadKept(sent[0]), stored);
  EXPECT_FALSE(MailStore::IsUnread(sent[0]));

  // Nothing is pending any more.
  EXPECT_EQ(flush.FlushOutbox(progress.handle), 0);
  EXPECT_EQ(good.Messages().size(), 1u);
}

TEST_F(OutboxTest, UnreachableServerOnSendNowLeavesTheMessagePending) {
  int closedPort;
  {
    SmtpRecordServer gone;
    START_SERVER(gone);
    closedPort = gone.Port();
  }
  UsePort(closedPort);
  ComposeHarness w;
  Outbox outbox(app);
  EXPECT_EQ(outbox.SendNow(w), 1);
  Dispatch();
  const auto errors = w.Texts(kMsgSendError);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0],
            "Could not connect to [ 127.0.0.1 ]\n\nMessage has been placed in the outbox.\nDelivery "
            "will be re-attempted when you check for new e-mail.");
  EXPECT_EQ(errors[1].rfind("Error sending message to [ Bob <bob@mail.example> ] \n", 0), 0u);
  const auto pending = Files("Outbox");
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_TRUE(MailStore::IsUnread(pending[0]));
}

// --- the flush after each kind of failure --------------------------------------------------

struct FailureCase {
  const char* name;
  int expected;  // the flush's result; -1: 5 or 6
  SmtpRecordServer::Options options;
  bool unreachable = false;
};

std::vector<FailureCase> FailureCases() {
  std::vector<FailureCase> cases;
  SmtpRecordServer::Options o;
  o.rejectSender = "*";
  cases.push_back({"SenderRefused", 3, o});
  o = {};
  o.rejectRecipients = {"carol@mail.example"};
  cases.push_back({"RecipientRefused", 4, o});
  o = {};
  o.rejectDataCommand = true;
  cases.push_back({"DataCommandRefused", 5, o});
  o = {};
  o.rejectData = true;
  cases.push_back({"DataRefused", 5, o});
  o = {};
  o.closeInDataAfter = 80;
  cases.push_back({"ClosedInTheMiddleOfData", -1, o});
  cases.push_back({"Unreachable", 1, {}, true});
  return cases;
}

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class FlushFailureTest : public OutboxTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FlushFailureTest, MessageStaysPendingAndWholeUntilALaterFlush) {
  const FailureCase& c = GetParam();
  ComposeHarness w;
  std::string text;
  for (int i = 0; i < 25; ++i) text += std::string(80, static_cast<char>('a' + i)) + "\n";
  w.body = PlainBody(text + ".\nend");
  Outbox outbox(app);
  ASSERT_EQ(outbox.QueueMessage(w, false), 0);
  const auto queued = Files("Outbox");
  ASSERT_EQ(queued.size(), 1u);
  const std::string before = ReadKept(queued[0]);
  ASSERT_TRUE(MailStore::IsUnread(queued[0]));

  std::optional<SmtpRecordServer> failing(std::in_place, c.options);
  START_SERVER((*failing));
  if (c.unreachable) {
    // A port nobody listens on any more.
    const int port = failing->Port();
    failing.reset();
    UsePort(port);
  } else {
    UseServer(*failing);
  }
  Recorder progress;
  const int rc = outbox.FlushOutbox(progress.handle);
  if (c.expected < 0) {
    EXPECT_TRUE(rc == 5 || rc == 6) << rc;
  } else {
    EXPECT_EQ(rc, c.expected);
  }
  Dispatch();
  const auto statuses = progress.Texts(kMsgMailStatus);
  ASSERT_EQ(statuses.size(), 2u);
  EXPECT_EQ(statuses[1].rfind("Error Sending Queued E-mail: ", 0), 0u) << statuses[1];
  if (c.unreachable) {
    EXPECT_EQ(statuses[1], "Error Sending Queued E-mail: Could not connect to server");
  }
  EXPECT_EQ(Files("Outbox"), queued);
  EXPECT_EQ(ReadKept(queued[0]), before);
  EXPECT_TRUE(MailStore::IsUnread(queued[0]));
  EXPECT_TRUE(Files("Sent Items").empty());

  SmtpRecordServer good;
  START_SERVER(good);
  UseServer(good);
  EXPECT_EQ(outbox.FlushOutbox(progress.handle), 0);
  ASSERT_TRUE(good.WaitForMessages(1, 5000));
  EXPECT_NE(good.Messages()[0].data.find(std::string(80, 'y') + "\r\n.\r\nend"), std::string::npos);
  EXPECT_TRUE(Files("Outbox").empty());
  ASSERT_EQ(Files("Sent Items").size(), 1u);
  EXPECT_EQ(ReadKept(Files("Sent Items")[0]), before);
}

INSTANTIATE_TEST_SUITE_P(Failures, FlushFailureTest, ::testing::ValuesIn(FailureCases()),
                         [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

// --- Send Later and Save Draft ------------------------------------------------------------

TEST_F(OutboxTest, SendLaterWithoutSubjectStoresNoSubjectPending) {
  ComposeHarness w;
  w.subject = "  ";
  boxes.answer = IDNO;
  Outbox outbox(app);
  ASSERT_EQ(outbox.QueueMessage(w, false), 0);
  Dispatch();
  EXPECT_EQ(w.subject, "<No Subject>");
  EXPECT_TRUE(w.Got(kMsgComposeClose));
  const auto queued = Files("Outbox");
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0], w.storedPath);
  EXPECT_TRUE(MailStore::IsUnread(queued[0]));
  EXPECT_EQ(ReadKept(queued[0]), Expected(w, queued[0], "<No Subject>"));
  EXPECT_TRUE(fs::exists(GetAddressBookFile(app, kPreviouslySentAddresses)));

  SmtpRecordServer server;
  START_SERVER(server);
  UseServer(server);
  EXPECT_EQ(outbox.FlushOutbox(0), 0);
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  EXPECT_NE(server.Messages()[0].data.find("\r\nSubject: <No Subject>\r\n"), std::string::npos);
}

TEST_F(OutboxTest, SendLaterChecks) {
  Outbox outbox(app);
  ComposeHarness noTo;
  noTo.to = "";
  EXPECT_EQ(outbox.QueueMessage(noTo, false), 1);
  Dispatch();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "You must fill in the TO box");
  EXPECT_EQ(noTo.Texts(kMsgSendStatus), (std::vector<std::string>{""}));
  EXPECT_EQ(noTo.focusTo, 1);

  ComposeHarness noSubject;
  noSubject.subject = "";
  boxes.answer = IDYES;
  EXPECT_EQ(outbox.QueueMessage(noSubject, false), 1);
  EXPECT_EQ(noSubject.focusSubject, 1);

  ComposeHarness bad;
  bad.bcc = "nobody";
  EXPECT_EQ(outbox.QueueMessage(bad, false), 1);
  Dispatch();
  EXPECT_EQ(bad.Texts(kMsgSendError), (std::vector<std::string>{"Invalid Recipient: :nobody"}));
  EXPECT_TRUE(Files("Outbox").empty());
}

TEST_F(OutboxTest, DraftWithEmptyToIsStoredWithoutQuestionAndNeverSent) {
  ComposeHarness w;
  w.to = "";
  w.subject = "";
  Outbox outbox(app);
  ASSERT_EQ(outbox.QueueMessage(w, true), 0);
  EXPECT_TRUE(boxes.boxes.empty());
  const auto drafts = Files("Draft");
  ASSERT_EQ(drafts.size(), 1u);
  EXPECT_EQ(ReadKept(drafts[0]), Expected(w, drafts[0], ""));
  EXPECT_FALSE(fs::exists(GetAddressBookFile(app, kPreviouslySentAddresses)));
  EXPECT_EQ(outbox.FlushOutbox(0), 0);
  EXPECT_EQ(Files("Draft"), drafts);
}

TEST_F(OutboxTest, ReopenedMessageReplacesItsOlderFile) {
  ComposeHarness w;
  Outbox outbox(app);
  ASSERT_EQ(outbox.QueueMessage(w, true), 0);
  const std::string draft = w.storedPath;
  ASSERT_TRUE(fs::exists(draft));
  ASSERT_EQ(outbox.QueueMessage(w, false), 0);
  EXPECT_FALSE(fs::exists(draft));
  EXPECT_TRUE(Files("Draft").empty());
  EXPECT_EQ(Files("Outbox"), (std::vector<std::string>{w.storedPath}));
}

TEST_F(OutboxTest, MessagesStoredTogetherGetDifferentNames) {
  Outbox outbox(app);
  std::vector<std::string> paths;
  for (int i = 0; i < 4; ++i) {
    ComposeHarness w;
    ASSERT_EQ(outbox.QueueMessage(w, false), 0);
    paths.push_back(w.storedPath);
  }
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(std::unique(paths.begin(), paths.end()), paths.end());
  EXPECT_EQ(Files("Outbox").size(), 4u);
  // Nothing half-written is left under a temporary name.
  for (const auto& f : Files("Outbox")) EXPECT_EQ(fs::path(f).extension(), ".mail");
}

// --- the flush ---------------------------------------------------------------------------

TEST_F(OutboxTest, MessageMarkedReadIsNotSent) {
  ComposeHarness w;
  Outbox outbox(app);
  ASSERT_EQ(outbox.QueueMessage(w, false), 0);
  ASSERT_TRUE(MailStore::MarkRead(w.storedPath));
  SmtpRecordServer server;
  START_SERVER(server);
  UseServer(server);
  EXPECT_EQ(outbox.FlushOutbox(0), 0);
  EXPECT_TRUE(server.Sessions().empty());
  EXPECT_EQ(Files("Outbox"), (std::vector<std::string>{w.storedPath}));
  EXPECT_FALSE(MailStore::IsUnread(w.storedPath));
}

TEST_F(OutboxTest, BadFilesDoNotHoldUpTheOthers) {
  Outbox outbox(app);
  ComposeHarness good;
  ASSERT_EQ(outbox.QueueMessage(good, false), 0);
  // A message whose To no longer splits, and a leftover too short to be
  // a message, both pending, sorted before the good one.
  const std::string bad = Folder("Outbox/") + "Out1.mail";
  test::WriteFile(bad, BuildStoredMessage("bob", "", "", "a", "s", PlainBody("x"), {}, "d"));
  MailStore::MarkUnread(bad);
  const std::string stub = Folder("Outbox/") + "Out0.mail";
  test::WriteFile(stub, "To: x");
  MailStore::MarkUnread(stub);

  SmtpRecordServer server;
  START_SERVER(server);
  UseServer(server);
  Recorder progress;
  EXPECT_EQ(outbox.FlushOutbox(progress.handle), 4);
  Dispatch();
  EXPECT_EQ(progress.Texts(kMsgSendError), (std::vector<std::string>{"Invalid Recipient: :bob"}));
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  EXPECT_EQ(server.Messages().size(), 1u);
  EXPECT_FALSE(fs::exists(stub));
  EXPECT_EQ(Files("Outbox"), (std::vector<std::string>{bad}));
  EXPECT_TRUE(MailStore::IsUnread(bad));
}

TEST_F(OutboxTest, FlushSendsAttachmentsAndKeepsTheBodyWhole) {
  std::string binary(5000, '\0');
  std::mt19937 random(7);
  for (char& c : binary) c = static_cast<char>(random() & 0xFF);
  const std::string binaryPath = scratch.File("photo.jpg");
  const std::string textPath = scratch.File("notes.txt");
  test::WriteFile(binaryPath, binary);
  test::WriteFile(textPath, ".\r\nnot the end\r\n");

  ComposeHarness w;
  w.body = PlainBody("See below.\nFile Attached: /etc/passwd\nthanks");
  w.attachments = {binaryPath, textPath};
  Outbox outbox(app);
  ASSERT_EQ(outbox.QueueMessage(w, false), 0);
  Dispatch();
  EXPECT_EQ(w.Texts(kMsgSendStatus),
            (std::vector<std::string>{"Attaching file: " + binaryPath + "...",
                                      "Attaching file: " + textPath + "..."}));
  const StoredMessage stored = ParseStoredMessage(ReadKept(w.storedPath));
  EXPECT_EQ(stored.attachments, w.attachments);
  EXPECT_EQ(stored.body, w.body);

  SmtpRecordServer server;
  START_SERVER(server);
  UseServer(server);
  EXPECT_EQ(outbox.FlushOutbox(0), 0);
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  const auto m = server.Messages()[0];
  EXPECT_NE(m.data.find("See below.\r\nFile Attached: /etc/passwd\r\nthanks"), std::string::npos);
  std::vector<std::string> lines;
  std::string error;
  ASSERT_TRUE(SmtpRecordServer::ParseWithPython(m.dataPath, scratch.Path(), lines, &error)) << error;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "ATTACHMENT 1 photo.jpg 5000"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "ATTACHMENT 2 notes.txt 16"), lines.end());
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("ATTACHMENT", 0) == 0; }),
            2);
  EXPECT_EQ(ReadKept(scratch.File("attachment1")), binary);
  EXPECT_EQ(ReadKept(scratch.File("attachment2")), ".\r\nnot the end\r\n");
}

TEST_F(OutboxTest, LongRecipientListIsSentToEveryone) {
  ComposeHarness w;
  w.cc = "";
  w.bcc = "";
  w.to.clear();
  std::vector<std::string> expected;
  for (int i = 0; i < 30; ++i) {
    w.to += (i ? ", " : "") + std::string("Person ") + std::to_string(i) + " <person" + std::to_string(i) +
            "@mail.example>";
    expected.push_back("person" + std::to_string(i) + "@mail.example");
  }
  ASSERT_GT(w.to.size(), 255u);
  Outbox outbox(app);
  ASSERT_EQ(outbox.QueueMessage(w, false), 0);
  SmtpRecordServer server;
  START_SERVER(server);
  UseServer(server);
  EXPECT_EQ(outbox.FlushOutbox(0), 0);
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  const auto m = server.Messages()[0];
  EXPECT_EQ(m.recipients, expected);
  // The To line is folded to fit a mail line, and reads back whole.
  std::vector<std::string> lines;
  std::string error;
  ASSERT_TRUE(SmtpRecordServer::ParseWithPython(m.dataPath, scratch.Path(), lines, &error)) << error;
  std::string to;
  for (const auto& line : lines) {
    if (line.rfind("HEADER To: ", 0) == 0) to = line.substr(11);
  }
  EXPECT_EQ(to, w.to);
}

TEST_F(OutboxTest, MailCheckHookReportsToTheMailWindow) {
  ComposeHarness w;
  Recorder mailWindow;
  Outbox outbox(app, mailWindow.handle);
  ASSERT_EQ(outbox.QueueMessage(w, false), 0);
  const std::string queued = w.storedPath;
  SmtpRecordServer server;
  START_SERVER(server);
  UseServer(server);
  OutboxSender& sender = outbox;
  EXPECT_EQ(sender.SendOutbox(), 0);
  Dispatch();
  EXPECT_EQ(mailWindow.Texts(kMsgMailStatus), (std::vector<std::string>{"* Sending messages from outbox"}));
  const auto sent = Files("Sent Items");
  ASSERT_EQ(sent.size(), 1u);
  const auto added = mailWindow.Texts(kMsgMailAddRow);
  EXPECT_EQ(added, (std::vector<std::string>{queued, sent[0]}));
  EXPECT_EQ(mailWindow.Texts(kMsgMailRemoveRow), (std::vector<std::string>{queued}));
}

TEST_F(OutboxTest, AbortedFlushSendsNothing) {
  ComposeHarness w;
  Outbox outbox(app);
  ASSERT_EQ(outbox.QueueMessage(w, false), 0);
  SmtpRecordServer server;
  START_SERVER(server);
  UseServer(server);
  outbox.Abort();
  EXPECT_EQ(outbox.FlushOutbox(0), 0);
  EXPECT_TRUE(server.Sessions().empty());
  EXPECT_TRUE(MailStore::IsUnread(w.storedPath));
  outbox.ClearAbort();
  EXPECT_EQ(outbox.FlushOutbox(0), 0);
  EXPECT_TRUE(server.WaitForMessages(1, 5000));
}

}  // namespace
}  // namespace vyr
