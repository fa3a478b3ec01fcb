#pragma once
// Shared by the channel tests: a readable dump of a channel tree.
#include <string>

#include "channels/channel_set.h"

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

}  // namespace vyr::test
