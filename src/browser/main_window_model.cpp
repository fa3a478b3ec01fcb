#include "browser/main_window_model.h"

#include "platform/url_canonicalizer.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "base/application.h"
#include "platform/profile_file.h"
#include "platform/text.h"

namespace vyr {

namespace {

std::string Format3(const char* pattern, const int (&v)[3]) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, v[0], v[1], v[2]);
  return buffer;
}

// A margin of the scheme, or the area's own when the scheme gives none.
int MarginOr(int value, int own) { return value < 0 ? own : value; }

// The rectangle inside r after the margins; never negative. Scheme margins
// that together leave no room across (or down) are no margins of a strip:
// that direction keeps the area's own.
Rect Inset(const Rect& r, const Margins& m, int own) {
  int left = MarginOr(m.left, own), top = MarginOr(m.top, own);
  int right = MarginOr(m.right, own), bottom = MarginOr(m.bottom, own);
  if (static_cast<long long>(left) + right >= r.width) left = right = own;
  if (static_cast<long long>(top) + bottom >= r.height) top = bottom = own;
  Rect inner{r.x + left, r.y + top, r.width - left - right, r.height - top - bottom};
  inner.width = std::max(0, inner.width);
  inner.height = std::max(0, inner.height);
  return inner;
}

std::atomic<int> g_cascadeCounter{0};


}  // namespace

// --- placement ---------------------------------------------------------------

WindowPlacement ReadWindowPlacement(const Application& app) {
  WindowPlacement placement;
  placement.maximized = app.IsOn(kMiscWindowMaximized);
  placement.fullScreen = app.IsOn(kMiscWindowFullScreen);
  // The "none" mark ("-1", or any top starting with "-") is recognised from
  // the text; the number is then read from it as the integer reader reads.
  const std::string top = app.Get(kMiscWindowTop);
  if (top.empty() || top[0] == '-') return placement;
  const int left = app.Get(kMiscWindowLeft);
  const int right = app.Get(kMiscWindowRight);
  const int bottom = app.Get(kMiscWindowBottom);
  const int t = platform::ParseProfileInt(top).value_or(0);
  if (right > left && bottom > t) placement.restored = Rect{left, t, right - left, bottom - t};
  return placement;
}

void SaveWindowPlacement(const Application& app, bool maximized, bool minimized, bool fullScreen,
                         const Rect& rect) {
  app.Write(kMiscWindowMaximized, maximized ? 1 : 0);
  app.Write(kMiscWindowFullScreen, fullScreen ? 1 : 0);
  if (maximized || minimized) return;
  app.Write(kMiscWindowTop, std::to_string(rect.y));
  app.Write(kMiscWindowLeft, rect.x);
  app.Write(kMiscWindowRight, rect.Right());
  app.Write(kMiscWindowBottom, rect.Bottom());
}

// --- toolbar, zoom, content bar, text size -------------------------------------

ToolbarStep NextToolbarSize(int current) {
  switch (current) {
    case kToolbarMedium: return {kToolbarSmall, "smallertoolbar"};
    case kToolbarSmall: return {kToolbarLarge, "biggertoolbar"};
    default: return {kToolbarMedium, "smallertoolbar"};
  }
}

int ReadToolbarSize(const Application& app) {
  const int size = app.Get(kToolbarSize);
  return size == kToolbarMedium || size == kToolbarSmall ? size : kToolbarLarge;
}

ZoomStep ToggleZoom(bool zoomed) {
  if (zoomed) return {false, kToolbarSmall, "unzoom"};
  return {true, kToolbarLarge, "zoom"};
}

bool ReadShowContentBar(const Application& app, int displayWidth) {
  return app.GetOr(kMiscShowContentBar, displayWidth > 700 ? 1 : 0) != 0;
}

int ReadTextSize(const Application& app) {
  return std::clamp(app.Get(kMiscTextSize), 0, 4);
}

double ZoomForTextSize(int textSize) {
  static constexpr double kZoom[] = {0.7, 0.85, 1.0, 1.2, 1.5};
  return kZoom[std::clamp(textSize, 0, 4)];
}

// --- custom Help entries ---------------------------------------------------------

std::vector<HelpEntry> ReadCustomHelpEntries(const Application& app) {
  std::vector<HelpEntry> entries;
  for (int n = 1;; ++n) {
    std::string name = app.Get(kHelpCustomItem.At(n));
    if (name.empty()) break;
    HelpEntry entry;
    entry.command = kFirstCustomHelpCommand + n - 1;
    entry.separator = name == "SEPARATOR";
    if (!entry.separator) {
      entry.name = std::move(name);
      entry.url = app.Get(kHelpCustomItemUrl.At(n));
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

// --- address templates -----------------------------------------------------------

std::string PercentEncode(const std::string& text) { return platform::PercentEncode(text); }

std::string FillAddressTemplate(const std::string& pattern, const std::string& value) {
  std::string out;
  bool filled = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size()) {
      if (pattern[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
      if (pattern[i + 1] == 's' && !filled) {
        out += PercentEncode(value);
        filled = true;
        ++i;
        continue;
      }
    }
    out += pattern[i];
  }
  return out;
}

std::string DefaultRelatedTemplate() { return std::string(kRelatedUrl.defaultValue); }

RelatedPages ReadRelatedPages(const Application& app, const std::string& pageAddress) {
  RelatedPages related;
  related.address =
      FillAddressTemplate(app.Get(kRelatedUrl), pageAddress);
  related.width = app.Get(kRelatedWidth);
  related.height = app.Get(kRelatedHeight);
  return related;
}

// --- popup windows ------------------------------------------------------------------

int NextPopupCascadeOffset() {
  int current = g_cascadeCounter.load();
  int next;
  do {
    next = current >= 3 ? 0 : current + 1;
  } while (!g_cascadeCounter.compare_exchange_weak(current, next));
  return next * 25;
}

int PopupCascadeCounter() { return g_cascadeCounter.load(); }
void SetPopupCascadeCounter(int counter) { g_cascadeCounter = std::clamp(counter, 0, 3); }

Rect PopupRectangle(int offset, int displayWidth, int displayHeight) {
  // Shares of a non-negative size: whole pixels toward zero.
  auto share = [](int size, int percent) { return static_cast<int>(std::max(0, size) * 1LL * percent / 100); };
  const int left8 = share(displayWidth, 8), top8 = share(displayHeight, 8);
  return Rect{offset + left8, offset + top8, share(displayWidth, 85) - left8,
              share(displayHeight, 75) - top8};
}

// --- closing a browser window ------------------------------------------------------

CloseDecision KeepAliveAllowsClose(int keepAlive, bool trayShown, bool closingIsMain, bool mainVisible,
                                   bool otherPopupVisible) {
  if (keepAlive != 0 && trayShown) return {true, false};
  const bool otherVisible = (mainVisible && !closingIsMain) || otherPopupVisible;
  if (otherVisible) return {false, false};
  return {true, true};
}

bool StartupMailCheckWanted(const Application& app, bool alreadyChecked, bool online) {
  if (alreadyChecked || !online) return false;
  return app.IsOn(kStartupCheckMail) && app.Get(kEmailUseVyrMail) == 1;
}

// --- support mail ----------------------------------------------------------------------

std::string SupportSystemReport(const SupportReport& r) {
  std::string text = r.productName + " " + Format3("%d.%d Build %d", r.version) + "\r\n";
  if (r.specialBuild) text += "Special Build\r\n";
  text += "\r\n\r\n" + kOperatingSystemText.Text() + "\r\n";
  text += r.systemName + ". " + Format3("%d.%d Build %d", r.systemVersion) + "\r\n";
  text += "\r\n\r\nShell Version: " + Format3("%d.%d Build %d", r.shellVersion);
  text += "\r\n\r\nConnect to the Internet via: " + r.connection;
  text += "\r\n\r\nIE Version: " + Format3("%d.%d Build %d", r.browserVersion) + "\r\n\r\n";
  return text;
}

std::string SupportMailBody(const SupportReport& report) {
  std::string body = kSupportMailPrompt.Text();
  for (int i = 0; i < 8; ++i) body += "\r\n";
  body += kSupportMailIntro.Text();
  body += SupportSystemReport(report);
  char display[128];
  std::snprintf(display, sizeof display, "\r\n\r\nResolution: %d X %d\r\nNumber of colors: %d.",
                report.screenWidth, report.screenHeight, report.colours);
  return body + display;
}

std::string SupportAddress(const Application& app) {
  std::string address = app.Get(kSchemeSupportEmail);
  return address.empty() ? std::string(kSchemeSupportEmail.defaultValue) : address;
}

std::string MailtoAddress(const std::string& to, const std::string& subject,
                          const std::string& body) {
  // The recipient keeps its "@"; everything that could end the address part
  // or start a header is encoded.
  std::string recipient;
  for (char c : to) recipient += c == '@' ? std::string("@") : PercentEncode(std::string(1, c));
  return "mailto:" + recipient + "?subject=" + PercentEncode(subject) +
         "&body=" + PercentEncode(body);
}

// --- the start page and typed addresses -------------------------------------------------

std::string StartPageAddress(const Application& app, const std::string& fallback) {
  if (!app.IsOn(kStartupUseDefaultStart)) {
    std::string own = app.Get(kStartupHome);
    const size_t first = own.find_first_not_of(" \t\r\n");
    if (first != std::string::npos) {
      own = own.substr(first, own.find_last_not_of(" \t\r\n") - first + 1);
      return own;
    }
  }
  // The data folder's page, else the window's own shipped one.
  std::string shipped = app.GetOr(kDataStartPage, "");
  return shipped.empty() ? fallback : shipped;
}

std::string SearchPartnerAddress(const Application& app, int page) {
  static const char* const kPages[] = {"net", "news", "money", "local?zip=%s"};
  const std::string pattern =
      std::string("http://search.vyrelle.example/partner/") + kPages[std::clamp(page, 0, 3)];
  return FillAddressTemplate(pattern, app.Get(kDataZip));
}

bool IsSecureAddress(const std::string& address) {
  return platform::AsciiLower(address.substr(0, 6)) == "https:";
}

void TypedAddressList::Load(const Application& app) {
  entries_.clear();
  for (size_t n = 1; n <= kMaxEntries; ++n) {
    std::string url = app.Get(kTypedUrl.At(static_cast<int>(n)));
    if (url.empty()) break;
    entries_.push_back(std::move(url));
  }
}

bool TypedAddressList::Commit(Application& app, const std::string& typed) {
  const std::string text = platform::Trim(typed, " \t\r\n");
  if (text.empty()) return false;
  entries_.erase(std::remove(entries_.begin(), entries_.end(), text), entries_.end());
  entries_.insert(entries_.begin(), text);
  if (entries_.size() > kMaxEntries) entries_.resize(kMaxEntries);
  WriteSection(app);
  app.PlaySound("typedurl", 2, false);
  return true;
}

bool TypedAddressList::WriteSection(const Application& app) const {
  // The whole section at once: a key past the list's end (left by another
  // copy of the program, or by hand) never comes back.
  std::vector<std::pair<std::string, std::string>> pairs;
  for (size_t n = 0; n < entries_.size(); ++n) pairs.emplace_back(kTypedUrl.At(static_cast<int>(n + 1)).Key(), entries_[n]);
  return platform::WritePrivateProfileSection(std::string(kTypedUrl.section), pairs, app.ProfilePath());
}

bool TypedAddressList::Erase(const Application& app) {
  entries_.clear();
  return WriteSection(app);
}

TypedCompletion CompleteTypedAddress(const std::string& typed, const std::vector<std::string>& entries) {
  if (typed.empty()) return {typed, ""};
  const std::string lowerTyped = platform::AsciiLower(typed);
  // The forms of an entry, shortest first: without scheme and "www.",
  // without scheme, as it stands.
  auto form = [](const std::string& entry, int level) {
    std::string text = entry;
    if (level == 2) return text;
    const std::string lower = platform::AsciiLower(text);
    for (const char* scheme : {"http://", "https://"}) {
      if (lower.rfind(scheme, 0) == 0) {
        text.erase(0, std::char_traits<char>::length(scheme));
        break;
      }
    }
    if (level == 0 && platform::AsciiLower(text).rfind("www.", 0) == 0) text.erase(0, 4);
    return text;
  };
  for (int level = 0; level < 3; ++level) {
    for (const std::string& entry : entries) {
      const std::string shown = form(entry, level);
      if (shown.size() >= typed.size() && platform::AsciiLower(shown.substr(0, typed.size())) == lowerTyped)
        return {typed + shown.substr(typed.size()), entry};
    }
  }
  return {typed, ""};
}

// --- frame layout -------------------------------------------------------------------------

int ToolbarHeight(int toolbarSize) {
  switch (toolbarSize) {
    case kToolbarMedium: return 36;
    case kToolbarSmall: return 30;
    default: return 44;
  }
}

FrameLayout LayoutFrame(const FrameLayoutInput& in) {
  FrameLayout out;
  const int w = std::max(0, in.clientWidth);
  const int h = std::max(0, in.clientHeight);
  int y = 0;
  auto take = [&](int wanted) {
    const int height = std::clamp(wanted, 0, h - y);
    Rect band{0, y, w, height};
    y += height;
    return band;
  };

  // The logo stands at the right of the toolbar and the address row
  // together; both rows end where it begins.
  const int logoWidth = in.showToolbar || in.showAddressBar ? std::clamp(in.logoWidth, 0, w) : 0;
  const int rowWidth = w - logoWidth;
  if (in.showToolbar) {
    out.toolbar = take(ToolbarHeight(in.toolbarSize));
    out.toolbar.width = rowWidth;
    out.buttons = Inset(out.toolbar, in.buttons, kDefaultStripMargin);
  }
  if (in.showAddressBar) {
    out.addressBar = take(kAddressBarHeight);
    out.addressBar.width = rowWidth;
    const int boxLeft = std::min(kAddressLabelWidth, rowWidth);
    const int boxWidth = std::max(0, rowWidth - boxLeft - kSecurityWidth - 4);
    const int boxHeight = std::clamp(out.addressBar.height - 6, 0, kAddressBarHeight - 6);
    out.addressBox = Rect{boxLeft, out.addressBar.y + 3, boxWidth, std::max(0, boxHeight)};
    out.security = Rect{std::min(rowWidth, boxLeft + boxWidth + 2), out.addressBar.y + 3,
                        std::min(kSecurityWidth, std::max(0, rowWidth - boxLeft - boxWidth - 2)),
                        std::max(0, boxHeight)};
  }
  if (logoWidth > 0) out.logo = Rect{rowWidth, 0, logoWidth, y};
  // The status bar is taken from the bottom before the middle gets the rest.
  const int statusHeight = in.showStatusBar ? std::clamp(kStatusBarHeight, 0, h - y) : 0;
  const int middleHeight = h - y - statusHeight;
  int paneTop = y;
  if (in.showContentBar) {
    // The channel column at the left; the folder strip, and the page strip
    // while it is shown, above the pane.
    const int barWidth = std::min(kContentBarWidth, w);
    out.contentBar = Rect{0, y, barWidth, middleHeight};
    Rect foldersBand{barWidth, y, w - barWidth, std::min(kFolderStripHeight, middleHeight)};
    out.folders = Inset(foldersBand, in.folders, 0);
    paneTop = foldersBand.Bottom();
    if (in.showPageStrip) {
      Rect sitesBand{barWidth, paneTop, w - barWidth, std::min(kFolderStripHeight, middleHeight - foldersBand.height)};
      out.sites = Inset(sitesBand, in.sites, 0);
      paneTop = sitesBand.Bottom();
    }
  }
  out.pane = Rect{out.contentBar.width, paneTop, w - out.contentBar.width, y + middleHeight - paneTop};
  if (in.showStatusBar) {
    out.statusBar = Rect{0, h - statusHeight, w, statusHeight};
    const int anim = std::clamp(in.animationWidth, 0, w);
    const int progress = std::clamp(kProgressWidth, 0, w - anim);
    out.animation = Rect{w - anim, out.statusBar.y, anim, statusHeight};
    out.progress = Rect{w - anim - progress, out.statusBar.y + 3, progress,
                        std::max(0, statusHeight - 6)};
    out.statusText = Rect{4, out.statusBar.y, std::max(0, w - anim - progress - 8), statusHeight};
  }
  return out;
}

PopupLayout LayoutPopup(int clientWidth, int clientHeight, bool fullFrame, int buttonsHeight) {
  PopupLayout out;
  const int w = std::max(0, clientWidth), h = std::max(0, clientHeight);
  const int statusHeight = std::min(kStatusBarHeight, h);
  out.statusBar = Rect{0, h - statusHeight, w, statusHeight};
  if (!fullFrame) {
    // Out of sight above the client area.
    out.buttons = Rect{0, -buttonsHeight - 100, std::min(138, w), buttonsHeight};
    out.addressBox = Rect{std::min(138, w), -buttonsHeight - 100, std::max(0, w - 138), 24};
    out.pane = Rect{0, 0, w, h - statusHeight};
    return out;
  }
  const int band = std::min(h - statusHeight, buttonsHeight + 6);
  out.buttons = Rect{0, 3, std::min(138, w), std::max(0, band - 6)};
  out.addressBox = Rect{std::min(138, w), 3 + std::max(0, (band - 6 - 24) / 2),
                        std::max(0, w - 138 - 4), std::min(24, std::max(0, band - 6))};
  out.pane = Rect{0, band, w, h - statusHeight - band};
  return out;
}

}  // namespace vyr
