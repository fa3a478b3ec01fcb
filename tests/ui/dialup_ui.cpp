// The dial-up window against a mock NetworkManager on a private bus, and
// the speed booster's report, under real XTest clicks. usage: dialup_ui ARTIFACTS
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/stattext.h>

#include <filesystem>
#include <map>

#include "net/connection_manager.h"
#include "net/windows/dialup_dlg.h"
#include "net/windows/speed_booster_dlg.h"
#include "tools/network_manager_mock.h"
#include "ui/windows/scheme_art.h"
#include "xtest_input.h"

namespace {

using vyr::test::Check;
namespace xt = vyr::test::xtest;
using Mock = vyr::test::NetworkManagerMock;

std::string Utf8(const wxString& s) { return std::string(s.utf8_str()); }

std::string Label(const char* name) {
  auto* control = xt::Named(name);
  return control ? Utf8(control->GetLabel()) : "";
}

std::map<std::string, std::string> Files(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      files[entry.path().string()] = std::to_string(entry.file_size()) + "@" +
                                     std::to_string(entry.last_write_time().time_since_epoch().count());
  return files;
}

std::string FirstLine(const std::string& file) {
  std::string text = vyr::test::ReadFile(file);
  return text.substr(0, text.find('\n'));
}

class DialUpTestApp : public vyr::test::ChecksApp {
  bool Prepare() override {
    if (argc != 2) return false;
    vyr::test::InitWindowTest();
    robot_.Start();
    return true;
  }

  void RunChecks() override {
    const std::string shots = argv[1].utf8_string();
    Mock nm;
    std::string error;
    if (!vyr::test::Require(nm.Start(true, &error), error)) return;
    const std::string root = Mock::kManager;
    Mock::Mock("AddEthernetDevice", "mock_Ethernet1 eth0 100");
    const std::string office = Mock::AddConnection("Office", "802-3-ethernet");
    Mock::AddConnection("Mobile", "gsm");
    Mock::Call(root, "org.freedesktop.NetworkManager.ActivateConnection",
               office + " " + root + "/Devices/mock_Ethernet1 /");

    vyr::test::TestApp t;
    t.app.WriteInt("dialup", "NoDialup", 0);
    CSchemeArt::Load(t.app);
    auto* frame = new wxFrame(nullptr, wxID_ANY, "Vyrelle", wxPoint(0, 0), wxSize(800, 600));
    frame->Show();
    vyr::net::ConnectionManager manager(t.app);
    manager.Start();
    vyr::test::PumpUntil([&] { return manager.ServiceReady(); }, 10000);

    robot_.When("Connect", [&] {
      auto* entries = xt::Named<wxChoice>("Entry");
      vyr::test::PumpUntil([&] { return entries->GetCount() == 2; }, 5000);
      Check(entries->GetCount() == 2 && Utf8(entries->GetString(0)) == "Mobile" &&
                Utf8(entries->GetString(1)) == "<New Connection>" && entries->GetSelection() == 0,
            "the mobile entry alone, then <New Connection>, the entry selected");
      Check(Label("Connection status") == "Not Connected" && Label("Connect") == "&Connect" &&
                Label("WorkOffline") == "Work &Offline",
            "not connected: Connect and Work Offline");
      vyr::test::SaveScreen(shots + "/ui_dialup.png");
      vyr::test::ClickAt(xt::Named("Connect"));
    });
    RunDialUpDialog(frame, t.app, manager);
    Check(manager.StatusText() == "Connected to Mobile" && t.app.GetString("dialup", "lastdialup") == "Mobile",
          "the click on Connect dials Mobile and the window closes once it is up");

    robot_.When("Connect", [&] {
      Check(Label("Connect") == "&Hang up" && Label("WorkOffline") == "&Cancel" &&
                Label("Connection status") == "Connected to Mobile",
            "connected: Hang up and Cancel");
      // The connected picture: the scheme's blue cell in the indicator's middle.
      const wxRect at = xt::Named("ConnectionIndicator")->GetScreenRect();
      const wxImage screen = vyr::test::SaveScreen(shots + "/ui_dialup_connected.png");
      const wxPoint middle(at.x + at.width / 2, at.y + 4 + 32);
      Check(screen.GetBlue(middle.x, middle.y) > 200 && screen.GetRed(middle.x, middle.y) < 120,
            "the indicator shows the connected picture");
      vyr::test::ClickAt(xt::Named("Connect"));
      vyr::test::PumpUntil([&] { return Label("Connection status") == "Disconnected"; }, 5000);
      const std::string left = Mock::ActiveConnections();
      Check(Label("Connection status") == "Disconnected" && Label("Connect") == "&Connect" &&
                left.find("ActiveConnection/0") != std::string::npos && left.find("ActiveConnection/1") == std::string::npos,
            "the click on Hang up ends the mobile connection alone");
      vyr::test::ClickAt(xt::Named("WorkOffline"));
    });
    RunDialUpDialog(frame, t.app, manager);
    Check(manager.Offline() && !manager.IsOnline(), "the click on Work Offline takes the program offline");

    const auto before = Files(t.home.Path());
    robot_.When("Ttl", [&] {
      bool loopback = false;
      for (wxWindow* w : xt::Named("Ttl")->GetParent()->GetChildren())
        if (w->GetName() == "Mtu" && Utf8(w->GetLabel()) == "lo: " + FirstLine("/sys/class/net/lo/mtu") + " bytes")
          loopback = true;
      Check(loopback && Label("Ttl") == "Default time-to-live (TTL) of packets sent: " +
                                            FirstLine("/proc/sys/net/ipv4/ip_default_ttl"),
            "the loopback MTU and default TTL as /sys and /proc hold them");
      vyr::test::SaveScreen(shots + "/ui_speed_booster.png");
      vyr::test::ClickAt(wxGetTopLevelParent(xt::Named("Ttl"))->FindWindow(wxID_OK));
    });
    RunSpeedBoosterDialog(frame, t.app);
    Check(vyr::test::Saw(t.boxes, "info",
                         "Sorry,  this option is not available\r\n\nfor your particular operating system\r\n\n"
                         "configuration. "),
          "OK says the option is not available");
    Check(Files(t.home.Path()) == before, "the report changes no file");
    frame->Destroy();
  }

  xt::ControlRobot robot_;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(DialUpTestApp)
