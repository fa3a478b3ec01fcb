#include "channels/channel_set.h"

#include <cstdio>

#include "base/message_box.h"
#include "platform/file_system.h"
#include "platform/profile_file.h"

namespace vyr {

namespace {

constexpr char kCannotOpenDestination[] = "Could Not Open Destination File";
// Values of the sectioned form are read through a buffer of 300 characters.
constexpr size_t kSectionedBuffer = 300;

bool IsWhite(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

void TrimInPlace(std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsWhite(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && IsWhite(static_cast<unsigned char>(s[e - 1]))) --e;
  if (b > 0 || e < s.size()) s = s.substr(b, e - b);
}

// Names and addresses are written as bytes; a CR would end the value early
// and turn the rest into a record of its own, so it becomes a blank.
void AppendValue(std::string& out, const std::string& value) {
  size_t start = out.size();
  out += value;
  for (size_t i = start; i < out.size(); ++i) {
    if (out[i] == '\r') out[i] = ' ';
  }
}

bool Written(const ChannelItem& item) { return item.name != kDeletedName; }

size_t WrittenChildren(const ChannelItem& item) {
  size_t n = 0;
  for (const auto& c : item.children) n += Written(*c) ? 1 : 0;
  return n;
}

}  // namespace

std::unique_ptr<ChannelItem> ChannelItem::Clone() const {
  auto copy = std::make_unique<ChannelItem>();
  copy->name = name;
  copy->url = url;
  copy->kind = kind;
  copy->state = state;
  copy->extra = extra;
  copy->value = value;
  copy->skip = skip;
  copy->children.reserve(children.size());
  for (const auto& c : children) copy->children.push_back(c->Clone());
  return copy;
}

ChannelItem* ChannelSet::AddChannel(const std::string& name) {
  auto item = std::make_unique<ChannelItem>();
  item->name = name;
  item->url = kChannelUrl;
  item->kind = kChannelKindChannel;
  channels_.push_back(std::move(item));
  return channels_.back().get();
}

ChannelItem* ChannelSet::AddChild(ChannelItem* parent, const std::string& name,
                                  const std::string& url, std::int32_t kind) {
  if (!parent) return nullptr;
  auto item = std::make_unique<ChannelItem>();
  item->name = name;
  item->url = url;
  item->kind = kind;
  parent->children.push_back(std::move(item));
  return parent->children.back().get();
}

ChannelItem* ChannelSet::AddCopy(const ChannelItem& channel) {
  channels_.push_back(channel.Clone());
  return channels_.back().get();
}

void ChannelSet::Clear(size_t from) {
  if (from < channels_.size()) channels_.resize(from);
}

bool ReadChannelRecord(std::string_view data, size_t& pos, ChannelRecord& record) {
  // Up to and including the next "~".
  size_t tilde = data.find('~', pos);
  if (tilde == std::string_view::npos) {
    pos = data.size();
    return false;
  }
  // The tag runs to the next ":"; the end of the data inside it ends the
  // reading.
  size_t colon = data.find(':', tilde + 1);
  if (colon == std::string_view::npos) {
    pos = data.size();
    return false;
  }
  // The value runs to the next CR or the end; every other byte, LF and bytes
  // above 127 included, belongs to it.
  size_t cr = data.find('\r', colon + 1);
  size_t end = cr == std::string_view::npos ? data.size() : cr;
  std::string_view tag = data.substr(tilde + 1, colon - tilde - 1);
  std::string_view value = data.substr(colon + 1, end - colon - 1);
  // Over-long tags and values are cut to what the record buffers hold.
  record.tag.assign(tag.substr(0, kChannelRecordLimit));
  record.value.assign(value.substr(0, kChannelRecordLimit));
  TrimInPlace(record.tag);
  TrimInPlace(record.value);
  pos = end;
  return true;
}

size_t ParseChannelText(std::string_view data, ChannelSet& set) {
  size_t pos = 0, channelsRead = 0;
  ChannelItem* channel = nullptr;
  ChannelItem* folder = nullptr;
  ChannelRecord record, urlRecord;
  while (ReadChannelRecord(data, pos, record)) {
    const std::string& tag = record.tag;
    if (tag == "CH") {
      channel = set.AddChannel(record.value);
      folder = nullptr;
      ++channelsRead;
    } else if (tag == "FO") {
      // Items before the first channel have nowhere to go and are skipped.
      if (!channel) continue;
      folder = ChannelSet::AddChild(channel, record.value, kFolderUrl, kChannelKindFolder);
    } else if (tag == "FN" || tag == "PN") {
      // The next record's value is the address, whatever its tag; none at
      // the end of the file leaves the address empty.
      std::string url = ReadChannelRecord(data, pos, urlRecord) ? urlRecord.value : std::string();
      if (!channel) continue;
      if (tag == "PN" && folder) {
        ChannelSet::AddChild(folder, record.value, url, kChannelKindPage);
      } else {
        // "FN", or a page with no current folder: it takes the next
        // top-level place of the channel, so nothing in the file is lost.
        ChannelSet::AddChild(channel, record.value, url, kChannelKindPage);
        if (tag == "FN") folder = nullptr;
      }
    }
    // "**", and "FU" or "PU" met on their own, are ignored.
  }
  return channelsRead;
}

void LoadSectionedChannels(const std::string& path, ChannelSet& set) {
  auto read = [&](const std::string& section, const std::string& key, const std::string& def) {
    return platform::GetPrivateProfileString(section, key, def, path, kSectionedBuffer);
  };
  auto fill = [&](ChannelItem* channel, const std::string& name) {
    const std::string section = "Tab:" + name;
    for (int i = 0;; ++i) {
      std::string label = read(section, "Page" + std::to_string(i) + "Label", "");
      if (label.empty()) break;
      ChannelItem* page = ChannelSet::AddChild(
          channel, label, read(section, "Page" + std::to_string(i) + "URL", ""),
          kChannelKindSectioned);
      for (int j = 0;; ++j) {
        const std::string sub = "Page" + std::to_string(i) + "_" + std::to_string(j);
        std::string subLabel = read(section, sub + "label", "");
        if (subLabel.empty()) break;
        ChannelSet::AddChild(page, subLabel, read(section, sub + "URL", ""), kChannelKindSectioned);
      }
    }
  };
  if (path.find("local.vyr") != std::string::npos) {
    fill(set.AddChannel("local"), "local");
    return;
  }
  for (int n = 0;; ++n) {
    std::string name = read("Channels", "C" + std::to_string(n), "_END_");
    if (name == "_END_") break;
    fill(set.AddChannel(name), name);
  }
}

bool ChannelSet::Load(const std::string& path, bool clear) {
  std::string data;
  if (!platform::FileExists(path) || !platform::ReadWholeFile(path, data)) return false;
  if (clear) Clear(0);
  path_ = path;
  if (ParseChannelText(data, *this) == 0) LoadSectionedChannels(path, *this);
  return true;
}

std::string FormatChannelText(const ChannelSet& set, size_t first) {
  std::string out;
  for (size_t i = first; i < set.Count(); ++i) {
    const ChannelItem& channel = *set.At(i);
    out += "\r\n~**:*********";
    out += "\r\n~CH:";
    AppendValue(out, channel.name);
    for (const auto& child : channel.children) {
      if (!Written(*child)) continue;
      out += "\r\n~**:- - -";
      if (WrittenChildren(*child) == 0) {
        out += "\r\n~FN:";
        AppendValue(out, child->name);
        out += "\r\n~FU:";
        AppendValue(out, child->url);
      } else {
        out += "\r\n~FO:";
        AppendValue(out, child->name);
        for (const auto& page : child->children) {
          if (!Written(*page)) continue;
          out += "\r\n";
          out += "\r\n~PN:";
          AppendValue(out, page->name);
          out += "\r\n~PU:";
          AppendValue(out, page->url);
        }
      }
    }
  }
  return out;
}

bool ChannelSet::Save(const std::string& path, size_t first, MessageBoxService* messages) const {
  if (path.empty() || !platform::WriteFileAtomically(path, FormatChannelText(*this, first))) {
    if (messages) messages->Error(kCannotOpenDestination);
    return false;
  }
  return true;
}

}  // namespace vyr
