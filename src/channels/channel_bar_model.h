#pragma once
// What the channel bar shows and what choosing an entry does, without the
// window: the channel column, the folder strip and the page strip, the
// remembered choices kept in the channel items, and the navigations that
// follow. The window draws the strips and forwards commands here.
#include <functional>
#include <string>
#include <vector>

#include "channels/channel_startup.h"

namespace vyr {

// Command identifiers of the three strips.
inline constexpr int kChannelCommandBase = 4200;  // column entry i
inline constexpr int kItemCommandBase = 4001;     // folder strip, item k
inline constexpr int kPageCommandBase = 4100;     // page strip, page j
// Entry state of a fixed (locked) channel in the column.
inline constexpr int kFixedEntryState = 4;
// SelectChannel's stand-in for "the current channel again".
inline constexpr int kCurrentChannel = -8;

// The image of a channel in the column: the first keyword of the table found
// in the lower-cased name (0 when none). The keywords come from the string
// table of the user's language.
int ChannelIconIndex(const std::string& channelName);

// True for addresses with the schemes "javascript:", "vbscript:" or "data:",
// which a channel page never navigates to.
bool IsScriptPageAddress(const std::string& address);

struct StripEntry {
  int command = 0;
  std::string text;
  int image = 0;
  int state = 0;
};

class ChannelBarModel {
 public:
  // navigate: opens an address in the main browser. countUsage: raises a
  // usage counter by one ("CC", "FC", "SC").
  ChannelBarModel(ChannelLibrary& library, std::function<void(const std::string&)> navigate,
                  std::function<void(const std::string&)> countUsage);

  // Rebuilds the column from the set. Returns false when there are no fixed
  // channels (the bar then shows "Error loading Channels"; the column still
  // holds what the set has).
  bool FillColumn();
  const std::vector<StripEntry>& Column() const { return column_; }

  // Command 4200 + index from the column (fromBar), or a selection asked for
  // elsewhere. kCurrentChannel selects the current channel again.
  void SelectChannel(int index, bool fromBar = true);
  // Command 4001 + position from the folder strip.
  void OpenItem(int position, bool fromStrip = true);
  // Command 4100 + position from the page strip.
  void OpenPage(int position, bool fromStrip = true);

  int CurrentChannel() const { return current_; }
  const std::vector<StripEntry>& FolderStrip() const { return folderStrip_; }
  int FolderSelection() const { return folderSelection_; }
  const std::vector<StripEntry>& PageStrip() const { return pageStrip_; }
  int PageSelection() const { return pageSelection_; }
  bool PageStripShown() const { return pageStripShown_; }

  // While set, choices change the strips but navigate nowhere.
  void SetSuppressNavigation(bool on) { suppressNavigation_ = on; }

 private:
  ChannelItem* Channel() const;
  void OpenFolder(ChannelItem& folder);
  void Go(const std::string& pageUrl);

  ChannelLibrary& library_;
  std::function<void(const std::string&)> navigate_;
  std::function<void(const std::string&)> countUsage_;
  std::vector<StripEntry> column_, folderStrip_, pageStrip_;
  int current_ = 0;
  int folderSelection_ = 0;
  int pageSelection_ = 0;
  bool pageStripShown_ = false;
  bool fromBar_ = false;
  bool suppressNavigation_ = false;
};

}  // namespace vyr
