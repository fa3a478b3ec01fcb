#include "channels/channel_merge.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "base/application.h"
#include "base/message_box.h"
#include "platform/file_system.h"
#include "platform/windows_dir.h"
#include "platform/text.h"

namespace vyr {

namespace {
constexpr char kSupplyFileName[] = "Please supply a file name";
constexpr char kCannotOpenDestination[] = "Could not open destination file";
constexpr char kReceivedFile[] = "vyrtemp.ndf";

ChannelItem* FindByName(ChannelSet& set, const std::string& name) {
  for (auto& c : set.Channels()) {
    if (c->name == name) return c.get();
  }
  return nullptr;
}
}  // namespace

DuplicateChooser AlwaysChoose(DuplicateAction action) {
  return [action](const std::string&, bool) { return DuplicateChoice{action, true, false}; };
}

bool MergeChannelSet(ChannelSet& tree, size_t& lockedCount, ChannelSet& imported,
                     const DuplicateChooser& choose) {
  size_t duplicates = 0;
  for (const auto& c : imported.Channels()) duplicates += FindByName(tree, c->name) ? 1 : 0;

  // First every question, so that a cancel leaves the tree untouched.
  std::vector<DuplicateAction> actions(imported.Count(), DuplicateAction::Skip);
  std::vector<bool> isDuplicate(imported.Count(), false);
  bool haveAll = false;
  DuplicateAction all = DuplicateAction::Skip;
  for (size_t i = 0; i < imported.Count(); ++i) {
    ChannelItem& channel = *imported.At(i);
    channel.skip = false;
    if (!FindByName(tree, channel.name)) continue;
    isDuplicate[i] = true;
    if (haveAll) {
      actions[i] = all;
      continue;
    }
    DuplicateChoice choice = choose ? choose(channel.name, duplicates > 1)
                                    : DuplicateChoice{DuplicateAction::Skip, false, true};
    if (choice.cancel) return false;
    actions[i] = choice.action;
    if (choice.applyToAll) {
      haveAll = true;
      all = choice.action;
    }
  }

  // The tree's own channels, before anything is added: only these are
  // replaced or merged into, so an import holding one name twice keeps both
  // of its channels.
  const size_t ownCount = tree.Count();
  std::vector<const ChannelItem*> replaced;
  for (size_t i = 0; i < imported.Count(); ++i) {
    ChannelItem& channel = *imported.At(i);
    if (!isDuplicate[i]) {
      tree.AddCopy(channel);
      continue;
    }
    switch (actions[i]) {
      case DuplicateAction::Replace:
        for (size_t t = lockedCount; t < ownCount; ++t) {
          if (tree.At(t)->name == channel.name) replaced.push_back(tree.At(t));
        }
        tree.AddCopy(channel);
        break;
      case DuplicateAction::Rename:
        // The number is 2 whatever exists already.
        tree.AddCopy(channel)->name = channel.name + "2";
        break;
      case DuplicateAction::Merge: {
        // Into the first user channel of that name; a fixed channel is never
        // written back, so content merged into it would be lost: the
        // imported channel is then added as a user channel instead.
        ChannelItem* existing = nullptr;
        for (size_t t = lockedCount; t < ownCount && !existing; ++t) {
          if (tree.At(t)->name == channel.name) existing = tree.At(t);
        }
        if (!existing) {
          tree.AddCopy(channel);
          break;
        }
        for (const auto& child : channel.children) existing->children.push_back(child->Clone());
        break;
      }
      case DuplicateAction::Skip:
        channel.skip = true;
        break;
    }
  }
  std::erase_if(tree.Channels(), [&](const auto& c) {
    return std::find(replaced.begin(), replaced.end(), c.get()) != replaced.end();
  });
  return true;
}

std::string ExportFileName(const std::string& typed, const std::string& channelsFolder,
                           std::string* problem) {
  if (typed.empty()) {
    if (problem) *problem = kSupplyFileName;
    return {};
  }
  std::string name = typed;
  std::string lower = platform::AsciiLower(name);
  if (lower.size() < 4 || lower.compare(lower.size() - 4, 4, ".ndf") != 0) name += ".ndf";
  if (name.find_first_of("/\\") == std::string::npos) name = platform::JoinPath(channelsFolder, name);
  return name;
}

std::string ExportSummary(size_t count, const std::string& fileName) {
  char head[4096];
  std::snprintf(head, sizeof head, "You have selected %zu channel(s) to export: \r\nFilename: %s\r\n\n",
                count, fileName.c_str());
  return std::string(head) +
         "This file can be imported into any session two ways:\r\n\n\n"
         "1.  Any user can import the file from Channel Designer.\r\n\n"
         "2.  You can place a hyperlink to the file from any HTML page.\r\n";
}

bool ExportChannels(const ChannelSet& set, const std::vector<size_t>& chosen,
                    const std::string& path, MessageBoxService* messages) {
  ChannelSet out;
  for (size_t i : chosen) {
    if (i < set.Count()) out.AddCopy(*set.At(i));
  }
  if (path.empty() || !platform::WriteFileAtomically(path, FormatChannelText(out, 0))) {
    if (messages) messages->Error(kCannotOpenDestination);
    return false;
  }
  return true;
}

bool MergeChannelFile(ChannelLibrary& library, const std::string& path,
                      const DuplicateChooser& choose, bool deleteAfterLoading) {
  ChannelSet imported;
  if (!imported.Load(path, true)) return false;

  // The designer's view of the channels: all of them, the fixed ones locked.
  ChannelSet tree;
  for (const auto& c : library.Set().Channels()) tree.AddCopy(*c);
  size_t locked = library.FixedCount();
  if (!MergeChannelSet(tree, locked, imported, choose)) return false;
  library.ReplaceUserChannels(tree, locked);
  if (!library.SaveUserChannels()) return false;
  // Only now are the file's channels safe in "chanuser.vyr": a cancelled
  // merge or a failed write leaves the file for the next time.
  if (deleteAfterLoading) std::remove(path.c_str());
  return true;
}

bool ReceiveChannelFile(const Application& app, ChannelLibrary& library,
                        const DuplicateChooser& choose, const std::string& path) {
  std::string file = path;
  if (file.empty()) {
    std::string temp = app.GetDataDirectory("_TEMP", true);
    if (temp.empty()) return false;
    file = platform::JoinPath(temp, kReceivedFile);
  }
  return MergeChannelFile(library, file, choose, true);
}

}  // namespace vyr
