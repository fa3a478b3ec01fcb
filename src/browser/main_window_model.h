#pragma once
// The main window's and the popup windows' rules, without a window: where the
// window opens and what is saved when it closes, the toolbar size cycle, the
// content bar and text size settings, the custom Help entries, the address
// templates of the related-pages window, the cascade of popup windows, the
// keep-alive decision when a browser window closes, the support mail, and
// the arithmetic that places the frame's parts in the client area.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/string_table.h"

namespace vyr {

class Application;

// Texts of the frame.
inline constexpr platform::TextId kGrabbingText{33345};        // "Grabbing from the net..."
inline constexpr platform::TextId kSupportMailTitle{33093};    // "Send e-mail to Vyrelle ?"
inline constexpr platform::TextId kSupportMailQuestion{33094};
inline constexpr platform::TextId kSupportMailPrompt{38024};
inline constexpr platform::TextId kSupportMailIntro{38025};
inline constexpr platform::TextId kOperatingSystemText{32817};
inline constexpr platform::TextId kPopupQuestionTitle{33048};  // "Allow Popup Window ?"
inline constexpr platform::TextId kPopupQuestion{33049};
inline constexpr platform::TextId kNotAvailableYet{40120};     // "%s cannot be opened yet."
inline constexpr platform::TextId kAddressLabel{40121};        // "Address"

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  int Right() const { return x + width; }
  int Bottom() const { return y + height; }
  bool operator==(const Rect&) const = default;
};

// --- placement ---------------------------------------------------------------

struct WindowPlacement {
  bool maximized = true;
  bool fullScreen = false;
  // The last restored rectangle; applied only when not maximised.
  std::optional<Rect> restored;
};

// [misc] wnd_maximize (1), wnd_viewfullscreen (0) and the rectangle
// wnd_left/top/right/bottom (none while wnd_top is -1). A rectangle whose
// right or bottom edge does not lie beyond its left or top edge is none.
WindowPlacement ReadWindowPlacement(const Application& app);
// Writes wnd_maximize and wnd_viewfullscreen; the rectangle only when the
// window is neither maximised nor minimised.
void SaveWindowPlacement(const Application& app, bool maximized, bool minimized, bool fullScreen,
                         const Rect& rect);

// --- toolbar, zoom, content bar, text size -------------------------------------

// Toolbar sizes: 1 large, 0 medium, 2 small.
inline constexpr int kToolbarLarge = 1;
inline constexpr int kToolbarMedium = 0;
inline constexpr int kToolbarSmall = 2;

struct ToolbarStep {
  int size;
  const char* sound;
};
// The toolbar size command: 1 -> 0 -> 2 -> 1 with "smallertoolbar",
// "smallertoolbar", "biggertoolbar". Any other size counts as 1.
ToolbarStep NextToolbarSize(int current);
// [Toolbar] Size, default 1; a value that is no size reads as 1.
int ReadToolbarSize(const Application& app);

// The zoom command: from the normal frame to the zoomed one ("zoom", toolbar
// size 1) and back ("unzoom", toolbar size 2).
struct ZoomStep {
  bool zoomed;
  int toolbarSize;
  const char* sound;
};
ZoomStep ToggleZoom(bool zoomed);

// [Misc] ShowContentBar, by default shown on a display wider than 700 pixels.
bool ReadShowContentBar(const Application& app, int displayWidth);

// [Misc] TextSize (0 smallest .. 4 largest, default 2) and the page zoom it
// gives.
int ReadTextSize(const Application& app);
double ZoomForTextSize(int textSize);

// --- custom Help entries ---------------------------------------------------------

inline constexpr int kFirstCustomHelpCommand = 36000;
struct HelpEntry {
  int command = 0;  // 36000 + n - 1, also for a separator
  bool separator = false;
  std::string name;
  std::string url;
};
// [Help] CustomItem%d / CustomItem%dURL for n = 1, 2, ... up to the first
// empty name; "SEPARATOR" is a separator and still uses up its number.
std::vector<HelpEntry> ReadCustomHelpEntries(const Application& app);

// --- address templates -----------------------------------------------------------

// Every byte but the unreserved ones (letters, digits, "-", "_", ".", "~")
// as %XX with upper-case digits.
std::string PercentEncode(const std::string& text);
// Fills an address template as text, never through a formatting function:
// "%%" becomes "%", the first "%s" becomes the value percent-encoded, and
// everything else (a second "%s", "%d", a lone "%") stays as it is.
std::string FillAddressTemplate(const std::string& pattern, const std::string& value);

// The related-pages window: [related] URL (default on the related-pages
// server) filled with the page's address, w (263) wide and h (300) high.
std::string DefaultRelatedTemplate();
struct RelatedPages {
  std::string address;
  int width = 263;
  int height = 300;
};
RelatedPages ReadRelatedPages(const Application& app, const std::string& pageAddress);

// --- popup windows ------------------------------------------------------------------

// The process-wide cascade: each call advances the counter (0..3, after 3
// back to 0) and returns counter * 25.
int NextPopupCascadeOffset();
// For tests: the counter's value (0..3) and setting it.
int PopupCascadeCounter();
void SetPopupCascadeCounter(int counter);
// The popup's rectangle on a display of width x height pixels: left =
// offset + 8% of the width, top = offset + 8% of the height, right edge at
// 85% of the width, bottom edge at 75% of the height, each share cut to
// whole pixels toward zero. Computed in integers, so a share that is a
// whole number stays whole.
Rect PopupRectangle(int offset, int displayWidth, int displayHeight);

// --- closing a browser window ------------------------------------------------------

struct CloseDecision {
  bool allowed;     // the asked answer
  bool endProgram;  // the last browser window went: the program ends
};
// keepAlive: [Startup] KeepAlive (default 1). trayShown: the desktop shows
// the program's tray icon (keep-alive lives there; without it a hidden
// program could never be reached again, so keep-alive counts as off).
// closingIsMain: the main window itself closes (it is then not counted as
// left visible). mainVisible: the main window or its second pane is visible.
// otherPopupVisible: a popup window other than the closing one is visible.
// With keep-alive on, yes and the program stays (in the tray); otherwise no
// while another browser window stays visible, and yes with the program's end
// when none does.
CloseDecision KeepAliveAllowsClose(int keepAlive, bool trayShown, bool closingIsMain, bool mainVisible,
                                   bool otherPopupVisible);

// --- the start-up mail check ------------------------------------------------------

// Whether a completed top-level navigation starts the silent start-up mail
// check: only the first of the run (alreadyChecked false), and only when
// [Startup] CheckMail is set, [Email] UseVyrMail is 1 and the machine is
// online.
bool StartupMailCheckWanted(const Application& app, bool alreadyChecked, bool online);

// --- support mail ----------------------------------------------------------------------

struct SupportReport {
  std::string productName = "Vyrelle";
  int version[3] = {0, 0, 0};  // major, minor, build
  bool specialBuild = false;
  std::string systemName;      // "Linux"
  int systemVersion[3] = {0, 0, 0};
  int shellVersion[3] = {0, 0, 0};    // the window toolkit
  std::string connection = "Unknown";  // "Modem", "Lan", "Proxy", "Busy Modem", "Unknown"
  int browserVersion[3] = {0, 0, 0};  // the browser engine
  int screenWidth = 0, screenHeight = 0, colours = 0;
};
// The system report as the support mail carries it.
std::string SupportSystemReport(const SupportReport& report);
// The whole body: the prompt with eight line breaks, the introduction, the
// system report, the display.
std::string SupportMailBody(const SupportReport& report);
inline constexpr char kSupportSubject[] = "Support Issue";
// [Support] SupportEmail from the scheme file, or the program's support
// address.
std::string SupportAddress(const Application& app);
// "mailto:" with the recipient, the subject and the body percent-encoded.
std::string MailtoAddress(const std::string& to, const std::string& subject,
                          const std::string& body);

// --- the start page and typed addresses -------------------------------------------------

// The user's own start page ([Startup] Home when UseDefaultStart is 0), else
// the data folder's [StartFolder] StartPage, else the given fall-back.
std::string StartPageAddress(const Application& app, const std::string& fallback);

// The search partner's pages behind the buttons "The Net" (0), "News" (1),
// "Money" (2) and "Local" (3); the local page carries the data folder's
// [Local] Zip.
std::string SearchPartnerAddress(const Application& app, int page);

// True for an address of a secure connection ("https:" in any case).
bool IsSecureAddress(const std::string& address);

// The address bar's list: [TypedURLs] url1..url20, newest first.
class TypedAddressList {
 public:
  static constexpr size_t kMaxEntries = 20;
  // Reads url1, url2, ... up to the first empty one or 20 entries.
  void Load(const Application& app);
  // Enter in the address bar: the text moves to (or is put at) the top, the
  // 21st drops out, every entry is written back and "typedurl" is played.
  // The text is taken trimmed; blank text changes nothing (false). The
  // whole [TypedURLs] section is written anew.
  bool Commit(Application& app, const std::string& text);
  // Empties the list and the [TypedURLs] section; false when the profile
  // could not be written (the list is empty all the same).
  bool Erase(const Application& app);
  const std::vector<std::string>& Entries() const { return entries_; }

 private:
  bool WriteSection(const Application& app) const;
  std::vector<std::string> entries_;
};

// The address bar's completion while the user types: the typed text followed
// by the rest of the newest list entry that begins with it, compared without
// regard to case. An entry also matches without its "http://" or "https://"
// start and without "www." after it; those shorter forms are tried first
// (typing "ex" finds "http://www.example.com/" as "example.com/"), the entry
// as it stands last. The text keeps what the user typed; entry is the list
// entry the completion stands for ("" when no entry begins with the text),
// which Enter opens while the box still shows text.
struct TypedCompletion {
  std::string text;
  std::string entry;
};
TypedCompletion CompleteTypedAddress(const std::string& typed, const std::vector<std::string>& entries);

// --- frame layout -------------------------------------------------------------------------

struct Margins {
  int top = -1, left = -1, right = -1, bottom = -1;  // -1: the area's own margin
};

struct FrameLayoutInput {
  int clientWidth = 0, clientHeight = 0;
  int toolbarSize = kToolbarLarge;
  bool showToolbar = true;      // the button strip
  bool showAddressBar = true;
  bool showContentBar = true;
  bool showPageStrip = false;   // the content bar's page strip
  bool showStatusBar = true;
  int logoWidth = 0;            // the logo's picture; 0: no logo
  int animationWidth = 0;       // one frame of the status animation
  Margins buttons, folders, sites;
};

struct FrameLayout {
  Rect toolbar;      // the toolbar band
  Rect buttons;      // the button strip inside it
  Rect logo;
  Rect addressBar;   // the row with the label, the combo box and the lock
  Rect addressBox;   // the combo box
  Rect security;     // the security indicator
  Rect contentBar;   // the channel column
  Rect folders;      // the folder strip above the pane
  Rect sites;        // the page strip under it
  Rect pane;         // the browser
  Rect statusBar;
  Rect statusText;
  Rect progress;
  Rect animation;
};

// Heights and widths of the frame's parts.
int ToolbarHeight(int toolbarSize);
inline constexpr int kAddressBarHeight = 30;
inline constexpr int kAddressLabelWidth = 64;
inline constexpr int kSecurityWidth = 24;
inline constexpr int kStatusBarHeight = 26;
inline constexpr int kProgressWidth = 120;
inline constexpr int kContentBarWidth = 190;
inline constexpr int kFolderStripHeight = 28;
inline constexpr int kDefaultStripMargin = 2;

// Places the parts from top to bottom: the toolbar and the address row with
// the logo at their right, then the content bar's channel column on the left
// beside its folder strip (and page strip) above the pane,
// and the status bar at the bottom (text, progress, animation from left to
// right). Hidden parts take no room; no rectangle is ever negative.
FrameLayout LayoutFrame(const FrameLayoutInput& in);

// A popup window's frame: the button strip 3 pixels from the top on the
// left, the address box from 138 pixels, the pane below, the status bar at
// the bottom. Without the full frame the strip and the address box lie out
// of sight (above the client area) and the pane fills what the status bar
// leaves.
struct PopupLayout {
  Rect buttons, addressBox, pane, statusBar;
};
PopupLayout LayoutPopup(int clientWidth, int clientHeight, bool fullFrame, int buttonsHeight);

}  // namespace vyr
