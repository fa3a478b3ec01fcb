// The session against the real vyrelle-home-server on a loopback port: what
// the server logged of each request, and the commands it queued coming back
// to the main window. Replies the server never sends (too long, not PONG)
// come from tests/fixtures/http_server.py, which answers each query's first
// word with a reply of the test's choosing.
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
  // The queued command first, then the acknowledgement of what the ping
  // reported. Nothing here lowers the counters, so the next ping reports
  // them again and has them acknowledged again.
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
  // Blanks as "+" while the main window does not navigate through its
  // second interface, as "%20" once it does; the server logs them as sent.
  EXPECT_EQ(usage[1], "Ping" + user + "0\tB=Default&S=2&URL=4+1+0+&IBA=");
  EXPECT_EQ(usage[2], "Ping" + user + "0\tB=Default&S=2&URL=4%201%200%20&IBA=");
  EXPECT_EQ(usage[3], "Logout" + user + "0\tB=Default");
  EXPECT_NE(test::ReadFile(server.File("commands/queue.txt")).find("@" + id + " showchannelbar\n"), std::string::npos);
}

// A reply counts up to 20479 bytes, the buffer's last byte being its
// terminator's. "PONG#" takes 5 bytes: a command of 20473 bytes is closed by
// byte 20479 and kept; one byte longer, its "#" is byte 20480 and cut off, so
// it is an unclosed segment and dropped, like everything after it. A reply
// that does not begin with PONG runs nothing. The fixture plays a server
// that answers more than the program reads, or something else than PONG:
// vyrelle-home-server does neither.
TEST(ServerSessionPeer, AReplyIsCutAfter20479BytesAndMustBeginWithPong) {
  const std::string kept(20473, 'k'), cut(20474, 'c');
  test::HttpServer server({"Kept=PONG#" + kept + "#", "Cut=PONG#" + cut + "#late#", "Other=OK#never#"});
  ASSERT_GT(server.Port(), 0) << "the fixture needs /usr/bin/python3 (Debian package python3)";
  test::RecordingWindow window;
  EXPECT_EQ(RunServerRequest(server.Url("/s.dll?Kept"), window.handle), DownloadResult::kOk);
  EXPECT_EQ(RunServerRequest(server.Url("/s.dll?Cut"), window.handle), DownloadResult::kOk);
  EXPECT_EQ(RunServerRequest(server.Url("/s.dll?Other"), window.handle), DownloadResult::kBadReply);
  // A request that reaches no server (nobody listens on port 1 here) runs
  // nothing and is no success.
  EXPECT_EQ(RunServerRequest("http://127.0.0.1:1/s.dll?Ping", window.handle), DownloadResult::kAddressFailed);
  platform::WindowMessages::Instance().DispatchPending();
  EXPECT_EQ(window.Texts(kServerCommandMessage), std::vector<std::string>{kept});
}

}  // namespace
}  // namespace vyr::net
