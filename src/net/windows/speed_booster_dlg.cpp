#include "net/windows/speed_booster_dlg.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "base/application.h"
#include "platform/string_table.h"
#include "platform/tcp_settings.h"
#include "platform/text.h"
#include "ui/windows/colored_dlg.h"

namespace {

using vyr::platform::TextId;

constexpr TextId kNotAvailable{38052};
constexpr TextId kTitle{42400};
constexpr TextId kIntro{42401};
constexpr TextId kMtuHeading{42402};
constexpr TextId kMtuLine{42403};  // "%s: %s bytes"
constexpr TextId kTtlLine{42404};
constexpr TextId kTcpBufferLine{42405};
constexpr TextId kSocketBufferLine{42406};
constexpr TextId kUnreadable{42407};

// The text with each "%s" replaced by the next value in turn.
wxString Fill(TextId id, std::initializer_list<std::string_view> values) {
  return wxString::FromUTF8(vyr::platform::FillPlaceholders(id.Text(), values).c_str());
}

std::string OrUnreadable(const std::string& value) { return value.empty() ? kUnreadable.Text() : value; }

}  // namespace

void RunSpeedBoosterDialog(wxWindow* parent, vyr::Application& app) {
  const vyr::platform::TcpSettings settings = vyr::platform::ReadTcpSettings();
  CColoredDlg dlg(parent, wxString::FromUTF8(kTitle.Text().c_str()));
  wxPanel* panel = dlg.ContentPanel();
  const int width = dlg.FromDIP(380);
  auto* all = new wxBoxSizer(wxVERTICAL);
  auto line = [&](const wxString& text, const char* name, int indent = 0) {
    auto* label = new wxStaticText(panel, wxID_ANY, text);
    label->Wrap(width - indent);
    label->SetName(name);
    if (indent) {
      all->AddSpacer(3);
      all->Add(label, 0, wxLEFT | wxRIGHT, 12 + indent);
    } else {
      all->Add(label, 0, wxLEFT | wxRIGHT | wxTOP, 12);
    }
    return label;
  };
  line(wxString::FromUTF8(kIntro.Text().c_str()), "Intro");
  line(wxString::FromUTF8(kMtuHeading.Text().c_str()), "MtuHeading");
  if (settings.interfaces.empty()) line(wxString::FromUTF8(kUnreadable.Text().c_str()), "Mtu", 12);
  for (const auto& interface : settings.interfaces)
    line(Fill(kMtuLine, {interface.name, OrUnreadable(interface.mtu)}), "Mtu", 12);
  line(Fill(kTtlLine, {OrUnreadable(settings.defaultTtl)}), "Ttl");
  line(Fill(kTcpBufferLine, {OrUnreadable(settings.tcpReceiveBuffer)}), "TcpReceiveBuffer");
  line(Fill(kSocketBufferLine, {OrUnreadable(settings.socketReceiveBuffer)}), "SocketReceiveBuffer");
  all->Add(dlg.OkCancelRow(), 0, wxALIGN_RIGHT | wxALL, 12);
  panel->SetSizer(all);
  dlg.FinishLayout();
  // Nothing here can be changed: OK says so, and nothing is written.
  if (dlg.ShowModal() == wxID_OK) app.Messages().Information(kNotAvailable.Text());
}
