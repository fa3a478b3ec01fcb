// vyrelle-cli channels: dump, copy, the start-up set, and merging a file
// into the user's channels.
#include <climits>
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

void AddChannelsCommands(CommandTree& tree, CLI::App& channels) {
  tree.Command(channels, "dump", "one line per item: depth, name, url",
               [](Context& c, const CLI::App& a) {
                 const std::string file = Value(a, "FILE");
                 ChannelSet set;
                 if (!set.Load(file, true)) {
                   c.err << "vyrelle-cli: cannot open " << file << "\n";
                   return 1;
                 }
                 Dump(c.out, set);
                 return 0;
               })
      ->add_option("FILE", "a channel file")
      ->required();
  CLI::App* copy = tree.Command(
      channels, "copy", "load IN, save its channels from FIRST into OUT", [](Context& c, const CLI::App& a) {
        const size_t first = Given(a, "FIRST") ? a.get_option("FIRST")->as<size_t>() : 0;
        ChannelSet set;
        if (!set.Load(Value(a, "IN"), true)) {
          c.err << "vyrelle-cli: cannot open " << Value(a, "IN") << "\n";
          return 1;
        }
        return set.Save(Value(a, "OUT"), first, &c.messages) ? 0 : 1;
      });
  copy->add_option("IN", "the channel file to load")->required();
  copy->add_option("OUT", "the channel file to write")->required();
  copy->add_option("FIRST", "the position of the first channel saved, from\n0 (the first, the default)")
      ->check(WholeNumber(0, INT_MAX));
  tree.Command(channels, "startup", "the start-up channel set and its fixed count",
               [](Context& c, const CLI::App&) {
                 ChannelLibrary library(c.app);
                 library.LoadAtStartup();
                 c.out << "fixed: " << library.FixedCount() << "\n";
                 Dump(c.out, library.Set());
                 return 0;
               });
  CLI::App* merge = tree.Command(
      channels, "merge", "merge FILE into the user channels", [](Context& c, const CLI::App& a) {
        const std::string file = Value(a, "FILE");
        DuplicateAction action = DuplicateAction::Skip;  // the word was checked when read
        ParseAction(Value(a, "ACTION"), action);
        ChannelLibrary library(c.app);
        library.LoadAtStartup();
        ChannelSet probe;
        if (!probe.Load(file, true)) {
          c.err << "vyrelle-cli: cannot open " << file << "\n";
          return 1;
        }
        if (!MergeChannelFile(library, file, AlwaysChoose(action), false)) return 1;
        c.out << "user channels: " << library.Set().Count() - library.FixedCount() << "\n";
        return 0;
      });
  merge->add_option("FILE", "a channel file")->required();
  merge->add_option("ACTION", "what a duplicate channel gets: replace, rename, merge or skip")
      ->required()
      ->check(CLI::IsMember({"replace", "rename", "merge", "skip"}));
}

}  // namespace vyr::cli
