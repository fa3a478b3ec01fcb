#pragma once
// CChannelBarWnd: the narrow bar at the side of the main window. From top to
// bottom: a scroll strip, the channel column (a vertical button strip, one
// entry per channel with its icon), a second scroll strip and the info box (a
// browser view showing the home server's rotating pages). The bar also makes
// the main window's folder strip and page strip (horizontal button strips
// the main window places) and drives them: choosing a channel fills the
// folder strip and opens its remembered item, a folder fills the page strip,
// a page navigates the main browser.
//
// The bar owns the session with the home server (its timers 2 and 3) and the
// info box's rotation (timer 4); timer 1 repeats the scroll strips while a
// button is held. What it needs of the main window goes through
// CChannelBarOwner.
#include <cstdint>
#include <memory>
#include <string>

#include <wx/panel.h>

#include "ui/windows/browser_wnd.h"
#include "channels/channel_bar_model.h"
#include "net/info_box_model.h"
#include "net/server_session.h"
#include "platform/window_messages.h"

class CButtonStrip;
class CSchemeArt;
class CWindowTimers;

namespace vyr {
class Application;
class MessageBoxService;
}

// Commands of the bar.
inline constexpr int kScrollChannelsUpCommand = 32776;
inline constexpr int kScrollChannelsDownCommand = 32777;
inline constexpr int kInfoBoxHomeCommand = 32775;     // the info box shows "vyrbox.htm"
inline constexpr int kLinkDraggedOnBarCommand = 32866;  // a link was dragged onto the bar
// The info box view's control number.
inline constexpr int kInfoBoxControlId = 1001;
// The scroll repeat while a scroll strip is held.
inline constexpr unsigned kScrollTimer = 1;
inline constexpr unsigned kScrollRepeatMs = 100;

// What the bar asks of the main window. Every call comes on the
// user-interface thread.
class CChannelBarOwner {
 public:
  virtual ~CChannelBarOwner() = default;
  // Opens an address in the main browser.
  virtual void NavigateMainBrowser(const std::string& address) = 0;
  // The main window's flag that choices navigate nowhere.
  virtual bool SuppressNavigation() const { return false; }
  // The page strip is to be shown or hidden (the main window lays out).
  virtual void ShowPageStrip(bool shown) = 0;
  // The main window, its second view or a popup browser window is visible.
  virtual bool BrowserWindowVisible() const = 0;
  // The window with the keyboard focus belongs to the program (by default:
  // some window of this program has it).
  virtual bool ProgramHasFocus() const;
  // The main window's info box rotation switch.
  virtual bool RotationOn() const { return true; }
  // A command of a ping reply: runs through the command dispatcher.
  virtual void RunServerCommand(const std::string& command) = 0;
  // The special-address filter for the info box's pages (command links of
  // the box's own pages); true when the address was taken.
  virtual bool HandleSpecialUrl(const std::string& /*url*/, const vyr::NavigationVerdict& /*verdict*/) {
    return false;
  }
  // A menu command for the main window (kLinkDraggedOnBarCommand).
  virtual void PostMenuCommand(int command) = 0;
  // The main window's browser host navigates with its second interface (the
  // login then waits for its first completed document).
  virtual bool MainBrowserNavigates2() const { return true; }
};

class CChannelBarWnd : public wxPanel, private CBrowserOwner, private vyr::platform::MessageTarget {
 public:
  // What the bar works with; each must outlive the bar.
  struct Services {
    vyr::Application& app;
    vyr::ChannelLibrary& channels;
    vyr::UsageCounters& counters;
    vyr::TrackedUrlTable& tracked;
    vyr::platform::SystemInfo system;
    std::uint32_t startTick = 0;
    // The program's one session with the home server (start-up makes it and
    // drives its timers); null: the bar makes and drives a session of its own.
    vyr::net::ServerSession* session = nullptr;
  };

  CChannelBarWnd(wxWindow* parent, CChannelBarOwner& owner, Services services, wxWindowID id = wxID_ANY);
  ~CChannelBarWnd() override;

  // The folder strip and the page strip, made as children of the windows the
  // main window places them in; made once, owned by those parents.
  CButtonStrip* CreateFolderStrip(wxWindow* parent);
  CButtonStrip* CreatePageStrip(wxWindow* parent);

  // Rebuilds the column from the channel set ("Error loading Channels" when
  // there are no fixed channels).
  void FillColumn();
  // A channel chosen elsewhere (the dispatcher's channel command); fromBar as
  // for a column entry. vyr::kCurrentChannel chooses the current one again.
  void SelectChannel(int index, bool fromBar = false);
  // The channels were saved by the channel designer: the column is filled
  // again and the channel shown before (by its name, else the first) is
  // chosen again without navigating, so the folder and page strips hold the
  // new items and never open an item of another channel.
  void ChannelsChanged(const std::string& shownChannel);
  int CurrentChannel() const { return model_.CurrentChannel(); }
  // The commands the main window forwards: 32776, 32777, 32775.
  void ScrollUp();
  void ScrollDown();
  void ShowInfoBoxHome();
  // The main window shows or hides the bar ("showchannelbar",
  // "hidechannelbar"): the info box's rotation restarts.
  void ShowBar(bool shown);
  // Re-reads the scheme's art (colours, fonts, pictures) and repaints.
  void ApplyArt(std::shared_ptr<const CSchemeArt> art);

  // The parts the main window wires to the command dispatcher.
  vyr::net::ServerSession& Session() { return *sessionInUse_; }
  vyr::net::InfoBoxModel& InfoBox() { return *infoBox_; }
  CButtonStrip* Column() const { return column_; }
  CBrowserWnd* InfoBoxView() const { return view_; }
  CWindowTimers& Timers() { return *timers_; }
  // The window handle that receives the ping replies' commands.
  vyr::platform::WindowHandle Handle() const { return handle_; }
  int InfoBoxHeight() const { return boxHeight_; }
  // A dragged link is over the bar (between its entering and its leaving or
  // drop).
  bool LinkOver() const { return linkOver_ > 0; }
  // The address of the last link dropped on the bar, which the channel
  // designer can take as its page; empty before the first drop.
  const std::string& LastDroppedLink() const { return lastDroppedLink_; }

 private:
  // CBrowserOwner: the info box view's navigations; its command links go to
  // the main window's filter.
  void BeforeNavigate(const std::string& url, bool topLevel, bool& cancel) override;
  bool HandleSpecialUrl(const std::string& url, const vyr::NavigationVerdict& verdict) override {
    return owner_.HandleSpecialUrl(url, verdict);
  }
  // A link of the box that asks for a window of its own: the user's click
  // opens it in the main window; a script's request opens nothing.
  void NewWindowRefused(const std::string& url, const vyr::NavigationVerdict& verdict) override;
  // Hands an address of the box over to the main window. The main window's
  // special-address filter sees it first, with what the engine reported
  // about the box's navigation (nothing is trusted outside one), so that a
  // page in the box gains no trust by the hand-over.
  void OpenInMainWindow(const std::string& address);
  // The info box view as the rotation sees it.
  class BoxView;
  // vyr::platform::MessageTarget: the session's commands (message 4025).
  void OnWindowMessage(const vyr::platform::WindowMessage& message) override;

  void ShowStartupPage();
  void Layout(const wxSize& size);
  void OnSize(wxSizeEvent& event);
  void OnPaint(wxPaintEvent& event);
  void OnMouseDown(wxMouseEvent& event);
  void OnMouseUp(wxMouseEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnTimer(unsigned id);
  // -1 in the top strip, 1 in the bottom one, 0 elsewhere.
  int ScrollStripAt(const wxPoint& point) const;
  void StopScrolling();
  void ChooseFromColumn(int command);
  void ChooseFolderEntry(int command);
  void ChoosePage(int command);
  // Shows the model's strips in the windows.
  void UpdateStrips();
  void OnLinkDragged(unsigned message, const std::string& address);

  CChannelBarOwner& owner_;
  Services services_;
  std::shared_ptr<const CSchemeArt> art_;
  vyr::ChannelBarModel model_;
  std::unique_ptr<CWindowTimers> timers_;
  std::unique_ptr<BoxView> boxView_;
  std::unique_ptr<vyr::net::ServerSession> session_;  // the bar's own, when it has one
  vyr::net::ServerSession* sessionInUse_ = nullptr;
  std::unique_ptr<vyr::net::InfoBoxModel> infoBox_;
  CButtonStrip* column_ = nullptr;
  CButtonStrip* folderStrip_ = nullptr;
  CButtonStrip* pageStrip_ = nullptr;
  CBrowserWnd* view_ = nullptr;
  vyr::platform::WindowHandle handle_ = 0;
  std::string infoBoxAddress_;
  int topStrip_ = 18;  // 24 from the first layout on
  int boxHeight_ = 100;
  int autoScroll_ = 0;  // the direction while a scroll strip is held
  bool pageStripShown_ = false;
  // The bar's parts (the bar and its column) a dragged link is over; the
  // drag asked for the designer when it came onto the first.
  int linkOver_ = 0;
  std::string lastDroppedLink_;
};
