#include "browser/windows/vyr20_dlg.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <map>

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <wx/aboutdlg.h>
#include <wx/app.h>
#include <wx/combobox.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/display.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/gauge.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/taskbar.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include "app/user_data.h"
#include "channels/bookmark_import.h"
#include "channels/channel_merge.h"
#include "channels/windows/channel_designer_dlg.h"
#include "channels/windows/duplicate_channel_dlg.h"
#include "mail/check/startup_mail_check.h"
#include "mail/send/mailto_link.h"
#include "mail/windows/address_book_wnd.h"
#include "mail/windows/compose_wnd.h"
#include "mail/windows/mail_client_dlg.h"
#include "mail/windows/mail_settings_dlg.h"
#include "mail/windows/mail_wnd.h"
#include "mail/windows/message_viewer_wnd.h"
#include "browser/windows/frame_texts.h"
#include "browser/windows/popup_web_dlg.h"
#include "net/download_worker.h"
#include "net/server_session.h"
#include "platform/file_system.h"
#include "net/windows/dialup_dlg.h"
#include "net/windows/speed_booster_dlg.h"
#include "app/shell_integration.h"
#include "platform/system_info.h"
#include "platform/tick_count.h"
#include "schemes/windows/look_feel_dlg.h"
#include "schemes/windows/scheme_import.h"
#include "ui/windows/button_strip.h"
#include "ui/windows/image_list.h"
#include "browser/windows/startup_options_dlg.h"
#include "browser/windows/enhanced_browsing_dlg.h"
#include "browser/windows/address_dlgs.h"
#include "browser/windows/search_dlgs.h"
#include "ui/windows/menu_ids.h"
#include "ui/windows/scheme_art.h"
#include "ui/windows/system_tray.h"

namespace {

// The Tools menu's start-page choice, only in the main window.
constexpr int kCmdStartPage = 34190;

// The splash window's timer and its period.
constexpr int kSplashTimerId = 123;
constexpr int kSplashTimerMs = 2500;

wxString Wx(const std::string& text) { return wxString::FromUTF8(text.c_str()); }

// The toolbar pictures of the main window's buttons.
enum ToolbarImage {
  kImgBack = 0, kImgForward, kImgStop, kImgRefresh, kImgHome, kImgSearch, kImgFavorites, kImgMail,
  kImgPrint, kImgMenu, kImgTheNet, kImgNews, kImgMoney, kImgLocal, kImgZoom, kImgHistory,
};

// The program's icon, drawn: a rounded square in the program's blue with a
// white "V".
wxBitmap ProgramIcon(int size) {
  wxBitmap bitmap(size, size, 32);
  bitmap.UseAlpha();
  wxMemoryDC dc(bitmap);
  dc.SetBackground(wxBrush(wxColour(255, 255, 255, 0)));
  dc.Clear();
  dc.SetPen(*wxTRANSPARENT_PEN);
  dc.SetBrush(wxBrush(wxColour(21, 101, 192)));
  dc.DrawRoundedRectangle(0, 0, size, size, size / 5);
  dc.SetPen(wxPen(*wxWHITE, std::max(2, size / 8)));
  dc.DrawLine(size / 4, size / 4, size / 2, size * 3 / 4);
  dc.DrawLine(size / 2, size * 3 / 4, size * 3 / 4, size / 4);
  dc.SelectObject(wxNullBitmap);
  return bitmap;
}

// The folder of the pages shipped with the program (the start page's).
std::string ShippedDataFolder() {
  wxFileName besideProgram(wxStandardPaths::Get().GetExecutablePath());
  besideProgram.AppendDir(wxS("data"));
  if (wxFileName(besideProgram.GetPath(), wxS("start.html")).FileExists()) {
    return std::string(besideProgram.GetPath().utf8_str());
  }
  return std::string(wxStandardPaths::Get().GetDataDir().utf8_str());
}

// The main window's family of frames: the program's own pages and the home
// server are trusted; the filter and the counters are set once the window
// is whole.
FrameServicesPtr MainFrameServices(const vyr::Application& app) {
  auto frame = std::make_shared<BrowserFrameServices>();
  frame->policy = vyr::NavigationPolicy::ForBrowserWindow(app, ShippedDataFolder());
  return frame;
}

// The start page shipped with the program: data/start.html beside the
// program (a build tree), else in the installed data folder, as a file
// address; empty when neither exists.
std::string ShippedStartPage() {
  wxFileName besideProgram(wxStandardPaths::Get().GetExecutablePath());
  besideProgram.AppendDir(wxS("data"));
  besideProgram.SetFullName(wxS("start.html"));
  wxFileName installed(wxStandardPaths::Get().GetDataDir(), wxS("start.html"));
  for (const wxFileName* page : {&besideProgram, &installed}) {
    if (page->FileExists()) return std::string(wxFileName::FileNameToURL(*page).utf8_str());
  }
  return {};
}

// An address (or path) of a scheme package: its name ends in ".vyrscheme".
bool IsSchemePackage(const std::string& address) {
  static constexpr char kEnding[] = ".vyrscheme";
  constexpr size_t n = sizeof kEnding - 1;
  if (address.size() <= n) return false;
  return std::equal(address.end() - n, address.end(), kEnding, [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;
  });
}

// Shown when there is no start page at all.
const char kBuiltInStartPage[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Vyrelle</title></head>"
    "<body style=\"font-family: sans-serif; margin: 3em;\">"
    "<h1>Vyrelle</h1><p>The start page file was not found.</p></body></html>";

}  // namespace

// The tray icon: its tip is the program's name; a click brings the window
// back; its menu opens the window or ends the program.
class CTrayIcon : public wxTaskBarIcon {
 public:
  explicit CTrayIcon(CVyr20Dlg& owner) : owner_(owner) {
    wxIcon icon;
    icon.CopyFromBitmap(ProgramIcon(32));
    SetIcon(icon, wxTheApp->GetAppDisplayName());
    Bind(wxEVT_TASKBAR_LEFT_DOWN, [this](wxTaskBarIconEvent&) { owner_.BringForward(); });
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { owner_.BringForward(); }, wxID_OPEN);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { owner_.CallAfter([this] { owner_.EndForGood(); }); },
         wxID_EXIT);
  }

 protected:
  wxMenu* CreatePopupMenu() override {
    auto* menu = new wxMenu;
    std::string open = frame_text::kTrayOpenItem.Text();
    if (const size_t at = open.find("%s"); at != std::string::npos)
      open.replace(at, 2, std::string(wxTheApp->GetAppDisplayName().utf8_str()));
    menu->Append(wxID_OPEN, Wx(open));
    menu->Append(wxID_EXIT, Wx(frame_text::kExitItem));
    return menu;
  }

 private:
  CVyr20Dlg& owner_;
};

CVyr20Dlg::CVyr20Dlg(vyr::Application& app)
    : CVyrBrowserDlg(app, wxTheApp->GetAppDisplayName(), true, MainFrameServices(app)),
      connections_(std::make_unique<vyr::net::ConnectionManager>(app)),
      updates_(app),
      schemeImport_(app, *this, this),
      services_(app, updates_,
                vyr::WindowServices{
                    // A mailto link the user followed starts a message
                    // with the mail program the user chose.
                    [&app](const vyr::MailtoFields& fields) {
                      ComposeMail(app, {fields.to, fields.cc, fields.subject, fields.body, {}});
                    },
                    {}, {},
                    // A channel file from a page may ask about duplicates:
                    // it is merged from a posted event.
                    [this](const std::string& path) { CallAfter([this, path] { MergeChannels(path); }); },
                    {}, {},
                    // The import a user starts may ask for the file.
                    [this] { PostMenuCommand(kCmdImportBookmarks); }},
                schemeImport_.With()),
      dispatcher_(app, *this, services_),
      channels_(app),
      viewers_(app) {
  {
    wxIcon icon;
    icon.CopyFromBitmap(ProgramIcon(48));
    SetIcon(icon);
  }
  handle_ = vyr::platform::WindowMessages::Instance().Register(this);
  updates_.SetMainWindow(handle_);
  vyr::net::SetTheConnectionManager(connections_.get());
  connections_->Start();

  showContentBar_ = vyr::ReadShowContentBar(app, wxDisplay(0u).GetGeometry().width);
  splashTimer_.SetOwner(this, kSplashTimerId);
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
    if (closeSplash_) closeSplash_();
  }, kSplashTimerId);
  Bind(wxEVT_CLOSE_WINDOW, &CVyr20Dlg::OnCloseWindow, this);

  frame_->countUsage = [this](int index) { app_.Counters().CountUsage(index); };
  frame_->specialAddress = [this](const std::string& url, const vyr::NavigationVerdict& verdict) {
    return GateSpecialUrl(url, verdict);
  };
  frame_->mainVisible = [this] { return IsShown(); };
  frame_->endProgram = [this] { EndForGood(); };
  frame_->mainRect = [this] { return GetScreenRect(); };
  // A web link the user clicked in a mail message opens in a popup of this
  // window's family, titled "Finding " and the address; a special address
  // from a message (a command link, a setup program, a channel file) is
  // taken by the filter as one from a page trusted with nothing, so nothing
  // runs and no window opens.
  CMessageViewerWnd::SetWebLinkOpener([this](const std::string& address, const std::string& caption) {
    const vyr::NavigationVerdict untrusted{vyr::Trust::None, false, vyr::kTakesEverything};
    if (GateSpecialUrl(address, untrusted)) return;
    CPopupWebDlg* popup = CPopupWebDlg::OpenPopup(app_, frame_, address);
    popup->SetTitle(Wx(caption));
  });
  CMailWnd::SetViewerHost(&viewers_);

  // The session of the run (start-up makes it before this window) takes
  // the dispatcher's session commands.
  services_.AttachSession(app.Session());

  tray_ = std::make_unique<CTrayIcon>(*this);
  BindAddressCompletion();
  CVyrBrowserDlg::RebuildButtonStrip();
  LayoutParts();
}

CVyr20Dlg::~CVyr20Dlg() {
  vyr::net::SetTheConnectionManager(nullptr);
  // A mail check still running is cancelled while the window is whole.
  startupMail_.reset();
  app_.SetNewMailPageHandler({});
  // The pane outlives this part of the window (children go with the base):
  // from now on it reports to no one.
  if (pane_) pane_->SetOwner(nullptr);
  splashTimer_.Stop();
  vyr::platform::WindowMessages::Instance().Unregister(handle_);
  // Popups still open outlive this window: they run and count nothing more.
  frame_->specialAddress = {};
  frame_->countUsage = {};
  frame_->mainVisible = {};
  frame_->endProgram = {};
  frame_->mainRect = {};
  CMessageViewerWnd::SetWebLinkOpener({});
  CMailWnd::SetViewerHost(nullptr);
  updates_.SetInfoBoxReload({});
  services_.AttachSession(nullptr);
  services_.AttachInfoBox(nullptr);
  if (tray_) tray_->RemoveIcon();
}

// --- start ------------------------------------------------------------------------

void CVyr20Dlg::Start(const std::string& fileToOpen) {
  vyr::InitUserData(app_);
  // The scheme start-up loaded: every frame draws with it from now on.
  ApplyArt();

  // A fixed-channel update downloaded earlier takes effect now. One rename
  // puts it in place, so the fixed channels are never missing, whenever the
  // program stops.
  const std::string fresh = app_.ResolveDataFile("newchanfixed.vyr", false);
  if (vyr::platform::FileExists(fresh))
    vyr::platform::ReplaceFileByRename(fresh, app_.ResolveDataFile("chanfixed.vyr", false));

  // The channel bar with the channels of the data folder, on the program's
  // one session; its folder and page strips lie above the pane.
  channels_.LoadAtStartup();
  const wxRect screen = wxDisplay(0u).GetGeometry();
  vyr::platform::SystemInfo system = vyr::platform::QuerySystemInfo();
  system.screenWidth = screen.width;
  system.screenHeight = screen.height;
  system.colourCount = app_.ColourCount();
  CBrowserWnd::AddEngineVersions(system);
  bar_ = new CChannelBarWnd(canvas_, *this,
                            CChannelBarWnd::Services{app_, channels_, app_.Counters(), app_.TrackedUrls(), system,
                                                     vyr::platform::GetTickCount(), app_.Session()});
  folderStrip_ = bar_->CreateFolderStrip(canvas_);
  pageStrip_ = bar_->CreatePageStrip(canvas_);
  // Tab goes round as the eye does: toolbar, address bar, channel column,
  // info box, folder and page strips, then the page, from whose last link
  // the engine hands the focus on to the menu bar.
  pane_->MoveAfterInTabOrder(pageStrip_);
  services_.AttachInfoBox(&bar_->InfoBox());
  // A new info box package: the box learns its pages' ad numbers at once, so
  // its views and clicks are reported under the new pages.
  updates_.SetInfoBoxReload([this] {
    if (bar_) bar_->InfoBox().OnPackageInstalled();
  });
  bar_->ShowBar(showContentBar_);
  // The first channel is chosen, its folders in the strip, without opening
  // its page: the start page opens below.
  suppressNavigation_ = true;
  bar_->SelectChannel(0);
  suppressNavigation_ = false;
  // The new-mail sound shows the scheme's "newmail.htm" in the info box for
  // ten seconds.
  app_.SetNewMailPageHandler([this](const std::string& page) {
    if (bar_) bar_->InfoBox().ShowNow(page, 10);
  });

  typed_.Load(app_);
  FillAddressList();
  help_ = vyr::ReadCustomHelpEntries(app_);
  startPage_ = vyr::StartPageAddress(app_, ShippedStartPage());
  CVyrBrowserDlg::RebuildButtonStrip();

  // A scheme package to open is imported, not shown: the window shows the
  // start page meanwhile.
  if (!fileToOpen.empty()) OpenAddress(fileToOpen, false, true);
  if (fileToOpen.empty() || IsSchemePackage(fileToOpen)) {
    if (!startPage_.empty()) {
      NavigatePane(startPage_);
    } else {
      pane_->LoadHtml(kBuiltInStartPage);
    }
  }

  ApplyPlacement();
  LayoutParts();
  Raise();

  // The program's favorites folder with its shortcuts, and the bookmark
  // import (both do nothing once done).
  vyr::SeedFavorites(app_);

  // The splash window stays a moment above the window, then timer 123
  // closes it.
  StartSplashTimer();

  // The home server's fixed channels, fetched while the user browses.
  vyr::StartFixedChannelFetch(app_, handle_);

  // Channels from a channel update downloaded earlier join the user's
  // channels. The merge may ask about duplicate names, so it runs once the
  // window is up.
  const std::string userUpdate = app_.ResolveDataFile("newchanuser.vyr", false);
  if (vyr::platform::FileExists(userUpdate)) CallAfter([this, userUpdate] { MergeChannels(userUpdate); });
}

void CVyr20Dlg::MergeChannels(const std::string& path) {
  if (!bar_ || ending_) return;
  // The questions must not hide behind the splash window.
  if (closeSplash_) closeSplash_();
  SetContentBarShown(true);
  // The file goes only once its channels are written to "chanuser.vyr".
  if (vyr::MergeChannelFile(channels_, path, DuplicateChannelDialogChooser(this), true)) bar_->FillColumn();
}

void CVyr20Dlg::ApplyPlacement() {
  const vyr::WindowPlacement placement = vyr::ReadWindowPlacement(app_);
  if (!placement.maximized && placement.restored) {
    const vyr::Rect& r = *placement.restored;
    SetSize(r.x, r.y, r.width, r.height);
  } else if (!placement.maximized) {
    const wxRect area = wxDisplay(0u).GetClientArea();
    SetSize(area.x + area.width / 10, area.y + area.height / 10, area.width * 4 / 5, area.height * 4 / 5);
  }
  Show();
  if (placement.maximized) Maximize(true);
  if (placement.fullScreen) ShowFullScreen(true, wxFULLSCREEN_NOCAPTION | wxFULLSCREEN_NOBORDER);
}

void CVyr20Dlg::SavePlacement() {
  if (placementSaved_) return;
  placementSaved_ = true;
  const wxRect r = GetRect();
  vyr::SaveWindowPlacement(app_, IsMaximized(), IsIconized(), IsFullScreen(),
                           vyr::Rect{r.x, r.y, r.width, r.height});
}

void CVyr20Dlg::StartSplashTimer() { splashTimer_.StartOnce(kSplashTimerMs); }

void CVyr20Dlg::FillAddressList() {
  wxArrayString items;
  for (const std::string& url : typed_.Entries()) items.Add(Wx(url));
  const wxString current = addressBox_->GetValue();
  addressBox_->Set(items);
  addressBox_->ChangeValue(current);
  addressBox_->SetMargins(24);
}

void CVyr20Dlg::BindAddressCompletion() {
  // The toolkit's own entry completion is not used: its list pops up over
  // the page and takes the Enter key from the box.
  addressBox_->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    if (key != WXK_SHIFT && key != WXK_CONTROL && key != WXK_ALT) {
      addressKeyDeletes_ = key == WXK_BACK || key == WXK_DELETE || key == WXK_NUMPAD_DELETE ||
                           (event.GetModifiers() == wxMOD_CONTROL && key == 'X');
    }
    event.Skip();
  });
  addressBox_->Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
    event.Skip();
    const unsigned edit = ++addressEdits_;
    completion_ = {};
    if (addressKeyDeletes_ || !app_.SmarterBrowsingFlags().autocomplete) return;
    // After the toolkit has placed the caret behind the typed character;
    // only the latest change is completed.
    CallAfter([this, edit] {
      if (edit == addressEdits_) CompleteAddress();
    });
  });
}

void CVyr20Dlg::CompleteAddress() {
  const wxString value = addressBox_->GetValue();
  long from = 0, to = 0;
  addressBox_->GetSelection(&from, &to);
  // Only with the caret at the end and nothing selected: typing in the
  // middle of the text is left alone.
  if (from != to || addressBox_->GetInsertionPoint() != addressBox_->GetLastPosition()) return;
  const vyr::TypedCompletion completion = vyr::CompleteTypedAddress(std::string(value.utf8_str()), typed_.Entries());
  if (completion.entry.empty()) return;
  completion_ = completion;
  const wxString shown = Wx(completion.text);
  if (shown == value) return;
  addressBox_->ChangeValue(shown);
  addressBox_->SetSelection(static_cast<long>(value.length()), static_cast<long>(shown.length()));
}

// --- opening addresses -----------------------------------------------------------------

void CVyr20Dlg::OpenAddress(const std::string& address, bool canonicalise, bool openHere) {
  try {
    std::string target = address;
    if (canonicalise) target = vyr::net::MakeRequestAddress(address, false);
    if (target.size() >= vyr::kCanonicalBufferSize) return;
    // A scheme package given on the command line or handed over by a later
    // start is imported, not shown; the import asks its questions, so it
    // runs from a posted event.
    if (IsSchemePackage(target)) {
      CallAfter([this, target] { RunSchemeImport(app_, this, target, this); });
      return;
    }
    if (openHere) {
      NavigatePane(target);
    } else {
      CPopupWebDlg::OpenPopup(app_, frame_, target);
    }
  } catch (...) {
    app_.Messages().Error(frame_text::kCaughtException);
  }
}

void CVyr20Dlg::BringForward() {
  if (IsIconized()) Iconize(false);
  Show();
  Raise();
}

void CVyr20Dlg::OnAddressEntered(const std::string& text) {
  if (text.empty()) return;
  // A completed text stands for the list entry it came from (which may
  // begin with "http://www." the box did not show).
  const std::string address = text == completion_.text && !completion_.entry.empty() ? completion_.entry : text;
  completion_ = {};
  typed_.Commit(app_, address);
  FillAddressList();
  addressBox_->ChangeValue(Wx(address));
  addressBox_->SetInsertionPointEnd();
  app_.Counters().CountUsage(vyr::kUsageTypedUrl);
  NavigatePane(address);
}

std::string CVyr20Dlg::HomeAddress() const { return startPage_; }

bool CVyr20Dlg::GateSpecialUrl(const std::string& url, const vyr::NavigationVerdict& verdict) {
  // The browser asks from a posted event while the engine waits for the
  // answer, so what the filter takes (a command that opens a dialog, the
  // update question) runs right here.
  return dispatcher_.HandleSpecialUrl(url, verdict);
}

// --- notifications --------------------------------------------------------------------

void CVyr20Dlg::TitleChange(const std::string& title) {
  const wxString name = wxTheApp->GetAppDisplayName();
  SetTitle(title.empty() ? name : Wx(title) + " - " + name);
}

void CVyr20Dlg::DocumentComplete(const std::string& url, bool topLevel) {
  if (!topLevel) return;
  if (onDocumentComplete_) onDocumentComplete_(url);
}

void CVyr20Dlg::NavigateComplete(const std::string& url, bool topLevel) {
  CVyrBrowserDlg::NavigateComplete(url, topLevel);
  if (!topLevel) return;
  // The shipped start page leaves the address bar empty for the user's
  // typing, as a new page does; its file address says nothing to the user.
  if (pageUrl_ == ShippedStartPage()) {
    addressBox_->ChangeValue(wxEmptyString);
    // Typing goes to the address bar, unless the user has put the focus
    // elsewhere than the page.
    if (FindFocus() == nullptr || FindFocus() == pane_) addressBox_->SetFocus();
  }
  // The first completed navigation of the run decides, once, whether the
  // start-up mail check runs.
  const bool wanted = vyr::StartupMailCheckWanted(app_, startupMailChecked_,
                                                  !startupMailChecked_ && vyr::net::IsOnline());
  startupMailChecked_ = true;
  if (wanted) StartStartupMailCheck();
}

void CVyr20Dlg::StartStartupMailCheck() {
  if (ending_) return;
  startupMail_ = std::make_unique<vyr::StartupMailCheck>(
      app_, [this](const std::string& text) { StatusTextChange(text); });
  startupMail_->Start();
}

void CVyr20Dlg::DownloadBegin() { CVyrBrowserDlg::DownloadBegin(); }
void CVyr20Dlg::DownloadComplete() { CVyrBrowserDlg::DownloadComplete(); }

void CVyr20Dlg::OnWindowMessage(const vyr::platform::WindowMessage& message) {
  switch (message.message) {
    case vyr::net::kServerCommandMessage:
      if (message.text) dispatcher_.RunCommand(*message.text);
      break;
    case vyr::net::kDownloadFinished:
      if (static_cast<std::uint32_t>(message.wParam) == vyr::kFixedChannelFetchCookie) {
        // The fixed channels from the home server take their place at the
        // next start; a server that does not answer is only mentioned.
        if (vyr::net::DownloadResultOf(message.lParam) != vyr::net::DownloadResult::kOk) {
          SetNotice(frame_text::kHomeServerUnreachable);
        }
        break;
      }
      updates_.OnPackageDownloaded(static_cast<std::uint32_t>(message.wParam),
                                   vyr::net::DownloadResultOf(message.lParam));
      break;
    case vyr::net::kCommandMessage:
      if (message.wParam == vyr::net::kExitShellCommand) CallAfter([this] { EndForGood(); });
      else OnFrameCommand(static_cast<int>(message.wParam));
      break;
    default:
      break;
  }
}

// --- closing ------------------------------------------------------------------------------

void CVyr20Dlg::OnCloseWindow(wxCloseEvent& event) {
  if (ending_) return;
  if (!event.CanVeto()) {
    EndForGood();
    return;
  }
  const vyr::CloseDecision decision = vyr::KeepAliveAllowsClose(
      app_.Get(vyr::kStartupKeepAlive), SystemTrayAvailable(), true, IsShown(),
      CPopupWebDlg::AnyVisibleExcept(nullptr));
  if (decision.endProgram) {
    EndForGood();
    return;
  }
  // Kept alive in the tray, or other browser windows are still open: the
  // window only goes out of sight.
  app_.PlaySound("bye");
  const wxRect r = GetRect();
  vyr::SaveWindowPlacement(app_, IsMaximized(), IsIconized(), IsFullScreen(),
                           vyr::Rect{r.x, r.y, r.width, r.height});
  Hide();
}

void CVyr20Dlg::EndForGood() {
  if (ending_) return;
  ending_ = true;
  // A running mail check stops first (a bounded wait); its late messages
  // are dropped.
  startupMail_.reset();
  app_.PlaySound("bye");
  if (IsShown()) SavePlacement();
  for (CPopupWebDlg* popup : std::vector<CPopupWebDlg*>(CPopupWebDlg::All())) popup->Destroy();
  // The mail window goes with the program (its check stopped, the same
  // bounded wait).
  if (CMailWnd* mail = CMailWnd::Current()) mail->Close(true);
  if (tray_) tray_->RemoveIcon();
  Hide();
  Destroy();
}

// --- commands ----------------------------------------------------------------------------

std::vector<vyr::ButtonStripEntry> CVyr20Dlg::ToolbarEntries() const {
  auto entry = [](int command, const vyr::platform::TextId& text, const vyr::platform::TextId& tip, int image) {
    return vyr::ButtonStripEntry{command, text.Text(), tip.Text(), image, 0};
  };
  using namespace frame_text;
  // The popup frame's buttons (Back, Forward, Stop, Refresh, Print, with
  // their states), with the main window's own around Print.
  std::vector<vyr::ButtonStripEntry> entries = CVyrBrowserDlg::ToolbarEntries();
  entries.insert(entries.end() - 1, {entry(kCmdHome, kHomeButton, kHomeButton, kImgHome),
                                     entry(kCmdSearch, kSearchButton, kSearchButton, kImgSearch),
                                     entry(kCmdFavorites, kFavoritesButton, kFavoritesButton, kImgFavorites),
                                     entry(kCmdMail, kMailButton, kMailButton, kImgMail)});
  entries.insert(entries.end(), {entry(kCmdMenu, kMenuButton, kMenuButtonTip, kImgMenu),
                                 entry(kCmdTheNet, kTheNetButton, kTheNetButton, kImgTheNet),
                                 entry(kCmdNews, kNewsButton, kNewsButton, kImgNews),
                                 entry(kCmdMoney, kMoneyButton, kMoneyButton, kImgMoney),
                                 entry(kCmdLocal, kLocalButton, kLocalButton, kImgLocal)});
  if (app_.ExtraButtons()) {
    const vyr::ButtonStripEntry separator{0, "", "", -1, vyr::ButtonStripModel::kStateSeparator};
    entries.push_back(separator);
    entries.push_back(entry(kCmdStop, kStopButton, kStopButton, kImgStop));
    entries.push_back(separator);
    entries.push_back(entry(kCmdGoStocks, kStocksButton, kStocksTip, kImgMoney));
    entries.push_back(entry(kCmdWhatsNew, kWhatsNewButton, kWhatsNewTip, kImgNews));
    entries.push_back(entry(kCmdGoNew, kNewButton, kNewTip, kImgTheNet));
    entries.push_back(entry(kCmdGoPeople, kPeopleButton, kPeopleTip, kImgSearch));
  }
  return entries;
}

void CVyr20Dlg::PlaceParts(int width, int height) {
  vyr::FrameLayoutInput in = LayoutInput(width, height);
  in.showContentBar = showContentBar_ && bar_;
  in.showPageStrip = pageStripShown_;
  const vyr::SchemeLook& look = art_->Look();
  in.folders = {look.folders.top, look.folders.left, look.folders.right, look.folders.bottom};
  in.sites = {look.sites.top, look.sites.left, look.sites.right, look.sites.bottom};
  PlaceFrameParts(in);
  Place(bar_, layout_.contentBar);
  Place(folderStrip_, layout_.folders);
  Place(pageStrip_, layout_.sites);
  UpdateMinimumSize(in);
}

void CVyr20Dlg::UpdateMinimumSize(const vyr::FrameLayoutInput& in) {
  // Every button of the toolbar (pictures only) beside the logo, the address
  // row with room to type, the content bar beside a page; in height the
  // rows and a page.
  const int margins = (in.buttons.left < 0 ? vyr::kDefaultStripMargin : in.buttons.left) +
                      (in.buttons.right < 0 ? vyr::kDefaultStripMargin : in.buttons.right);
  constexpr int kPageWidth = 320, kPageHeight = 200, kAddressTyping = 200;
  const int width = std::max({in.logoWidth + margins + toolbar_->ImagesOnlyLength() + 8,
                              in.logoWidth + vyr::kAddressLabelWidth + kAddressTyping + vyr::kSecurityWidth + 4,
                              (in.showContentBar ? vyr::kContentBarWidth : 0) + kPageWidth});
  const int height = vyr::ToolbarHeight(in.toolbarSize) + vyr::kAddressBarHeight + vyr::kFolderStripHeight +
                     vyr::kStatusBarHeight + kPageHeight;
  // The frame around the canvas (caption, menu bar, borders) comes on top;
  // never more than the screen's work area.
  const wxSize frame = GetSize() - canvas_->GetSize();
  const wxRect area = wxDisplay(0u).GetClientArea();
  const wxSize minimum(std::min(width + std::max(0, frame.x), area.width),
                       std::min(height + std::max(0, frame.y), area.height));
  if (minimum != GetMinSize()) SetMinSize(minimum);
}

void CVyr20Dlg::SetToolbarSize(int size, const char* sound) {
  toolbarSize_ = size;
  app_.Write(vyr::kToolbarSize, size);
  app_.PlaySound(sound);
  CVyrBrowserDlg::RebuildButtonStrip();
  LayoutParts();
  if (pane_) pane_->Refresh();
}

void CVyr20Dlg::ShowPageStrip(bool shown) {
  pageStripShown_ = shown;
  LayoutParts();
}

bool CVyr20Dlg::BrowserWindowVisible() const { return IsShown() || CPopupWebDlg::AnyVisibleExcept(nullptr); }

void CVyr20Dlg::SetContentBarShown(bool shown) {
  showContentBar_ = shown;
  if (bar_) bar_->ShowBar(shown);
  app_.Write(vyr::kMiscShowContentBar, shown ? 1 : 0);
  CVyrBrowserDlg::RebuildButtonStrip();
  LayoutParts();
}

bool CVyr20Dlg::OnFrameCommand(int command) {
  if (command >= vyr::kFirstCustomHelpCommand && command < vyr::kFirstCustomHelpCommand + 1000) {
    for (const vyr::HelpEntry& entry : help_)
      if (entry.command == command && !entry.separator) NavigatePane(entry.url);
    return true;
  }
  switch (command) {
    case kCmdToolbarSize: {
      const vyr::ToolbarStep step = vyr::NextToolbarSize(toolbarSize_);
      SetToolbarSize(step.size, step.sound);
      return true;
    }
    case kCmdZoom: {
      const vyr::ZoomStep step = vyr::ToggleZoom(zoomed_);
      zoomed_ = step.zoomed;
      SetToolbarSize(step.toolbarSize, step.sound);
      return true;
    }
    case kCmdShowContentBar: SetContentBarShown(!showContentBar_); return true;
    case kCmdHideContentBar: SetContentBarShown(false); return true;
    case kCmdWarnOnPopup:
      app_.Write(vyr::kMiscWarnOnPopup, app_.IsOn(vyr::kMiscWarnOnPopup) ? 0 : 1);
      return true;
    case kCmdRelatedPages: {
      const vyr::RelatedPages related = vyr::ReadRelatedPages(app_, pane_->CurrentUrl());
      CPopupWebDlg::OpenBeside(app_, frame_, related.address, related.width, related.height);
      return true;
    }
    case kCmdSupportMail: SendSupportMail(); return true;
    case kCmdTheNet: case kCmdNews: case kCmdMoney: case kCmdLocal:
      NavigatePane(vyr::SearchPartnerAddress(app_, command - kCmdTheNet));
      return true;
    case kCmdGoStocks: OpenQuoteLookup(app_, SearchHostOfWindow(), this); return true;
    case kCmdWhatsNew: NavigatePane(app_.HomeServerUrl("/whatsnew/")); return true;
    case kCmdGoNew: NavigatePane(app_.HomeServerUrl("/new/")); return true;
    case kCmdGoPeople: NavigatePane(app_.HomeServerUrl("/people/")); return true;
    case kNewBrowserWindowCommand: OpenPopupWindow(pane_->CurrentUrl().empty() ? startPage_ : pane_->CurrentUrl()); return true;
    case kOpenCommand: OpenFile(); return true;
    case kCmdStartPage:
      if (RunStartPageDialog(this, app_)) startPage_ = vyr::StartPageAddress(app_, ShippedStartPage());
      return true;
    case kCmdExit: EndForGood(); return true;
    case kScrollChannelsUpCommand: if (bar_) bar_->ScrollUp(); return true;
    case kScrollChannelsDownCommand: if (bar_) bar_->ScrollDown(); return true;
    case kInfoBoxHomeCommand: if (bar_) bar_->ShowInfoBoxHome(); return true;
    case kLinkDraggedOnBarCommand:
    case vyr::kChannelDesignerCommand: OpenChannelDesigner(); return true;
    case wxID_ABOUT:
    case vyr::kAboutCommand: {
      wxAboutDialogInfo info;
      info.SetName(wxTheApp->GetAppDisplayName());
      info.SetVersion(Wx(vyr::net::ProgramVersionText()));
      info.SetDescription(Wx(frame_text::kAboutDescription));
      // The program's own picture; without one the toolkit shows a missing
      // image.
      wxIcon icon;
      icon.CopyFromBitmap(ProgramIcon(64));
      info.SetIcon(icon);
      wxAboutBox(info, this);
      return true;
    }
    case kCmdSearch: case vyr::kSearchInternetCommand: OpenSearchBar(app_, SearchHostOfWindow(), this); return true;
    case kCmdHistory: RunHistoryEraser(this, app_, [this] { return EraseTypedAddresses(); }); return true;
    case kCmdMail: case vyr::kReadMailCommand: OpenMailProgram(app_); return true;
    case vyr::kLookAndFeelCommand:
      if (RunLookAndFeelDialog(this, app_, this)) ApplyCurrentScheme(app_, this);
      return true;
    case kCmdStartupOptions: OpenStartupOptions(); return true;
    case kCmdEnhancedBrowsing:
      RunEnhancedBrowsingDialog(this, app_, [this](const std::string& help) { OpenAddress(help, false, true); });
      return true;
    case kCmdEmailSettings: OpenEmailSettings(); return true;
    case kCmdSpeedBooster: OpenSpeedBooster(); return true;
    case kCmdDialUp:
      RunDialUpDialog(this, app_, *connections_);
      // Working offline stays in the status line until the user connects.
      if (connections_->Offline() != offlineNotice_) {
        offlineNotice_ = connections_->Offline();
        SetNotice(offlineNotice_ ? frame_text::kWorkingOffline.Text() : std::string());
      }
      return true;
    default:
      return CVyrBrowserDlg::OnFrameCommand(command);
  }
}

std::unique_ptr<wxMenu> CVyr20Dlg::BuildFullMenu() {
  std::unique_ptr<wxMenu> menu = CVyrBrowserDlg::BuildFullMenu();
  // The Content Bar item lies in the View menu: FindItem looks into the
  // sub-menus too.
  if (wxMenuItem* view = menu->FindItem(MenuItemId(kCmdShowContentBar)); view && view->IsCheckable())
    view->Check(showContentBar_);
  // The start-page choice follows the start-up options in the Tools menu.
  if (wxMenuItem* options = menu->FindItem(MenuItemId(kCmdStartupOptions))) {
    wxMenu* tools = options->GetMenu();
    for (size_t i = 0; i < tools->GetMenuItemCount(); ++i) {
      if (tools->FindItemByPosition(i) == options) {
        tools->Insert(i + 1, MenuItemId(kCmdStartPage), Wx(frame_text::kStartPageItem));
        break;
      }
    }
  }
  // The custom Help entries end the last menu.
  wxMenuItemList& items = menu->GetMenuItems();
  if (!help_.empty() && !items.empty() && items.GetLast()->GetData()->GetSubMenu()) {
    wxMenu* help = items.GetLast()->GetData()->GetSubMenu();
    help->AppendSeparator();
    for (const vyr::HelpEntry& entry : help_) {
      if (entry.separator) {
        help->AppendSeparator();
      } else {
        help->Append(MenuItemId(entry.command), Wx(entry.name));
      }
    }
  }
  return menu;
}

void CVyr20Dlg::SendSupportMail() {
  bool dontAsk = !askSupportMail_;
  if (askSupportMail_) {
    const int answer = app_.Messages().Question(vyr::kSupportMailQuestion.Text(),
                                                vyr::kSupportMailTitle.Text(), &dontAsk);
    if (answer != vyr::IDOK && answer != vyr::IDYES) return;
    askSupportMail_ = !dontAsk;
  }
  const vyr::SupportReport report = MachineReport();
  const std::string mailto =
      vyr::MailtoAddress(vyr::SupportAddress(app_), vyr::kSupportSubject, vyr::SupportMailBody(report));
  vyr::HandToDesktop(mailto);
}

vyr::SupportReport CVyr20Dlg::MachineReport() const {
  vyr::SupportReport report;
  report.productName = std::string(wxTheApp->GetAppDisplayName().utf8_str());
  std::sscanf(vyr::net::ProgramVersionText().c_str(), "%d.%d.%d", &report.version[0], &report.version[1],
              &report.version[2]);
  vyr::platform::SystemInfo system = vyr::platform::QuerySystemInfo();
  CBrowserWnd::AddEngineVersions(system);
  report.systemName = "Linux";
  report.systemVersion[0] = system.os.major;
  report.systemVersion[1] = system.os.minor;
  report.systemVersion[2] = system.os.build;
  std::copy(std::begin(system.shellVersion), std::end(system.shellVersion), report.shellVersion);
  std::copy(std::begin(system.browserVersion), std::end(system.browserVersion), report.browserVersion);
  report.connection = connections_->ConnectionType();
  const wxRect screen = wxDisplay(0u).GetGeometry();
  report.screenWidth = screen.width;
  report.screenHeight = screen.height;
  report.colours = app_.ColourCount();
  return report;
}

void CVyr20Dlg::OpenFile() {
  RunOpenDialog(this, app_, [this](const vyr::OpenPlan& plan) {
    if (plan.inPane) {
      OpenAddress(plan.address, false, true);
    } else {
      vyr::HandToDesktop(plan.address);
    }
  });
}

bool CVyr20Dlg::EraseTypedAddresses() {
  const bool written = typed_.Erase(app_);
  completion_ = {};
  FillAddressList();
  return written;
}

SearchHost CVyr20Dlg::SearchHostOfWindow() {
  wxWeakRef<CVyr20Dlg> self(this);
  return {[self](const std::string& address) {
            if (self) self->NavigatePane(address);
          },
          [self](const std::string& address, const vyr::NavigationVerdict& verdict) {
            return self && self->GateSpecialUrl(address, verdict);
          }};
}

// --- the Shell ------------------------------------------------------------------------------

void CVyr20Dlg::PostMenuCommand(int command) {
  CallAfter([this, command] { OnFrameCommand(command); });
}

void CVyr20Dlg::OpenSearchWindow() { ::OpenSearchWindow(app_, SearchHostOfWindow(), this); }
void CVyr20Dlg::OpenSearchDialog(int category) { OpenSearchBar(app_, SearchHostOfWindow(), this, category); }
void CVyr20Dlg::OpenPopupWindow(const std::string& address) { CPopupWebDlg::OpenPopup(app_, frame_, address); }
void CVyr20Dlg::NavigateChannel(const std::string& name) {
  if (!bar_) return;
  const auto& channels = channels_.Set().Channels();
  for (size_t i = 0; i < channels.size(); ++i) {
    std::string lower = channels[i]->name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == name) {
      bar_->SelectChannel(static_cast<int>(i));
      return;
    }
  }
}

void CVyr20Dlg::RefreshArt() { ApplyCurrentScheme(app_, this); }

void CVyr20Dlg::RebuildForScheme() {
  ApplyArt();
  if (bar_) bar_->ApplyArt(CSchemeArt::Current());
  CPopupWebDlg::ApplyArtToAll();
}

void CVyr20Dlg::LayoutMainWindow() {
  showContentBar_ = vyr::ReadShowContentBar(app_, wxDisplay(0u).GetGeometry().width);
  if (bar_) bar_->ShowBar(showContentBar_);
  LayoutParts();
}

void CVyr20Dlg::OpenStartupOptions() { RunStartupOptionsDialog(this, app_); }
void CVyr20Dlg::OpenEmailSettings() { OpenMailSettings(app_, this); }
void CVyr20Dlg::OpenSpeedBooster() { RunSpeedBoosterDialog(this, app_); }
void CVyr20Dlg::NavigateMainWindow(const std::string& address) { NavigatePane(address); }

void CVyr20Dlg::PumpMessages() {
  wxTheApp->ProcessPendingEvents();
  wxYield();
}

void CVyr20Dlg::RunBrowserTest() {
  // Back, forward and reload in turn, letting each start.
  pane_->GoBack();
  PumpMessages();
  pane_->GoForward();
  PumpMessages();
  pane_->Reload();
}

int CVyr20Dlg::RepaintTest() {
  constexpr int kRounds = 20;
  for (int i = 0; i < kRounds; ++i) {
    Hide();
    Show();
    Update();
    wxMilliSleep(10);
  }
  return kRounds;
}

int CVyr20Dlg::ChannelListTest(int variant) {
  // Variant 1 rebuilds the column; variant 2 the column and the current
  // channel's folder and page strips, navigating nowhere. Each round is
  // drawn before the next.
  constexpr int kRounds = 20;
  if (!bar_) return 0;
  // The column's choice stays as it was (none before the first choice).
  const int chosen = bar_->Column()->Selection();
  for (int i = 0; i < kRounds; ++i) {
    bar_->FillColumn();
    if (variant == 2 && chosen >= 0) {
      suppressNavigation_ = true;
      bar_->SelectChannel(vyr::kCurrentChannel);
      suppressNavigation_ = false;
    }
    bar_->Column()->Select(chosen);
    bar_->Column()->Update();
    if (folderStrip_) folderStrip_->Update();
    if (pageStrip_) pageStrip_->Update();
  }
  return kRounds;
}

int CVyr20Dlg::OpenEveryChannel() {
  if (!bar_) return 0;
  // As chosen in the column, one after the other; the pages they open load
  // in between.
  const int count = static_cast<int>(channels_.Set().Count());
  for (int i = 0; i < count; ++i) {
    bar_->SelectChannel(i, true);
    PumpMessages();
  }
  return count;
}

void CVyr20Dlg::ColorTest() {
  static const wxColour kColours[] = {*wxRED, *wxGREEN, *wxBLUE, *wxWHITE, *wxBLACK};
  for (const wxColour& colour : kColours) {
    wxClientDC dc(canvas_);
    dc.SetBackground(wxBrush(colour));
    dc.Clear();
    PumpMessages();
    wxMilliSleep(50);
  }
  canvas_->Refresh();
}

int CVyr20Dlg::MouseTest() {
  const wxSize size = canvas_->GetClientSize();
  int moves = 0;
  for (int x = 0; x < size.x; x += std::max(1, size.x / 40), ++moves) {
    canvas_->WarpPointer(x, x * size.y / std::max(1, size.x));
    PumpMessages();
  }
  return moves;
}

void CVyr20Dlg::OpenChannelDesigner() {
  // A link dragged over the bar asks again while the designer is up.
  static bool open = false;
  if (open) return;
  open = true;
  const int current = bar_ ? bar_->CurrentChannel() : -1;
  const std::string shown = current >= 0 && static_cast<size_t>(current) < channels_.Set().Count()
                                ? channels_.Set().At(static_cast<size_t>(current))->name
                                : std::string();
  const bool saved = CChannelDesignerDlg::Run(this, app_, channels_, {pane_->CurrentUrl(), pane_->Title()});
  open = false;
  if (saved && bar_) bar_->ChannelsChanged(shown);
}

bool CVyr20Dlg::OpenNamedWindow(const std::string& name, const std::string& argument) {
  if (name == "compose") {
    // A new message, filled from a mailto link when one is given.
    const vyr::MailtoFields fields = argument.empty() ? vyr::MailtoFields{} : vyr::ParseMailtoLink(argument);
    CComposeWnd::OpenNew(app_, {fields.to, fields.cc, fields.subject, fields.body, {}});
    return true;
  }
  if (name == "addressbook") {
    // The address book, with a vCard file imported first when one is given.
    if (!argument.empty()) {
      vyr::SystemAddressBook book(app_);
      if (book.Open()) vyr::ImportVCardFile(book, argument);
    }
    CAddressBookWnd::Open(app_, this, nullptr);
    return true;
  }
  if (name == "viewer") {
    // The message viewer on one stored message, of no list.
    auto* viewer = new CMessageViewerWnd(app_, nullptr);
    viewer->ShowMessage(argument);
    if (viewer->MessagePath().empty()) {
      viewer->Destroy();
      return false;
    }
    return true;
  }
  // Each window by the command that opens it from the menu.
  static const std::map<std::string, int> kWindows = {
      {"lookandfeel", vyr::kLookAndFeelCommand}, {"startupoptions", kCmdStartupOptions},
      {"channeldesigner", vyr::kChannelDesignerCommand},
      {"enhancedbrowsing", kCmdEnhancedBrowsing}, {"mail", kCmdMail}, {"mailsettings", kCmdEmailSettings},
      {"dialup", kCmdDialUp}, {"speedbooster", kCmdSpeedBooster},
      {"searchbar", kCmdSearch}, {"quotelookup", kCmdGoStocks}, {"historyeraser", kCmdHistory},
      {"startpage", kCmdStartPage}, {"open", kOpenCommand},
      {"favorites", kCmdFavorites}, {"addfavorite", kCmdAddFavorite},
      // The shorter names the help text gives for the same windows.
      {"designer", vyr::kChannelDesignerCommand}, {"organizer", kCmdFavorites},
      {"history", kCmdHistory}, {"settings", kCmdEmailSettings}};
  if (name == "mailclient") {
    CallAfter([this] { ShowMailClientDialog(app_, this); });
    return true;
  }
  if (name == "multipop") {
    CallAfter([this] {
      CMultiPopDlg dlg(this, app_);
      dlg.ShowModal();
    });
    return true;
  }
  if (name == "searchwindow" || name == "search") {
    OpenSearchWindow();
    return true;
  }
  if (name == "main") return true;
  const auto window = kWindows.find(name);
  if (window == kWindows.end()) return false;
  PostMenuCommand(window->second);
  return true;
}
