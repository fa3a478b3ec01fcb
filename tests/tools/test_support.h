#pragma once
// Shared helpers of the headless tests.
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/application.h"
#include "base/message_box.h"
#include "base/sound_player.h"

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

// Runs body in a forked child process and returns its exit status, or -1
// when the child could not be started or did not exit by itself. Tests that
// lower a process limit (RLIMIT_FSIZE) do that part here, so
// the limit never reaches the test process and its sanitizers.
int RunInChild(const std::function<int()>& body);
// Runs body(i) for i = 0..count-1 in as many child processes at once; true
// when every child exited with 0.
bool AllChildrenSucceed(int count, const std::function<int(int)>& body);
std::string ReadFile(const std::string& path);
// True when a socket can be bound to the IPv6 loopback address (::1).
bool HasIPv6Loopback();

// Records every box and the thread it was shown on; questions get `answer`,
// and their check box (whose text is kept in Box::checkBox, empty when the
// box has none) is ticked when tickCheckBox is set.
class RecordingMessageBox : public MessageBoxService {
 public:
  struct Box {
    std::string kind, text, caption, checkBox = {};
    std::thread::id thread = std::this_thread::get_id();
  };
  int Error(const std::string& text, const std::string& caption = {}) override;
  int Question(const std::string& text, const std::string& caption,
               bool* dontShowAgain = nullptr) override;
  int QuestionWithCheckBox(const std::string& text, const std::string& caption,
                           const std::string& checkBoxText, bool* checked) override;
  int Information(const std::string& text, const std::string& caption = {}) override;
  std::vector<Box> boxes;
  int answer = IDYES;
  bool tickCheckBox = false;

 private:
  std::string checkBoxText_ = kDontShowAgainText;
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

// An application object on a fresh home folder with recording services,
// the profile cache cleared and English strings: the usual start of a test.
struct TestApp {
  TestApp();
  TempDir home;
  RecordingMessageBox boxes;
  RecordingSoundPlayer sounds;
  Application app;
};

}  // namespace vyr::test
