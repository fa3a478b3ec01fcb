#pragma once
// CVyr20Dlg: the main window. The browser frame with the full toolbar (the
// Menu button, the search partner's buttons, the extra buttons), the typed
// address list, the content bar, the tray icon and the splash timer. It owns
// the command dispatcher with the application's services, the software
// update and the server session, implements the Shell the dispatcher drives,
// and is the special-address filter of every browser frame: it answers the
// engine at once and runs what it took from a posted event.
#include <functional>
#include <map>
#include <memory>
#include <string>

#include <wx/timer.h>

#include "app/application_services.h"
#include "app/command_dispatcher.h"
#include "app/shell.h"
#include "browser/main_window_model.h"
#include "browser/windows/vyr_browser_dlg.h"
#include "channels/channel_startup.h"
#include "channels/windows/channel_bar_wnd.h"
#include "net/connection_manager.h"
#include "net/software_update.h"
#include "platform/window_messages.h"
#include "mail/windows/message_viewer_wnd.h"
#include "schemes/windows/scheme_import.h"

class wxPanel;
class CTrayIcon;

namespace vyr {
class StartupMailCheck;
}

class CVyr20Dlg : public CVyrBrowserDlg,
                  public vyr::Shell,
                  public CChannelBarOwner,
                  public CSchemeHost,
                  private vyr::platform::MessageTarget {
 public:
  explicit CVyr20Dlg(vyr::Application& app);
  ~CVyr20Dlg() override;

  // The start-up steps: user data, layout, a fixed-channel update put in
  // place, start page or the file to open, placement (the window is shown),
  // the favorites seeded, the splash timer, and a user-channel update merged
  // from a posted event.
  void Start(const std::string& fileToOpen);
  // Merges a channel file into the user's channels (duplicates asked in the
  // dialog), shows the channel bar and refills its column; the file is
  // deleted once its channels are written.
  void MergeChannels(const std::string& path);
  // The silent mail check of the start, while it exists (for the window
  // tests).
  const vyr::StartupMailCheck* StartupMail() const { return startupMail_.get(); }
  // Canonicalises the address when asked, then opens it in the pane
  // (openHere) or in a new popup window.
  void OpenAddress(const std::string& address, bool canonicalise, bool openHere);
  // Shows the window (from the tray too) and brings it to the front.
  void BringForward();
  // Called for every completed top-level document.
  void SetOnDocumentComplete(std::function<void(const std::string& url)> f) {
    onDocumentComplete_ = std::move(f);
  }
  // Closes the splash window (step 8 of the start, and timer 123).
  void SetSplashCloser(std::function<void()> close) { closeSplash_ = std::move(close); }
  // Arms timer 123: the splash window closes 2500 ms later.
  void StartSplashTimer();
  CBrowserWnd* ActivePane() { return Pane(); }

  // Ends the program: placement saved, popups and the tray icon gone, the
  // window destroyed (the event loop then ends and the shutdown runs).
  void EndForGood();
  // Opens the window of that name over this one (the screenshot mode's
  // --show: "lookandfeel", "startupoptions", ...; "viewer" shows the stored
  // message whose path is the argument); false for a name the program has
  // no window for, or a message that cannot be read.
  bool OpenNamedWindow(const std::string& name, const std::string& argument = {});

  // The window's parts others reach: the software update, the dispatcher,
  // the handle that receives posted messages.
  vyr::net::SoftwareUpdate& Updates() { return updates_; }
  vyr::CommandDispatcher& Dispatcher() { return dispatcher_; }
  vyr::platform::WindowHandle Handle() const { return handle_; }
  const vyr::TypedAddressList& TypedAddresses() const { return typed_; }
  bool ContentBarShown() const { return showContentBar_; }
  int ToolbarSize() const { return toolbarSize_; }

  // The special-address filter of every browser frame: true (the engine
  // cancels the navigation) for an address the filter took. Untrusted
  // command links, setup programs and channel files are taken without
  // running anything.
  bool GateSpecialUrl(const std::string& url, const vyr::NavigationVerdict& verdict);

  // --- notifications ------------------------------------------------------------
  void TitleChange(const std::string& title) override;
  void DocumentComplete(const std::string& url, bool topLevel) override;
  void NavigateComplete(const std::string& url, bool topLevel) override;
  void DownloadBegin() override;
  void DownloadComplete() override;

  // --- the channel bar's owner ------------------------------------------------------
  void NavigateMainBrowser(const std::string& address) override { NavigatePane(address); }
  bool SuppressNavigation() const override { return suppressNavigation_; }
  void ShowPageStrip(bool shown) override;
  bool BrowserWindowVisible() const override;
  void RunServerCommand(const std::string& command) override { dispatcher_.RunCommand(command); }
  // CChannelBarOwner: the info box's special addresses.
  bool HandleSpecialUrl(const std::string& url, const vyr::NavigationVerdict& verdict) override {
    return GateSpecialUrl(url, verdict);
  }
  CChannelBarWnd* ChannelBar() const { return bar_; }
  CButtonStrip* FolderStrip() const { return folderStrip_; }
  CButtonStrip* PageStrip() const { return pageStrip_; }

  // --- the Shell ----------------------------------------------------------------
  void PostMenuCommand(int command) override;
  void OpenSearchWindow() override;
  void OpenSearchDialog(int category) override;
  void OpenPopupWindow(const std::string& address) override;
  void NavigateChannel(const std::string& name) override;
  void RefreshArt() override;
  void RebuildButtonStrip() override { CVyrBrowserDlg::RebuildButtonStrip(); }
  void LayoutMainWindow() override;
  void OpenStartupOptions() override;
  void OpenEmailSettings() override;
  void OpenSpeedBooster() override;
  void NavigateMainWindow(const std::string& address) override;
  void PumpMessages() override;
  void RunBrowserTest() override;
  int RepaintTest() override;
  int ChannelListTest(int variant) override;
  int OpenEveryChannel() override;
  void ColorTest() override;
  int MouseTest() override;

 protected:
  std::vector<vyr::ButtonStripEntry> ToolbarEntries() const override;
  bool OnFrameCommand(int command) override;
  void OnAddressEntered(const std::string& text) override;
  void PlaceParts(int width, int height) override;
  std::string HomeAddress() const override;
  std::unique_ptr<wxMenu> BuildFullMenu() override;

 private:
  void OnWindowMessage(const vyr::platform::WindowMessage& message) override;

  void OnCloseWindow(wxCloseEvent& event);
  void SavePlacement();
  void ApplyPlacement();
  void SetToolbarSize(int size, const char* sound);
  void SetContentBarShown(bool shown);
  void FillAddressList();
  // The address bar's completion from the typed list, in place: while the
  // user types (not when deleting) the rest of the matching entry is put
  // after the caret, selected, so that typing on replaces it.
  void BindAddressCompletion();
  void CompleteAddress();
  // The main window's smallest size: the whole toolbar (pictures only) and
  // the logo side by side, room for the content bar and a page.
  void UpdateMinimumSize(const vyr::FrameLayoutInput& in);
  void SendSupportMail();
  // The channel designer over the main window, offering the current page;
  // after a save the channel bar shows the new channels.
  void OpenChannelDesigner();
  // The machine as the support mail describes it.
  vyr::SupportReport MachineReport() const;
  // The Open dialog: a page in the pane, a local file to the desktop.
  void OpenFile();
  // The history eraser's part of the window: the typed list, its keys and
  // the address bar's list and completion emptied; false when the profile
  // could not be written.
  bool EraseTypedAddresses();
  // The search windows open their results here and hand command links to
  // the filter.
  struct SearchHost SearchHostOfWindow();
  void StartStartupMailCheck();

  // CSchemeHost: a scheme change (the look-and-feel dialog, an imported
  // scheme, a command link) redraws every frame; the scheme gallery opens
  // in this window's pane.
  void RebuildForScheme() override;
  void NavigateForSchemes(const std::string& address) override { NavigatePane(address); }

  // The dial-up connection manager, the program's online gate while this
  // window lives.
  std::unique_ptr<vyr::net::ConnectionManager> connections_;
  vyr::net::SoftwareUpdate updates_;
  CWindowedSchemeImport schemeImport_;
  vyr::ApplicationServices services_;
  vyr::CommandDispatcher dispatcher_;
  vyr::platform::WindowHandle handle_ = 0;
  std::unique_ptr<CTrayIcon> tray_;
  vyr::ChannelLibrary channels_;
  CMessageViewers viewers_;  // the mail window's message viewer
  CChannelBarWnd* bar_ = nullptr;  // made at start, in the content bar
  CButtonStrip* folderStrip_ = nullptr;
  CButtonStrip* pageStrip_ = nullptr;
  bool pageStripShown_ = false;
  bool suppressNavigation_ = false;  // choices in the channel bar navigate nowhere
  vyr::TypedAddressList typed_;
  vyr::TypedCompletion completion_;  // what the address bar shows completed
  bool addressKeyDeletes_ = false;   // the last key in the address bar deleted
  unsigned addressEdits_ = 0;        // counts the address bar's changes
  std::vector<vyr::HelpEntry> help_;
  std::function<void(const std::string&)> onDocumentComplete_;
  std::function<void()> closeSplash_;
  wxTimer splashTimer_;  // timer 123
  std::string startPage_;
  bool showContentBar_ = true;
  bool zoomed_ = false;
  bool placementSaved_ = false;
  bool ending_ = false;
  bool askSupportMail_ = true;
  bool offlineNotice_ = false;  // the status line says the program works offline
  // The start-up mail check: decided at the first completed navigation.
  bool startupMailChecked_ = false;
  std::unique_ptr<vyr::StartupMailCheck> startupMail_;
};

