#pragma once
// The texts of the mail settings dialogs, numbers of the string table
// (res/strings). The refusals' texts are the logic's (mail/receive/mail_accounts).
#include "platform/string_table.h"

namespace settings_text {

using vyr::platform::TextId;

// "Configure your E-mail Settings": each control its own key letter.
inline constexpr TextId kTitle{41410};
inline constexpr TextId kUseMail{41411};
inline constexpr TextId kName{41412};
inline constexpr TextId kAddress{41413};
inline constexpr TextId kIncoming{41414};
inline constexpr TextId kIncomingServer{41415};
inline constexpr TextId kIncomingSecurity{41416};
inline constexpr TextId kIncomingPort{41417};
inline constexpr TextId kUser{41418};
inline constexpr TextId kPassword{41419};
inline constexpr TextId kLeaveOnServer{41420};
inline constexpr TextId kOutgoing{41421};
inline constexpr TextId kOutgoingServer{41422};
inline constexpr TextId kOutgoingSecurity{41423};
inline constexpr TextId kOutgoingPort{41424};
inline constexpr TextId kOutgoingLogIn{41425};
inline constexpr TextId kOutgoingUser{41426};
inline constexpr TextId kOutgoingPassword{41427};
inline constexpr TextId kOutgoingBlank{41428};
inline constexpr TextId kSendUnencrypted{41429};
// The security choices, in the order of their values 0, 1, 2.
inline constexpr TextId kSecurityNone{41430};
inline constexpr TextId kSecurityStartTls{41431};
inline constexpr TextId kSecurityTls{41432};
inline constexpr TextId kOptions{41433};
inline constexpr TextId kCheckAtStart{41434};
inline constexpr TextId kCheckEvery{41435};
inline constexpr TextId kMinutes{41436};
inline constexpr TextId kNotification{41437};
inline constexpr TextId kDownloadLine{41438};
inline constexpr TextId kSpellCheck{41439};
// The spelling choices "Prompt", "Always", "Never".
inline constexpr TextId kSpellPrompt{41440};
inline constexpr TextId kSpellAlways{41441};
inline constexpr TextId kSpellNever{41442};
inline constexpr TextId kSignature{41443};
inline constexpr TextId kExtraAccounts{41444};
inline constexpr TextId kHelp{41445};

// The Multi-POP dialog: its title, the columns, and each row's box
// ("%d": 1 to 3).
inline constexpr TextId kMultiPopTitle{41446};
inline constexpr TextId kActiveColumn{41447};
inline constexpr TextId kUserColumn{41448};
inline constexpr TextId kPasswordColumn{41449};
inline constexpr TextId kServerColumn{41450};
inline constexpr TextId kSecurityColumn{41451};
inline constexpr TextId kLeaveColumn{41452};
inline constexpr TextId kRow{41453};

}  // namespace settings_text
