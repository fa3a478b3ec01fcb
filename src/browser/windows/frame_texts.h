#pragma once
// The texts of the browser frames: the menus, the toolbar buttons and their
// tips, the tray menu, the about box and the names of the parts that are
// not there yet. Each is a number of the string table (res/strings); the
// numbers below 40000 are the ones the menu commands and buttons have
// always had. Within one menu no two items share a key letter, in either
// language.
#include "platform/string_table.h"

namespace frame_text {

using vyr::platform::TextId;

// The menu titles.
inline constexpr TextId kFileMenu{40500};
inline constexpr TextId kEditMenu{40501};
inline constexpr TextId kViewMenu{40502};
inline constexpr TextId kGoMenu{40503};
inline constexpr TextId kFavoritesMenu{40504};
inline constexpr TextId kToolsMenu{40505};
inline constexpr TextId kHelpMenu{40506};

// File.
inline constexpr TextId kNewWindowItem{32806};  // "&New Browser Window..."
inline constexpr TextId kOpenItem{32808};       // "&Open..."
inline constexpr TextId kPrintItem{40510};
inline constexpr TextId kCloseItem{40511};
inline constexpr TextId kExitItem{40512};  // also the tray menu's
// Edit.
inline constexpr TextId kCutItem{40513};
inline constexpr TextId kCopyItem{40514};
inline constexpr TextId kPasteItem{40515};
inline constexpr TextId kSelectAllItem{40516};
// View, with the Text Size sub-menu from the smallest size up.
inline constexpr TextId kToolbarSizeItem{40517};
inline constexpr TextId kZoomItem{40518};
inline constexpr TextId kContentBarItem{40519};
inline constexpr TextId kTextSizeMenu{40520};
inline constexpr TextId kStopItem{40521};
inline constexpr TextId kRefreshItem{40522};
inline constexpr TextId kTextSizeItems[] = {TextId{40523}, TextId{40524}, TextId{40525}, TextId{40526},
                                            TextId{40527}};
// Go.
inline constexpr TextId kBackItem{40528};
inline constexpr TextId kForwardItem{40529};
inline constexpr TextId kHomePageItem{40530};
inline constexpr TextId kSearchItem{32878};  // "Search the &Internet..."
inline constexpr TextId kHistoryItem{40531};
// Favorites: its own items, before the favorites.
inline constexpr TextId kAddFavoriteItem{41760};
inline constexpr TextId kOrganizeFavoritesItem{40532};
inline constexpr TextId kImportBookmarksItem{41761};
// Tools.
inline constexpr TextId kReadMailItem{32788};  // "&Read E-Mail..."
inline constexpr TextId kWarnOnPopupItem{40533};
inline constexpr TextId kChannelDesignerItem{32968};  // "Channel &Designer..."
inline constexpr TextId kPlaySoundsItem{40534};
inline constexpr TextId kStartupOptionsItem{40535};
inline constexpr TextId kStartPageItem{41692};  // "S&tart Page..."
inline constexpr TextId kEnhancedBrowsingItem{40536};
inline constexpr TextId kEmailSettingsItem{40537};
inline constexpr TextId kSpeedBoosterItem{40538};
inline constexpr TextId kDialUpItem{42398};  // "Dial-&up Connection..."
inline constexpr TextId kLookAndFeelItem{32798};  // "Look and &Feel...."
// Help.
inline constexpr TextId kRelatedPagesItem{40539};
inline constexpr TextId kSupportMailItem{40540};
inline constexpr TextId kAboutItem{40541};

// The toolbar buttons: text, and tip where it differs from the text.
inline constexpr TextId kBackButton{40550};
inline constexpr TextId kForwardButton{40551};
inline constexpr TextId kStopButton{32773};
inline constexpr TextId kRefreshButton{32774};
inline constexpr TextId kPrintButton{40552};
inline constexpr TextId kHomeButton{40553};
inline constexpr TextId kSearchButton{40554};
inline constexpr TextId kFavoritesButton{40555};
inline constexpr TextId kMailButton{40556};
inline constexpr TextId kMenuButton{40557};
inline constexpr TextId kMenuButtonTip{40558};  // "Show All Menu Options"
inline constexpr TextId kTheNetButton{40559};
inline constexpr TextId kNewsButton{40560};
inline constexpr TextId kMoneyButton{40561};
inline constexpr TextId kLocalButton{40562};
inline constexpr TextId kStocksButton{40563};
inline constexpr TextId kStocksTip{32782};  // "GoStocks"
inline constexpr TextId kWhatsNewButton{40564};
inline constexpr TextId kWhatsNewTip{32779};  // "WhatsNew"
inline constexpr TextId kNewButton{40565};
inline constexpr TextId kNewTip{32780};  // "GoNew"
inline constexpr TextId kPeopleButton{40566};
inline constexpr TextId kPeopleTip{32781};  // "GoPeople"
// What screen readers call the toolbar.
inline constexpr TextId kToolbarName{40567};

// The main window's own texts.
inline constexpr TextId kTrayOpenItem{40580};  // "&Open %s" ("%s": the program's name)
inline constexpr TextId kAboutDescription{40581};
// The status line's notice when the channel update found no home server.
inline constexpr TextId kHomeServerUnreachable{40590};
inline constexpr TextId kCaughtException{40591};  // "Caught ex"
// The status line's notice while the user works offline.
inline constexpr TextId kWorkingOffline{42408};

}  // namespace frame_text
