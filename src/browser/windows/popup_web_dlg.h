#pragma once
// CPopupWebDlg: a window of its own for a page that opens a new window, for
// the "popupwnd" command link and for the related-pages window. A smaller
// frame of the main window's family: a button strip, an address box, the
// pane and a status bar. Popups open in a cascade across the display.
//
// When the user asked to be warned ([misc] warn_on_popup), the question is
// asked from a posted event: the page gets its window object at once, the
// window stays hidden until the answer, and a declined window is never
// shown and closes itself at its page's first load event or after a short
// time.
#include <functional>
#include <string>

#include <wx/timer.h>

#include "browser/windows/vyr_browser_dlg.h"

class CPopupWebDlg : public CVyrBrowserDlg {
 public:
  // Each popup belongs to the family of the frame that opened it and shares
  // its services (policy, filter, the main window's state).
  // A page's new window: the pane the page's window opens in, made at once;
  // the window shows itself (or asks first) from a posted event.
  static CBrowserWnd* CreateForPage(vyr::Application& app, const FrameServicesPtr& frame);
  // A popup shown and navigated to the address ("popupwnd", the shell).
  static CPopupWebDlg* OpenPopup(vyr::Application& app, const FrameServicesPtr& frame, const std::string& address);
  // The related-pages window: w x h beside the main window, without the
  // address box and buttons.
  static CPopupWebDlg* OpenBeside(vyr::Application& app, const FrameServicesPtr& frame, const std::string& address,
                                  int width, int height);

  // Every open popup window, and whether one other than `except` is shown.
  static const std::vector<CPopupWebDlg*>& All();
  static bool AnyVisibleExcept(const CPopupWebDlg* except);
  // Re-reads the scheme's art in every popup.
  static void ApplyArtToAll();

  bool Declined() const { return declined_; }
  // Shown only once the user allowed it (or was not asked), never declined.
  bool MayShow() const override { return !declined_ && answered_; }

  // --- notifications -----------------------------------------------------------
  void BeforeNavigate(const std::string& url, bool topLevel, bool& cancel) override;
  void DownloadBegin() override;
  void DownloadComplete() override;
  void TitleChange(const std::string& title) override;

 protected:
  void PlaceParts(int width, int height) override;
  bool OnFrameCommand(int command) override;

 private:
  CPopupWebDlg(vyr::Application& app, const FrameServicesPtr& frame, bool fullFrame);
  ~CPopupWebDlg() override;

  // Cascade placement on the display; shows the window unless declined.
  void PlaceInCascade();
  // The warn-on-popup question (posted after creation).
  void Ask();
  // A declined window's page moved: it ends itself (posted).
  void EndDeclined();
  void OnCloseWindow(wxCloseEvent& event);

  bool fullFrame_;
  bool showWhenPlaced_ = true;
  bool declined_ = false;
  bool answered_ = true;     // false while the question is pending
  bool pageActive_ = false;  // a load event came before the answer
  bool ending_ = false;
  wxTimer declinedTimeout_;
};
