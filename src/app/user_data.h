#pragma once
// The main window's first step of its initialisation: the installation key,
// the tracked addresses and usage counters, the user's scheme folder, the
// channel files, the program's version text.
#include <cstdint>
#include <string>

#include "platform/window_messages.h"

namespace vyr {

class Application;

// What InitUserData did, for the caller and the tests.
struct UserDataOutcome {
  bool userDirectory = false;  // the current scheme's folder exists
  // "chanfixed.vyr" and "chanuser.vyr": "present", "downloaded", "copied"
  // (the previous version's file), "failed", "missing" (no fixed channels
  // yet: the background fetch brings them), or "none" (nothing to do).
  std::string fixedChannels;
  std::string userChannels;
};

// Runs the steps in order: the installation identifier; the tracked
// addresses and usage counters from the installation key; the current
// scheme's folder under "media" ("Error creating user directory" when it
// cannot be made); "chanfixed.vyr" fetched from the home server's
// "/channels/chanfixed.vyr" when missing (string 33084 on failure); when
// "chanuser.vyr" is missing and the previous version's "vyrchan1.vyr" sits in
// the Windows directory, the upgrade question (strings 33085/33086): OK
// fetches "/channels/chanuser.vyr", anything else copies the old file; the
// version text. The splash window is closed before the network is used.
// The fixed channels are never waited for: a new data root has the shipped
// ones, and StartFixedChannelFetch renews them in the background.
UserDataOutcome InitUserData(Application& app);

// The cookie of the fixed-channel fetch's download messages (outside every
// package request id, whose kind is at most 3).
inline constexpr std::uint32_t kFixedChannelFetchCookie = 0x7F000000u;

// Fetches the home server's "/channels/chanfixed.vyr" on a worker of its
// own into "newchanfixed.vyr", which the next start puts in place; the
// window gets the download messages with kFixedChannelFetchCookie (the
// finished message's result says whether the server answered). False when
// nothing was started: no home server.
bool StartFixedChannelFetch(Application& app, platform::WindowHandle window);

}  // namespace vyr
