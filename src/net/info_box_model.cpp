#include "net/info_box_model.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

#include "base/application.h"
#include "platform/file_system.h"
#include "platform/windows_dir.h"
#include "platform/text.h"

namespace vyr::net {

namespace {

// The number at the start of a text (optional blanks and sign, then digits);
// 0 when there are no digits. Saturates at the 32-bit range.
int LeadingNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    value = std::min<long long>(value * 10 + (text[i++] - '0'), INT_MAX);
  }
  return static_cast<int>(negative ? -value : value);
}

}  // namespace

int AdIdOfPage(const std::string& text) {
  const std::string marker = kAdMarker;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const size_t at = line.find(marker);
    if (at != std::string::npos) {
      const int id = LeadingNumber(line.substr(at + marker.size()));
      if (id != 0) return id;
    }
    start = end + 1;
  }
  return 0;
}

InfoBoxModel::InfoBoxModel(Application& app, UsageCounters& counters, TrackedUrlTable& tracked,
                           WindowTimers& timers, InfoBoxView& view, InfoBoxHooks hooks)
    : app_(app),
      counters_(counters),
      tracked_(tracked),
      timers_(timers),
      view_(view),
      hooks_(std::move(hooks)) {}

std::string InfoBoxModel::ContentDirectory() const {
  const std::string infoBox = app_.GetDataDirectory("InfoBox", true);
  return infoBox.empty() ? std::string() : infoBox + "default/";
}

std::string InfoBoxModel::PageDirectory(int which) const {
  const std::string infoBox = app_.GetDataDirectory("InfoBox", true);
  if (infoBox.empty()) return {};
  std::string folder = infoBox + InfoBoxPageFolder(which);
  folder.pop_back();  // the page folder is given without its trailing "/"
  return folder;
}

std::string InfoBoxModel::PagePath(const std::string& folder, int number) {
  return platform::JoinPath(folder, "Box" + std::to_string(number) + ".htm");
}

void InfoBoxModel::LoadAdIds() {
  ads_.Clear();
  for (int which = 1; which <= 2; ++which) {
    const std::string folder = PageDirectory(which);
    if (folder.empty()) continue;
    for (int number = 1; number < INT_MAX; ++number) {
      const std::string page = PagePath(folder, number);
      if (!platform::FileExists(page)) break;
      std::string text;
      if (!platform::ReadWholeFile(page, text)) continue;
      const int id = AdIdOfPage(text);
      if (id != 0) ads_.AddIfNew(id, platform::AsciiLower(page));
    }
  }
}

std::string InfoBoxModel::NextPage(int which) {
  int& counter = counter_[which == 2 ? 1 : 0];
  const std::string folder = PageDirectory(which);
  if (folder.empty()) return {};
  std::string page = PagePath(folder, counter);
  if (platform::FileExists(page)) {
    ++counter;
    return page;
  }
  counter = 1;
  page = PagePath(folder, 1);
  if (!platform::FileExists(page)) return {};
  counter = 2;
  return page;
}

unsigned InfoBoxModel::RotationMs() const {
  const int seconds = app_.Get(kMiscInfoBoxSeconds);
  const int fallback = kMiscInfoBoxSeconds.defaultValue;
  return static_cast<unsigned>(std::clamp(seconds <= 0 ? fallback : seconds, 1, 4000000)) * 1000u;
}

void InfoBoxModel::Rotate() {
  timers_.KillTimer(kRotationTimer);
  if (!RotationOn()) return;  // dormant until ShowNow or the bar is shown again
  timers_.SetTimer(kRotationTimer, RotationMs());
  if (hooks_.connected && !hooks_.connected()) return;
  if (hooks_.focusInProgram && !hooks_.focusInProgram()) return;
  ++rotations_;
  const std::string page = NextPage(1);
  if (page.empty()) {
    currentPage_.clear();
    return;
  }
  // A page that could not be put into the view was not seen: the view keeps
  // the previous page, and clicks still belong to that one.
  if (!ShowPage(page)) return;
  Count(page, false);
  currentPage_ = page;
  counters_.CountUsage(kUsageInfoBoxView);
}

bool InfoBoxModel::ShowPage(const std::string& page) {
  if (page.find_first_of("/\\") == std::string::npos) {
    view_.Navigate(page);
    return true;
  }
  // The page replaces the staging page as a whole new file (written beside
  // it, then renamed over it): a staging page left read-only, or owned by
  // another account, does not stop it, and a copy that fails half-way leaves
  // the previous staging page intact.
  const std::string staging = platform::JoinPath(platform::ParentFolder(page), kStagingPage);
  view_.Show(false);
  std::string text;
  const bool copied = platform::ReadWholeFile(page, text) && platform::WriteFileAtomically(staging, text);
  if (copied) {
    if (view_.CurrentAddress().find("vyrinfobox") != std::string::npos) {
      view_.Refresh();
    } else {
      view_.Navigate(staging);
    }
  }
  view_.Show(true);
  return copied;
}

void InfoBoxModel::ShowNow(const std::string& address, int seconds) {
  if (!RotationOn()) return;
  suppressNext_ = true;
  timers_.KillTimer(kRotationTimer);
  view_.Navigate(address);
  const unsigned ms = seconds > 0 ? static_cast<unsigned>(std::min(seconds, 4000000)) * 1000u : RotationMs();
  timers_.SetTimer(kRotationTimer, ms);
}

void InfoBoxModel::OnBarShownOrHidden() {
  if (!RotationOn()) return;
  timers_.KillTimer(kRotationTimer);
  timers_.SetTimer(kRotationTimer, rotations_ > 0 ? 1 : RotationMs());
}

bool InfoBoxModel::InsideDataRoot(const std::string& address) const {
  const std::string root = app_.Directories().Root();
  if (root.empty()) return false;
  const std::string prefix = platform::AsciiLower(root + "/");
  std::string lower = platform::AsciiLower(address);
  // The view reports local pages as file addresses.
  if (lower.rfind("file://", 0) == 0) lower = DecodeEscapes(lower.substr(7));
  return lower.rfind(prefix, 0) == 0;
}

bool InfoBoxModel::OnViewNavigating(const std::string& address) {
  if (suppressNext_) {
    suppressNext_ = false;
    return false;
  }
  // The engine's empty start page is no click.
  if (InsideDataRoot(address) || address == "about:blank") return false;
  if (!currentPage_.empty()) Count(currentPage_, true);
  tracked_.RecordVisit(address, true);
  counters_.CountUsage(kUsageInfoBoxClick);
  if (hooks_.openInMainBrowser) hooks_.openInMainBrowser(address);
  return true;
}

std::string InfoBoxModel::AdText(bool reset) {
  std::string text = ads_.TriplesText();
  if (reset) ads_.ResetReported();
  return text;
}

}  // namespace vyr::net
