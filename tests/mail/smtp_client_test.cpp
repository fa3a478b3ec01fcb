// The SMTP client against a recording server (aiosmtpd) started on a
// loopback port: the exact bytes after DATA, the MIME forms and their
// attachments as Python's email package reads them back, replies spread
// over several lines, and every refusal.
#include "mail/send/smtp_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <thread>

#include "mail/body/body_converter.h"
#include "mail/body/rich_text.h"
#include "mail/body/text_to_html.h"
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

std::string BoldBody(const std::string& plain, const std::string& bold) {
  RichTextDocument doc;
  CharFormat strong = doc.DefaultFormat();
  strong.bold = true;
  doc.Append(plain, doc.DefaultFormat());
  doc.Append(bold, strong);
  return GetBodyRichText(doc);
}

// Receives what the client posts to the compose window.
class RecordingWindow : public platform::MessageTarget {
 public:
  RecordingWindow() : handle(platform::WindowMessages::Instance().Register(this)) {}
  ~RecordingWindow() override { platform::WindowMessages::Instance().Unregister(handle); }
  void OnWindowMessage(const platform::WindowMessage& m) override { received.push_back(m.message); }
  std::vector<std::uint32_t> received;
  const platform::WindowHandle handle;
};

// Every line end is CR LF: no lone CR, no lone LF.
bool OnlyCrLf(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && (i + 1 >= s.size() || s[i + 1] != '\n')) return false;
    if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) return false;
  }
  return true;
}

// The "Date: " value of a header block, checked for its form.
std::string DateOf(const std::string& raw) {
  std::smatch m;
  static const std::regex date("Date: ([0-9]{2} [A-Z][a-z]{2} [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2} [+-][0-9]{4})\r\n");
  if (!std::regex_search(raw, m, date)) return {};
  return m[1];
}

std::string Headers(const std::string& date) {
  return "From: Ann Sender <ann@mail.example>\r\n"
         "To: Bob <bob@mail.example>\r\n"
         "CC: \r\n"
         "Subject: Greetings\r\n"
         "Date: " + date + "\r\n"
         "X-Mailer: Vyrelle Version: 1.2.3.4\r\n"
         "X-ID: 0123ABCD\r\n";
}

// What the server keeps of wire bytes: line-start dots undone, without the
// terminating line.
std::string Unstuffed(const std::string& raw) {
  std::string out;
  size_t start = 0;
  while (start < raw.size()) {
    size_t end = raw.find("\r\n", start);
    end = end == std::string::npos ? raw.size() : end + 2;
    std::string line = raw.substr(start, end - start);
    start = end;
    if (line == ".\r\n") break;
    if (!line.empty() && line[0] == '.') line.erase(0, 1);
    out += line;
  }
  return out;
}

class SmtpClientTest : public ::testing::Test {
 protected:
  SmtpOptions Options(int port) {
    SmtpOptions o;
    o.port = port;
    o.versionText = "1.2.3.4\r\n";
    o.installationId = "0123ABCD";
    o.uulibLock = &uulibLock;
    return o;
  }

  // Connects and sends one message from Ann to Bob (and a blind copy to
  // Carol).
  int Send(SmtpClient& client, const SmtpRecordServer& server, const std::string& body,
           const std::string& signature = {}, const std::vector<std::string>& attachments = {},
           platform::WindowHandle window = 0) {
    EXPECT_EQ(client.ConnectServer("127.0.0.1", "client.example"), 0) << client.LastReply();
    (void)server;
    const int rc = client.SendMail({"bob@mail.example", "carol@mail.example"}, "Bob <bob@mail.example>",
                                   "", "carol@mail.example", "Ann Sender <ann@mail.example>",
                                   "Greetings", body, signature, attachments, window);
    client.Quit();
    return rc;
  }

  bool ParseWithPythonInto(const SmtpRecordServer::Message& m, std::vector<std::string>& lines) {
    std::string error;
    const bool ok = SmtpRecordServer::ParseWithPython(m.dataPath, scratch.Path(), lines, &error);
    EXPECT_TRUE(ok) << error;
    return ok;
  }

  std::mutex uulibLock;
  test::TempDir scratch;
};

#define START_SERVER(server)                       \
  do {                                             \
    std::string startError;                        \
    ASSERT_TRUE(server.Start(&startError)) << startError; \
  } while (0)

TEST(SmtpDataEncoderTest, DoublesLineStartDotsAndEndsLinesWithCrLf) {
  SmtpDataEncoder e;
  std::string out;
  e.Append(".a\r\n.\r\nb.c\n.d\r.e\r", out);
  e.Append("\n.f", out);
  e.Finish(out);
  EXPECT_EQ(out, "..a\r\n..\r\nb.c\r\n..d\r\n..e\r\n..f");
  std::string tail;
  SmtpDataEncoder open;
  open.Append("x\r", tail);
  open.Finish(tail);
  EXPECT_EQ(tail, "x\r\n");
}

TEST_F(SmtpClientTest, PlainMessageGoesOutByteForByte) {
  SmtpRecordServer server;
  START_SERVER(server);
  SmtpClient client(Options(server.Port()));
  RecordingWindow window;
  ASSERT_EQ(Send(client, server, PlainBody(".first line\nsecond\n.\nthird . not at start"),
                 ".sig line\r\n.\r\nQuit", {}, window.handle),
            0)
      << client.LastReply();
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  const auto messages = server.Messages();
  ASSERT_EQ(messages.size(), 1u);
  const auto& m = messages[0];
  EXPECT_EQ(m.mailFrom, "ann@mail.example");
  EXPECT_EQ(m.recipients, (std::vector<std::string>{"bob@mail.example", "carol@mail.example"}));

  const std::string date = DateOf(m.raw);
  ASSERT_FALSE(date.empty()) << m.raw;
  const std::string expected = Headers(date) +
                               "\r\n"
                               "..first line\r\nsecond\r\n..\r\nthird . not at start"
                               "\r\n"
                               "\r\n..sig line\r\n..\r\nQuit"
                               "\r\n"
                               "\r\n.\r\n";
  EXPECT_EQ(m.raw, expected);
  EXPECT_EQ(m.data, Unstuffed(expected));
  EXPECT_EQ(m.raw.find("Mime-Version"), std::string::npos);
  EXPECT_EQ(m.raw.find("BCC"), std::string::npos);

  // The commands, and nothing of the signature taken for one.
  const auto sessions = server.Sessions();
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_EQ(sessions[0].rfind("HELO client.example\r\nMAIL from:<ann@mail.example>\r\n"
                              "RCPT to:<bob@mail.example>\r\nRCPT to:<carol@mail.example>\r\nDATA\r\n",
                              0),
            0u)
      << sessions[0];

  platform::WindowMessages::Instance().DispatchPending();
  EXPECT_EQ(window.received, (std::vector<std::uint32_t>{kMsgSendEndOfData}));

  std::vector<std::string> lines;
  std::string error;
  ASSERT_TRUE(SmtpRecordServer::ParseWithPython(m.dataPath, scratch.Path(), lines, &error)) << error;
  std::vector<std::string> headerNames;
  for (const auto& line : lines) {
    if (line.rfind("HEADER ", 0) == 0) headerNames.push_back(line.substr(7, line.find(':') - 7));
  }
  EXPECT_EQ(headerNames,
            (std::vector<std::string>{"From", "To", "CC", "Subject", "Date", "X-Mailer", "X-ID"}));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "HEADER CC: "), lines.end());
}

TEST_F(SmtpClientTest, DownloadLineFollowsTheSignature) {
  SmtpRecordServer server;
  START_SERVER(server);
  SmtpOptions options = Options(server.Port());
  options.downloadLink = true;
  options.updateUrl = "http://update.example/get";
  SmtpClient client(options);
  ASSERT_EQ(Send(client, server, PlainBody("Hi"), "Ann"), 0) << client.LastReply();
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  const auto m = server.Messages()[0];
  EXPECT_EQ(m.raw, Headers(DateOf(m.raw)) +
                       "\r\nHi\r\n\r\nAnn\r\n\r\nDownload Vyrelle at http://update.example/get\r\n\r\n.\r\n");
}

TEST_F(SmtpClientTest, FormattedBodyGoesAsTextAndHtml) {
  SmtpRecordServer server;
  START_SERVER(server);
  SmtpOptions options = Options(server.Port());
  options.downloadLink = true;
  options.updateUrl = "http://update.example/";
  SmtpClient client(options);
  const std::string body = BoldBody("plain and ", "bold");
  ASSERT_EQ(Send(client, server, body, "Ann\r\nwww.ann.example"), 0) << client.LastReply();
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  const auto m = server.Messages()[0];

  BodyConverter converter;
  bool needsHtml = false;
  const std::string plain = converter.RichTextToPlainText(body);
  const std::string html = converter.RichTextToHtml(body, needsHtml);
  ASSERT_TRUE(needsHtml);
  std::smatch found;
  ASSERT_TRUE(std::regex_search(
      m.raw, found,
      std::regex("boundary=\"(X-X-X-X-X-X--Vyrelle-MIME-TEXTandHTML--X-X-X-X-X-X-X-?[0-9]+-X-X)\"")))
      << m.raw;
  const std::string inner = found[1];
  // The layout after the header lines; on the wire every line end of it is
  // CR LF (the HTML signature's own CRs included).
  const std::string rest =
      "Content-Type: multipart/alternative; boundary=\"" + inner + "\"\r\n\r\n" +
      "This is a multi-part message in MIME format.\r\n\r\n" +
      "--" + inner + "\r\n" +
      "Content-Type: text/plain; charset=\"us-ascii\"\r\n" +
      "\r\n" + plain + "\r\n" + "\r\nAnn\r\nwww.ann.example" +
      "\r\n\r\nDownload Vyrelle at http://update.example/" + "\r\n" +
      "--" + inner + "\r\n" +
      "Content-Type: text/html; charset=\"us-ascii\"\r\n" +
      "\r\n\r\n" + html + "\r\n" +
      "<BR><BR>" + TextToHtml("Ann\r\nwww.ann.example") + "\r\n" +
      "<BR><BR><a href='http://update.example/'>Download Vyrelle!</a>" + "\r\n" +
      "--" + inner + "--\r\n";
  std::string encoded;
  SmtpDataEncoder encoder;
  encoder.Append(rest, encoded);
  EXPECT_EQ(m.raw, Headers(DateOf(m.raw)) + "Mime-Version: 1.0\r\n" + encoded + "\r\n.\r\n");
  EXPECT_TRUE(OnlyCrLf(m.raw));

  std::vector<std::string> lines;
  std::string error;
  ASSERT_TRUE(SmtpRecordServer::ParseWithPython(m.dataPath, scratch.Path(), lines, &error)) << error;
  std::vector<std::string> parts;
  for (const auto& line : lines) {
    if (line.rfind("HEADER ", 0) != 0) parts.push_back(line);
  }
  EXPECT_EQ(parts, (std::vector<std::string>{"MULTIPART multipart/alternative",
                                             "PART text/plain us-ascii", "PART text/html us-ascii"}));
}

TEST_F(SmtpClientTest, SendTextOnlyKeepsTheFormattedBodyPlain) {
  SmtpRecordServer server;
  START_SERVER(server);
  SmtpOptions options = Options(server.Port());
  options.sendTextOnly = true;
  SmtpClient client(options);
  ASSERT_EQ(Send(client, server, BoldBody("plain and ", "bold")), 0) << client.LastReply();
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  const auto m = server.Messages()[0];
  EXPECT_EQ(m.raw, Headers(DateOf(m.raw)) + "\r\nplain and bold\r\n\r\n\r\n.\r\n");
}

TEST_F(SmtpClientTest, AttachmentsComeBackByteForByte) {
  SmtpRecordServer server;
  START_SERVER(server);
  // Binary data larger than one streamed chunk, holding the sequences that
  // matter on the wire; a text file whose lines start with dots; an empty
  // file; a name with a space.
  std::string binary(70000, '\0');
  std::mt19937 random(42);
  for (char& c : binary) c = static_cast<char>(random() & 0xFF);
  binary.replace(1000, 5, "\r\n.\r\n");
  binary.replace(40000, 3, "\n.\n");
  const std::string binaryPath = scratch.File("data.bin");
  const std::string textPath = scratch.File("report 2026.txt");
  const std::string emptyPath = scratch.File("empty.dat");
  test::WriteFile(binaryPath, binary);
  test::WriteFile(textPath, ".dot line\n.\nend\n");
  test::WriteFile(emptyPath, "");

  SmtpClient client(Options(server.Port()));
  ASSERT_EQ(Send(client, server, PlainBody("See the files."), "", {binaryPath, textPath, emptyPath}), 0)
      << client.LastReply();
  ASSERT_TRUE(server.WaitForMessages(1, 10000));
  const auto m = server.Messages()[0];
  EXPECT_TRUE(OnlyCrLf(m.raw));

  std::smatch found;
  ASSERT_TRUE(std::regex_search(
      m.raw, found,
      std::regex("Content-Type: multipart/mixed; boundary=\"(X-X-X-X-X-X--Vyrelle-MIME-Attachment--X-X-X-X-X-X-X-?[0-9]+-X)\"\r\n")));
  const std::string outer = found[1];
  ASSERT_TRUE(std::regex_search(m.raw, found, std::regex("boundary=\"(X-X-X-X-X-X--Vyrelle-MIME-TEXTandHTML--[^\"]+)\"")));
  const std::string inner = found[1];
  const std::string start = Headers(DateOf(m.raw)) + "Mime-Version: 1.0\r\n" +
                            "Content-Type: multipart/mixed; boundary=\"" + outer + "\"\r\n" + "\r\n" +
                            "--" + outer + "\r\n" +
                            "Content-Type: multipart/alternative; boundary=\"" + inner + "\"\r\n\r\n" +
                            "This is a multi-part message in MIME format.\r\n\r\n" + "--" + inner +
                            "\r\n" + "Content-Type: text/plain; charset=\"us-ascii\"\r\n\r\nSee the files.\r\n\r\n";
  EXPECT_EQ(m.raw.substr(0, start.size()), start);
  EXPECT_NE(m.raw.find("--" + inner + "--\r\n\r\n--" + outer + "\r\n"), std::string::npos);
  const std::string end = "\r\n--" + outer + "--\r\n\r\n.\r\n";
  ASSERT_GE(m.raw.size(), end.size());
  EXPECT_EQ(m.raw.substr(m.raw.size() - end.size()), end);
  size_t partStarts = 0;
  for (size_t at = m.raw.find("--" + outer + "\r\n"); at != std::string::npos;
       at = m.raw.find("--" + outer + "\r\n", at + 1)) {
    ++partStarts;
  }
  EXPECT_EQ(partStarts, 4u);  // the text part and three attachments

  std::vector<std::string> lines;
  std::string error;
  ASSERT_TRUE(SmtpRecordServer::ParseWithPython(m.dataPath, scratch.Path(), lines, &error)) << error;
  std::vector<std::string> parts;
  for (const auto& line : lines) {
    if (line.rfind("HEADER ", 0) != 0) parts.push_back(line);
  }
  EXPECT_EQ(parts, (std::vector<std::string>{
                       "MULTIPART multipart/mixed", "MULTIPART multipart/alternative",
                       "PART text/plain us-ascii", "PART text/html us-ascii",
                       "ATTACHMENT 1 data.bin 70000", "ATTACHMENT 2 report 2026.txt 16",
                       "ATTACHMENT 3 empty.dat 0"}));
  EXPECT_EQ(test::ReadFile(scratch.File("attachment1")), binary);
  EXPECT_EQ(test::ReadFile(scratch.File("attachment2")), ".dot line\n.\nend\n");
  EXPECT_EQ(test::ReadFile(scratch.File("attachment3")), "");
  // The streamed file went out in the connection's 32 000-byte chunks.
  EXPECT_GE(client.FileChunkCount(), 5);
}

TEST_F(SmtpClientTest, MissingAttachmentSendsNothing) {
  SmtpRecordServer server;
  START_SERVER(server);
  SmtpClient client(Options(server.Port()));
  ASSERT_EQ(client.ConnectServer("127.0.0.1", "client.example"), 0);
  EXPECT_EQ(client.SendMail({"bob@mail.example"}, "bob@mail.example", "", "", "ann@mail.example", "x",
                            PlainBody("x"), "", {scratch.File("gone.bin")}),
            7);
  EXPECT_NE(client.LastReply().find("gone.bin"), std::string::npos);
  client.Quit();
  EXPECT_TRUE(server.Messages().empty());
  for (const auto& s : server.Sessions()) EXPECT_EQ(s.find("MAIL"), std::string::npos) << s;
}

TEST_F(SmtpClientTest, MultiLineGreetingInOneSegmentIsConsumedWhole) {
  SmtpRecordServer::Options o;
  o.multilineGreeting = true;
  SmtpRecordServer server(o);
  START_SERVER(server);
  SmtpClient client(Options(server.Port()));
  ASSERT_EQ(Send(client, server, PlainBody("x")), 0) << client.LastReply();
  EXPECT_TRUE(server.WaitForMessages(1, 5000));
}

TEST_F(SmtpClientTest, ContinuationLinesArrivingLaterBelongToTheReply) {
  SmtpRecordServer::Options o;
  o.splitHeloReply = true;
  SmtpRecordServer server(o);
  START_SERVER(server);
  SmtpClient client(Options(server.Port()));
  ASSERT_EQ(client.ConnectServer("127.0.0.1", "client.example"), 0);
  EXPECT_EQ(client.LastReply(), "250 recorder.test");
  // Every later reply pairs with its own command.
  EXPECT_EQ(client.SendMail({"bob@mail.example"}, "bob@mail.example", "", "", "ann@mail.example", "x",
                            PlainBody("x"), "", {}),
            0)
      << client.LastReply();
  client.Quit();
  EXPECT_TRUE(server.WaitForMessages(1, 5000));
}

TEST_F(SmtpClientTest, OverlongReplyLineIsOneReply) {
  SmtpRecordServer::Options o;
  o.longHeloReply = true;
  SmtpRecordServer server(o);
  START_SERVER(server);
  SmtpClient client(Options(server.Port()));
  ASSERT_EQ(client.ConnectServer("127.0.0.1", "client.example"), 0) << client.LastReply();
  EXPECT_EQ(client.LastReply(), "250 " + std::string(251, 'x'));
  EXPECT_EQ(client.SendMail({"bob@mail.example"}, "bob@mail.example", "", "", "ann@mail.example", "x",
                            PlainBody("x"), "", {}),
            0);
  client.Quit();
}

TEST_F(SmtpClientTest, ConnectFailures) {
  SmtpRecordServer::Options o;
  o.rejectHelo = true;
  SmtpRecordServer refusing(o);
  START_SERVER(refusing);
  SmtpClient helo(Options(refusing.Port()));
  EXPECT_EQ(helo.ConnectServer("127.0.0.1", "client.example"), 3);
  EXPECT_EQ(helo.LastReply(), "550 5.7.1 HELO refused");

  SmtpClient unknown(Options(25));
  EXPECT_EQ(unknown.ConnectServer("no-such-host.invalid", "client.example"), 1);

  int closedPort;
  {
    SmtpRecordServer gone;
    START_SERVER(gone);
    closedPort = gone.Port();
  }
  SmtpClient closed(Options(closedPort));
  EXPECT_EQ(closed.ConnectServer("127.0.0.1", "client.example"), 2);
  EXPECT_EQ(closed.SendMail({"bob@mail.example"}, "b", "", "", "a@mail.example", "", "", "", {}), 1);
}

TEST_F(SmtpClientTest, RefusalsStopTheRun) {
  {
    SmtpRecordServer::Options o;
    o.rejectSender = "ann@mail.example";
    SmtpRecordServer server(o);
    START_SERVER(server);
    SmtpClient client(Options(server.Port()));
    EXPECT_EQ(Send(client, server, PlainBody("x")), 3);
    EXPECT_EQ(client.LastReply(), "550 5.7.1 Sender refused");
    EXPECT_EQ(server.Sessions().at(0).find("RCPT"), std::string::npos);
  }
  {
    SmtpRecordServer::Options o;
    o.rejectRecipients = {"bob@mail.example"};
    SmtpRecordServer server(o);
    START_SERVER(server);
    SmtpClient client(Options(server.Port()));
    EXPECT_EQ(Send(client, server, PlainBody("x")), 4);
    const std::string session = server.Sessions().at(0);
    EXPECT_EQ(session.find("RCPT to:<carol"), std::string::npos) << session;
    EXPECT_EQ(session.find("DATA"), std::string::npos) << session;
  }
  {
    SmtpRecordServer::Options o;
    o.rejectDataCommand = true;
    SmtpRecordServer server(o);
    START_SERVER(server);
    SmtpClient client(Options(server.Port()));
    EXPECT_EQ(Send(client, server, PlainBody("x")), 5);
    EXPECT_EQ(server.Sessions().at(0).find("From: "), std::string::npos);
  }
  {
    SmtpRecordServer::Options o;
    o.rejectData = true;
    SmtpRecordServer server(o);
    START_SERVER(server);
    SmtpClient client(Options(server.Port()));
    EXPECT_EQ(Send(client, server, PlainBody("x")), 5);
    EXPECT_EQ(client.LastReply(), "554 5.6.0 Message refused");
    EXPECT_TRUE(server.Messages().empty());
  }
  {
    SmtpRecordServer::Options o;
    o.closeInDataAfter = 60;
    SmtpRecordServer server(o);
    START_SERVER(server);
    SmtpClient client(Options(server.Port()));
    const int rc = Send(client, server, PlainBody(std::string(3000, 'y')));
    EXPECT_TRUE(rc == 5 || rc == 6) << rc;
    EXPECT_TRUE(server.Messages().empty());
  }
}

TEST_F(SmtpClientTest, LineBreaksInHeaderValuesAndAddressesInjectNothing) {
  SmtpRecordServer server;
  START_SERVER(server);
  SmtpClient client(Options(server.Port()));
  ASSERT_EQ(client.ConnectServer("127.0.0.1", "client.example"), 0);
  EXPECT_EQ(client.SendMail({"bob@mail.example"}, "Bob <bob@mail.example>\r\nX-Evil: 1",
                            "\r\n.\r\nRSET", "hidden@mail.example",
                            "Ann <ann@mail.example>\r\nReply-To: evil@mail.example",
                            "Hi\r\nBcc: evil@mail.example", PlainBody("body"), "", {}),
            0)
      << client.LastReply();
  client.Quit();
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  const auto m = server.Messages()[0];
  EXPECT_EQ(m.recipients, (std::vector<std::string>{"bob@mail.example"}));
  std::vector<std::string> lines;
  std::string error;
  ASSERT_TRUE(SmtpRecordServer::ParseWithPython(m.dataPath, scratch.Path(), lines, &error)) << error;
  std::vector<std::string> headerNames;
  for (const auto& line : lines) {
    if (line.rfind("HEADER ", 0) == 0) headerNames.push_back(line.substr(7, line.find(':') - 7));
  }
  EXPECT_EQ(headerNames,
            (std::vector<std::string>{"From", "To", "CC", "Subject", "Date", "X-Mailer", "X-ID"}));
  EXPECT_NE(m.raw.find("Subject: Hi  Bcc: evil@mail.example\r\n"), std::string::npos);
  EXPECT_NE(m.raw.find("CC:   .  RSET\r\n"), std::string::npos);

  // An address holding a line break is never sent.
  SmtpClient second(Options(server.Port()));
  ASSERT_EQ(second.ConnectServer("127.0.0.1", "client.example"), 0);
  EXPECT_EQ(second.SendMail({"bob@mail.example\r\nRCPT to:<evil@mail.example>"}, "x", "", "",
                            "ann@mail.example", "x", PlainBody("x"), "", {}),
            4);
  second.Quit();
  const auto sessions = server.Sessions();
  ASSERT_EQ(sessions.size(), 2u);
  EXPECT_EQ(sessions[1].find("MAIL"), std::string::npos) << sessions[1];
}

TEST_F(SmtpClientTest, TextBeyondAsciiIsLabelledUtf8) {
  SmtpRecordServer server;
  START_SERVER(server);
  SmtpClient client(Options(server.Port()));
  ASSERT_EQ(Send(client, server, PlainBody("Gr\xC3\xBC\xC3\x9F" "e")), 0);
  ASSERT_EQ(Send(client, server, BoldBody("Gr\xC3\xBC\xC3\x9F" "e ", "fett")), 0);
  ASSERT_TRUE(server.WaitForMessages(2, 5000));
  const auto messages = server.Messages();
  EXPECT_EQ(messages[0].raw, Headers(DateOf(messages[0].raw)) +
                                 "Mime-Version: 1.0\r\nContent-Type: text/plain; charset=\"utf-8\"\r\n"
                                 "\r\nGr\xC3\xBC\xC3\x9F" "e\r\n\r\n\r\n.\r\n");
  std::vector<std::string> lines;
  std::string error;
  ASSERT_TRUE(SmtpRecordServer::ParseWithPython(messages[1].dataPath, scratch.Path(), lines, &error));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "PART text/plain utf-8"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "PART text/html utf-8"), lines.end());
}

TEST_F(SmtpClientTest, OverlongLinesGoQuotedPrintable) {
  SmtpRecordServer server;
  START_SERVER(server);
  // One paragraph longer than a mail line may be, with "=" and a trailing
  // blank; the formatted form has a long HTML line as well.
  std::string paragraph;
  for (int i = 0; i < 300; ++i) paragraph += "word" + std::to_string(i) + (i % 50 == 0 ? "= " : " ");
  SmtpClient client(Options(server.Port()));
  ASSERT_EQ(Send(client, server, PlainBody(paragraph + "\n.next")), 0) << client.LastReply();
  ASSERT_EQ(Send(client, server, BoldBody(paragraph, "bold")), 0) << client.LastReply();
  ASSERT_TRUE(server.WaitForMessages(2, 5000));
  const auto messages = server.Messages();
  for (const auto& m : messages) {
    size_t start = 0;
    while (start < m.raw.size()) {
      const size_t end = m.raw.find("\r\n", start);
      ASSERT_NE(end, std::string::npos);
      EXPECT_LE(end - start, 998u);
      start = end + 2;
    }
  }
  EXPECT_NE(messages[0].raw.find("Mime-Version: 1.0\r\nContent-Type: text/plain; charset=\"us-ascii\"\r\n"
                                 "Content-Transfer-Encoding: quoted-printable\r\n\r\n"),
            std::string::npos);

  std::vector<std::string> lines;
  std::string error;
  ASSERT_TRUE(SmtpRecordServer::ParseWithPython(messages[0].dataPath, scratch.Path(), lines, &error)) << error;
  // The email package gives decoded line ends as LF.
  auto lf = [](std::string text) {
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
    return text;
  };
  // The text, its line end, the closing line end and the terminator's.
  EXPECT_EQ(test::ReadFile(scratch.File("part1")), lf(paragraph + "\r\n.next\r\n\r\n\r\n"));

  BodyConverter converter;
  bool needsHtml = false;
  const std::string html = converter.RichTextToHtml(BoldBody(paragraph, "bold"), needsHtml);
  ASSERT_TRUE(ParseWithPythonInto(messages[1], lines));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "PART text/html us-ascii"), lines.end());
  // The line end before a boundary belongs to the boundary.
  EXPECT_EQ(test::ReadFile(scratch.File("part1")), lf(paragraph + "bold\r\n"));
  EXPECT_EQ(test::ReadFile(scratch.File("part2")), lf("\r\n" + html + "\r\n\r\n"));
}

TEST_F(SmtpClientTest, BodyGoesOutInPiecesOfAtMost1023Bytes) {
  SmtpRecordServer server;
  START_SERVER(server);
  std::string text;
  for (int i = 0; i < 40; ++i) text += (i ? "\n" : "") + std::string(100, static_cast<char>('a' + i % 26));
  SmtpClient client(Options(server.Port()));
  ASSERT_EQ(client.ConnectServer("127.0.0.1", "client.example"), 0);
  ASSERT_EQ(client.SendMail({"bob@mail.example"}, "Bob <bob@mail.example>", "", "",
                            "Ann Sender <ann@mail.example>", "Greetings", PlainBody(text), "", {}),
            0);
  // HELO, MAIL, RCPT, DATA, seven header lines, the empty line, the body,
  // its line end, the closing line end and the terminator.
  const long bodyBytes = 40 * 100 + 39 * 2;
  const long pieces = (bodyBytes + 1022) / 1023;
  EXPECT_EQ(client.SendCount(), 4 + 7 + 1 + pieces + 3);
  client.Quit();
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  std::string crlfText = text;
  for (size_t at = crlfText.find('\n'); at != std::string::npos; at = crlfText.find('\n', at + 2)) {
    crlfText.replace(at, 1, "\r\n");
  }
  EXPECT_NE(server.Messages()[0].data.find("\r\n\r\n" + crlfText + "\r\n\r\n"), std::string::npos);
}

TEST_F(SmtpClientTest, QuitEndsTheSession) {
  SmtpRecordServer server;
  START_SERVER(server);
  SmtpClient client(Options(server.Port()));
  ASSERT_EQ(client.ConnectServer("127.0.0.1", "client.example"), 0);
  EXPECT_EQ(client.Quit(), 0);
  EXPECT_FALSE(client.IsConnected());
  EXPECT_EQ(client.Quit(), 0);  // nothing left to end
  for (int i = 0; i < 50 && server.Sessions().at(0).find("Quit\r\n") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(server.Sessions().at(0), "HELO client.example\r\nQuit\r\n");
}

}  // namespace
}  // namespace vyr
