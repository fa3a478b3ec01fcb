#pragma once
// The mail window's texts: its title, toolbar, menus, search panel, the
// password question and the names screen readers give its parts. Each is a
// number of the string table (res/strings); the toolbar's labels and tips
// and the boxes' texts are the program's fixed wording.
#include "platform/string_table.h"

namespace mail_text {

using vyr::platform::TextId;

inline constexpr TextId kWindowTitle{40700};  // "Vyrelle Mail"

// Toolbar: label and tip of each button.
inline constexpr TextId kSendReceiveButton{40701};
inline constexpr TextId kSendReceiveTip{40702};
inline constexpr TextId kWriteButton{40703};
inline constexpr TextId kWriteTip{40704};
inline constexpr TextId kOpenButton{40705};
inline constexpr TextId kOpenTip{40706};
inline constexpr TextId kMarkReadButton{40707};
inline constexpr TextId kMarkReadTip{40708};
inline constexpr TextId kMarkUnreadButton{40709};
inline constexpr TextId kMarkUnreadTip{40710};
inline constexpr TextId kDeleteButton{40711};
inline constexpr TextId kDeleteTip{40712};
inline constexpr TextId kAddressBookButton{40713};
inline constexpr TextId kAddressBookTip{40714};
inline constexpr TextId kFoldersButton{40715};
inline constexpr TextId kFoldersTip{40716};
inline constexpr TextId kSettingsButton{40717};
inline constexpr TextId kSettingsTip{40718};
inline constexpr TextId kSearchButton{40719};
inline constexpr TextId kSearchTip{40720};
inline constexpr TextId kCancelButton{40721};
inline constexpr TextId kCancelTip{40722};

// Menu titles and items (no two items of one menu share a key letter).
inline constexpr TextId kFileMenu{40725};
inline constexpr TextId kEditMenu{40726};
inline constexpr TextId kViewMenu{40727};
inline constexpr TextId kMessageMenu{40728};
inline constexpr TextId kToolsMenu{40729};
inline constexpr TextId kNewFolderItem{40730};
inline constexpr TextId kRenameFolderItem{40731};
inline constexpr TextId kDeleteFolderItem{40732};
inline constexpr TextId kEmptyTrashItem{40733};
inline constexpr TextId kCloseItem{40734};
inline constexpr TextId kSelectAllItem{40735};
inline constexpr TextId kDeleteItem{40736};
inline constexpr TextId kMoveItem{40737};
inline constexpr TextId kSearchItem{40738};
inline constexpr TextId kRefreshItem{40740};
inline constexpr TextId kOpenItem{40741};
inline constexpr TextId kWriteItem{40742};
inline constexpr TextId kMarkReadItem{40743};
inline constexpr TextId kMarkUnreadItem{40744};
inline constexpr TextId kDeleteMessageItem{40745};
inline constexpr TextId kSendReceiveItem{40746};
inline constexpr TextId kCancelCheckItem{40747};
inline constexpr TextId kAddressBookItem{40748};
inline constexpr TextId kSettingsItem{40749};

// Opening a message.
inline constexpr TextId kSelectMessage{40750};       // "Please select a message"
inline constexpr TextId kOutboxBusy{40751};          // "You can not open messages in the Outbox..."
inline constexpr TextId kViewerName{40755};

// The search panel.
inline constexpr TextId kSearchForLabel{40756};  // "Search f&or:"
inline constexpr TextId kLookInLabel{40757};     // "&Look in:"
inline constexpr TextId kAllFolders{40758};      // "All folders"
inline constexpr TextId kFolderColumn{40760};    // "Folder"

// The password question ("%s": the account, then the server).
inline constexpr TextId kPasswordTitle{40764};
inline constexpr TextId kPasswordText{40761};
inline constexpr TextId kPasswordLabel{40762};
inline constexpr TextId kRememberPassword{40763};

// Moving the selected messages with the menu.
inline constexpr TextId kMoveTitle{40771};   // "Move to Folder"
inline constexpr TextId kMovePrompt{40772};  // "Move the selected messages to:"

// What screen readers call the window's parts.
inline constexpr TextId kToolbarName{40769};
inline constexpr TextId kFolderTreeName{40765};
inline constexpr TextId kMessageListName{40766};
inline constexpr TextId kResultsName{40767};
inline constexpr TextId kStatusName{40768};
inline constexpr TextId kSearchTextName{40773};
inline constexpr TextId kFolderChoiceName{40774};
// Send & Receive while the user works offline.
inline constexpr TextId kGoOnlineQuestion{40775};
inline constexpr TextId kGoOnlineCaption{40776};

}  // namespace mail_text
