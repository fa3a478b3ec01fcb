#pragma once
// CDuplicateChannelDlg: "A Channel Already Exists With This Name". Asked for
// each imported channel whose name the user's channels hold already: four
// actions (replace, rename, merge, skip), "Apply to All" when the import
// holds more than one duplicate, OK or Cancel (which abandons the import).
#include <array>
#include <functional>
#include <string>

#include "channels/channel_merge.h"
#include "ui/windows/colored_dlg.h"

class wxCheckBox;
class wxRadioButton;

class CDuplicateChannelDlg : public CColoredDlg {
 public:
  CDuplicateChannelDlg(wxWindow* parent, const std::string& channelName, bool offerApplyToAll);

  // Shows the dialog modally and gives the user's answer.
  vyr::DuplicateChoice Run();

  // Called on the dialog's own event loop once it is up, while it waits for
  // the answer (test programs answer it through this).
  static void SetShownHook(std::function<void(CDuplicateChannelDlg&)> hook);

  // The controls, by their names "replace", "rename", "merge", "skip",
  // "applytoall" (none when not offered).
  void Choose(vyr::DuplicateAction action);
  vyr::DuplicateAction Chosen() const;
  wxCheckBox* ApplyToAll() const { return applyToAll_; }

 private:
  std::array<wxRadioButton*, 4> actions_{};
  wxCheckBox* applyToAll_ = nullptr;
};

// Asks through the dialog over parent, once per duplicate.
vyr::DuplicateChooser DuplicateChannelDialogChooser(wxWindow* parent);
