// The session against the real vyrelle-home-server; replies it never sends
// come from the fixture server.
#include <gtest/gtest.h>

#include "base/installation_id.h"
#include "net/download_worker.h"
#include "net/server_session.h"
#include "platform/tick_count.h"
#include "tools/home_server.h"
#include "tools/http_server.h"
#include "tools/recording_window.h"
#include "tools/test_support.h"

namespace vyr::net {
namespace {

TEST(ServerSessionPeer, RequestsReachTheServerAndReplyCommandsTheMainWindow) {
  test::HomeServer server;
  ASSERT_GT(server.Port(), 0) << server.Errors();

  test::TestApp t;
  const std::string id = "00112233445566778899AABBCCDDEEFF";
  t.app.Registry().SetValue(platform::RegistryRoot::ClassesRoot, InstallationKeyPath(), "", id);
  t.app.InitInstallationId();
  t.app.WriteString("misc", "HomeServer", server.Url(""));  // the script's default path
  test::RecordingWindow recorder;
  const auto commands = [&] { return recorder.Texts(kServerCommandMessage); };
  const auto waitFor = [&](size_t n) { return recorder.DispatchUntil([&] { return commands().size() >= n; }); };
  bool canonical = false;
  UsageCounters counters;
  TrackedUrlTable tracked;
  test::NoTimers timers;
  const platform::SystemInfo system{3600, {10, 6, 1, 0}};
  bool online = false;
  ServerSession session(t.app, counters, tracked, timers,
                        {[&] { return recorder.handle; }, [&] { return canonical; }, {}, [&] { return online; }},
                        system, platform::GetTickCount());
  counters.CountUsage("S", 2);
  tracked.TrackUrls("4 a");
  tracked.RecordVisit("a", false);

  // While the program works offline nothing is sent.
  session.SendLogin();
  session.SendSessionEvent("PING");
  EXPECT_TRUE(session.WaitForRequests(2000));
  EXPECT_TRUE(server.UsageLines().empty());
  online = true;

  ASSERT_TRUE(server.Queue("showmail"));
  session.SendLogin();
  ASSERT_TRUE(waitFor(1));
  // The queued command, then the ack of what the ping reported (twice: nothing lowers the counters).
  ASSERT_TRUE(server.Queue("pinginterval 5"));
  session.SendSessionEvent("PING");
  ASSERT_TRUE(waitFor(3));
  canonical = true;
  session.SendSessionEvent("Ping");
  ASSERT_TRUE(waitFor(4));
  // A logout takes no command: this one waits in the queue.
  ASSERT_TRUE(server.Queue("@" + id + " showchannelbar"));
  session.Logout();
  EXPECT_TRUE(session.WaitForRequests(0));
  platform::WindowMessages::Instance().DispatchPending();

  EXPECT_EQ(commands(), (std::vector<std::string>{"showmail", "pinginterval 5", "ack S=2&URL=4+1+0",
                                                         "ack S=2&URL=4+1+0"}));
  const std::vector<std::string> usage = server.UsageLines();
  ASSERT_EQ(usage.size(), 4u) << server.Log("usage.log");
  const std::string user = "\t" + id + "\t";
  EXPECT_EQ(usage[0].rfind("Login" + user + "-\tB=Default&TZ=1&CD=2&SW=0&SH=0&OS=10.6.1.0&BV=0.0.0.0&SV=0.0.0.0&NV=", 0),
            0u) << usage[0];
  // Blanks as "+", then as "%20" once the main window is canonical.
  EXPECT_EQ(usage[1], "Ping" + user + "0\tB=Default&S=2&URL=4+1+0+&IBA=");
  EXPECT_EQ(usage[2], "Ping" + user + "0\tB=Default&S=2&URL=4%201%200%20&IBA=");
  EXPECT_EQ(usage[3], "Logout" + user + "0\tB=Default");
  EXPECT_NE(test::ReadFile(server.File("commands/queue.txt")).find("@" + id + " showchannelbar\n"), std::string::npos);
}

// 20479 bytes count: after "PONG#" a 20473-byte command is closed and kept,
// one byte longer its "#" is cut off and it is dropped.
TEST(ServerSessionPeer, AReplyIsCutAfter20479BytesAndMustBeginWithPong) {
  const std::string kept(20473, 'k'), cut(20474, 'c');
  test::HttpServer server({"Kept=PONG#" + kept + "#", "Cut=PONG#" + cut + "#late#", "Other=OK#never#"});
  ASSERT_GT(server.Port(), 0) << "the fixture needs /usr/bin/python3 (Debian package python3)";
  test::RecordingWindow window;
  EXPECT_EQ(RunServerRequest(server.Url("/s.dll?Kept"), window.handle), DownloadResult::kOk);
  EXPECT_EQ(RunServerRequest(server.Url("/s.dll?Cut"), window.handle), DownloadResult::kOk);
  EXPECT_EQ(RunServerRequest(server.Url("/s.dll?Other"), window.handle), DownloadResult::kBadReply);
  EXPECT_EQ(RunServerRequest("http://127.0.0.1:1/s.dll?Ping", window.handle), DownloadResult::kAddressFailed);
  platform::WindowMessages::Instance().DispatchPending();
  EXPECT_EQ(window.Texts(kServerCommandMessage), std::vector<std::string>{kept});
}

}  // namespace
}  // namespace vyr::net
