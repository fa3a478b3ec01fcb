// The session against a home server started by the test: tests/fixtures/
// home_server.py (Python's http.server on a loopback port) answers each
// request with a configured reply and records the query strings it got.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "app/installation_id.h"
#include "net/server_session.h"
#include "platform/file_system.h"
#include "platform/tick_count.h"
#include "tools/test_support.h"

extern char** environ;

namespace vyr::net {
namespace {

// Starts the fixture with the given replies; stops it at the end.
class HomeServer {
 public:
  explicit HomeServer(std::vector<std::string> args) {
    args.insert(args.begin(), {"/usr/bin/python3", std::string(VYRELLE_TEST_FIXTURES_DIR) + "/home_server.py",
                               dir_.File("port"), Log()});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
  }
  ~HomeServer() {
    if (pid_ > 0) ::kill(pid_, SIGTERM), ::waitpid(pid_, nullptr, 0);
  }
  // Waits for the port file; false (with python3 named) when the server died.
  bool Started() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (pid_ > 0 && !platform::FileExists(dir_.File("port"))) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_ || std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return pid_ > 0;
  }
  std::string Script() const { return "http://127.0.0.1:" + test::ReadFile(dir_.File("port")) + "/s.dll"; }
  std::string Log() const { return dir_.File("queries.log"); }

 private:
  test::TempDir dir_;
  pid_t pid_ = -1;
};

struct CommandRecorder : platform::MessageTarget {
  void OnWindowMessage(const platform::WindowMessage& m) override {
    if (m.message == kServerCommandMessage && m.text) commands.push_back(*m.text);
  }
  // Delivers posted messages until `count` commands arrived (or 10 s passed).
  bool WaitFor(size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (commands.size() < count && std::chrono::steady_clock::now() < deadline) {
      platform::WindowMessages::Instance().WaitAndDispatch(std::chrono::milliseconds(100));
    }
    return commands.size() == count;
  }
  std::vector<std::string> commands;
};

TEST(ServerSessionPeer, RequestsReachTheServerAndReplyCommandsTheMainWindow) {
  HomeServer server({"Login=PONG#showmail#", "Ping=LONG:pong#ack &S=1#pinginterval 5#", "Logout=OK#never#"});
  ASSERT_TRUE(server.Started()) << "the home server needs /usr/bin/python3 (Debian package python3)";

  test::TestApp t;
  t.app.Registry().SetValue(platform::RegistryRoot::ClassesRoot, InstallationKeyPath(), "",
                            "00112233445566778899AABBCCDDEEFF");
  t.app.InitInstallationId();
  t.app.WriteString("misc", "PS", server.Script());
  CommandRecorder recorder;
  const platform::WindowHandle window = platform::WindowMessages::Instance().Register(&recorder);
  bool canonical = false;
  UsageCounters counters;
  TrackedUrlTable tracked;
  struct : WindowTimers {
    void SetTimer(unsigned, unsigned) override {}
    void KillTimer(unsigned) override {}
  } timers;
  const platform::SystemInfo system{3600, {10, 6, 1, 0}};
  ServerSession session(t.app, counters, tracked, timers, {[&] { return window; }, [&] { return canonical; }, {}},
                        system, platform::GetTickCount());
  counters.CountUsage("S", 2);
  tracked.TrackUrls("4 a");
  tracked.RecordVisit("a", false);

  session.SendLogin();
  ASSERT_TRUE(recorder.WaitFor(1));
  // The reply is longer than the buffer: what lies past it never arrives.
  session.SendSessionEvent("PING");
  ASSERT_TRUE(recorder.WaitFor(3));
  canonical = true;
  session.SendSessionEvent("Ping");
  ASSERT_TRUE(recorder.WaitFor(5));
  session.Logout();
  EXPECT_TRUE(session.WaitForRequests(0));
  platform::WindowMessages::Instance().DispatchPending();
  platform::WindowMessages::Instance().Unregister(window);

  EXPECT_EQ(recorder.commands, (std::vector<std::string>{"showmail", "ack &S=1", "pinginterval 5",
                                                         "ack &S=1", "pinginterval 5"}));
  const std::string user = "&U=00112233445566778899AABBCCDDEEFF&B=Default";
  const std::string log = test::ReadFile(server.Log());
  const std::string login = "Login" + user + "&TZ=1&CD=2&SW=0&SH=0&OS=10.6.1.0&BV=0.0.0.0&SV=0.0.0.0&NV=";
  ASSERT_EQ(log.rfind(login, 0), 0u) << log;
  EXPECT_EQ(log.substr(log.find('\n') + 1), "Ping" + user + "&MO=0&S=2&URL=4+1+0+&IBA=\n"
                                            "Ping" + user + "&MO=0&S=2&URL=4%201%200%20&IBA=\n"
                                            "Logout" + user + "&MO=0\n");
}

}  // namespace
}  // namespace vyr::net
