#pragma once
// The windowed program's implementations of the services the logic uses to
// talk to the user: modal message boxes and sound playback, both through
// wxWidgets. They must only be called on the user-interface thread: the
// application puts a vyr::UiThreadMessageBox in front of the boxes, which
// hands boxes asked for by workers over to that thread.
#include <functional>
#include <string>

#include "base/message_box.h"
#include "base/sound_player.h"

// Skinned modal boxes (CMessageBoxDlg). Each box first runs the close-splash
// hook (the application sets it while a splash window is up), then plays its
// sound, then shows itself.
class CWxMessageBox : public vyr::MessageBoxService {
 public:
  void SetCloseSplash(std::function<void()> closeSplash);

  // Error box with an OK button; caption string 32822 when the caption is
  // empty; plays "error".
  int Error(const std::string& text, const std::string& caption = {}) override;
  // Yes/No question; returns IDYES or IDNO. With dontShowAgain the box carries
  // a "Don't show me this again" check box, shown in the state passed in and
  // written back when the box closes. Plays "question".
  int Question(const std::string& text, const std::string& caption,
               bool* dontShowAgain = nullptr) override;
  // The same with a check box of the given text.
  int QuestionWithCheckBox(const std::string& text, const std::string& caption,
                           const std::string& checkBoxText, bool* checked) override;
  // Information box with an OK button; caption string 32824 when the caption
  // is empty; plays "info".
  int Information(const std::string& text, const std::string& caption = {}) override;

 private:
  void BeforeBox(const char* sound);

  std::function<void()> closeSplash_;
};

class CWxSoundPlayer : public vyr::SoundPlayer {
 public:
  // Plays a WAV file. 0 when the file cannot be read or there is no sound
  // device; non-zero when playback started (or, synchronously, completed).
  int Play(const std::string& wavFile, bool async) override;
};
