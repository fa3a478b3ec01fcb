#include "ui/windows/colored_dlg.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "platform/string_table.h"
#include "schemes/skinned_frame.h"
#include "ui/windows/scheme_art.h"

namespace {

using vyr::platform::TextId;

constexpr TextId kOkLabel{40605};
constexpr TextId kCancelLabel{40606};
constexpr TextId kYesLabel{40607};
constexpr TextId kNoLabel{40608};

}  // namespace

CColoredDlg::CColoredDlg(wxWindow* parent, const wxString& title, bool resizable, long extraStyle)
    : CSkinnedWindow<wxDialog>(parent, title, SkinnedWindowOptions{resizable, false, extraStyle}) {}

wxString CColoredDlg::StandardLabel(int id) {
  const TextId* label = id == wxID_OK       ? &kOkLabel
                        : id == wxID_CANCEL ? &kCancelLabel
                        : id == wxID_YES    ? &kYesLabel
                        : id == wxID_NO     ? &kNoLabel
                                            : nullptr;
  return label ? wxString::FromUTF8(label->Text()) : wxString();
}

wxButton* CColoredDlg::StandardButton(wxWindow* parent, int id) {
  // The English labels are the toolkit's own, which keeps its usual look
  // of these buttons.
  return new wxButton(parent, id, StandardLabel(id));
}

wxSizer* CColoredDlg::OkCancelRow(wxButton** okOut) {
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  auto* ok = StandardButton(ContentPanel(), wxID_OK);
  row->Add(ok, 0, wxRIGHT, 6);
  row->Add(StandardButton(ContentPanel(), wxID_CANCEL));
  ok->SetDefault();
  if (okOut) *okOut = ok;
  return row;
}

void CColoredDlg::FinishLayout() {
  wxPanel* content = ContentPanel();
  ColourControls(content);
  content->Layout();
  wxSize inner = content->GetBestSize();
  if (IsFancy()) {
    // Wide enough for the caption text between its margins (within reason).
    const vyr::SchemeLook::FancyCaption& margins = Art()->Look().fancy;
    int textWidth = 0, textHeight = 0;
    GetTextExtent(GetTitle(), &textWidth, &textHeight, nullptr, nullptr,
                  &Art()->Font(vyr::SchemeFont::Caption));
    const int wanted = std::clamp(margins.leftMargin, 0, 400) + std::clamp(margins.rightMargin, 0, 400) +
                       textWidth - 2 * vyr::kFrameBorder;
    inner.x = std::max(inner.x, std::min(wanted, 600));
    SetContentSize(inner);
  } else {
    GetSizer()->SetSizeHints(this);
  }
  Layout();
  CentreOnParent();
}

void CColoredDlg::ColourControls(wxWindow* parent) {
  const wxColour back = Art()->Colour(vyr::SchemeColour::ToolBarBack);
  const wxColour text = Art()->Colour(vyr::SchemeColour::ToolBarText);
  for (wxWindow* child : parent->GetChildren()) {
    // Edit fields and buttons keep the system's colours; texts, boxes,
    // check boxes, lists and panels take the scheme's.
    if (wxDynamicCast(child, wxStaticText) || wxDynamicCast(child, wxStaticBox) ||
        wxDynamicCast(child, wxCheckBox) || wxDynamicCast(child, wxRadioButton) ||
        wxDynamicCast(child, wxListBox) || wxDynamicCast(child, wxPanel)) {
      child->SetBackgroundColour(back);
      child->SetForegroundColour(text);
    }
    ColourControls(child);
  }
}
