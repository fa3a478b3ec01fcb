#pragma once
// Shared helpers of the headless tests.
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/message_box.h"
#include "app/sound_player.h"

namespace vyr::test {

// A fresh temporary folder, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value);
  ~ScopedEnv();

 private:
  std::string name_;
  std::optional<std::string> old_;
};

void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);

class RecordingMessageBox : public MessageBoxService {
 public:
  struct Box {
    std::string kind, text, caption;
  };
  int Error(const std::string& text, const std::string& caption = {}) override;
  int Question(const std::string& text, const std::string& caption,
               bool* dontShowAgain = nullptr) override;
  int Information(const std::string& text, const std::string& caption = {}) override;
  std::vector<Box> boxes;
  int answer = IDYES;
};

class RecordingSoundPlayer : public SoundPlayer {
 public:
  struct Played {
    std::string file;
    bool async;
  };
  int Play(const std::string& file, bool async) override {
    played.push_back({file, async});
    return 1;
  }
  std::vector<Played> played;
};

}  // namespace vyr::test
