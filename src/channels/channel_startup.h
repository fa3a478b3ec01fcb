#pragma once
// The application's channels: the built-in home channel, the channel files
// of the data folder in their loading order, the fixed-channel count, and
// writing the user's channels back.
#include <cstddef>
#include <string>

#include "channels/channel_set.h"

namespace vyr {

class Application;

// File names in the data folder.
inline constexpr char kLocalChannelsFile[] = "local.vyr";
inline constexpr char kFixedChannelsFile[] = "chanfixed.vyr";
inline constexpr char kUserChannelsFile[] = "chanuser.vyr";

// Name of the built-in home channel (with its trailing blank).
inline constexpr char kHomeChannelName[] = "H O M E ";

class ChannelLibrary {
 public:
  explicit ChannelLibrary(const Application& app) : app_(app) {}

  // Rebuilds the set: empty it; the home channel; "local.vyr" and
  // "chanfixed.vyr" appended (missing files add nothing); the count so far is
  // the fixed-channel count; then "chanuser.vyr" appended. Returns the fixed
  // count.
  size_t LoadAtStartup();

  // Adds the home channel, built from the profile and the data folder's
  // "config.ini".
  void AddHomeChannel();

  // Writes the channels from the fixed-channel count on into "chanuser.vyr".
  bool SaveUserChannels() const;

  ChannelSet& Set() { return set_; }
  const ChannelSet& Set() const { return set_; }
  size_t FixedCount() const { return fixedCount_; }
  void SetFixedCount(size_t n) { fixedCount_ = n; }
  bool IsFixed(size_t index) const { return index < fixedCount_; }

  // Replaces the user channels (from the fixed count on) with copies of the
  // given channels, in order.
  void ReplaceUserChannels(const ChannelSet& from, size_t firstUserChannel);

  std::string DataFile(const std::string& name) const;

 private:
  const Application& app_;
  ChannelSet set_;
  size_t fixedCount_ = 0;
};

}  // namespace vyr
