#pragma once
#include <string>

namespace vyr {

// Plays a sound file. Returns non-zero when playback started; a missing
// device or an unreadable file plays nothing and returns 0.
class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  virtual int Play(const std::string& wavFile, bool async) = 0;
};

// Plays nothing (the command-line companion).
class SilentSoundPlayer : public SoundPlayer {
 public:
  int Play(const std::string&, bool) override { return 0; }
};

}  // namespace vyr
