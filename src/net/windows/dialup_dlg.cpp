#include "net/windows/dialup_dlg.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dcbuffer.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include "base/application.h"
#include "net/connection_manager.h"
#include "platform/process.h"
#include "platform/string_table.h"
#include "ui/windows/colored_dlg.h"
#include "ui/windows/image_list.h"
#include "ui/windows/scheme_art.h"

namespace {

using vyr::platform::TextId;

constexpr TextId kTitle{42387};
constexpr TextId kConnectButton{42388};
constexpr TextId kWorkOfflineButton{42389};
constexpr TextId kHangUpButton{42390};
constexpr TextId kCancelButton{42391};
constexpr TextId kEntryLabel{42392};
constexpr TextId kNewConnection{42393};
constexpr TextId kLetSystemManage{42394};
constexpr TextId kPasswordsNote{42395};
constexpr TextId kWorkOfflineTip{42396};
constexpr TextId kNoEditor{42397};
constexpr TextId kStatusName{42399};
// The indicator's frames follow each other this fast.
constexpr int kFrameMs = 50;

wxString Text(TextId id) { return wxString::FromUTF8(id.Text().c_str()); }

// The scheme's connection picture (grey cell while not connected, the
// other once connected) with the moving strip under it while a connection
// is being made.
class CConnectionIndicator : public wxWindow {
 public:
  CConnectionIndicator(wxWindow* parent, const CSchemeArt& art)
      : wxWindow(parent, wxID_ANY), picture_(art.Images(vyr::SchemeImages::Dialup)),
        strip_(art.Images(vyr::SchemeImages::DialupAni)), timer_(this) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    const wxSize p = picture_->CellSize(), s = strip_->CellSize();
    SetMinSize(wxSize(std::max(p.x, s.x) + 8, p.y + s.y + 12));
    // The pictures sit on a ground of their own colour (the picture's corner
    // pixel), framed like a small screen.
    if (!picture_->IsEmpty()) {
      const wxImage corner = picture_->Cell(0).ConvertToImage();
      ground_ = wxColour(corner.GetRed(0, 0), corner.GetGreen(0, 0), corner.GetBlue(0, 0));
    }
    Bind(wxEVT_PAINT, &CConnectionIndicator::OnPaint, this);
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
      frame_ = strip_->Count() > 0 ? (frame_ + 1) % strip_->Count() : 0;
      Refresh(false);
    });
  }
  void SetActivity(int activity) {
    if (activity == activity_) return;
    activity_ = activity;
    const bool moving = activity_ == 1 || activity_ == 2;
    if (moving && !timer_.IsRunning()) timer_.Start(kFrameMs);
    if (!moving) timer_.Stop();
    Refresh(false);
  }

 private:
  void OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(ground_.IsOk() ? ground_ : GetParent()->GetBackgroundColour()));
    dc.Clear();
    const wxSize size = GetClientSize(), p = picture_->CellSize(), s = strip_->CellSize();
    picture_->Draw(dc, activity_ == 3 ? 1 : 0, wxPoint((size.x - p.x) / 2, 4));
    if (activity_ == 1 || activity_ == 2) strip_->Draw(dc, frame_, wxPoint((size.x - s.x) / 2, p.y + 8));
    dc.SetPen(wxPen(GetParent()->GetForegroundColour()));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(wxRect(size));
  }

  std::shared_ptr<const CImageList> picture_, strip_;
  wxColour ground_;
  wxTimer timer_;
  int activity_ = -1;
  int frame_ = 0;
};

class CDialUpDlg : public CColoredDlg {
 public:
  CDialUpDlg(wxWindow* parent, vyr::Application& app, vyr::net::ConnectionManager& manager)
      : CColoredDlg(parent, Text(kTitle)), app_(app), manager_(manager) {
    wxPanel* panel = ContentPanel();
    indicator_ = new CConnectionIndicator(panel, *Art());
    entries_ = new wxChoice(panel, wxID_ANY);
    entries_->SetName("Entry");
    status_ = new wxStaticText(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(FromDIP(300), -1),
                               wxST_NO_AUTORESIZE);
    status_->SetName(Text(kStatusName));
    letSystem_ = new wxCheckBox(panel, wxID_ANY, Text(kLetSystemManage));
    letSystem_->SetName("NoDialup");
    letSystem_->SetValue(manager_.NoDialup());
    auto* note = new wxStaticText(panel, wxID_ANY, Text(kPasswordsNote));
    note->Wrap(FromDIP(300));
    connect_ = new wxButton(panel, wxID_ANY, Text(kConnectButton));
    offline_ = new wxButton(panel, wxID_ANY, Text(kWorkOfflineButton));
    connect_->SetName("Connect");
    offline_->SetName("WorkOffline");
    indicator_->SetName("ConnectionIndicator");

    auto* right = new wxBoxSizer(wxVERTICAL);
    auto* entryRow = new wxBoxSizer(wxHORIZONTAL);
    entryRow->Add(new wxStaticText(panel, wxID_ANY, Text(kEntryLabel)), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    entryRow->Add(entries_, 1, wxALIGN_CENTER_VERTICAL);
    right->Add(entryRow, 0, wxEXPAND | wxBOTTOM, 10);
    right->Add(status_, 0, wxEXPAND | wxBOTTOM, 10);
    right->Add(letSystem_, 0, wxBOTTOM, 6);
    right->Add(note, 0, wxBOTTOM, 6);
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(indicator_, 0, wxALL, 12);
    top->Add(right, 1, wxEXPAND | wxTOP | wxRIGHT | wxBOTTOM, 12);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(connect_, 0, wxRIGHT, 8);
    buttons->Add(offline_, 0);
    auto* all = new wxBoxSizer(wxVERTICAL);
    all->Add(top, 1, wxEXPAND);
    all->Add(buttons, 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, 12);
    panel->SetSizer(all);
    FinishLayout();

    connect_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnLeftButton(); });
    offline_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnRightButton(); });
    letSystem_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { manager_.SetNoDialup(letSystem_->GetValue()); });
    // Escape and the close box close the window like Cancel with nothing
    // under way: a connection that is up stays up.
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { EndModal(wxID_CANCEL); });

    manager_.SetObserver([this] { ShowState(); });
    manager_.Refresh();
    ShowState();
    connect_->SetDefault();
    connect_->SetFocus();
  }
  ~CDialUpDlg() override { manager_.SetObserver({}); }

 private:
  // Shows what the manager knows now: entries, status, indicator, buttons.
  void ShowState() {
    const auto& entries = manager_.Entries();
    wxArrayString names;
    for (const auto& entry : entries) names.Add(wxString::FromUTF8(entry.id.c_str()));
    names.Add(Text(kNewConnection));
    if (names != entries_->GetStrings()) {
      const wxString chosen = entries_->GetStringSelection();
      entries_->Set(names);
      // An entry the user chose stays chosen when the list is read again.
      const int keep = chosen.empty() || chosen == Text(kNewConnection) ? wxNOT_FOUND : entries_->FindString(chosen, true);
      // The entry chosen last, else the first (or "<New Connection>" alone).
      entries_->SetSelection(keep != wxNOT_FOUND ? keep : manager_.SelectedEntry());
    }
    const wxString status = wxString::FromUTF8(manager_.StatusText().c_str());
    if (status_->GetLabel() != status) status_->SetLabel(status);
    indicator_->SetActivity(manager_.Activity());
    const bool up = manager_.ConnectedOrDialling();
    connect_->SetLabel(Text(up ? kHangUpButton : kConnectButton));
    offline_->SetLabel(Text(up ? kCancelButton : kWorkOfflineButton));
    offline_->SetToolTip(up ? wxString() : Text(kWorkOfflineTip));
    entries_->Enable(!up && manager_.ServiceAvailable());
    connect_->Enable(up || manager_.ServiceAvailable());
    // The connection this window made is up: done.
    if (dialled_ && manager_.StatusState() == vyr::net::kStateConnected && IsModal()) {
      dialled_ = false;
      CallAfter([this] {
        if (IsModal()) EndModal(wxID_OK);
      });
    }
  }

  void OnLeftButton() {
    if (manager_.ConnectedOrDialling()) {
      dialled_ = false;
      manager_.HangUp();
      return;
    }
    const int chosen = entries_->GetSelection();
    if (chosen < 0) return;
    if (static_cast<size_t>(chosen) >= manager_.Entries().size()) {
      // "<New Connection>": the desktop's editor makes it; nothing is dialled.
      vyr::Application* app = &app_;
      vyr::platform::StartCommand({"nm-connection-editor", "--create"}, [app](const vyr::platform::DesktopOpenResult& r) {
        if (!r.started) app->Messages().Information(kNoEditor.Text());
      });
      return;
    }
    dialled_ = true;
    manager_.Connect(static_cast<size_t>(chosen));
  }

  void OnRightButton() {
    if (manager_.ConnectedOrDialling()) {
      // Cancel: a dial this window started stops; a connection that is up
      // stays up.
      if (manager_.Dialling()) manager_.HangUp();
      EndModal(wxID_CANCEL);
      return;
    }
    manager_.WorkOffline();
    EndModal(wxID_OK);
  }

  vyr::Application& app_;
  vyr::net::ConnectionManager& manager_;
  CConnectionIndicator* indicator_;
  wxChoice* entries_;
  wxStaticText* status_;
  wxCheckBox* letSystem_;
  wxButton* connect_;
  wxButton* offline_;
  bool dialled_ = false;
};

}  // namespace

void RunDialUpDialog(wxWindow* parent, vyr::Application& app, vyr::net::ConnectionManager& manager) {
  CDialUpDlg dialog(parent, app, manager);
  dialog.ShowModal();
}
