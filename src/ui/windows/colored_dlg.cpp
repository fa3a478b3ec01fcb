#include "ui/windows/colored_dlg.h"

#include <wx/sizer.h>

#include "ui/windows/scheme_art.h"

struct CColoredDlg::Frame {
  std::shared_ptr<const CSchemeArt> art;
  wxPanel* content = nullptr;
  bool fancy = false;
  bool active = true;
  int captionHeight = 0;
};

CColoredDlg::CColoredDlg(wxWindow* parent, const wxString& title, bool resizable, long extraStyle)
    : wxDialog(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | (resizable ? wxRESIZE_BORDER : 0) | extraStyle),
      frame_(std::make_unique<Frame>()) {
  frame_->art = CSchemeArt::Current();
  frame_->content = new wxPanel(this, wxID_ANY);
  frame_->content->SetBackgroundColour(frame_->art->Colour(vyr::SchemeColour::ToolBarBack));
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(frame_->content, 1, wxEXPAND);
  SetSizer(sizer);
}

CColoredDlg::~CColoredDlg() = default;

wxPanel* CColoredDlg::ContentPanel() const { return frame_->content; }

void CColoredDlg::FinishLayout() {
  GetSizer()->SetSizeHints(this);
  CentreOnParent();
}

bool CColoredDlg::IsFancy() const { return frame_->fancy; }

const std::shared_ptr<const CSchemeArt>& CColoredDlg::Art() const { return frame_->art; }

int CColoredDlg::CaptionHeight() const { return frame_->captionHeight; }

bool CColoredDlg::CaptionActive() const { return frame_->active; }
