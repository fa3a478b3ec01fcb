#pragma once
// Taking channels from other files into the user's channels: merging with
// duplicate names, exporting chosen channels to a ".ndf" file, and a channel
// file received from a page.
#include <functional>
#include <string>
#include <vector>

#include "channels/channel_startup.h"
#include "platform/string_table.h"

namespace vyr {

class Application;
class MessageBoxService;

// The four answers to "A Channel Already Exists With This Name", in the order
// the dialog offers them.
enum class DuplicateAction { Replace = 0, Rename = 1, Merge = 2, Skip = 3 };

struct DuplicateChoice {
  DuplicateAction action = DuplicateAction::Skip;
  bool applyToAll = false;  // use this action for the remaining duplicates
  bool cancel = false;      // abandon the whole import
};

// Asked once per imported channel whose name already exists (until "Apply to
// All"). offerApplyToAll is true when the import holds more than one
// duplicate.
using DuplicateChooser =
    std::function<DuplicateChoice(const std::string& channelName, bool offerApplyToAll)>;

// A chooser that gives the same action for every duplicate.
DuplicateChooser AlwaysChoose(DuplicateAction action);

// The dialog's texts; the actions in the order of DuplicateAction.
inline constexpr platform::TextId kDuplicateTitle{40621};
inline constexpr platform::TextId kDuplicateText{40622};  // "%s": the channel's name
inline constexpr platform::TextId kDuplicatePrompt{40623};
inline constexpr platform::TextId kDuplicateActionTexts[4] = {platform::TextId{40624}, platform::TextId{40625},
                                                              platform::TextId{40626}, platform::TextId{40627}};
inline constexpr platform::TextId kDuplicateApplyToAll{40628};
inline constexpr platform::TextId kDuplicateNote{40629};

// Merges the imported channels into the tree (the designer's channels: the
// whole set, of which the first lockedCount are fixed). Names are compared
// exactly. Replaced channels are deleted from the tree, merged channels get
// the imported folders and pages after their own, renamed ones are called
// "<name>2", and the rest (not skipped) are appended. A fixed channel is
// never deleted or merged into (it is never written back): replacing or
// merging keeps it and adds the imported channel as a user channel. Returns false, with the tree unchanged, when the user
// cancels.
bool MergeChannelSet(ChannelSet& tree, size_t& lockedCount, ChannelSet& imported,
                     const DuplicateChooser& choose);

// The file an export goes to, from the name the user typed: empty gives the
// message "Please supply a file name" (and an empty result); ".ndf" is
// appended when the lower-cased name does not end in ".ndf"; a name with no
// folder part is placed in the "channels" folder.
std::string ExportFileName(const std::string& typed, const std::string& channelsFolder,
                           std::string* problem);

// "You have selected %d channel(s) to export: ..." with the two ways of
// importing the file.
std::string ExportSummary(size_t count, const std::string& fileName);

// Writes the chosen channels (positions in the set) in the text form. When
// the file cannot be created: "Could not open destination file", nothing
// written, false.
bool ExportChannels(const ChannelSet& set, const std::vector<size_t>& chosen,
                    const std::string& path, MessageBoxService* messages);

// Loads a channel file and merges it into the application's channels; when
// the merge is not cancelled, the user channels are rebuilt and
// "chanuser.vyr" is written at once. With deleteAfterLoading the file is
// removed once its channels are in "chanuser.vyr" (a file received from a
// page, a channel update); a cancelled merge or a failed write keeps it.
// False when the file cannot be opened, the user cancels, or "chanuser.vyr"
// cannot be written.
bool MergeChannelFile(ChannelLibrary& library, const std::string& path,
                      const DuplicateChooser& choose, bool deleteAfterLoading);

// A channel file received from a page: "vyrtemp.ndf" in the "_TEMP" folder
// (or the given path), deleted once merged.
bool ReceiveChannelFile(const Application& app, ChannelLibrary& library,
                        const DuplicateChooser& choose, const std::string& path = {});

}  // namespace vyr
