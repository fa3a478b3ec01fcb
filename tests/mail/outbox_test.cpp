// Send Now, Send Later, Save Draft and the Outbox flush against a recording SMTP server.
#include "mail/send/outbox.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <latch>
#include <optional>
#include <regex>
#include <thread>

#include "base/application.h"
#include "mail/body/rich_text.h"
#include "mail/mail_test_util.h"
#include "mail/receive/mail_accounts.h"
#include "mail/send/smtp_client.h"
#include "mail/send/address_lists.h"
#include "mail/store/mail_store.h"
#include "platform/file_system.h"
#include "platform/file_times.h"
#include "tools/python_fixture.h"
#include "tools/recording_window.h"
#include "tools/test_certificates.h"
#include "tools/test_support.h"

namespace vyr {
namespace {
namespace fs = std::filesystem;
using test::SmtpRecordServer;
using Strings = std::vector<std::string>;

using mailtest::PlainBody;

using Recorder = test::RecordingWindow;

class ComposeHarness : public ComposeWindow, public Recorder {
 public:
  std::string ToText() const override { return to; }
  std::string CcText() const override { return cc; }
  std::string BccText() const override { return bcc; }
  std::string SubjectText() const override { return subject; }
  std::string BodyForm() const override { return body; }
  Strings Attachments() const override { return attachments; }
  std::string StoredPath() const override { return storedPath; }
  void SetStoredPath(const std::string& path) override { storedPath = path; }
  void SetSubjectText(const std::string& s) override { subject = s; }
  void FocusToBox() override { ++focusTo; }
  void FocusSubjectBox() override { ++focusSubject; }
  platform::WindowHandle Handle() const override { return handle; }
  std::string to = "Bob <bob@mail.example>", cc = "Dan <dan@mail.example>", bcc = "carol@mail.example";
  std::string subject = "Hello", body = PlainBody(".dot first\nline two"), storedPath;
  Strings attachments;
  int focusTo = 0, focusSubject = 0;
};

void Dispatch() { platform::WindowMessages::Instance().DispatchPending(); }

std::string ReadKept(const std::string& path) {
  platform::FileTimesKeeper keep(path);
  return test::ReadFile(path);
}

std::string StoredForm(const ComposeHarness& w, const std::string& file, const std::string& subject) {
  const std::string text = ReadKept(file);
  std::smatch m;
  EXPECT_TRUE(std::regex_search(text, m, std::regex("\r\nDate: ([0-9]{2} [A-Z][a-z]{2} 20[0-9]{2} [0-9:]{8} [+-][0-9]{4})\r\n")));
  std::string form = "To: " + w.to + "\r\nCC: " + w.cc + "\r\nBCC: " + w.bcc +
                     "\r\nFrom: Ann Sender <ann@mail.example>\r\nSubject: " + subject +
                     "\r\nDate: " + std::string(m[1]) + "\r\n\r\n" + w.body + "\r\n\r\n";
  for (const auto& path : w.attachments) form += "\r\nFile Attached: " + path + "\r\n\r\n";
  return form;
}

class OutboxTest : public ::testing::Test, protected test::TestApp {
 protected:
  void SetUp() override {
    app.WriteString("email", "smtp-server", "127.0.0.1");
    app.WriteString("email", "name", "Ann Sender");
    app.WriteString("email", "e-address", "ann@mail.example");
    ASSERT_TRUE(WriteSignature(app, "-- \nAnn"));
  }
  void Start(SmtpRecordServer& server) {
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    UsePort(server.Port());
  }
  void UsePort(int port) { app.WriteInt("email", "SMTPPort", port); }
  std::string Folder(const char* name) { return home.File(std::string("vyrelle/email/") + name); }
  Strings Files(const char* folder) {
    Strings files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(Folder(folder), ec)) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
  }
  test::TempDir scratch;
};

TEST_F(OutboxTest, SendNowStoresSendsAndMovesToSentItems) {
  SmtpRecordServer server;
  Start(server);
  ComposeHarness w;
  w.subject = "";
  boxes.answer = IDNO;
  Recorder mailWindow;
  Outbox outbox(app, mailWindow.handle);
  ASSERT_TRUE(outbox.StartSendNow(w));
  EXPECT_EQ(outbox.WaitForSendNow(), SmtpResult::kSent);
  Dispatch();
  EXPECT_EQ(boxes.boxes.size(), 1u);
  EXPECT_TRUE(w.Texts(kMsgSendError).empty());
  EXPECT_TRUE(w.Got(kMsgSendEndOfData));
  EXPECT_TRUE(w.Got(kMsgComposeClose));
  EXPECT_TRUE(Files("Outbox").empty());
  const auto sent = Files("Sent Items");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_FALSE(MailStore::IsUnread(sent[0]));
  EXPECT_EQ(ReadKept(sent[0]), StoredForm(w, sent[0], ""));
  EXPECT_EQ(mailWindow.Texts(kMsgMailRemoveRow), (Strings{w.storedPath}));
  EXPECT_EQ(mailWindow.Texts(kMsgMailAddRow), sent);
  EXPECT_TRUE(mailWindow.Got(kMsgMailFoldersChanged));
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  const auto m = server.Messages()[0];
  EXPECT_EQ(m.recipients, (Strings{"bob@mail.example", "dan@mail.example", "carol@mail.example"}));
  EXPECT_NE(m.data.find("\r\nCC: Dan <dan@mail.example>\r\nSubject: \r\n"), std::string::npos);
  EXPECT_NE(m.data.find("\r\n\r\n.dot first\r\nline two\r\n\r\n-- \r\nAnn\r\n"), std::string::npos) << m.data;
  EXPECT_EQ(ReadKept(GetAddressBookFile(app, kPreviouslySentAddresses)),
            "\"Bob\" <bob@mail.example>\n\"Dan\" <dan@mail.example>\n\"carol\" <carol@mail.example>\n");
}

TEST_F(OutboxTest, ChecksStopBeforeAnythingIsStored) {
  Outbox outbox(app);
  ComposeHarness noTo, noToLater, noSubject, noSubjectLater, badCc, badBcc, badAttachment;
  noTo.to = "   ";
  noToLater.to = "";
  noSubject.subject = " ";
  noSubjectLater.subject = "";
  badCc.cc = "dan@mail.example, bob";
  badBcc.bcc = "nobody";
  badAttachment.attachments = {"/tmp/a\nb"};
  boxes.answer = IDYES;
  EXPECT_FALSE(outbox.StartSendNow(noTo));
  EXPECT_EQ(outbox.QueueMessage(noToLater, false), 1);
  EXPECT_FALSE(outbox.StartSendNow(noSubject));
  EXPECT_EQ(outbox.QueueMessage(noSubjectLater, false), 1);
  EXPECT_EQ(outbox.SendNow(badCc), SmtpResult::kNotSent);
  EXPECT_EQ(outbox.QueueMessage(badBcc, false), 1);
  EXPECT_EQ(outbox.SendNow(badAttachment), SmtpResult::kNotSent);
  Dispatch();
  for (const ComposeHarness* w : {&noTo, &badCc, &badBcc, &badAttachment}) EXPECT_EQ(w->Texts(kMsgSendError).size(), 1u);
  EXPECT_EQ(badCc.Texts(kMsgSendError), (Strings{"Invalid Recipient: : bob"}));
  EXPECT_EQ(noTo.focusTo + noToLater.focusTo + noSubject.focusSubject + noSubjectLater.focusSubject, 4);
  EXPECT_EQ(boxes.boxes.size(), 3u);
  EXPECT_TRUE(Files("Outbox").empty());
  EXPECT_FALSE(fs::exists(GetAddressBookFile(app, kPreviouslySentAddresses)));
}

struct FailureCase {
  const char* name;
  std::vector<SmtpResult> expected;
  SmtpRecordServer::Options options;
  std::string reply;
  std::string notSent;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class SendFailureTest : public OutboxTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SendFailureTest, MessageStaysPendingAndWhole) {
  const FailureCase& c = GetParam();
  const bool unreachable = std::string(c.name) == "Unreachable";
  std::optional<SmtpRecordServer> failing;
  if (unreachable) {
    UsePort(1);
  } else {
    failing.emplace(c.options);
    Start(*failing);
  }
  ComposeHarness w;
  Recorder mailWindow;
  Outbox outbox(app, mailWindow.handle);
  ASSERT_TRUE(outbox.StartSendNow(w));
  for (SmtpResult rc : {outbox.WaitForSendNow(), outbox.FlushOutbox(mailWindow.handle)}) {
    EXPECT_NE(std::find(c.expected.begin(), c.expected.end(), rc), c.expected.end()) << static_cast<int>(rc);
  }
  Dispatch();
  const std::string failed = "Error sending message to [ Bob <bob@mail.example> ] \n";
  const Strings errors = w.Texts(kMsgSendError);
  if (unreachable) {
    EXPECT_EQ(errors, (Strings{"Could not connect to [ 127.0.0.1 ]\n\nMessage has been placed in the outbox.\n"
                               "Delivery will be re-attempted when you check for new e-mail.",
                               failed + "No connection to 127.0.0.1 port 1 (127.0.0.1: Connection refused)"}));
  } else {
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind(failed + c.reply, 0), 0u) << errors[0];
  }
  EXPECT_TRUE(w.Got(kMsgComposeClose));
  const Strings statuses = mailWindow.Texts(kMsgMailStatus);
  ASSERT_EQ(statuses.size(), 2u);
  EXPECT_EQ(statuses[1].rfind("Error Sending Queued E-mail: " + c.reply, 0), 0u) << statuses[1];
  for (const auto& session : failing ? failing->Sessions() : Strings{}) {
    EXPECT_TRUE(c.notSent.empty() || session.find(c.notSent) == std::string::npos) << session;
  }
  EXPECT_TRUE(!failing || failing->Messages().empty());
  EXPECT_EQ(Files("Outbox"), (Strings{w.storedPath}));
  EXPECT_TRUE(MailStore::IsUnread(w.storedPath));
  EXPECT_EQ(ReadKept(w.storedPath), StoredForm(w, w.storedPath, "Hello"));
  EXPECT_EQ(mailWindow.Texts(kMsgMailAddRow), (Strings{w.storedPath}));
  EXPECT_TRUE(Files("Sent Items").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, SendFailureTest,
    ::testing::Values(
        FailureCase{"SenderRefused", {SmtpResult::kSenderRefused}, {.rejectSender = "*"},
                    "550 5.7.1 Sender refused", "RCPT"},
        FailureCase{"RecipientRefused", {SmtpResult::kRecipientRefused},
                    {.rejectRecipients = {"carol@mail.example"}}, "550 5.1.1 Recipient refused", "DATA"},
        FailureCase{"DataCommandRefused", {SmtpResult::kDataRefused}, {.rejectDataCommand = true},
                    "554 5.3.0 DATA refused", "From: "},
        FailureCase{"DataRefused", {SmtpResult::kDataRefused}, {.rejectData = true}, "554 5.6.0 Message refused", ""},
        FailureCase{"ClosedInTheMiddleOfData", {SmtpResult::kDataRefused, SmtpResult::kConnectionLost},
                    {.closeInDataAfter = 80}, "", ""},
        FailureCase{"Unreachable", {SmtpResult::kNotSent}, {}, "Could not connect to server", ""}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST_F(OutboxTest, SlowReplyToTheEndOfDataCountsAsSentAndIsNotSentAgain) {
  SmtpRecordServer slow({.delayFinalReplySeconds = 6});
  Start(slow);
  ComposeHarness w;
  Outbox outbox(app);
  outbox.SetReplyTimeLimit(3);
  ASSERT_EQ(outbox.QueueMessage(w, false), 0);
  EXPECT_EQ(outbox.FlushOutbox(0), SmtpResult::kSent);
  EXPECT_TRUE(Files("Outbox").empty());
  EXPECT_EQ(Files("Sent Items").size(), 1u);
  EXPECT_EQ(outbox.FlushOutbox(0), SmtpResult::kSent);
  EXPECT_EQ(slow.Messages().size(), 1u);
}

TEST_F(OutboxTest, MailCheckHookSendsEachPendingOutboxMessageWholeAndOnce) {
  Recorder mailWindow;
  Outbox outbox(app, mailWindow.handle);
  ComposeHarness draft, read, reopened, good;
  draft.to = draft.subject = "";
  ASSERT_EQ(outbox.QueueMessage(draft, true), 0);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(ReadKept(draft.storedPath), StoredForm(draft, draft.storedPath, ""));
  EXPECT_FALSE(fs::exists(GetAddressBookFile(app, kPreviouslySentAddresses)));
  ASSERT_EQ(outbox.QueueMessage(read, false), 0);
  ASSERT_TRUE(MailStore::MarkRead(read.storedPath));
  reopened.subject = "";
  ASSERT_EQ(outbox.QueueMessage(reopened, true), 0);
  const std::string older = reopened.storedPath;
  boxes.answer = IDNO;
  ASSERT_EQ(outbox.QueueMessage(reopened, false), 0);
  EXPECT_EQ(boxes.boxes.size(), 1u);
  EXPECT_FALSE(fs::exists(older));
  EXPECT_EQ(ReadKept(reopened.storedPath), StoredForm(reopened, reopened.storedPath, "<No Subject>"));
  Strings recipients;
  good.to = good.cc = good.bcc = "";
  for (int i = 0; i < 30; ++i) {
    recipients.push_back("person" + std::to_string(i) + "@mail.example");
    good.to += (i ? ", Person " : "Person ") + std::to_string(i) + " <" + recipients.back() + ">";
  }
  good.subject = "Two\r\nlines";
  good.body = PlainBody("See below.\nFile Attached: /etc/passwd\nthanks");
  good.attachments = {scratch.File("notes.txt")};
  test::WriteFile(good.attachments[0], ".\r\nnot the end\r\n");
  ASSERT_EQ(outbox.QueueMessage(good, false), 0);
  EXPECT_EQ(ReadKept(good.storedPath), StoredForm(good, good.storedPath, "Two  lines"));
  Dispatch();
  EXPECT_EQ(good.Texts(kMsgSendStatus), (Strings{"Attaching file: " + good.attachments[0] + "..."}));
  EXPECT_EQ(Files("Outbox"), (Strings{read.storedPath, reopened.storedPath, good.storedPath}));
  const std::string bad = Folder("Outbox/") + "Out1.mail", stub = Folder("Outbox/") + "Out0.mail";
  test::WriteFile(bad, BuildStoredMessage("bob", "", "", "a", "s", PlainBody("x"), {}, "d"));
  test::WriteFile(stub, "To: x");
  MailStore::MarkUnread(bad);
  MailStore::MarkUnread(stub);
  SmtpRecordServer server;
  Start(server);
  Dispatch();
  mailWindow.got.clear();
  OutboxSender& sender = outbox;
  sender.StopSending();
  EXPECT_EQ(outbox.FlushOutbox(0), SmtpResult::kSent);
  EXPECT_TRUE(server.Sessions().empty());
  EXPECT_EQ(sender.SendOutbox(), static_cast<int>(SmtpResult::kRecipientRefused));
  Dispatch();
  EXPECT_EQ(mailWindow.Texts(kMsgMailStatus), (Strings{"* Sending messages from outbox"}));
  EXPECT_EQ(mailWindow.Texts(kMsgSendError), (Strings{"Invalid Recipient: :bob"}));
  const auto sent = server.Messages();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_NE(sent[0].data.find("\r\nSubject: <No Subject>\r\n"), std::string::npos);
  EXPECT_EQ(sent[1].recipients, recipients);
  EXPECT_NE(sent[1].data.find("\r\nSubject: Two  lines\r\n"), std::string::npos);
  EXPECT_NE(sent[1].data.find("See below.\r\nFile Attached: /etc/passwd\r\nthanks"), std::string::npos);
  Strings lines, found;
  std::string error;
  ASSERT_TRUE(SmtpRecordServer::ParseWithPython(sent[1].dataPath, scratch.Path(), lines, &error)) << error;
  for (const auto& line : lines) {
    if (line.rfind("ATTACHMENT", 0) == 0 || line.rfind("HEADER To: ", 0) == 0) found.push_back(line);
  }
  EXPECT_EQ(found, (Strings{"HEADER To: " + good.to, "ATTACHMENT 1 notes.txt 16"}));
  EXPECT_EQ(ReadKept(scratch.File("attachment1")), ".\r\nnot the end\r\n");
  EXPECT_FALSE(fs::exists(stub));
  EXPECT_EQ(Files("Outbox"), (Strings{bad, read.storedPath}));
  EXPECT_TRUE(MailStore::IsUnread(bad));
  EXPECT_FALSE(MailStore::IsUnread(read.storedPath));
  EXPECT_EQ(Files("Draft"), (Strings{draft.storedPath}));
  EXPECT_EQ(mailWindow.Texts(kMsgMailRemoveRow), (Strings{reopened.storedPath, good.storedPath}));
  EXPECT_EQ(mailWindow.Texts(kMsgMailAddRow), Files("Sent Items"));
}

Strings SentSubjects(const SmtpRecordServer& server) {
  Strings subjects;
  for (const auto& m : server.Messages()) {
    std::smatch found;
    subjects.push_back(std::regex_search(m.data, found, std::regex("\r\nSubject: ([^\r]*)\r\n")) ? found[1].str() : "?");
  }
  return subjects;
}

TEST_F(OutboxTest, TwoFlushesAtOnceSendEveryMessageExactlyOnce) {
  Application other(home.Path(), boxes, sounds);
  Outbox first(app), second(other);
  Strings subjects;
  for (int i = 0; i < 6; ++i) {
    ComposeHarness w;
    w.subject = "Message " + std::to_string(i);
    ASSERT_EQ(first.QueueMessage(w, false), 0);
    subjects.push_back(w.subject);
  }
  const std::string held = Files("Outbox")[0];
  ASSERT_EQ(test::RunInChild([&] {
    const platform::FileClaim claim = platform::FileClaim::Take(held);
    if (claim.Held()) ::_exit(0);
    return 1;
  }), 0);
  SmtpRecordServer server;
  Start(server);
  std::latch go(2);
  SmtpResult results[2] = {SmtpResult::kNotSent, SmtpResult::kNotSent};
  std::thread a([&] {
    go.arrive_and_wait();
    results[0] = first.FlushOutbox(0);
  });
  std::thread b([&] {
    go.arrive_and_wait();
    results[1] = second.FlushOutbox(0);
  });
  a.join();
  b.join();
  EXPECT_EQ(results[0], SmtpResult::kSent);
  EXPECT_EQ(results[1], SmtpResult::kSent);
  Strings sent = SentSubjects(server);
  std::sort(sent.begin(), sent.end());
  EXPECT_EQ(sent, subjects);
  EXPECT_TRUE(Files("Outbox").empty());
  EXPECT_EQ(Files("Sent Items").size(), subjects.size());
}

TEST_F(OutboxTest, AMessageBeingSentIsLeftAloneByTheWindowsMarkingAndByAFlush) {
  SmtpRecordServer slow({.delayFinalReplySeconds = 2});
  Start(slow);
  Outbox outbox(app);
  ComposeHarness now, later, draft;
  now.subject = "Sent now";
  later.subject = "Sent later";
  ASSERT_EQ(outbox.QueueMessage(draft, true), 0);
  ASSERT_TRUE(outbox.StartSendNow(now));
  ASSERT_TRUE(slow.WaitForMessages(1, 20000));
  ASSERT_EQ(outbox.QueueMessage(later, false), 0);
  ASSERT_TRUE(MailStore::MarkRead(later.storedPath) && MailStore::MarkRead(draft.storedPath));
  EXPECT_EQ(MailStore(app).MarkOutgoingPendingExceptClaimed(), 2);
  EXPECT_FALSE(MailStore::IsUnread(now.storedPath));
  EXPECT_TRUE(MailStore::IsUnread(later.storedPath) && MailStore::IsUnread(draft.storedPath));
  EXPECT_TRUE(Outbox::IsBeingSent(now.storedPath));
  EXPECT_FALSE(Outbox::IsBeingSent(later.storedPath));
  ASSERT_TRUE(MailStore::MarkUnread(now.storedPath));
  EXPECT_FALSE(outbox.IsFlushing() || Outbox::AnyFlushing());
  SmtpResult flushed = SmtpResult::kNotSent;
  std::thread flush([&] { flushed = outbox.FlushOutbox(0); });
  ASSERT_TRUE(slow.WaitForMessages(2, 20000));
  EXPECT_TRUE(outbox.IsFlushing() && Outbox::AnyFlushing());
  flush.join();
  EXPECT_EQ(flushed, SmtpResult::kSent);
  EXPECT_EQ(outbox.WaitForSendNow(), SmtpResult::kSent);
  EXPECT_FALSE(outbox.IsFlushing() || Outbox::AnyFlushing());
  EXPECT_EQ(SentSubjects(slow), (Strings{"Sent now", "Sent later"}));
  EXPECT_TRUE(Files("Outbox").empty());
  EXPECT_EQ(Files("Sent Items").size(), 2u);
  EXPECT_EQ(Files("Draft"), (Strings{draft.storedPath}));
}

TEST_F(OutboxTest, LogInOverTlsAndARefusedLogInKeepsTheMessage) {
  std::string error;
  test::TestCertificates c;
  ASSERT_TRUE(test::MakeTestCertificates(scratch.Path(), "IP:127.0.0.1", c, &error)) << error;
  const struct {
    const char* name;
    Strings serverOptions;
    int security;
    std::string password;
    SmtpResult result;
    std::string authLog, status;
  } cases[] = {
      {"PLAIN", {}, 1, "s3cret-pass", SmtpResult::kSent, "PLAIN ok\n", ""},
      {"LOGIN", {"--only-login"}, 1, "s3cret-pass", SmtpResult::kSent, "LOGIN ok\n", ""},
      {"TLS at once", {"--implicit-tls"}, 2, "s3cret-pass", SmtpResult::kSent, "PLAIN ok\n", ""},
      {"wrong password", {}, 1, "wrong-pass", SmtpResult::kLogInRefused, "PLAIN refused\n",
       "Error Sending Queued E-mail: The outgoing server 127.0.0.1 refused the log-in: "
       "535 5.7.8 Authentication credentials invalid"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    test::TempDir spool;
    Strings args = {"--dir", spool.Path(), "--cert", c.certPem, "--key", c.keyPem, "--user", "ann",
                    "--password", "s3cret-pass"};
    args.insert(args.end(), k.serverOptions.begin(), k.serverOptions.end());
    test::PythonFixture server;
    ASSERT_TRUE(server.Start("smtp_record_server.py", args, &error)) << error;
    for (const auto& [key, value] : {std::pair("SMTPUser", std::string("ann")),
                                     std::pair("SMTPPass", StoredPassword(k.password)),
                                     std::pair("TLSTrustFile", c.caPem)}) {
      app.WriteString("email", key, value);
    }
    UsePort(server.Port());
    app.WriteInt("email", "SMTPSecurity", k.security);
    app.WriteInt("email", "SMTPAuth", 1);
    ComposeHarness w;
    w.subject = "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln";
    Recorder mailWindow;
    Outbox outbox(app);
    outbox.SetReplyTimeLimit(10);
    ASSERT_EQ(outbox.QueueMessage(w, false), 0);
    EXPECT_EQ(outbox.FlushOutbox(mailWindow.handle), k.result);
    Dispatch();
    EXPECT_EQ(test::ReadFile(spool.File("auth.log")), k.authLog);
    const std::string sent = test::ReadFile(spool.File("msg0001.data"));
    if (k.result == SmtpResult::kSent) {
      EXPECT_NE(sent.find("\r\nSubject: =?UTF-8?B?R3LDvMOfZSBhdXMgS8O2bG4=?=\r\n"), std::string::npos) << sent;
    } else {
      EXPECT_TRUE(sent.empty());
      EXPECT_EQ(Files("Outbox"), (Strings{w.storedPath}));
      EXPECT_TRUE(MailStore::IsUnread(w.storedPath));
      EXPECT_EQ(ReadKept(w.storedPath), StoredForm(w, w.storedPath, w.subject));
      const Strings statuses = mailWindow.Texts(kMsgMailStatus);
      EXPECT_EQ(statuses.empty() ? "" : statuses.back(), k.status);
    }
    const std::string capture = test::ReadFile(spool.File("capture.log"));
    EXPECT_FALSE(capture.empty());
    for (const char* secret : {"s3cret-pass", "czNjcmV0LXBhc3M=", "AGFubgBzM2NyZXQtcGFzcw=="}) {
      EXPECT_EQ(capture.find(secret), std::string::npos) << secret;
    }
  }
}

}  // namespace
}  // namespace vyr
