#include "net/server_session.h"

#include <gtest/gtest.h>

#include <regex>

#include "base/installation_id.h"
#include "platform/tick_count.h"
#include "tools/test_support.h"

namespace vyr::net {
namespace {

struct RecordingTimers : WindowTimers {
  void SetTimer(unsigned id, unsigned ms) override { log += "set " + std::to_string(id) + " " + std::to_string(ms) + ";"; }
  void KillTimer(unsigned id) override { log += "kill " + std::to_string(id) + ";"; }
  std::string log;
};

TEST(PongReply, CommandsAreTheClosedSegmentsAfterPong) {
  using V = std::vector<std::string>;
  struct Case {
    std::string reply;
    std::int32_t result;  // the number the result travels as
    V commands;
  } cases[] = {
      {"PONG#showmail#", 0, {"showmail"}},
      {"pong#a#b", 0, {"a"}},
      {"OK#showmail#", -42, {}},
      {"PONGX#a#", -42, {}},
      {"PONG", 0, {}},
      {"Pong##ack &S=1#pinginterval 5#", 0, {"ack &S=1", "pinginterval 5"}},
      {std::string("PONG#a#\0b#", 10), 0, {"a"}},  // the reply is text: it ends at a zero byte
  };
  for (const Case& c : cases) {
    V commands{"old"};
    EXPECT_EQ(ResultCode(ParsePongReply(c.reply, commands)), c.result) << c.reply;
    EXPECT_EQ(commands, c.commands) << c.reply;
  }
}

TEST(RequestAddress, PlusOrCanonicalForm) {
  struct Case {
    std::string address;
    bool plus;
    const char* sent;
  } cases[] = {
      {"s?Ping&URL=1 2 0 ", true, "s?Ping&URL=1+2+0+"},
      {"s?Ping&URL=1 2 0 ", false, "s?Ping&URL=1%202%200%20"},
      {"s?a=x\r\ny", true, "s?a=x%0D%0Ay"},
      {"s?q=<1>|%41\"", false, "s?q=%3C1%3E%7C%41%22"},
      {"s?n=\xC3\xA9", false, "s?n=%C3%A9"},
  };
  for (const Case& c : cases) EXPECT_EQ(MakeRequestAddress(c.address, c.plus), c.sent);
  const std::pair<int, int> colours[] = {{2, 0}, {255, 0}, {256, 1}, {257, 1}, {258, 2}, {16777216, 2}, {16777217, 3}};
  for (auto [count, cls] : colours) EXPECT_EQ(ColourClass(count), cls) << count;
}

struct SessionFixture : ::testing::Test {
  SessionFixture() {
    t.app.Registry().SetValue(platform::RegistryRoot::ClassesRoot, InstallationKeyPath(), "",
                              "00112233445566778899AABBCCDDEEFF");
    t.app.InitInstallationId();
    // Requests go to a port nobody listens on; they fail quietly.
    t.app.WriteString("misc", "PS", "http://127.0.0.1:1/s.dll");
  }
  ServerSession Make(SessionHooks hooks = {}) {
    // UTC+5:30; 6.1.0 kernel; 1024 x 768; browser 2.40.5, shell 3.24.2.
    const platform::SystemInfo system{-19800, {10, 6, 1, 0}, 1024, 768, 1 << 24, {2, 40, 5}, {3, 24, 2}};
    return ServerSession(t.app, counters, tracked, timers, std::move(hooks), system, platform::GetTickCount());
  }
  test::TestApp t;
  UsageCounters counters;
  TrackedUrlTable tracked, ads;
  RecordingTimers timers;
};

TEST_F(SessionFixture, RequestAddresses) {
  ServerSession session = Make();
  const std::string base = "http://127.0.0.1:1/s.dll?";
  const std::string user = "&U=00112233445566778899AABBCCDDEEFF&B=Default";
  // All counters 0, no tracked address visited, no info box yet.
  EXPECT_EQ(session.PingAddress(), base + "Ping" + user + "&MO=0&IBA=");
  counters.CountUsage("S", 0);
  tracked.TrackUrls("4 a 5 b");
  ads.AddIfNew(9, "/p/box1.htm");
  ads.CountExact("/p/box1.htm", false);
  session.AttachInfoBoxAds(&ads);
  EXPECT_EQ(session.PingAddress(), base + "Ping" + user + "&MO=0&IBA=9 1 0 ");
  counters.CountUsage("PV", 3);
  tracked.RecordVisit("b", false);
  EXPECT_EQ(session.PingAddress(), base + "Ping" + user + "&MO=0&PV=3&URL=5 1 0 &IBA=9 1 0 ");
  EXPECT_EQ(session.LogoutAddress(), base + "Logout" + user + "&MO=0");

  t.app.SetColourCount(256);
  const std::string login = session.LoginAddress();
  const size_t nv = login.find("&NV=");
  EXPECT_EQ(login.substr(0, nv), base + "Login" + user +
                                     "&TZ=-5&CD=1&SW=1024&SH=768&OS=10.6.1.0&BV=2.40.5.0&SV=3.24.2.0");
  EXPECT_TRUE(std::regex_match(login.substr(nv), std::regex("&NV=[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+"))) << login;
  t.app.WriteString("misc", "PS", "");
  EXPECT_EQ(session.ServerScript(), "http://www.vyrelle.example/scripts/vyrcmd.dll");
}

TEST_F(SessionFixture, TimersAndLogin) {
  {
    // No main window: the start event sends the login, then pings every PI minutes.
    ServerSession session = Make();
    session.SetPingInterval(4);  // before the start: only the setting
    session.OnBarCreated();
    session.OnTimer(kStartTimer);
    EXPECT_TRUE(session.LoginSent());
    session.SetPingInterval(0);  // below a minute: 10
    EXPECT_EQ(t.app.GetInt("misc", "PI", -1), 0);
    session.SetPingInterval(1441);  // more than a day: a day, stored as such
    EXPECT_EQ(t.app.GetInt("misc", "PI", -1), 1440);
    session.SetPingInterval(35791);
    EXPECT_EQ(t.app.GetInt("misc", "PI", -1), 1440);
    session.SetPingInterval(1440);
    EXPECT_EQ(timers.log,
              "set 2 40000;kill 2;kill 3;set 3 240000;kill 3;set 3 600000;kill 3;set 3 86400000;"
              "kill 3;set 3 86400000;kill 3;set 3 86400000;");
    EXPECT_EQ(t.app.GetInt("misc", "PI", 10), 1440);
    // A period written by others past a day is used as a day.
    t.app.WriteInt("misc", "PI", 100000);
    session.OnTimer(kStartTimer);
    EXPECT_EQ(timers.log.substr(timers.log.size() - 29), "kill 2;kill 3;set 3 86400000;");
    EXPECT_TRUE(session.WaitForRequests(kLogoutWaitMs));
  }
  // With a main window the login goes with its first completed document.
  ServerSession session = Make({[] { return platform::WindowHandle{77}; }, [] { return true; }, {}, {}});
  EXPECT_FALSE(session.PlusForSpaces());
  session.OnTimer(kStartTimer);
  EXPECT_FALSE(session.LoginSent());
  session.OnFirstDocumentComplete();
  EXPECT_TRUE(session.LoginSent());
}

}  // namespace
}  // namespace vyr::net
