// The POP3 client and its connection, against a private Dovecot and against
// a scripted server that misbehaves on purpose.
#include "mail/receive/pop3_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "tools/dovecot_server.h"
#include "tools/scripted_pop3_server.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// LF line ends to the wire form.
std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Aborts the connection from another thread after a delay unless disarmed
// first: drives the cancel path, and keeps a regression that hangs from
// blocking the suite.
class AbortAfter {
 public:
  AbortAfter(MailConnection& connection, std::chrono::milliseconds delay)
      : thread_([this, &connection, delay] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!wake_.wait_for(lock, delay, [this] { return disarmed_; })) {
            fired_ = true;
            connection.Abort();
          }
        }) {}
  ~AbortAfter() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      disarmed_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  bool Fired() {
    std::lock_guard<std::mutex> lock(mutex_);
    return fired_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool disarmed_ = false;
  bool fired_ = false;
  std::thread thread_;
};

struct RecordingProgress : Pop3Progress {
  std::string status = "Downloading message 1 of 1...";
  int cancelAfter = -1;  // cancel at this many checks; -1 never
  int checks = 0;
  std::string lastCheckText;
  std::vector<std::string> posted;
  bool CancelCheck(const std::string& text, bool rearm) override {
    EXPECT_TRUE(rearm);
    lastCheckText = text;
    ++checks;
    return cancelAfter >= 0 && checks >= cancelAfter;
  }
  std::string StatusText() override { return status; }
  void PostStatus(const std::string& text) override { posted.push_back(text); }
};

// A port that was free a moment ago: nobody listens there.
int ClosedLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &len);
  ::close(fd);
  return ntohs(address.sin_port);
}

// --- helpers without a server ------------------------------------------------

TEST(MailConnectionText, TrimLineEndCutsOneLineEnd) {
  auto trim = [](std::string s) {
    MailConnection::TrimLineEnd(s);
    return s;
  };
  EXPECT_EQ(trim(""), "");
  EXPECT_EQ(trim("\n"), "");
  EXPECT_EQ(trim("x"), "x");
  EXPECT_EQ(trim("+OK 3 120\r\n"), "+OK 3 120");
  EXPECT_EQ(trim("+OK\n"), "+OK");
  EXPECT_EQ(trim("+OK\r"), "+OK");
  EXPECT_EQ(trim("ab\r\n\r\n"), "ab\r\n");
  EXPECT_EQ(trim("a\nb"), "a");  // the character before the last is a line end
}

TEST(MailConnectionText, FieldFindsRunsBetweenDelimiters) {
  std::string out = "unchanged";
  EXPECT_EQ(MailConnection::Field("+OK 2 320", " ", 1, out, 512), 0);
  EXPECT_EQ(out, "2");
  EXPECT_EQ(MailConnection::Field("+OK  1 (4711)", " ()", 2, out, 512), 0);
  EXPECT_EQ(out, "4711");
  EXPECT_EQ(MailConnection::Field("  lead", " ", 0, out, 512), 0);
  EXPECT_EQ(out, "lead");
  EXPECT_EQ(MailConnection::Field("+OK", " ", 1, out, 512), 1);
  EXPECT_EQ(MailConnection::Field("+OK 123456", " ", 1, out, 6), 1);  // 6 + zero do not fit
  EXPECT_EQ(MailConnection::Field("+OK 12345", " ", 1, out, 6), 0);
  EXPECT_EQ(out, "12345");
}

TEST(MailConnectionText, DottedAddressesAndResolving) {
  EXPECT_TRUE(MailConnection::IsDottedAddress("127.0.0.1"));
  EXPECT_TRUE(MailConnection::IsDottedAddress("10.1.200.3"));
  EXPECT_FALSE(MailConnection::IsDottedAddress("localhost"));
  EXPECT_FALSE(MailConnection::IsDottedAddress("1.2.3.256"));
  EXPECT_FALSE(MailConnection::IsDottedAddress(""));

  std::string dotted;
  EXPECT_EQ(MailConnection::ResolveHost("jane@home@localhost", dotted), 0);
  EXPECT_EQ(dotted, "127.0.0.1");
  dotted = "kept";
  EXPECT_EQ(MailConnection::ResolveHost("localhost", dotted, 9), 1);  // 9 + zero > 9
  EXPECT_EQ(dotted, "kept");
  EXPECT_EQ(MailConnection::ResolveHost("localhost", dotted, 10), 0);
  EXPECT_EQ(MailConnection::ResolveHost("user@no-such-host.invalid", dotted), 2);
}

TEST(Pop3ClientWithoutServer, QuitAndCommandsOnAFreshObjectDoNoHarm) {
  Pop3Client client(static_cast<std::uint16_t>(ClosedLoopbackPort()));
  const auto start = Clock::now();
  EXPECT_EQ(client.Quit(), 0);
  EXPECT_EQ(client.ResetAndQuit(), 0);
  int count = -1;
  long size = -1;
  EXPECT_EQ(client.Stat(count), 1);
  EXPECT_EQ(client.List(1, size), 1);
  EXPECT_EQ(client.Retr(1), 1);
  EXPECT_EQ(client.Dele(1), 1);
  EXPECT_EQ(client.Uidl("x"), 1);
  EXPECT_EQ(client.UidOf(1), "");
  EXPECT_LT(SecondsSince(start), 2.0);  // nothing waited for a reply
  EXPECT_EQ(client.Login("127.0.0.1", "user", "secret"), 2);
  EXPECT_EQ(client.Login("user@no-such-host.invalid", "user", "secret"), 1);
  char buffer[16];
  EXPECT_EQ(client.ReadLine(buffer, sizeof buffer, 1), 0);
}

// --- the scripted server -------------------------------------------------------

const std::string kShortMessage =
    "From: a@example.org\nSubject: one\n\nfirst line\n.starts with a dot\n..two dots\n.\nlast\n";

std::unique_ptr<test::ScriptedPop3Server> StartScripted(const std::string& mode,
                                                        std::vector<std::string> messages) {
  auto server = std::make_unique<test::ScriptedPop3Server>(mode, std::move(messages));
  std::string error;
  if (!server->Start(&error)) {
    ADD_FAILURE() << error;
    return nullptr;
  }
  return server;
}

TEST(MailConnectionPeer, ReadLineTakesOneLineInPiecesAndLeavesTheRest) {
  auto server = StartScripted("normal", {});
  ASSERT_TRUE(server);
  MailConnection c;
  EXPECT_FALSE(c.IsConnected());
  ASSERT_EQ(c.Connect(static_cast<std::uint16_t>(server->Port()), "127.0.0.1"), 0);
  EXPECT_EQ(c.Connect(static_cast<std::uint16_t>(server->Port()), "127.0.0.1"), 1);
  EXPECT_TRUE(c.IsConnected());

  // "+OK scripted POP3 server ready\r\n" through a buffer with 9 usable bytes.
  char buffer[10];
  std::vector<std::string> pieces;
  for (int i = 0; i < 4; ++i) {
    const int n = c.ReadLine(buffer, sizeof buffer, 5);
    EXPECT_EQ(std::string(buffer).size(), static_cast<size_t>(n));
    pieces.emplace_back(buffer, static_cast<size_t>(n));
  }
  EXPECT_EQ(pieces, (std::vector<std::string>{"+OK scrip", "ted POP3 ", "server re", "ady\r\n"}));
  EXPECT_TRUE(c.WaitReadable(0, 200000));  // nothing more was sent
  EXPECT_FALSE(c.HasPendingData());

  // Two commands at once: the replies come back one line per read.
  ASSERT_EQ(c.SendText("USER nobody\r\nNOOP\r\n"), 19);
  char line[64];
  EXPECT_EQ(c.ReadLine(line, sizeof line, 5), 5);
  EXPECT_STREQ(line, "+OK\r\n");
  EXPECT_EQ(c.ReadLine(line, sizeof line, 5), 20);
  EXPECT_STREQ(line, "-ERR not logged in\r\n");
  EXPECT_GT(c.SendBufferSize(), 0);
  EXPECT_EQ(c.Close(), 0);
  EXPECT_FALSE(c.IsConnected());
  EXPECT_EQ(c.Connect(static_cast<std::uint16_t>(ClosedLoopbackPort()), "127.0.0.1"), 3);
  EXPECT_EQ(c.Connect(110, "not-an-address"), 3);
}

struct CountingConnection : MailConnection {
  std::vector<long> totals;
  long stopAt = -1;
  bool ProgressHook(long total) override {
    totals.push_back(total);
    return total != stopAt;
  }
};

TEST(MailConnectionPeer, SendFileStreamsTheFileInChunks) {
  auto server = StartScripted("normal", {});
  ASSERT_TRUE(server);
  test::TempDir dir;
  std::string lines;
  for (int i = 0; i < 7000; ++i) lines += "NOOP\r\n";  // 42 000 bytes
  test::WriteFile(dir.File("commands"), lines);

  CountingConnection c;
  EXPECT_EQ(c.SendFile(dir.File("missing")), 1);
  ASSERT_EQ(c.Connect(static_cast<std::uint16_t>(server->Port()), "127.0.0.1"), 0);
  EXPECT_EQ(c.SendFile(dir.File("commands")), 0);
  EXPECT_EQ(c.totals, (std::vector<long>{32000, 42000}));
  // The server saw every line (the last one logged proves all came).
  c.SendText("STAT-END\r\n");
  ASSERT_TRUE(server->WaitForCommand("STAT-END", 5000));
  const auto commands = server->Commands();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "NOOP"), 7000);

  CountingConnection stopped;
  stopped.stopAt = 32000;
  ASSERT_EQ(stopped.Connect(static_cast<std::uint16_t>(server->Port()), "127.0.0.1"), 0);
  EXPECT_EQ(stopped.SendFile(dir.File("commands")), 0);
  EXPECT_EQ(stopped.totals, (std::vector<long>{32000}));
}

class ScriptedPop3Test : public ::testing::Test {
 protected:
  bool Open(const std::string& mode, std::vector<std::string> messages) {
    server = StartScripted(mode, std::move(messages));
    if (!server) return false;
    client = std::make_unique<Pop3Client>(static_cast<std::uint16_t>(server->Port()));
    return true;
  }
  int Login() { return client->Login("127.0.0.1", "user", "secret"); }
  std::unique_ptr<test::ScriptedPop3Server> server;
  std::unique_ptr<Pop3Client> client;
  test::TempDir dir;
  RecordingProgress progress;
};

TEST_F(ScriptedPop3Test, CancelLeavesNoFileAndSendsNoQuitThenResetComesFirst) {
  ASSERT_TRUE(Open("normal", {kShortMessage, kShortMessage}));
  ASSERT_EQ(Login(), 0);
  ASSERT_EQ(client->Dele(1), 0);
  progress.cancelAfter = 2;
  const std::string file = dir.File("M1.new");
  EXPECT_EQ(client->RetrieveToFile(2, file, &progress), 2);
  EXPECT_FALSE(fs::exists(file));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  auto commands = server->Commands();
  EXPECT_EQ(commands.back(), "RETR 2");

  client->ResetAndQuit();
  ASSERT_TRUE(server->WaitForCommand("QUIT", 5000));
  commands = server->Commands();
  ASSERT_GE(commands.size(), 2u);
  EXPECT_EQ(commands[commands.size() - 2], "RSET");
  EXPECT_EQ(commands.back(), "QUIT");
  EXPECT_FALSE(client->IsConnected());
}

TEST_F(ScriptedPop3Test, StalledCommandReplyReturnsPromptlyOnAbort) {
  ASSERT_TRUE(Open("stall", {kShortMessage}));
  ASSERT_EQ(Login(), 0);
  int count = -1;
  const auto start = Clock::now();
  {
    AbortAfter abort(*client, std::chrono::milliseconds(300));
    EXPECT_EQ(client->Stat(count), 2);
    EXPECT_TRUE(abort.Fired());
  }
  EXPECT_LT(SecondsSince(start), 3.0);  // the reply limit is 10 s
  EXPECT_EQ(count, -1);
}

TEST_F(ScriptedPop3Test, StalledGreetingEndsLoginOnAbortAndAbortSticks) {
  ASSERT_TRUE(Open("stall-greeting", {}));
  const auto start = Clock::now();
  {
    AbortAfter abort(*client, std::chrono::milliseconds(300));
    EXPECT_EQ(Login(), 3);
  }
  EXPECT_LT(SecondsSince(start), 3.0);
  EXPECT_TRUE(client->Aborted());
  EXPECT_EQ(Login(), 2);  // no new connection after an abort
  client->ClearAbort();
  EXPECT_EQ(client->Connect(static_cast<std::uint16_t>(server->Port()), "127.0.0.1"), 0);
}

TEST_F(ScriptedPop3Test, StalledMessageIsAbortedWithoutAFile) {
  std::string big;
  for (int i = 0; i < 2000; ++i) big += "line " + std::to_string(i) + " of a stalled message\n";
  ASSERT_TRUE(Open("stall-mid-message", {big}));
  ASSERT_EQ(Login(), 0);
  const std::string file = dir.File("M2.new");
  const auto start = Clock::now();
  {
    AbortAfter abort(*client, std::chrono::milliseconds(500));
    EXPECT_EQ(client->RetrieveToFile(1, file, &progress), 0);
    EXPECT_TRUE(abort.Fired());
  }
  EXPECT_LT(SecondsSince(start), 4.0);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_GT(progress.checks, 100);  // lines did arrive before the stall
}

TEST_F(ScriptedPop3Test, ConnectionClosedMidMessageLeavesNoFile) {
  std::string big;
  for (int i = 0; i < 3000; ++i) big += "line " + std::to_string(i) + " of a message that breaks off\n";
  ASSERT_TRUE(Open("close-mid-message", {big}));
  ASSERT_EQ(Login(), 0);
  const std::string file = dir.File("M3.new");
  AbortAfter guard(*client, std::chrono::seconds(20));
  EXPECT_EQ(client->RetrieveToFile(1, file, &progress), 0);
  EXPECT_FALSE(guard.Fired());
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(ScriptedPop3Test, LongLinesInRepliesMessagesAndUidsStayInStep) {
  // A line whose later pieces begin with "." and "..": message text, neither
  // a terminator nor stuffing. Pieces of a message line hold 8191 bytes.
  std::string dotted(8191, 'a');
  dotted += "..";
  dotted += std::string(8189, 'b');
  dotted += ".";
  const std::string message = "Subject: long\n\n" + std::string(20000, 'x') + "\n" + dotted + "\n" +
                              "." + std::string(3000, 'y') + "\n" + std::string(1023, 'z') + "\n";
  ASSERT_TRUE(Open("long-lines", {kShortMessage, message}));
  AbortAfter guard(*client, std::chrono::seconds(30));
  ASSERT_EQ(Login(), 0);  // the 2000-byte greeting is read to its end
  EXPECT_EQ(client->LastReply(), "+OK Logged in.");
  int count = 0;
  EXPECT_EQ(client->Stat(count), 0);
  EXPECT_EQ(count, 2);
  long size = 0;
  EXPECT_EQ(client->List(2, size), 0);
  EXPECT_EQ(size, static_cast<long>(Crlf(message).size()));

  const std::string uid2 = "uid-2-" + std::string(3000, 'x');
  EXPECT_EQ(client->Uidl(uid2), 3);
  EXPECT_EQ(client->UidCount(), 2u);
  EXPECT_EQ(client->UidOf(1), "uid-1-" + std::string(3000, 'x'));
  EXPECT_EQ(client->UidOf(2), uid2);

  const std::string file = dir.File("M4.new");
  EXPECT_EQ(client->RetrieveToFile(2, file, &progress), 1);
  EXPECT_EQ(test::ReadFile(file), Crlf(message) + ".");
  EXPECT_EQ(client->Stat(count), 0);  // still in step afterwards
  EXPECT_FALSE(guard.Fired());
}

TEST_F(ScriptedPop3Test, CarriageReturnArrivingApartFromItsLineFeedStillEndsTheLine) {
  ASSERT_TRUE(Open("trickle", {kShortMessage}));
  AbortAfter guard(*client, std::chrono::seconds(20));
  ASSERT_EQ(Login(), 0);
  EXPECT_EQ(client->Uidl("uid-1"), 2);
  const std::string file = dir.File("M5.new");
  EXPECT_EQ(client->RetrieveToFile(1, file, &progress), 1);
  EXPECT_EQ(test::ReadFile(file), Crlf(kShortMessage) + ".");
  int count = 0;
  EXPECT_EQ(client->Stat(count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_FALSE(guard.Fired());
}

TEST_F(ScriptedPop3Test, RefusedUidlStartsAtTheFirstMessage) {
  ASSERT_TRUE(Open("no-uidl", {kShortMessage, kShortMessage}));
  ASSERT_EQ(Login(), 0);
  EXPECT_EQ(client->Uidl("uid-1"), 1);
  EXPECT_EQ(client->UidOf(1), "");
  int count = 0;
  EXPECT_EQ(client->Stat(count), 0);
  EXPECT_EQ(count, 2);
}

TEST_F(ScriptedPop3Test, UnansweredUidlStartsAtTheFirstMessage) {
  ASSERT_TRUE(Open("no-uidl-reply", {kShortMessage, kShortMessage}));
  ASSERT_EQ(Login(), 0);
  const auto start = Clock::now();
  EXPECT_EQ(client->Uidl("uid-1"), 1);
  EXPECT_GE(SecondsSince(start), 9.5);  // the 10-second reply limit
  const std::string file = dir.File("M6.new");
  EXPECT_EQ(client->RetrieveToFile(1, file, &progress), 1);
  EXPECT_EQ(test::ReadFile(file), Crlf(kShortMessage) + ".");
}

TEST_F(ScriptedPop3Test, UidlLinesWithOddBlanksAndAShortListing) {
  ASSERT_TRUE(Open("odd-uidl", {kShortMessage, kShortMessage, kShortMessage}));
  ASSERT_EQ(Login(), 0);
  EXPECT_EQ(client->Uidl("uid-2"), 3);
  EXPECT_EQ(client->UidOf(1), "uid-1");
  EXPECT_EQ(client->UidOf(3), "uid-3");
  EXPECT_EQ(client->Uidl("uid-3"), 4);

  ASSERT_TRUE(Open("short-uidl", {kShortMessage, kShortMessage, kShortMessage}));
  ASSERT_EQ(Login(), 0);
  int count = 0;
  ASSERT_EQ(client->Stat(count), 0);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(client->Uidl("uid-1"), 2);
  EXPECT_EQ(client->UidCount(), 1u);
  EXPECT_EQ(client->UidOf(2), "");
  EXPECT_EQ(client->UidOf(3), "");
  EXPECT_EQ(client->UidOf(-1), "");
}

TEST_F(ScriptedPop3Test, MessageFarLargerThanItsListSizeIsStoredWhole) {
  std::string big = "Subject: bigger than announced\n\n";
  for (int i = 0; i < 40000; ++i) big += (i % 7 == 0 ? "." : "") + std::string(40 + i % 60, 'm') + "\n";
  ASSERT_TRUE(Open("oversize", {big}));
  ASSERT_EQ(Login(), 0);
  long listed = 0;
  ASSERT_EQ(client->List(1, listed), 0);
  EXPECT_LT(listed * 2, static_cast<long>(Crlf(big).size()));
  progress.status = "Downloading message 1 of 1...";
  const std::string file = dir.File("M7.new");
  EXPECT_EQ(client->RetrieveToFile(1, file, &progress), 1);
  EXPECT_EQ(test::ReadFile(file), Crlf(big) + ".");
  ASSERT_EQ(progress.posted.size(), 1u);  // from the announced size
  EXPECT_EQ(progress.posted[0], "Downloading message 1 of 1 (" + std::to_string(listed / 1024) + " KB) ");
  EXPECT_EQ(progress.lastCheckText, progress.posted[0]);
}

TEST_F(ScriptedPop3Test, WriteFailureLeavesNoFileAndKeepsTheSessionInStep) {
  std::string big;
  for (int i = 0; i < 8000; ++i) big += std::string(70, 'w') + "\n";  // about 570 KB
  ASSERT_TRUE(Open("normal", {big}));
  ASSERT_EQ(Login(), 0);
  // A file-size limit makes writes past 100 KB fail, like a full disk.
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = old;
  limited.rlim_cur = 100 * 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  const std::string file = dir.File("M8.new");
  const int result = client->RetrieveToFile(1, file, &progress);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(fs::exists(file));
  int count = 0;
  EXPECT_EQ(client->Stat(count), 0);  // the rest of the message was drained
  EXPECT_EQ(count, 1);
}

// --- Dovecot ---------------------------------------------------------------------

class DovecotPop3Test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new test::DovecotServer;
    server_->AddUser("alice", "secret");
    server_->AddUser("bob", "hunter2");
    if (!server_->Start(&error_)) {
      delete server_;
      server_ = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(server_) << error_;
    server_->ClearMailbox("alice");
    client = std::make_unique<Pop3Client>(static_cast<std::uint16_t>(server_->Port()));
  }
  int Login(Pop3Client& c) { return c.Login("127.0.0.1", "alice", "secret"); }
  test::DovecotServer& Server() { return *server_; }

  static test::DovecotServer* server_;
  static std::string error_;
  std::unique_ptr<Pop3Client> client;
  test::TempDir dir;
  RecordingProgress progress;
};
test::DovecotServer* DovecotPop3Test::server_ = nullptr;
std::string DovecotPop3Test::error_;

TEST_F(DovecotPop3Test, LoginAcceptsTheRightPasswordOnly) {
  EXPECT_EQ(client->Login("localhost", "alice", "secret"), 0);
  EXPECT_EQ(client->LastReply().rfind("+OK", 0), 0u);
  int count = -1;
  EXPECT_EQ(client->Stat(count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(client->Quit(), 0);
  EXPECT_FALSE(client->IsConnected());

  // Dovecot accepts any USER and refuses at PASS.
  EXPECT_EQ(client->Login("127.0.0.1", "nosuchuser", "secret"), 4);
  EXPECT_NE(client->LastReply().find("Authentication failed"), std::string::npos);
  EXPECT_EQ(client->Login("127.0.0.1", "alice", "wrong"), 4);
  EXPECT_EQ(client->Login("127.0.0.1", "alice", "secret\r\nDELE 1"), 4);
  EXPECT_EQ(client->Login("pop@127.0.0.1", "bob", "hunter2"), 0);
  client->Quit();
}

TEST_F(DovecotPop3Test, StatListAndUidlResume) {
  const std::string first = "Subject: 1\n\none\n";
  const std::string second = "Subject: 2\n\ntwo two\n";
  const std::string third = "Subject: 3\n\nthree three three\n";
  Server().AddMessage("alice", first);
  Server().AddMessage("alice", second);
  Server().AddMessage("alice", third);
  ASSERT_EQ(Login(*client), 0);
  int count = 0;
  ASSERT_EQ(client->Stat(count), 0);
  EXPECT_EQ(count, 3);
  long size = 0;
  ASSERT_EQ(client->List(2, size), 0);
  EXPECT_EQ(size, static_cast<long>(Crlf(second).size()));
  EXPECT_EQ(client->List(9, size), 3);

  EXPECT_EQ(client->Uidl(""), 1);
  ASSERT_EQ(client->UidCount(), 3u);
  const std::string id1 = client->UidOf(1), id3 = client->UidOf(3);
  EXPECT_FALSE(id1.empty());
  EXPECT_NE(id1, client->UidOf(2));
  EXPECT_EQ(client->UidOf(4), "");
  EXPECT_EQ(client->Uidl(id3), 4);  // the last one is current: nothing new
  EXPECT_EQ(client->Uidl(id1), 2);
  client->Quit();

  // The last downloaded message is gone: start over at 1.
  Server().ClearMailbox("alice");
  Server().AddMessage("alice", third);
  ASSERT_EQ(Login(*client), 0);
  EXPECT_EQ(client->Uidl(id3), 1);
  client->Quit();
}

TEST_F(DovecotPop3Test, DotLinesAreStoredUnstuffedWithTheFinalDot) {
  Server().AddMessage("alice", kShortMessage);
  ASSERT_EQ(Login(*client), 0);
  const std::string file = dir.File("M1.new");
  EXPECT_EQ(client->RetrieveToFile(1, file, &progress), 1);
  EXPECT_EQ(test::ReadFile(file), Crlf(kShortMessage) + ".");
  EXPECT_TRUE(progress.posted.empty());  // small messages post no size
  EXPECT_EQ(progress.lastCheckText, "Downloading message 1 of 1 (0 KB) ");
  client->Quit();
}

TEST_F(DovecotPop3Test, SeveralMegabytesAreStoredByteExact) {
  std::string big = "Subject: big\n\n";
  for (int i = 0; big.size() < 3000000; ++i) {
    big += (i % 11 == 0 ? ".." : "") + std::to_string(i) + std::string(i % 150, 'q') + "\n";
    if (i % 5000 == 0) big += std::string(12000, 'L') + "\n";
  }
  // Pad to 3 200 000 bytes on the wire: 3.1 MB.
  const size_t wire = Crlf(big).size();
  big += std::string(3200000 - wire - 2, 'p') + "\n";
  ASSERT_EQ(Crlf(big).size(), 3200000u);
  Server().AddMessage("alice", big);
  ASSERT_EQ(Login(*client), 0);
  progress.status = "Downloading message 1 of 1...";
  const std::string file = dir.File("M2.new");
  AbortAfter guard(*client, std::chrono::seconds(60));
  EXPECT_EQ(client->RetrieveToFile(1, file, &progress), 1);
  EXPECT_TRUE(test::ReadFile(file) == Crlf(big) + ".");
  EXPECT_EQ(progress.posted, (std::vector<std::string>{"Downloading message 1 of 1 (3.1 MB) "}));
  client->Quit();
}

TEST_F(DovecotPop3Test, DeleteIsCommittedByQuitAndUndoneByReset) {
  Server().AddMessage("alice", "Subject: a\n\na\n");
  Server().AddMessage("alice", "Subject: b\n\nb\n");
  ASSERT_EQ(Login(*client), 0);
  EXPECT_EQ(client->Dele(1), 0);
  EXPECT_EQ(client->Dele(1), 3);  // already marked
  client->ResetAndQuit();
  Pop3Client again(static_cast<std::uint16_t>(Server().Port()));
  ASSERT_EQ(Login(again), 0);
  int count = 0;
  ASSERT_EQ(again.Stat(count), 0);
  EXPECT_EQ(count, 2);

  // A cancelled download after a DELE: nothing is committed.
  ASSERT_EQ(again.Dele(1), 0);
  progress.cancelAfter = 1;
  EXPECT_EQ(again.RetrieveToFile(2, dir.File("M3.new"), &progress), 2);
  EXPECT_FALSE(fs::exists(dir.File("M3.new")));
  again.ResetAndQuit();
  ASSERT_EQ(Login(*client), 0);
  ASSERT_EQ(client->Stat(count), 0);
  EXPECT_EQ(count, 2);

  EXPECT_EQ(client->Dele(1), 0);
  EXPECT_EQ(client->Quit(), 0);
  EXPECT_EQ(Server().MessageCount("alice"), 1u);
  ASSERT_EQ(Login(*client), 0);
  ASSERT_EQ(client->Stat(count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(client->RetrieveToFile(1, dir.File("M4.new"), nullptr), 1);
  EXPECT_EQ(test::ReadFile(dir.File("M4.new")), Crlf("Subject: b\n\nb\n") + ".");
  client->Quit();
}

}  // namespace
}  // namespace vyr
