#pragma once
// The texts of the mail program choice and of the import of other mail
// programs' settings, numbers of the string table (res/strings).
#include "platform/string_table.h"

namespace mail_client_text {

using vyr::platform::TextId;

// "Select E-Mail Client": the three choices (each its key letter), the
// program picker, the current default, the explanation.
inline constexpr TextId kTitle{41302};
inline constexpr TextId kUseDesktop{41303};
inline constexpr TextId kUseIntegrated{41304};
inline constexpr TextId kUseProgram{41305};
inline constexpr TextId kFindProgram{41306};
inline constexpr TextId kCurrent{41307};
inline constexpr TextId kExplanation{41308};
inline constexpr TextId kNoneFound{33233};
inline constexpr TextId kProgramMissing{33236};
inline constexpr TextId kChangeQuestion{38031};
inline constexpr TextId kChangeTitle{41309};
inline constexpr TextId kChangeFailed{41310};
inline constexpr TextId kReadFailed{38032};
inline constexpr TextId kPickerTitle{41311};
// What screen readers call the list and the command field.
inline constexpr TextId kClientsName{41312};
inline constexpr TextId kCommandName{41313};

// "Import Email Settings".
inline constexpr TextId kImportTitle{41320};
inline constexpr TextId kImportFound{41321};
inline constexpr TextId kImportHint{41322};
inline constexpr TextId kSmtpServer{41323};
inline constexpr TextId kPopServer{41324};
inline constexpr TextId kPopUser{41325};
inline constexpr TextId kAddress{41326};
inline constexpr TextId kName{41327};
inline constexpr TextId kImport{41328};
inline constexpr TextId kContinue{41329};
inline constexpr TextId kAccountsName{41330};

}  // namespace mail_client_text
