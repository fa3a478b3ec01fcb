#pragma once
// CVyrBrowserDlg: the browser frame shared by the main window and the popup
// windows, a skinned frame (caption, borders and, on the main window, the
// skinned menu bar). Inside it the program draws from the current scheme: a
// toolbar of bitmap buttons with the logo beside it, an
// address row with the security indicator, the browser pane, and a status
// bar with its text, a progress bar and the status animation. It hears the
// browser's notifications and does what every browser frame does with them
// (status, progress, busy animation, Back/Forward state, the address row);
// the main window and the popups add their own parts.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/timer.h>

#include "browser/main_window_model.h"
#include "ui/windows/browser_wnd.h"
#include "ui/button_strip_model.h"
#include "ui/windows/skinned_window.h"

class CButtonStrip;
class CFavoritesMenu;
class CSchemeArt;
class wxComboBox;
class wxGauge;
class wxPanel;
class wxMenu;

namespace vyr {
class Application;
}

// Commands of the frame's buttons and menus. The numbers the browser's keys
// and the command links post keep their values.
enum FrameCommand : int {
  kCmdBack = 34100,
  kCmdForward,
  kCmdHome,
  kCmdSearch,
  kCmdFavorites,
  kCmdMail,
  kCmdPrint,
  kCmdMenu,
  kCmdTheNet,
  kCmdNews,
  kCmdMoney,
  kCmdLocal,
  kCmdZoom,
  kCmdHistory,
  kCmdToolbarSize,
  kCmdShowContentBar,
  kCmdHideContentBar,
  kCmdTextSize0,  // .. kCmdTextSize0 + 4
  kCmdWarnOnPopup = kCmdTextSize0 + 5,
  kCmdRelatedPages,
  kCmdSupportMail,
  kCmdCut,
  kCmdCopy,
  kCmdPaste,
  kCmdSelectAll,
  kCmdClose,
  kCmdExit,
  kCmdStartupOptions,
  kCmdEmailSettings,
  kCmdSpeedBooster,
  kCmdFind,
  kCmdFocusAddress,
  kCmdEnhancedBrowsing,
  kCmdPlaySounds,
  kCmdDialUp,
  kCmdAddFavorite,
  kCmdImportBookmarks,
  kCmdStop = 32773,
  kCmdRefresh = 32774,
  kCmdWhatsNew = 32779,
  kCmdGoNew = 32780,
  kCmdGoPeople = 32781,
  kCmdGoStocks = 32782,
};

// What the browser frames of one main window share: made by the main window
// and handed to every popup that it, or a page in one of its frames, opens.
// The main window empties the functions when it goes; popups left open then
// run nothing and count nothing.
struct BrowserFrameServices {
  vyr::NavigationPolicy policy;  // what the panes of these frames trust and may do
  // The special-address filter: answers whether the engine is to cancel the
  // navigation, running what it took. Empty: every navigation goes ahead.
  std::function<bool(const std::string& url, const vyr::NavigationVerdict& verdict)> specialAddress;
  std::function<void(int index)> countUsage;  // a usage counter of the session
  std::function<bool()> mainVisible;          // the main window is shown
  std::function<void()> endProgram;           // the last browser window went
  std::function<wxRect()> mainRect;           // where the main window is
};
using FrameServicesPtr = std::shared_ptr<BrowserFrameServices>;

class CVyrBrowserDlg : public CSkinnedFrame, public CBrowserOwner {
 public:
  // isMain: the main window (a bigger frame with the content bar and the
  // Menu button); popups have the small frame. frame: the services of the
  // main window's family (null: a frame that trusts nothing and runs
  // nothing).
  CVyrBrowserDlg(vyr::Application& app, const wxString& title, bool isMain, FrameServicesPtr frame);
  ~CVyrBrowserDlg() override;

  vyr::Application& App() const { return app_; }
  CBrowserWnd* Pane() const { return pane_; }

  // Draws with the current scheme's art from now on and lays out again.
  void ApplyArt();
  // Rebuilds the toolbar's buttons from the current state.
  void RebuildButtonStrip();
  // Places every part from the client size.
  void LayoutParts();

  // Sends a page address to this window's pane (typed text goes through
  // enhanced browsing).
  void NavigatePane(const std::string& address);

  const FrameServicesPtr& FrameServices() const { return frame_; }

  // --- notifications every frame handles ----------------------------------
  void StatusTextChange(const std::string& text) override;
  void RollOverTextChange(const std::string& text) override;
  void DownloadBegin() override;
  void DownloadComplete() override;
  void BeforeNavigate(const std::string& url, bool topLevel, bool& cancel) override;
  void CommandStateChange(int command, bool enabled) override;
  void ProgressChange(int progress, int maximum) override;
  void NavigateComplete(const std::string& url, bool topLevel) override;
  void OnToolBar(bool show) override;
  void OnMenuBar(bool show) override;
  void OnStatusBar(bool show) override;
  void OnVisible(bool visible) override;
  CBrowserWnd* CreateNewExplorerWnd() override;
  void OnBrowserCommand(int command) override;
  bool HandleSpecialUrl(const std::string& url, const vyr::NavigationVerdict& verdict) override;
  void DoSearch() override;

  // What the status bar shows (for the window tests).
  const std::string& StatusText() const { return statusText_; }
  bool Busy() const { return busy_; }
  // The toolbar (for the window tests).
  CButtonStrip* Toolbar() const { return toolbar_; }
  // Whether the window may show at all (a declined popup never shows).
  virtual bool MayShow() const { return true; }
  wxComboBox* AddressBox() const { return addressBox_; }

 protected:
  // The toolbar's entries for the current state.
  virtual std::vector<vyr::ButtonStripEntry> ToolbarEntries() const;
  // A command of a button or a menu. true when it was handled.
  virtual bool OnFrameCommand(int command);
  // Enter in the address box: the text to open (the main window first puts
  // it in the typed list).
  virtual void OnAddressEntered(const std::string& text);
  // The layout of this kind of frame into the canvas.
  virtual void PlaceParts(int width, int height);
  // The layout input of the frame every browser window shares, and placing
  // its parts (toolbar, address row, pane, status bar) from it.
  vyr::FrameLayoutInput LayoutInput(int width, int height) const;
  void PlaceFrameParts(const vyr::FrameLayoutInput& in);
  // The page shown by Home.
  virtual std::string HomeAddress() const;

  // Places a child window at a rectangle (hidden when it has no room).
  static void Place(wxWindow* window, const vyr::Rect& rect);
  void SetStatus(const std::string& text);
  // A line that stays: shown whenever the status line has nothing else to
  // show ("" ends it).
  void SetNotice(const std::string& text);
  void StartBusy();
  void StopBusy();
  // The menu of the Menu button: File, Edit, View, Go, Favorites, Tools,
  // Help. Help ends with the custom entries on the main window.
  virtual std::unique_ptr<wxMenu> BuildFullMenu();
  void ShowFullMenu();
  // The full menu's menus, one by one, for the skinned menu bar.
  std::vector<SkinnedMenu> BuildMenus();
  void FitToolbarTexts();
  void EditCommand(const char* command);

  vyr::Application& app_;
  const bool isMain_;
  FrameServicesPtr frame_;
  std::shared_ptr<const CSchemeArt> art_;  // what this window draws with
  wxPanel* canvas_ = nullptr;              // the drawn frame; parent of the parts
  CButtonStrip* toolbar_ = nullptr;
  wxComboBox* addressBox_ = nullptr;
  wxGauge* gauge_ = nullptr;
  CBrowserWnd* pane_ = nullptr;

  int toolbarSize_ = vyr::kToolbarLarge;
  bool showToolbar_ = true;
  bool showAddressBar_ = true;
  bool showStatusBar_ = true;
  vyr::FrameLayout layout_;  // the last layout, for drawing
  vyr::Rect statusRect_, animationRect_, securityRect_, logoRect_, toolbarRect_, addressRowRect_;
  std::string statusText_;
  std::string notice_;
  std::string pageUrl_;  // the pane's address, for the security indicator
  bool busy_ = false;
  int animationFrame_ = 0;
  wxTimer animation_;
  bool focusGiven_ = false;  // the page had the focus at the first showing
  std::unique_ptr<CFavoritesMenu> favoritesMenu_;  // the favorites of the menu last built

 private:
  void OnPaintCanvas(wxDC& dc);
  void DrawSecurity(wxDC& dc);
};
