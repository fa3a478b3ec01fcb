#pragma once
// The channel tree and its files. A channel is a named group of hand-picked
// pages shown as one tab of the channel bar; it holds pages and folders of
// pages (at most three levels: channel, folder or page, page).
//
// Channel files come in two forms. The text form is a run of records, each
// "~", a tag, ":" and a value up to the end of the line (CR); the program
// writes only this form. The older sectioned form, laid out like an
// initialisation file, is still read.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vyr {

class MessageBoxService;

// Kind numbers an item carries.
enum ChannelKind : std::int32_t {
  kChannelKindChannel = 0,
  kChannelKindFolder = 1,    // a folder (built by the program or read from a file)
  kChannelKindPage = 2,      // a page (built by the program or read from a file)
  kChannelKindSectioned = 99 // a page read from the sectioned form
};

// The url every channel carries, and the one of a folder read from a file.
inline constexpr char kChannelUrl[] = "Channel!";
inline constexpr char kFolderUrl[] = "_FOLDER";
// Children with exactly this name are left out when a set is written.
inline constexpr char kDeletedName[] = "*DELETED";

struct ChannelItem {
  std::string name;
  std::string url;
  std::int32_t kind = 0;
  std::int32_t state = 1;
  std::vector<std::unique_ptr<ChannelItem>> children;
  // For a channel: an address opened in place of the chosen page when the
  // channel is chosen from the channel bar.
  std::string extra;
  // The channel bar's remembered choice: for a channel the 1-based position
  // of the last chosen top-level item, for a folder the 0-based page.
  std::int32_t value = 0;
  // Set by an import when the channel is not to be taken over.
  bool skip = false;

  bool HasChildren() const { return !children.empty(); }
  // A deep copy of the item and its subtree.
  std::unique_ptr<ChannelItem> Clone() const;
};

class ChannelSet {
 public:
  ChannelSet() = default;
  ChannelSet(const ChannelSet&) = delete;
  ChannelSet& operator=(const ChannelSet&) = delete;
  ChannelSet(ChannelSet&&) = default;
  ChannelSet& operator=(ChannelSet&&) = default;

  // Appends a channel (url "Channel!", kind 0) and returns it.
  ChannelItem* AddChannel(const std::string& name);
  // Appends an item to a parent's children and returns it.
  static ChannelItem* AddChild(ChannelItem* parent, const std::string& name, const std::string& url,
                               std::int32_t kind);
  // Appends a copy of a channel with its subtree.
  ChannelItem* AddCopy(const ChannelItem& channel);

  // Destroys every channel at position `from` and after.
  void Clear(size_t from = 0);

  // Reads a channel file (text form; the sectioned form when the text form
  // holds no channel). With clear, the set is emptied once the file has been
  // opened; otherwise the file's channels are appended. False only when the
  // file cannot be opened (the set is then unchanged).
  bool Load(const std::string& path, bool clear);

  // Writes the channels from position `first` on in the text form. The file
  // is replaced atomically: a failure leaves the old file whole. When it
  // cannot be written, "Could Not Open Destination File" is shown (when a
  // message service is given) and false returned.
  bool Save(const std::string& path, size_t first, MessageBoxService* messages) const;

  size_t Count() const { return channels_.size(); }
  ChannelItem* At(size_t i) const { return channels_[i].get(); }
  const std::vector<std::unique_ptr<ChannelItem>>& Channels() const { return channels_; }
  std::vector<std::unique_ptr<ChannelItem>>& Channels() { return channels_; }

  // The file last loaded into the set.
  const std::string& Path() const { return path_; }

 private:
  std::vector<std::unique_ptr<ChannelItem>> channels_;
  std::string path_;
};

// One record of the text form.
struct ChannelRecord {
  std::string tag;
  std::string value;
};

// Tags and values are held to this many bytes; longer ones are cut.
inline constexpr size_t kChannelRecordLimit = 2047;

// Reads the next record from data at pos; false at the end of the records.
bool ReadChannelRecord(std::string_view data, size_t& pos, ChannelRecord& record);

// Appends the channels of a text-form file to the set; returns how many
// "CH" records were read.
size_t ParseChannelText(std::string_view data, ChannelSet& set);

// The text form of the channels from `first` on.
std::string FormatChannelText(const ChannelSet& set, size_t first);

// Appends the channels of a sectioned-form file to the set. Files whose path
// contains "local.vyr" hold one channel named "local".
void LoadSectionedChannels(const std::string& path, ChannelSet& set);

}  // namespace vyr
