// Commands pushed by the home server, run through the dispatcher into the
// objects that do the work: the tracked addresses and counters of the session,
// and the update object, which takes packages from the home server only (the
// downloads themselves are in tests/net/software_update_peer_test.cpp).
#include "app/application_services.h"

#include <gtest/gtest.h>

#include "app/command_dispatcher.h"
#include "app/command_recorder.h"
#include "base/installation_id.h"
#include "net/download_worker.h"
#include "net/server_session.h"
#include "net/software_update.h"
#include "platform/file_system.h"
#include "tools/recording_window.h"
#include "tools/test_support.h"
#include "tools/zip_builder.h"

namespace vyr {
namespace {

// The main window: hands finished package downloads to the update object.
struct MainWindow : platform::MessageTarget {
  explicit MainWindow(net::SoftwareUpdate& u) : updates(u), handle(platform::WindowMessages::Instance().Register(this)) {}
  ~MainWindow() override { platform::WindowMessages::Instance().Unregister(handle); }
  void OnWindowMessage(const platform::WindowMessage& m) override {
    if (m.message == net::kDownloadFinished) {
      updates.OnPackageDownloaded(static_cast<std::uint32_t>(m.wParam), net::DownloadResultOf(m.lParam));
      finished = true;
    }
  }
  net::SoftwareUpdate& updates;
  platform::WindowHandle handle;
  bool finished = false;
};

TEST(ApplicationServicesTest, PushedCommandsReachTheSessionAndTheUpdates) {
  test::TestApp t;
  t.app.WriteString("misc", "PS", "http://127.0.0.1:1/s.dll");  // nobody listens: pings fail quietly
  UsageCounters counters;
  TrackedUrlTable tracked;
  test::NoTimers timers;
  net::ServerSession session(t.app, counters, tracked, timers, {}, platform::SystemInfo{}, 0);
  net::SoftwareUpdate updates(t.app);
  MainWindow window(updates);
  updates.SetMainWindow(window.handle);
  ApplicationServices services(t.app, updates);
  services.AttachSession(&session);
  CommandRecorder shell;
  CommandDispatcher dispatcher(t.app, shell, services);

  test::TempDir source;
  const std::string package = source.File("ibox.zip");
  ASSERT_TRUE(test::WriteZip(package, {{"Box1.htm", "<p>one</p>"}}));
  counters.CountUsage("PV", 3);

  for (const std::string& c : {std::string("trackurls 7 http://news* 8 mail"),
                               std::string("ack PV=2&URL=7+1+0"), "ibpush 3 " + package}) {
    dispatcher.RunCommand(c);
  }

  // Two visits of a tracked address through the filter, one acknowledged.
  EXPECT_FALSE(dispatcher.HandleSpecialUrl("http://news.example/today/", vyr::NavigationVerdict{vyr::Trust::Full, true, vyr::kTakesEverything}));
  EXPECT_FALSE(dispatcher.HandleSpecialUrl("http://NEWS.example/", vyr::NavigationVerdict{vyr::Trust::Full, true, vyr::kTakesEverything}));
  dispatcher.RunCommand("ack URL=7+1+0");  // blanks would end the argument
  EXPECT_EQ(tracked.TriplesText(), "7 1 0 ");
  EXPECT_EQ(services.UsageCountersText(), "&PV=1");

  // The package named a file on this machine, not the home server: refused,
  // nothing fetched, unpacked or recorded.
  platform::WindowMessages::Instance().DispatchPending();
  EXPECT_FALSE(window.finished);
  EXPECT_EQ(t.app.GetInt("misc", "ibver", 0), 0);
  EXPECT_FALSE(platform::FileExists(t.app.GetDataDirectory("InfoBox") + "/default/Dir1/Box1.htm"));
  EXPECT_TRUE(shell.calls.empty()) << shell.calls.front();
}

}  // namespace
}  // namespace vyr
