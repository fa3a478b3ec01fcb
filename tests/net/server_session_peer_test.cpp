// The session against a home server started by the test on a loopback port:
// it answers each request with a configured reply and prints the query
// strings it got.
#include <gtest/gtest.h>

#include "app/installation_id.h"
#include "net/server_session.h"
#include "platform/tick_count.h"
#include "tools/http_server.h"
#include "tools/recording_window.h"
#include "tools/test_support.h"

namespace vyr::net {
namespace {

TEST(ServerSessionPeer, RequestsReachTheServerAndReplyCommandsTheMainWindow) {
  test::HttpServer server({"Login=PONG#showmail#", "Ping=LONG:pong#ack &S=1#pinginterval 5#", "Logout=OK#never#"});
  ASSERT_GT(server.Port(), 0) << "the home server needs /usr/bin/python3 (Debian package python3)";

  test::TestApp t;
  t.app.Registry().SetValue(platform::RegistryRoot::ClassesRoot, InstallationKeyPath(), "",
                            "00112233445566778899AABBCCDDEEFF");
  t.app.InitInstallationId();
  t.app.WriteString("misc", "PS", server.Url("/s.dll"));
  test::RecordingWindow recorder;
  const auto commands = [&] { return recorder.Texts(kServerCommandMessage); };
  const auto waitFor = [&](size_t n) { return recorder.DispatchUntil([&] { return commands().size() >= n; }); };
  bool canonical = false;
  UsageCounters counters;
  TrackedUrlTable tracked;
  test::NoTimers timers;
  const platform::SystemInfo system{3600, {10, 6, 1, 0}};
  ServerSession session(t.app, counters, tracked, timers, {[&] { return recorder.handle; }, [&] { return canonical; }, {}},
                        system, platform::GetTickCount());
  counters.CountUsage("S", 2);
  tracked.TrackUrls("4 a");
  tracked.RecordVisit("a", false);

  session.SendLogin();
  ASSERT_TRUE(waitFor(1));
  // The reply is longer than the buffer: what lies past it never arrives.
  session.SendSessionEvent("PING");
  ASSERT_TRUE(waitFor(3));
  canonical = true;
  session.SendSessionEvent("Ping");
  ASSERT_TRUE(waitFor(5));
  session.Logout();
  EXPECT_TRUE(session.WaitForRequests(0));
  platform::WindowMessages::Instance().DispatchPending();

  EXPECT_EQ(commands(), (std::vector<std::string>{"showmail", "ack &S=1", "pinginterval 5",
                                                         "ack &S=1", "pinginterval 5"}));
  const std::string user = "&U=00112233445566778899AABBCCDDEEFF&B=Default";
  const std::string login = "GET Login" + user + "&TZ=1&CD=2&SW=0&SH=0&OS=10.6.1.0&BV=0.0.0.0&SV=0.0.0.0&NV=";
  EXPECT_EQ(server.Line().rfind(login, 0), 0u);
  EXPECT_EQ(server.Line(), "GET Ping" + user + "&MO=0&S=2&URL=4+1+0+&IBA=");
  EXPECT_EQ(server.Line(), "GET Ping" + user + "&MO=0&S=2&URL=4%201%200%20&IBA=");
  EXPECT_EQ(server.Line(), "GET Logout" + user + "&MO=0");
}

// A reply counts up to 20479 bytes, the buffer's last byte being its
// terminator's. "PONG#" takes 5 bytes: a command of 20473 bytes is closed by
// byte 20479 and kept; one byte longer, its "#" is byte 20480 and cut off, so
// it is an unclosed segment and dropped, like everything after it.
TEST(ServerSessionPeer, AReplyIsCutAfter20479Bytes) {
  const std::string kept(20473, 'k'), cut(20474, 'c');
  test::HttpServer server({"Kept=PONG#" + kept + "#", "Cut=PONG#" + cut + "#late#"});
  ASSERT_GT(server.Port(), 0) << "the home server needs /usr/bin/python3 (Debian package python3)";
  test::RecordingWindow window;
  EXPECT_EQ(RunServerRequest(server.Url("/s.dll?Kept"), window.handle), 0);
  EXPECT_EQ(RunServerRequest(server.Url("/s.dll?Cut"), window.handle), 0);
  platform::WindowMessages::Instance().DispatchPending();
  EXPECT_EQ(window.Texts(kServerCommandMessage), std::vector<std::string>{kept});
}

}  // namespace
}  // namespace vyr::net
