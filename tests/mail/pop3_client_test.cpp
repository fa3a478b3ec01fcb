// The POP3 client and its connection, against a private Dovecot and against
// a scripted server that misbehaves on purpose.
#include "mail/receive/pop3_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

// LF line ends to the wire form.
std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
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
  bool disarmed_ = false, fired_ = false;
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

TEST(MailConnectionText, LineEndsFieldsAndAddresses) {
  const std::pair<std::string, std::string> trims[] = {
      {"", ""}, {"\n", ""}, {"x", "x"}, {"+OK 3 120\r\n", "+OK 3 120"}, {"+OK\n", "+OK"}, {"+OK\r", "+OK"},
      {"ab\r\n\r\n", "ab\r\n"}, {"a\nb", "a"},  // the character before the last is a line end
  };
  for (auto [in, out] : trims) {
    MailConnection::TrimLineEnd(in);
    EXPECT_EQ(in, out);
  }
  const struct {
    const char *text, *delimiters;
    int index, size, result;
    const char* field;
  } fields[] = {
      {"+OK 2 320", " ", 1, 512, 0, "2"},       {"+OK  1 (4711)", " ()", 2, 512, 0, "4711"},
      {"  lead", " ", 0, 512, 0, "lead"},       {"+OK", " ", 1, 512, 1, ""},
      {"+OK 123456", " ", 1, 6, 1, ""},  // 6 digits and the zero do not fit
      {"+OK 12345", " ", 1, 6, 0, "12345"},
  };
  for (const auto& f : fields) {
    std::string out;
    EXPECT_EQ(MailConnection::Field(f.text, f.delimiters, f.index, out, f.size), f.result) << f.text;
    if (f.result == 0) EXPECT_EQ(out, f.field);
  }
  EXPECT_TRUE(MailConnection::IsDottedAddress("10.1.200.3"));
  EXPECT_FALSE(MailConnection::IsDottedAddress("localhost") || MailConnection::IsDottedAddress("1.2.3.256"));
  std::string dotted = "kept";
  EXPECT_EQ(MailConnection::ResolveHost("localhost", dotted, 9), 1);  // 9 + zero > 9
  EXPECT_EQ(dotted, "kept");
  EXPECT_EQ(MailConnection::ResolveHost("jane@home@localhost", dotted), 0);
  EXPECT_EQ(dotted, "127.0.0.1");
  EXPECT_EQ(MailConnection::ResolveHost("user@no-such-host.invalid", dotted), 2);
}

TEST(Pop3ClientWithoutServer, QuitAndCommandsOnAFreshObjectDoNoHarm) {
  Pop3Client client(static_cast<std::uint16_t>(ClosedLoopbackPort()));
  EXPECT_EQ(client.Quit() + client.ResetAndQuit(), 0);
  int count = -1;
  long size = -1;
  EXPECT_EQ(client.Stat(count), 1);
  EXPECT_EQ(client.List(1, size), 1);
  EXPECT_EQ(client.Retr(1), 1);
  EXPECT_EQ(client.Dele(1), 1);
  EXPECT_EQ(client.Uidl("x"), 1);
  EXPECT_EQ(client.UidOf(1), "");
  EXPECT_EQ(client.Login("127.0.0.1", "user", "secret"), 2);
  EXPECT_EQ(client.Login("user@no-such-host.invalid", "user", "secret"), 1);
}

// --- the scripted server -----------------------------------------------------------------

const std::string kShortMessage =
    "From: a@example.org\nSubject: one\n\nfirst line\n.starts with a dot\n..two dots\n.\nlast\n";

class ScriptedPop3Test : public ::testing::Test {
 protected:
  bool Open(const std::string& mode, std::vector<std::string> messages) {
    server = std::make_unique<test::ScriptedPop3Server>(mode, std::move(messages));
    std::string error;
    if (!server->Start(&error)) {
      ADD_FAILURE() << error;
      return false;
    }
    client = std::make_unique<Pop3Client>(static_cast<std::uint16_t>(server->Port()));
    return true;
  }
  int Login() { return client->Login("127.0.0.1", "user", "secret"); }
  std::unique_ptr<test::ScriptedPop3Server> server;
  std::unique_ptr<Pop3Client> client;
  test::TempDir dir;
  RecordingProgress progress;
};

TEST_F(ScriptedPop3Test, ReadLineTakesOneLineInPiecesAndSendFileStreamsChunks) {
  ASSERT_TRUE(Open("normal", {}));
  struct Counting : MailConnection {
    std::vector<long> totals;
    long stopAt = -1;
    bool ProgressHook(long total) override {
      totals.push_back(total);
      return total != stopAt;
    }
  } c;
  ASSERT_EQ(c.Connect(static_cast<std::uint16_t>(server->Port()), "127.0.0.1"), 0);
  EXPECT_EQ(c.Connect(static_cast<std::uint16_t>(server->Port()), "127.0.0.1"), 1);
  // "+OK scripted POP3 server ready\r\n" through a buffer with 9 usable bytes.
  char buffer[10];
  std::vector<std::string> pieces;
  for (int i = 0; i < 4; ++i) {
    const int n = c.ReadLine(buffer, sizeof buffer, 5);
    pieces.emplace_back(buffer, static_cast<size_t>(n));
  }
  EXPECT_EQ(pieces, (std::vector<std::string>{"+OK scrip", "ted POP3 ", "server re", "ady\r\n"}));
  EXPECT_FALSE(c.HasPendingData());
  // Two commands at once: the replies come back one line per read.
  ASSERT_EQ(c.SendText("USER nobody\r\nNOOP\r\n"), 19);
  char line[64];
  EXPECT_EQ(c.ReadLine(line, sizeof line, 5), 5);
  EXPECT_STREQ(line, "+OK\r\n");
  EXPECT_EQ(c.ReadLine(line, sizeof line, 5), 20);
  EXPECT_STREQ(line, "-ERR not logged in\r\n");

  std::string lines;
  for (int i = 0; i < 7000; ++i) lines += "NOOP\r\n";  // 42 000 bytes
  test::WriteFile(dir.File("commands"), lines);
  EXPECT_EQ(c.SendFile(dir.File("missing")), 1);
  EXPECT_EQ(c.SendFile(dir.File("commands")), 0);
  EXPECT_EQ(c.totals, (std::vector<long>{32000, 42000}));
  c.SendText("STAT-END\r\n");
  ASSERT_TRUE(server->WaitForCommand("STAT-END", 5000));
  const auto commands = server->Commands();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "NOOP"), 7001);
  c.totals.clear();
  c.stopAt = 32000;
  EXPECT_EQ(c.SendFile(dir.File("commands")), 0);
  EXPECT_EQ(c.totals, (std::vector<long>{32000}));
  EXPECT_EQ(c.Close(), 0);
  EXPECT_EQ(c.Connect(static_cast<std::uint16_t>(ClosedLoopbackPort()), "127.0.0.1"), 3);
}

TEST_F(ScriptedPop3Test, CancelLeavesNoFileAndSendsNoQuitThenResetComesFirst) {
  ASSERT_TRUE(Open("normal", {kShortMessage, kShortMessage}));
  ASSERT_EQ(Login(), 0);
  ASSERT_EQ(client->Dele(1), 0);
  progress.cancelAfter = 2;
  const std::string file = dir.File("M1.new");
  EXPECT_EQ(client->RetrieveToFile(2, file, &progress), 2);
  EXPECT_FALSE(fs::exists(file));
  client->ResetAndQuit();
  ASSERT_TRUE(server->WaitForCommand("QUIT", 5000));
  auto commands = server->Commands();
  ASSERT_GE(commands.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(commands.end() - 3, commands.end()),
            (std::vector<std::string>{"RETR 2", "RSET", "QUIT"}));
}

TEST_F(ScriptedPop3Test, AbortEndsReadsThatWaitWithoutLimit) {
  std::string big;
  for (int i = 0; i < 2000; ++i) big += "line " + std::to_string(i) + " of a stalled message\n";
  ASSERT_TRUE(Open("stall-greeting", {}));
  {
    AbortAfter abort(*client, std::chrono::milliseconds(300));
    EXPECT_EQ(Login(), 3);  // the greeting never comes
  }
  EXPECT_EQ(Login(), 2) << "no new connection after an abort";
  client->ClearAbort();
  EXPECT_EQ(client->Connect(static_cast<std::uint16_t>(server->Port()), "127.0.0.1"), 0);

  ASSERT_TRUE(Open("stall-mid-message", {big}));
  ASSERT_EQ(Login(), 0);
  const std::string file = dir.File("M2.new");
  {
    AbortAfter abort(*client, std::chrono::milliseconds(500));
    EXPECT_EQ(client->RetrieveToFile(1, file, &progress), 0);
    EXPECT_TRUE(abort.Fired());
  }
  EXPECT_FALSE(fs::exists(file));
  EXPECT_GT(progress.checks, 100);  // lines did arrive before the stall
}

TEST_F(ScriptedPop3Test, LongLinesInRepliesMessagesAndUidsStayInStep) {
  // A line whose later pieces begin with "." and "..": message text, neither
  // a terminator nor stuffing. Pieces of a message line hold 8191 bytes.
  std::string dotted = std::string(8191, 'a') + ".." + std::string(8189, 'b') + ".";
  const std::string message = "Subject: long\n\n" + std::string(20000, 'x') + "\n" + dotted + "\n" + "." +
                              std::string(3000, 'y') + "\n" + std::string(1023, 'z') + "\n";
  ASSERT_TRUE(Open("long-lines", {kShortMessage, message}));
  AbortAfter guard(*client, std::chrono::seconds(30));
  ASSERT_EQ(Login(), 0);  // the 2000-byte greeting is read to its end
  EXPECT_EQ(client->LastReply(), "+OK Logged in.");
  long size = 0;
  EXPECT_EQ(client->List(2, size), 0);
  EXPECT_EQ(size, static_cast<long>(Crlf(message).size()));
  const std::string uid2 = "uid-2-" + std::string(3000, 'x');
  EXPECT_EQ(client->Uidl(uid2), 3);
  EXPECT_EQ(client->UidOf(1), "uid-1-" + std::string(3000, 'x'));
  EXPECT_EQ(client->UidOf(2), uid2);
  EXPECT_EQ(client->RetrieveToFile(2, dir.File("M4.new"), &progress), 1);
  EXPECT_EQ(test::ReadFile(dir.File("M4.new")), Crlf(message) + ".");
  int count = 0;
  EXPECT_EQ(client->Stat(count), 0);  // still in step afterwards
  EXPECT_EQ(count, 2);
  EXPECT_FALSE(guard.Fired() || client->OutOfStep());
}

TEST_F(ScriptedPop3Test, UidlListingsOfEveryShape) {
  const std::string m = kShortMessage;
  const struct {
    const char* mode;
    const char* lastId;
    int first;
    size_t ids;
  } cases[] = {
      {"normal", "uid-3", 4, 3},    // the last one is current: one past the count
      {"odd-uidl", "uid-2", 3, 3},  // tabs and runs of blanks around the id
      {"short-uidl", "uid-1", 2, 1},
      {"no-uidl", "uid-1", 1, 0},   // refused: from the first message
      {"trickle", "uid-1", 2, 3},   // every CR apart from its LF
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(Open(c.mode, {m, m, m}));
    AbortAfter guard(*client, std::chrono::seconds(20));
    ASSERT_EQ(Login(), 0) << c.mode;
    EXPECT_EQ(client->Uidl(c.lastId), c.first) << c.mode;
    EXPECT_EQ(client->UidCount(), c.ids) << c.mode;
    EXPECT_EQ(client->UidOf(1), c.ids ? "uid-1" : "") << c.mode;
    EXPECT_EQ(client->UidOf(static_cast<int>(c.ids) + 1), "") << c.mode;
    EXPECT_EQ(client->RetrieveToFile(1, dir.File("M5.new"), &progress), 1) << c.mode;
    EXPECT_EQ(test::ReadFile(dir.File("M5.new")), Crlf(m) + ".") << c.mode;
  }
}

TEST_F(ScriptedPop3Test, MessageFarLargerThanItsListSizeIsStoredWhole) {
  std::string big = "Subject: bigger than announced\n\n";
  for (int i = 0; i < 40000; ++i) big += (i % 7 == 0 ? "." : "") + std::string(40 + i % 60, 'm') + "\n";
  ASSERT_TRUE(Open("oversize", {big}));
  ASSERT_EQ(Login(), 0);
  long listed = 0;
  ASSERT_EQ(client->List(1, listed), 0);
  EXPECT_LT(listed * 2, static_cast<long>(Crlf(big).size()));
  EXPECT_EQ(client->RetrieveToFile(1, dir.File("M7.new"), &progress), 1);
  EXPECT_EQ(test::ReadFile(dir.File("M7.new")), Crlf(big) + ".");
  ASSERT_EQ(progress.posted.size(), 1u);  // from the announced size
  EXPECT_EQ(progress.posted[0], "Downloading message 1 of 1 (" + std::to_string(listed / 1024) + " KB) ");
  EXPECT_EQ(progress.lastCheckText, progress.posted[0]);
}

TEST_F(ScriptedPop3Test, WriteFailureLeavesNoFileAndKeepsTheSessionInStep) {
  std::string big;
  for (int i = 0; i < 8000; ++i) big += std::string(70, 'w') + "\n";  // about 570 KB
  ASSERT_TRUE(Open("normal", {big}));
  // In a child process: a file-size limit makes writes past 100 KB fail, like a full disk.
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (Login() != 0) ::_exit(1);
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limited{100 * 1024, 100 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limited);
    const std::string file = dir.File("M8.new");
    if (client->RetrieveToFile(1, file, &progress) != 0) ::_exit(2);
    if (fs::exists(file)) ::_exit(3);
    int count = 0;
    ::_exit(client->Stat(count) == 0 && count == 1 ? 0 : 4);  // the rest of the message was drained
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// --- Dovecot ---------------------------------------------------------------------------------

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

TEST_F(DovecotPop3Test, StatListUidlAndDotLines) {
  const std::string second = "Subject: 2\n\ntwo two\n";
  server_->AddMessage("alice", kShortMessage);
  server_->AddMessage("alice", second);
  server_->AddMessage("alice", "Subject: 3\n\nthree\n");
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
  EXPECT_NE(id1, client->UidOf(2));
  EXPECT_EQ(client->Uidl(id3), 4);  // the last one is current: nothing new
  EXPECT_EQ(client->Uidl(id1), 2);
  EXPECT_EQ(client->RetrieveToFile(1, dir.File("M1.new"), &progress), 1);
  EXPECT_EQ(test::ReadFile(dir.File("M1.new")), Crlf(kShortMessage) + ".");
  EXPECT_TRUE(progress.posted.empty());  // small messages post no size
  EXPECT_EQ(progress.lastCheckText, "Downloading message 1 of 1 (0 KB) ");
  client->Quit();

  server_->ClearMailbox("alice");  // the last downloaded message is gone: start over at 1
  server_->AddMessage("alice", "Subject: 3\n\nthree\n");
  ASSERT_EQ(Login(*client), 0);
  EXPECT_EQ(client->Uidl(id3), 1);
  client->Quit();
}

TEST_F(DovecotPop3Test, SeveralMegabytesAreStoredByteExact) {
  std::string big = "Subject: big\n\n";
  for (int i = 0; big.size() < 3000000; ++i) {
    big += (i % 11 == 0 ? ".." : "") + std::to_string(i) + std::string(i % 150, 'q') + "\n";
    if (i % 5000 == 0) big += std::string(12000, 'L') + "\n";
  }
  big += std::string(3200000 - Crlf(big).size() - 2, 'p') + "\n";  // 3 200 000 bytes on the wire: 3.1 MB
  server_->AddMessage("alice", big);
  ASSERT_EQ(Login(*client), 0);
  AbortAfter guard(*client, std::chrono::seconds(60));
  EXPECT_EQ(client->RetrieveToFile(1, dir.File("M2.new"), &progress), 1);
  EXPECT_TRUE(test::ReadFile(dir.File("M2.new")) == Crlf(big) + ".");
  EXPECT_EQ(progress.posted, (std::vector<std::string>{"Downloading message 1 of 1 (3.1 MB) "}));
  client->Quit();
}

TEST_F(DovecotPop3Test, DeleteIsCommittedByQuitAndUndoneByResetOrCancel) {
  server_->AddMessage("alice", "Subject: a\n\na\n");
  server_->AddMessage("alice", "Subject: b\n\nb\n");
  ASSERT_EQ(Login(*client), 0);
  EXPECT_EQ(client->Dele(1), 0);
  EXPECT_EQ(client->Dele(1), 3);  // already marked
  client->ResetAndQuit();
  ASSERT_EQ(Login(*client), 0);
  ASSERT_EQ(client->Dele(1), 0);
  progress.cancelAfter = 1;  // a cancelled download after a DELE
  EXPECT_EQ(client->RetrieveToFile(2, dir.File("M3.new"), &progress), 2);
  EXPECT_FALSE(fs::exists(dir.File("M3.new")));
  client->ResetAndQuit();
  EXPECT_EQ(server_->MessageCount("alice"), 2u);

  ASSERT_EQ(Login(*client), 0);
  EXPECT_EQ(client->Dele(1), 0);
  EXPECT_EQ(client->Quit(), 0);
  EXPECT_EQ(server_->MessageCount("alice"), 1u);
  ASSERT_EQ(Login(*client), 0);
  EXPECT_EQ(client->RetrieveToFile(1, dir.File("M4.new"), nullptr), 1);
  EXPECT_EQ(test::ReadFile(dir.File("M4.new")), Crlf("Subject: b\n\nb\n") + ".");
  client->Quit();
}

}  // namespace
}  // namespace vyr
