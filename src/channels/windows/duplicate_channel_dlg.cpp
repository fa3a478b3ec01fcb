#include "channels/windows/duplicate_channel_dlg.h"
#include "platform/text.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

namespace {

wxString U(const std::string& text) { return wxString::FromUTF8(text.c_str()); }

std::function<void(CDuplicateChannelDlg&)>& ShownHook() {
  static std::function<void(CDuplicateChannelDlg&)> hook;
  return hook;
}

constexpr const char* kActionNames[4] = {"replace", "rename", "merge", "skip"};

// "The Channel '%s' already exists." with the name put in as text.
std::string ExistsText(const std::string& name) {
  return vyr::platform::FillPlaceholders(vyr::kDuplicateText.Text(), {name});
}

}  // namespace

CDuplicateChannelDlg::CDuplicateChannelDlg(wxWindow* parent, const std::string& channelName,
                                           bool offerApplyToAll)
    : CColoredDlg(parent, U(vyr::kDuplicateTitle)) {
  wxPanel* panel = ContentPanel();
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  // Labels show "&" as it is (a channel name may hold one).
  auto label = [panel](const std::string& text) {
    return new wxStaticText(panel, wxID_ANY, wxControl::EscapeMnemonics(U(text)));
  };
  sizer->Add(label(ExistsText(channelName)), 0, wxLEFT | wxRIGHT | wxTOP, 10);
  sizer->Add(label(vyr::kDuplicatePrompt), 0, wxLEFT | wxRIGHT | wxTOP, 10);
  for (int i = 0; i < 4; ++i) {
    actions_[i] = new wxRadioButton(panel, wxID_ANY, U(vyr::kDuplicateActionTexts[i]), wxDefaultPosition,
                                    wxDefaultSize, i == 0 ? wxRB_GROUP : 0, wxDefaultValidator,
                                    wxString::FromUTF8(kActionNames[i]));
    // The same left edge for every choice; the toolkit's own padding
    // around the round mark lines it up with the texts above.
    sizer->AddSpacer(i == 0 ? 8 : 4);
    sizer->Add(actions_[i], 0, wxLEFT | wxRIGHT, 6);
  }
  // Renaming keeps both channels: nothing is lost by pressing OK at once.
  Choose(vyr::DuplicateAction::Rename);
  if (offerApplyToAll) {
    applyToAll_ = new wxCheckBox(panel, wxID_ANY, U(vyr::kDuplicateApplyToAll), wxDefaultPosition, wxDefaultSize,
                                 0, wxDefaultValidator, wxS("applytoall"));
    sizer->Add(applyToAll_, 0, wxLEFT | wxRIGHT | wxTOP, 10);
  }
  sizer->Add(label(vyr::kDuplicateNote), 0, wxLEFT | wxRIGHT | wxTOP, 10);

  wxButton* ok = nullptr;
  wxSizer* buttons = OkCancelRow(&ok);
  sizer->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 10);
  panel->SetSizer(sizer);
  FinishLayout();
  ok->SetFocus();
}

void CDuplicateChannelDlg::SetShownHook(std::function<void(CDuplicateChannelDlg&)> hook) {
  ShownHook() = std::move(hook);
}

void CDuplicateChannelDlg::Choose(vyr::DuplicateAction action) {
  actions_[static_cast<int>(action)]->SetValue(true);
}

vyr::DuplicateAction CDuplicateChannelDlg::Chosen() const {
  for (int i = 0; i < 4; ++i)
    if (actions_[i]->GetValue()) return static_cast<vyr::DuplicateAction>(i);
  return vyr::DuplicateAction::Skip;
}

vyr::DuplicateChoice CDuplicateChannelDlg::Run() {
  if (ShownHook()) CallAfter([this] { ShownHook()(*this); });
  vyr::DuplicateChoice choice;
  if (ShowModal() != wxID_OK) {
    choice.cancel = true;
    return choice;
  }
  choice.action = Chosen();
  choice.applyToAll = applyToAll_ && applyToAll_->GetValue();
  return choice;
}

vyr::DuplicateChooser DuplicateChannelDialogChooser(wxWindow* parent) {
  return [parent](const std::string& name, bool offerApplyToAll) {
    CDuplicateChannelDlg dialog(parent, name, offerApplyToAll);
    return dialog.Run();
  };
}
