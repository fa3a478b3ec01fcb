#pragma once
// The message-box service the logic uses to tell the user something or ask.
// The windowed program shows skinned modal boxes; the command-line companion
// writes to standard error; tests record what was shown.
#include <string>

#include "platform/string_table.h"

namespace vyr {

// Captions of the error and the information box when none is given.
inline constexpr platform::TextId kErrorBoxCaption{32822};
inline constexpr platform::TextId kInformationBoxCaption{32824};

// Buttons a box can return.
enum MessageBoxResult { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

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

}  // namespace vyr
