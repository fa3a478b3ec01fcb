#pragma once
// Shared by the channel and favorites tests: a readable dump of a channel
// tree, the files below a folder, the address of a shortcut.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "channels/channel_set.h"
#include "channels/favorites.h"

namespace vyr::test {

// One line per item: depth, name, url, children indented by depth.
inline std::string DumpTree(const ChannelSet& set) {
  std::string out;
  for (const auto& c : set.Channels()) {
    out += "0|" + c->name + "|" + c->url + "\n";
    for (const auto& i : c->children) {
      out += "1|" + i->name + "|" + i->url + "\n";
      for (const auto& p : i->children) out += "2|" + p->name + "|" + p->url + "\n";
    }
  }
  return out;
}

// "Name(page,folder[page,],) " for each channel from `first` on; a folder is
// shown with its brackets even when empty.
inline std::string Shape(const ChannelSet& set, size_t first = 0) {
  std::string out;
  for (size_t c = first; c < set.Count(); ++c) {
    out += set.At(c)->name + "(";
    for (const auto& i : set.At(c)->children) {
      out += i->name;
      if (i->HasChildren() || i->url.empty() || i->url[0] == '_') {
        out += "[";
        for (const auto& p : i->children) out += p->name + ",";
        out += "]";
      }
      out += ",";
    }
    out += ") ";
  }
  return out;
}

// Every entry below a folder, relative and sorted; folders end in "/".
inline std::vector<std::string> Tree(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> out;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string rel = fs::relative(it->path(), folder).string();
    out.push_back(it->is_directory() ? rel + "/" : rel);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The address a shortcut file holds, or "<none>".
inline std::string AddressOf(const std::string& shortcut) {
  std::string address;
  return ReadShortcut(shortcut, address) ? address : "<none>";
}

}  // namespace vyr::test
