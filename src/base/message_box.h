#pragma once
// The message-box service the logic uses to tell the user something or ask.
// The windowed program shows skinned modal boxes; the command-line companion
// writes to standard error; tests record what was shown.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "platform/window_messages.h"

#include "platform/string_table.h"

namespace vyr {

// Captions of the error and the information box when none is given.
inline constexpr platform::TextId kErrorBoxCaption{32822};
inline constexpr platform::TextId kInformationBoxCaption{32824};

// Buttons a box can return.
enum MessageBoxResult { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// The usual text of a question's check box ("Don't show me this again").
inline constexpr platform::TextId kDontShowAgainText{40609};

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  // Error box: caption string 32822 when the caption is empty; plays "error".
  virtual int Error(const std::string& text, const std::string& caption = {}) = 0;
  // Question box with Yes/No (or OK/Cancel); plays "question". When
  // dontShowAgain is given, the box carries a "Don't show me this again"
  // check box whose state is passed in and out.
  virtual int Question(const std::string& text, const std::string& caption,
                       bool* dontShowAgain = nullptr) = 0;
  // A question whose check box reads checkBoxText (such as "Don't ask me
  // this question anymore"). A service without its own check box texts shows
  // its usual one.
  virtual int QuestionWithCheckBox(const std::string& text, const std::string& caption,
                                   const std::string& checkBoxText, bool* checked) {
    (void)checkBoxText;
    return Question(text, caption, checked);
  }
  // Information box: caption string 32824 when empty; plays "info".
  virtual int Information(const std::string& text, const std::string& caption = {}) = 0;
};

// Writes every box to standard error and answers questions with IDNO.
class StderrMessageBox : public MessageBoxService {
 public:
  int Error(const std::string& text, const std::string& caption = {}) override;
  int Question(const std::string& text, const std::string& caption,
               bool* dontShowAgain = nullptr) override;
  int Information(const std::string& text, const std::string& caption = {}) override;
};

// Workers never open windows. This service is made on the user-interface
// thread and stands in front of the one that really shows the boxes: a box
// asked for on that thread is shown at once; a box asked for on any other
// thread is posted to the user-interface thread, and the asking thread waits
// for the answer. Once the user-interface side is closed (Close(), or the
// object is destroyed), every waiting and every later question from a worker
// is answered IDCANCEL, so no worker waits for a window that will never come.
class UiThreadMessageBox : public MessageBoxService, private platform::MessageTarget {
 public:
  // The message number of a box handed to the user-interface thread.
  static constexpr std::uint32_t kShowBoxMessage = 0x8100;

  explicit UiThreadMessageBox(MessageBoxService& shown,
                              platform::WindowMessages& messages = platform::WindowMessages::Instance());
  ~UiThreadMessageBox() override;
  UiThreadMessageBox(const UiThreadMessageBox&) = delete;
  UiThreadMessageBox& operator=(const UiThreadMessageBox&) = delete;

  // User-interface thread: no more boxes; waiting workers get IDCANCEL.
  void Close();

  int Error(const std::string& text, const std::string& caption = {}) override;
  int Question(const std::string& text, const std::string& caption,
               bool* dontShowAgain = nullptr) override;
  int QuestionWithCheckBox(const std::string& text, const std::string& caption,
                           const std::string& checkBoxText, bool* checked) override;
  int Information(const std::string& text, const std::string& caption = {}) override;

  struct Request;
  struct State;

 private:
  int Show(Request& request);
  void OnWindowMessage(const platform::WindowMessage& message) override;

  MessageBoxService& shown_;
  platform::WindowMessages& messages_;
  const std::thread::id uiThread_;
  std::shared_ptr<State> state_;
};

}  // namespace vyr
