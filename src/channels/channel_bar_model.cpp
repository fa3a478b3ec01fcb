#include "channels/channel_bar_model.h"

#include "platform/string_table.h"
#include "platform/text.h"

namespace vyr {

namespace {
using platform::TextId;

// The keyword strings, in the order they are tried, and the image each
// gives.
constexpr TextId kKeywordStrings[] = {
    TextId{40000}, TextId{40001}, TextId{40002}, TextId{40003}, TextId{40004}, TextId{40005},
    TextId{40006}, TextId{40007}, TextId{40008}, TextId{40009}, TextId{40010}, TextId{40011},
    TextId{40012}, TextId{40013}, TextId{40014}, TextId{40015}, TextId{40016}, TextId{40017},
    TextId{40018}, TextId{40019}, TextId{40020}, TextId{40021}, TextId{40022}, TextId{40023},
    TextId{40024}, TextId{40025}, TextId{40026}, TextId{40027}, TextId{40028}, TextId{40029},
    TextId{40030},
};
constexpr int kKeywordImages[] = {1,  2,  3,  3,  4,  5,  6,  6,  6,  7,  8,  9,  10, 11, 12, 13,
                                  13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27};
static_assert(std::size(kKeywordStrings) == std::size(kKeywordImages));

// An item is opened as a folder when its url is empty or starts with "_".
bool IsFolderUrl(const std::string& url) { return url.empty() || url[0] == '_'; }
}  // namespace

bool IsScriptPageAddress(const std::string& address) {
  // Read the scheme the way the engine's address parser does: leading
  // blanks and control characters are dropped, tabs and line breaks inside
  // are ignored.
  std::string scheme;
  bool started = false;
  for (char c : address) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (!started && u <= ' ') continue;
    started = true;
    if (c == '\t' || c == '\n' || c == '\r') continue;
    if (c == ':') break;
    scheme += c;
    if (scheme.size() > 10) return false;
  }
  scheme = platform::AsciiLower(scheme);
  return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
}

int ChannelIconIndex(const std::string& channelName) {
  const std::string name = platform::AsciiLower(channelName);
  for (size_t i = 0; i < std::size(kKeywordImages); ++i) {
    std::string keyword = platform::AsciiLower(platform::LoadString(kKeywordStrings[i]));
    if (!keyword.empty() && name.find(keyword) != std::string::npos) return kKeywordImages[i];
  }
  return 0;
}

ChannelBarModel::ChannelBarModel(ChannelLibrary& library,
                                 std::function<void(const std::string&)> navigate,
                                 std::function<void(const std::string&)> countUsage)
    : library_(library), navigate_(std::move(navigate)), countUsage_(std::move(countUsage)) {}

bool ChannelBarModel::FillColumn() {
  column_.clear();
  const ChannelSet& set = library_.Set();
  for (size_t i = 0; i < set.Count(); ++i) {
    column_.push_back(StripEntry{kChannelCommandBase + static_cast<int>(i), set.At(i)->name,
                                 ChannelIconIndex(set.At(i)->name),
                                 library_.IsFixed(i) ? kFixedEntryState : 0});
  }
  return library_.FixedCount() > 0;
}

ChannelItem* ChannelBarModel::Channel() const {
  const ChannelSet& set = library_.Set();
  if (current_ < 0 || static_cast<size_t>(current_) >= set.Count()) return nullptr;
  return set.At(static_cast<size_t>(current_));
}

void ChannelBarModel::Go(const std::string& pageUrl) {
  if (suppressNavigation_ || !navigate_) return;
  ChannelItem* channel = Channel();
  const std::string& address = fromBar_ && channel && !channel->extra.empty() ? channel->extra : pageUrl;
  // Channel files arrive from pages without asking: a page entry never runs
  // script in the main browser.
  if (IsScriptPageAddress(address)) return;
  navigate_(address);
}

void ChannelBarModel::SelectChannel(int index, bool fromBar) {
  if (countUsage_) countUsage_("CC");
  const ChannelSet& set = library_.Set();
  if (set.Count() == 0) return;
  if (index == kCurrentChannel) index = current_;
  if (index < 0) index = 0;
  if (static_cast<size_t>(index) >= set.Count()) index = static_cast<int>(set.Count()) - 1;
  current_ = index;
  fromBar_ = fromBar;

  ChannelItem& channel = *Channel();
  folderStrip_.clear();
  folderStrip_.push_back(StripEntry{kItemCommandBase, channel.name, 2, 0});
  for (size_t k = 0; k < channel.children.size(); ++k) {
    const ChannelItem& item = *channel.children[k];
    folderStrip_.push_back(StripEntry{kItemCommandBase + static_cast<int>(k), item.name,
                                      IsFolderUrl(item.url) ? 0 : 3, 0});
  }
  int entry = channel.value;
  if (entry < 1 || static_cast<size_t>(entry) > channel.children.size()) entry = 1;
  folderSelection_ = entry;
  OpenItem(entry - 1, false);
  fromBar_ = false;
}

void ChannelBarModel::OpenItem(int position, bool fromStrip) {
  if (fromStrip && countUsage_) countUsage_("FC");
  pageStrip_.clear();
  pageSelection_ = 0;
  ChannelItem* channel = Channel();
  if (!channel || position < 0 || static_cast<size_t>(position) >= channel->children.size()) {
    pageStripShown_ = false;
    return;
  }
  folderSelection_ = position + 1;
  ChannelItem& item = *channel->children[static_cast<size_t>(position)];
  channel->value = position + 1;
  if (item.HasChildren() || IsFolderUrl(item.url)) {
    OpenFolder(item);
    return;
  }
  Go(item.url);
  pageStripShown_ = false;
}

void ChannelBarModel::OpenFolder(ChannelItem& folder) {
  pageStrip_.clear();
  for (size_t j = 0; j < folder.children.size(); ++j) {
    pageStrip_.push_back(
        StripEntry{kPageCommandBase + static_cast<int>(j), folder.children[j]->name, 1, 0});
  }
  pageStripShown_ = !folder.children.empty();
  if (pageStripShown_) OpenPage(folder.value, false);
}

void ChannelBarModel::OpenPage(int position, bool fromStrip) {
  if (fromStrip && countUsage_) countUsage_("SC");
  ChannelItem* channel = Channel();
  if (!channel) return;
  int folderIndex = folderSelection_ - 1;
  if (folderIndex < 0 || static_cast<size_t>(folderIndex) >= channel->children.size()) return;
  ChannelItem& folder = *channel->children[static_cast<size_t>(folderIndex)];
  if (folder.children.empty()) return;
  if (position < 0 || static_cast<size_t>(position) >= folder.children.size()) position = 0;
  folder.value = position;
  pageSelection_ = position;
  Go(folder.children[static_cast<size_t>(position)]->url);
}

}  // namespace vyr
