// The dial-up connection manager against a mocked NetworkManager on a private bus.
#include <gtest/gtest.h>

#include "net/connection_manager.h"
#include "platform/network_manager.h"
#include "platform/network_route.h"
#include "tools/network_manager_mock.h"

namespace vyr::net {
namespace {

using Mock = test::NetworkManagerMock;

bool PumpUntil(const std::function<bool()>& done, int ms = 5000) {
  platform::NetworkManagerClient::Pump(ms, done);
  return done();
}

TEST(ConnectionManagerPeer, WithoutTheServiceTheWindowSaysNotInstalledAndTheRouteDecides) {
  Mock bus;
  std::string error;
  ASSERT_TRUE(bus.Start(false, &error)) << error;
  test::TestApp t;
  ConnectionManager manager(t.app);
  manager.Start();
  ASSERT_TRUE(PumpUntil([&] { return manager.ServiceReady(); }));
  manager.Refresh();
  EXPECT_FALSE(manager.ServiceAvailable());
  EXPECT_EQ(manager.StatusText(), "Dialup Networking not installed");
  EXPECT_TRUE(manager.Entries().empty());
  // No entry could be read: dial-up management is not turned on by that.
  EXPECT_EQ(t.app.GetInt("dialup", "NoDialup", -1), -1);
  const bool route = platform::HasDefaultRoute();
  EXPECT_EQ(manager.IsOnline(), route);
  EXPECT_EQ(manager.ConnectionType(), route ? "Lan" : "Unknown");
}

TEST(ConnectionManagerPeer, DialsTheModemEntryFollowsItsStatesAndHangsUpOnlyIt) {
  Mock nm;
  std::string error;
  ASSERT_TRUE(nm.Start(true, &error)) << error;
  // A wired connection that is up, and a mobile one (gsm) with its modem.
  const std::string nmPath = Mock::kManager;
  ASSERT_NE(Mock::Mock("AddEthernetDevice", "mock_Ethernet1 eth0 100"), "");
  ASSERT_NE(Mock::Mock("AddEthernetDevice", "mock_Modem1 ttyUSB0 30"), "");
  const std::string office = Mock::AddConnection("Office", "802-3-ethernet");
  const std::string mobile = Mock::AddConnection("Mobile", "gsm");
  ASSERT_NE(Mock::Call(nmPath, "org.freedesktop.NetworkManager.ActivateConnection",
                       office + " " + nmPath + "/Devices/mock_Ethernet1 /")
                .find("ActiveConnection/0"),
            std::string::npos);

  test::TestApp t;
  t.app.WriteInt("dialup", "NoDialup", 0);  // the window manages dial-up
  ConnectionManager manager(t.app);
  manager.Start();
  ASSERT_TRUE(PumpUntil([&] { return manager.ServiceReady(); }));
  ASSERT_TRUE(manager.ServiceAvailable());
  manager.Refresh();
  ASSERT_TRUE(PumpUntil([&] { return manager.EntriesRead(); }));
  ASSERT_EQ(manager.Entries().size(), 1u);
  EXPECT_EQ(manager.Entries()[0].id, "Mobile");
  EXPECT_EQ(manager.StatusText(), "Not Connected");
  EXPECT_FALSE(manager.ConnectedOrDialling());

  // The global state decides whether the program is online.
  for (const auto& [state, online] : {std::pair{70, true}, {40, false}, {60, false}, {70, true}}) {
    Mock::Mock("SetGlobalConnectionState", std::to_string(state));
    EXPECT_TRUE(PumpUntil([&] { return manager.IsOnline() == online; })) << "global state " << state;
  }

  // Connect, then walk the connection through a dial's states.
  manager.Connect(0);
  EXPECT_EQ(manager.StatusText(), "Opening Port");
  EXPECT_FALSE(manager.IsOnline()) << "dialling";
  ASSERT_TRUE(PumpUntil([&] { return manager.StatusText() == "Connected to Mobile"; })) << manager.StatusText();
  EXPECT_EQ(manager.Activity(), 3);
  EXPECT_TRUE(manager.ConnectedOrDialling());
  EXPECT_EQ(t.app.GetString("dialup", "lastdialup"), "Mobile");
  const std::string active = nmPath + "/ActiveConnection/1", modem = nmPath + "/Devices/mock_Modem1";
  const std::string activeIface = "org.freedesktop.NetworkManager.Connection.Active";
  const std::string deviceIface = "org.freedesktop.NetworkManager.Device";
  ASSERT_NE(Mock::Mock("SetProperty", active + " " + activeIface + " Devices \"<[objectpath '" + modem + "']>\""), "");
  const struct {
    std::string path, interface;
    unsigned state;
    std::string text;
    int activity;
  } steps[] = {
      {active, activeIface, 1, "Opening Port", 1},          {modem, deviceIface, 50, "Dialing Mobile", 1},
      {modem, deviceIface, 60, "Logging on to Mobile", 2}, {modem, deviceIface, 70, "Authenticated", 2},
      {active, activeIface, 2, "Connected to Mobile", 3},
  };
  for (const auto& step : steps) {
    Mock::Mock("SetProperty", step.path + " " + step.interface + " State \"<uint32 " + std::to_string(step.state) + ">\"");
    EXPECT_TRUE(PumpUntil([&] { return manager.StatusText() == step.text; })) << step.text << " / " << manager.StatusText();
    EXPECT_EQ(manager.Activity(), step.activity) << step.text;
  }

  // Hang up ends only the mobile connection; a second one ends nothing.
  manager.HangUp();
  EXPECT_EQ(manager.StatusText(), "Disconnecting");
  ASSERT_TRUE(PumpUntil([&] { return manager.StatusText() == "Disconnected"; })) << manager.StatusText();
  EXPECT_FALSE(manager.ConnectedOrDialling());
  EXPECT_TRUE(PumpUntil([&] { return manager.IsOnline(); })) << "the hang-up is over";
  manager.HangUp();
  platform::NetworkManagerClient::Pump(300);
  const std::string left = Mock::ActiveConnections();
  EXPECT_NE(left.find("ActiveConnection/0"), std::string::npos) << left;
  EXPECT_EQ(left.find("ActiveConnection/1"), std::string::npos) << left;

  // A connection that ends for a reason shows it.
  manager.Connect(0);
  ASSERT_TRUE(PumpUntil([&] { return manager.StatusText() == "Connected to Mobile"; }));
  Mock::Call(active, "org.freedesktop.DBus.Mock.EmitSignal",
             activeIface + " StateChanged uu \"[<uint32 4>, <uint32 10>]\"");
  EXPECT_TRUE(PumpUntil([&] { return manager.StatusText() == "Connection failed: the log-in was refused"; }))
      << manager.StatusText();
  EXPECT_EQ(manager.Activity(), 0);

  // A dial that cannot start (its profile is gone) leaves nothing under way.
  manager.HangUp();
  ASSERT_TRUE(PumpUntil([&] { return !manager.ConnectedOrDialling(); }));
  Mock::Call(mobile, "org.freedesktop.NetworkManager.Settings.Connection.Delete", "");
  manager.Connect(0);
  EXPECT_TRUE(PumpUntil([&] { return !manager.Dialling(); }));
  EXPECT_EQ(manager.StatusText().rfind("Connection failed: ", 0), 0u) << manager.StatusText();
  EXPECT_TRUE(PumpUntil([&] { return manager.IsOnline(); }, 6000));

  // Work Offline holds until the next Connect.
  manager.WorkOffline();
  EXPECT_FALSE(manager.IsOnline());
  EXPECT_FALSE(IsOnline());  // the program-wide gate, without a main window's manager
  manager.Connect(0);
  EXPECT_FALSE(manager.Offline());

  // At most 30 dial-up entries are listed, in the service's order.
  for (int i = 0; i < 31; ++i) Mock::AddConnection("Dial " + std::to_string(i), "pppoe");
  manager.Refresh();
  EXPECT_TRUE(PumpUntil([&] { return manager.Entries().size() == 30; })) << manager.Entries().size();
  EXPECT_EQ(manager.Entries().front().id, "Dial 0");
}

}  // namespace
}  // namespace vyr::net
