#pragma once
// What the channel designer does to its copy of the channels, without the
// window: adding, changing, deleting and moving items with the designer's
// refusals, a dropped link turned into a page, an import merged in, and the
// save that puts the edited user channels back into the application's set.
//
// The tree is the whole channel set; its first lockedCount channels are the
// fixed ones. They stay one block at the top and are never changed, moved or
// filled, so the save by position (everything from the fixed count on) never
// drops a user channel and never writes a fixed one.
#include <string>
#include <vector>

#include "channels/channel_merge.h"
#include "channels/channel_startup.h"
#include "platform/string_table.h"

namespace vyr {

// A place in the tree: the channel's position, then the item's position in
// the channel, then the page's position in the folder (one to three parts).
using TreePath = std::vector<size_t>;

enum class DesignerKind { None, Channel, LockedChannel, Folder, Page };

// A folder is an item with children, or one whose address is empty or starts
// with "_" (so a new folder stays a folder before it has pages and after it
// was saved and read back).
bool IsFolderItem(const ChannelItem& item);

// The designer's texts.
namespace designer_text {
using platform::TextId;
inline constexpr TextId kCaption{41600};
inline constexpr TextId kSave{41601};
inline constexpr TextId kCancel{41602};
inline constexpr TextId kAddChannel{41603};
inline constexpr TextId kAddFolder{41604};
inline constexpr TextId kAddCurrentPage{41605};
inline constexpr TextId kAddPage{41606};
inline constexpr TextId kModify{41607};
inline constexpr TextId kDelete{41608};
inline constexpr TextId kExport{41609};
inline constexpr TextId kImport{41610};
inline constexpr TextId kExpandAll{41611};
inline constexpr TextId kCollapseAll{41612};
inline constexpr TextId kStatusLine{41613};
inline constexpr TextId kHintTitle{41614};
inline constexpr TextId kHint{41615};
inline constexpr TextId kFolderLabel{41616};
inline constexpr TextId kChannelLabel{41617};
inline constexpr TextId kUrlLabel{41618};
inline constexpr TextId kTitleLabel{41619};
inline constexpr TextId kLockedLabel{41620};
inline constexpr TextId kNoFixedChannels{41621};
inline constexpr TextId kSelectChannelForChannel{41622};
inline constexpr TextId kNewChannelPrompt{41623};
inline constexpr TextId kNewChannelCaption{41624};
inline constexpr TextId kInsertFailed{41625};
inline constexpr TextId kSelectChannelForFolder{41626};
inline constexpr TextId kNewFolderPrompt{41627};
inline constexpr TextId kNewFolderCaption{41628};
inline constexpr TextId kSelectPlaceForPage{41629};
inline constexpr TextId kNewPageNamePrompt{41630};
inline constexpr TextId kPageUrlPrompt{41631};
inline constexpr TextId kNewPageCaption{41632};
inline constexpr TextId kSelectToModify{41633};
inline constexpr TextId kChannelNamePrompt{41634};
inline constexpr TextId kChangeChannelCaption{41635};
inline constexpr TextId kFolderNamePrompt{41636};
inline constexpr TextId kChangeFolderCaption{41637};
inline constexpr TextId kPageNamePrompt{41638};
inline constexpr TextId kChangePageCaption{41639};
inline constexpr TextId kSelectToDelete{41640};
inline constexpr TextId kDeleteQuestion{41641};
inline constexpr TextId kDeleteCaption{41642};
inline constexpr TextId kMixedDrag{41643};
inline constexpr TextId kChannelDropPlace{41644};
inline constexpr TextId kFolderOnPage{41645};
inline constexpr TextId kSelectToExport{41646};
inline constexpr TextId kExportCaption{41647};
inline constexpr TextId kExportChooserTitle{41648};
inline constexpr TextId kExportFilter{41649};
inline constexpr TextId kImportChooserTitle{41650};
inline constexpr TextId kChannelFileFilter{41651};
inline constexpr TextId kLoseChanges{41652};
inline constexpr TextId kDesignerCaption{41653};
inline constexpr TextId kLocked{41654};
inline constexpr TextId kSaveFailed{41655};  // "%s": the file, then why
inline constexpr TextId kExportCount{41656};  // "%d": the number of channels
inline constexpr TextId kExportFileLabel{41657};
inline constexpr TextId kBrowse{41658};
inline constexpr TextId kTreeName{41659};
}  // namespace designer_text

// Why an edit was refused (kept as the text shown), or none.
struct DesignerResult {
  bool done = false;
  platform::TextId refusal{};
  TreePath path;  // where the new or moved item now stands
};

class ChannelDesignerModel {
 public:
  // A copy of the set; the first fixedCount channels are locked.
  ChannelDesignerModel(const ChannelSet& channels, size_t fixedCount);

  const ChannelSet& Tree() const { return tree_; }
  size_t LockedCount() const { return locked_; }
  bool Modified() const { return modified_; }

  ChannelItem* At(const TreePath& path) const;
  DesignerKind KindAt(const TreePath& path) const;
  // Whether the item lies in a locked channel (the channel itself included).
  bool InLockedChannel(const TreePath& path) const { return !path.empty() && path[0] < locked_; }

  // A new channel after the selected one, and never among the locked ones.
  DesignerResult AddChannel(const TreePath& selection, const std::string& name);
  // A new, empty folder at the end of the selected channel.
  DesignerResult AddFolder(const TreePath& selection, const std::string& name);
  // A new page at the end of the selected channel or folder.
  DesignerResult AddPage(const TreePath& selection, const std::string& name, const std::string& url);
  // The item's name, and for a page its address.
  DesignerResult Modify(const TreePath& path, const std::string& name, const std::string& url);
  // Removes the items and their subtrees (an item inside another selected
  // one goes with it).
  DesignerResult Delete(std::vector<TreePath> paths);
  // Items dragged onto the target. A channel goes where the target channel
  // stands; a folder goes into a channel or beside a folder (never inside
  // it, so the tree keeps three levels); a page goes into a channel or a
  // folder, or beside a page.
  DesignerResult Move(std::vector<TreePath> dragged, const TreePath& target);

  // Merges an imported set (duplicates asked through choose); false when
  // cancelled, the tree then unchanged.
  bool Import(ChannelSet& imported, const DuplicateChooser& choose);

  // Puts the user channels of the tree into the library and writes
  // "chanuser.vyr". When the file cannot be written the library keeps its
  // channels, the tree stays modified, and `why` tells the file and the
  // system's reason; false.
  bool Save(ChannelLibrary& library, std::string* why);

 private:
  std::vector<std::unique_ptr<ChannelItem>>* SiblingsOf(const TreePath& path);

  ChannelSet tree_;
  size_t locked_;
  bool modified_ = false;
};

// The page a dropped link proposes: "http://" put before an address that
// starts with "www." or "WWW."; the title is the one the drop carried or,
// when it carried none (or only the address again), the link's file name
// up to its last "." (a name without "." kept whole).
struct DroppedPage {
  std::string url, title;
};
DroppedPage PageFromDroppedLink(const std::string& address, const std::string& droppedTitle);

}  // namespace vyr
