// Commands pushed by the home server, run through the dispatcher into the
// session objects behind the application's services: the tracked addresses
// and the usage counters. (Where packages may come from: the dispatcher's
// table in command_dispatcher_test.cpp and tests/net/software_update_test.cpp.)
#include "app/application_services.h"

#include <gtest/gtest.h>

#include "app/command_dispatcher.h"
#include "app/command_recorder.h"
#include "net/server_session.h"
#include "net/software_update.h"
#include "tools/recording_window.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

TEST(ApplicationServicesTest, PushedCommandsReachTheSession) {
  test::TestApp t;
  t.app.WriteString("misc", "PS", "http://127.0.0.1:1/s.dll");  // nobody listens: pings fail quietly
  UsageCounters counters;
  TrackedUrlTable tracked;
  test::NoTimers timers;
  net::ServerSession session(t.app, counters, tracked, timers, {}, platform::SystemInfo{}, 0);
  net::SoftwareUpdate updates(t.app);
  ApplicationServices services(t.app, updates);
  services.AttachSession(&session);
  CommandRecorder shell;
  CommandDispatcher dispatcher(t.app, shell, services);
  counters.CountUsage("PV", 3);

  dispatcher.RunCommand("trackurls 7 http://news* 8 mail");
  dispatcher.RunCommand("ack PV=2&URL=7+1+0");
  // Two visits of a tracked address through the filter, one acknowledged.
  const NavigationVerdict typed{Trust::Full, true, kTakesEverything};
  EXPECT_FALSE(dispatcher.HandleSpecialUrl("http://news.example/today/", typed));
  EXPECT_FALSE(dispatcher.HandleSpecialUrl("http://NEWS.example/", typed));
  dispatcher.RunCommand("ack URL=7+1+0");  // blanks would end the argument
  EXPECT_EQ(tracked.TriplesText(), "7 1 0 ");
  EXPECT_EQ(services.UsageCountersText(), "&PV=1");
  EXPECT_TRUE(shell.calls.empty()) << shell.calls.front();
}

}  // namespace
}  // namespace vyr
