// vyrelle-cli channels: dump, copy, the start-up set, and merging a file
// into the user's channels.
#include <ostream>

#include "channels/channel_merge.h"
#include "cli/cli_context.h"

namespace vyr::cli {

namespace {

void Dump(std::ostream& out, const ChannelSet& set) {
  for (const auto& channel : set.Channels()) {
    out << 0 << '\t' << channel->name << '\t' << channel->url << '\n';
    for (const auto& item : channel->children) {
      out << 1 << '\t' << item->name << '\t' << item->url << '\n';
      for (const auto& page : item->children) {
        out << 2 << '\t' << page->name << '\t' << page->url << '\n';
      }
    }
  }
}

bool ParseAction(const std::string& word, DuplicateAction& action) {
  if (word == "replace") action = DuplicateAction::Replace;
  else if (word == "rename") action = DuplicateAction::Rename;
  else if (word == "merge") action = DuplicateAction::Merge;
  else if (word == "skip") action = DuplicateAction::Skip;
  else return false;
  return true;
}

}  // namespace

int RunChannelsCommand(Context& c, const std::vector<std::string>& args) {
  const std::string verb = args.empty() ? std::string() : args[0];
  if (verb == "dump" && args.size() == 2) {
    ChannelSet set;
    if (!set.Load(args[1], true)) {
      c.err << "vyrelle-cli: cannot open " << args[1] << "\n";
      return 1;
    }
    Dump(c.out, set);
    return 0;
  }
  if (verb == "copy" && (args.size() == 3 || args.size() == 4)) {
    size_t first = 0;
    if (args.size() == 4) {
      if (args[3].empty() || args[3].find_first_not_of("0123456789") != std::string::npos) {
        return Usage(c.err, "FIRST must be a channel position");
      }
      first = std::stoul(args[3]);
    }
    ChannelSet set;
    if (!set.Load(args[1], true)) {
      c.err << "vyrelle-cli: cannot open " << args[1] << "\n";
      return 1;
    }
    return set.Save(args[2], first, &c.messages) ? 0 : 1;
  }
  if (verb == "startup" && args.size() == 1) {
    ChannelLibrary library(c.app);
    library.LoadAtStartup();
    c.out << "fixed: " << library.FixedCount() << "\n";
    Dump(c.out, library.Set());
    return 0;
  }
  if (verb == "merge" && args.size() == 3) {
    DuplicateAction action;
    if (!ParseAction(args[2], action)) {
      return Usage(c.err, "ACTION must be replace, rename, merge or skip");
    }
    ChannelLibrary library(c.app);
    library.LoadAtStartup();
    ChannelSet probe;
    if (!probe.Load(args[1], true)) {
      c.err << "vyrelle-cli: cannot open " << args[1] << "\n";
      return 1;
    }
    if (!MergeChannelFile(library, args[1], AlwaysChoose(action), false)) return 1;
    c.out << "user channels: " << library.Set().Count() - library.FixedCount() << "\n";
    return 0;
  }
  return Usage(c.err, "channels dump FILE | copy IN OUT [FIRST] | startup | merge FILE ACTION");
}

}  // namespace vyr::cli
