#include "ui/windows/message_box_dlg.h"

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

namespace {
constexpr int kTextWrap = 380;
}

CMessageBoxDlg::CMessageBoxDlg(wxWindow* parent, Kind kind, const wxString& text,
                               const wxString& caption, const wxString& checkBoxText,
                               bool checked)
    : CColoredDlg(parent, caption) {
  wxPanel* panel = ContentPanel();
  const wxArtID icon = kind == Kind::Error      ? wxART_ERROR
                       : kind == Kind::Question || kind == Kind::CautiousQuestion ? wxART_QUESTION
                                                : wxART_INFORMATION;
  auto* top = new wxBoxSizer(wxHORIZONTAL);
  top->Add(new wxStaticBitmap(panel, wxID_ANY, wxArtProvider::GetBitmap(icon, wxART_MESSAGE_BOX)),
           0, wxALL, 10);
  auto* label = new wxStaticText(panel, wxID_ANY, text, wxDefaultPosition, wxDefaultSize, 0,
                                 wxS("message"));
  label->Wrap(kTextWrap);
  top->Add(label, 1, wxTOP | wxRIGHT | wxBOTTOM | wxALIGN_CENTER_VERTICAL, 10);

  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(top, 1, wxEXPAND);
  if (!checkBoxText.empty()) {
    check_ = new wxCheckBox(panel, wxID_ANY, checkBoxText, wxDefaultPosition, wxDefaultSize, 0,
                            wxDefaultValidator, wxS("checkbox"));
    check_->SetValue(checked);
    sizer->Add(check_, 0, wxLEFT | wxRIGHT | wxBOTTOM, 10);
  }
  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  if (kind == Kind::Question || kind == Kind::CautiousQuestion) {
    auto* yes = StandardButton(panel, wxID_YES);
    auto* no = StandardButton(panel, wxID_NO);
    buttons->Add(yes, 0, wxRIGHT, 8);
    buttons->Add(no);
    if (kind == Kind::CautiousQuestion) {
      no->SetDefault();
      // The focus is put on No once the box is up, so that Enter answers No.
      Bind(wxEVT_INIT_DIALOG, [this, no](wxInitDialogEvent& event) {
        event.Skip();
        CallAfter([no] { no->SetFocus(); });
      });
    } else {
      yes->SetDefault();
    }
    SetAffirmativeId(wxID_YES);
    SetEscapeId(wxID_NO);
    // Yes and No end the box with their own identifier.
    Bind(wxEVT_BUTTON, [this](wxCommandEvent& e) { EndModal(e.GetId()); }, wxID_YES);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent& e) { EndModal(e.GetId()); }, wxID_NO);
    // Closing the box (caption button, window manager) answers No.
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { EndModal(wxID_NO); });
  } else {
    auto* ok = StandardButton(panel, wxID_OK);
    buttons->Add(ok);
    ok->SetDefault();
    SetEscapeId(wxID_OK);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { EndModal(wxID_OK); });
  }
  sizer->Add(buttons, 0, wxALIGN_CENTER_HORIZONTAL | wxBOTTOM, 10);
  panel->SetSizer(sizer);
  FinishLayout();
}

bool CMessageBoxDlg::IsChecked() const { return check_ && check_->GetValue(); }
