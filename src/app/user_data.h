#pragma once
// The main window's first step of its initialisation: the installation key,
// the tracked addresses and usage counters, the user's scheme folder, the
// channel files, the program's version text.
#include <string>

namespace vyr {

class Application;

// What InitUserData did, for the caller and the tests.
struct UserDataOutcome {
  bool userDirectory = false;  // the current scheme's folder exists
  // "chanfixed.vyr" and "chanuser.vyr": "present", "downloaded", "copied"
  // (the previous version's file), "failed", or "none" (nothing to do).
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
UserDataOutcome InitUserData(Application& app);

}  // namespace vyr
