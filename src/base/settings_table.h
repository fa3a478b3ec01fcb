#pragma once
// Every setting the program reads or writes, declared once: the file it
// lives in, its section and key exactly as stored (users' files depend on
// these texts), and the value a missing key reads as. Code reads and writes
// settings through these constants only (Application::Get / Write); a unit
// test fails on any accessor called with a literal section or key elsewhere.
//
// Section and key names match without regard to ASCII case when read; a
// section is written with the spelling given here only when the file does
// not have it yet.
//
// Keys named at run time (an account number, a colour's name, a numbered
// entry) are families: the fixed parts live here and At(tag) builds the key
// "prefix" + tag + "suffix".
#include <string>
#include <string_view>

namespace vyr {

// Where a setting is kept.
enum class SettingsFile {
  kProfile,  // the user's profile "vyr20.ini"
  kScheme,   // the current scheme's "config.ini" (the default scheme's when it has none)
  kData,     // the data folder's "config.ini": shipped lists, never written
};

struct IntSetting {
  using Value = int;
  std::string_view section;
  std::string_view key;
  int defaultValue;
  SettingsFile file = SettingsFile::kProfile;
};

struct StringSetting {
  using Value = std::string_view;
  std::string_view section;
  std::string_view key;
  std::string_view defaultValue;
  SettingsFile file = SettingsFile::kProfile;
};

// A profile address whose default is a page of the home server: the path is
// kept here, the server is [misc] HomeServer at the time of reading (no home
// server: the default is "").
struct HomeUrlSetting {
  std::string_view section;
  std::string_view key;
  std::string_view homePath;
};

// One member of a family: the family's setting with the key it built, which
// it holds. Hand it straight to an accessor.
template <typename S>
class SettingMember {
 public:
  SettingMember(const S& pattern, std::string key) : pattern_(pattern), key_(std::move(key)) {}
  // A plain setting taken where a member may stand (the main account beside
  // the extra ones).
  SettingMember(const S& plain) : pattern_(plain), key_(plain.key) {}
  // The member as a plain setting, pointing into this member's key.
  S Setting() const& {
    S s = pattern_;
    s.key = key_;
    return s;
  }
  S Setting() const&& = delete;  // would point into a member about to go
  const std::string& Key() const { return key_; }
  typename S::Value Default() const { return pattern_.defaultValue; }

 private:
  S pattern_;
  std::string key_;
};

template <typename S>
struct SettingFamily {
  std::string_view section;
  std::string_view prefix;  // before the member's tag
  std::string_view suffix;  // after it
  typename S::Value defaultValue;
  SettingsFile file = SettingsFile::kProfile;

  SettingMember<S> At(std::string_view tag) const { return At(tag, defaultValue); }
  SettingMember<S> At(int n) const { return At(std::to_string(n)); }
  // A member whose missing key reads as a value of its own (a font's weight).
  SettingMember<S> At(std::string_view tag, typename S::Value memberDefault) const {
    std::string key(prefix);
    key.append(tag).append(suffix);
    return SettingMember<S>(S{section, {}, memberDefault, file}, std::move(key));
  }
};

using IntSettingFamily = SettingFamily<IntSetting>;
using StringSettingFamily = SettingFamily<StringSetting>;

// The setting of the POP3 account with this tag: "" the main account's,
// "1" to "3" the extra account's.
template <typename S>
SettingMember<S> OfAccount(std::string_view tag, const S& main, const SettingFamily<S>& extra) {
  return tag.empty() ? SettingMember<S>(main) : extra.At(tag);
}

// True when section and key name this setting (ASCII case ignored, as the
// profile reader matches them).
bool NamesSetting(std::string_view section, std::string_view key, std::string_view ownSection,
                  std::string_view ownKey);
template <typename S>
bool NamesSetting(std::string_view section, std::string_view key, const S& setting) {
  return NamesSetting(section, key, setting.section, setting.key);
}

// A text setting of the mail settings never filled in reads as this.
inline constexpr char kUnsetText[] = "?";

// ===========================================================================
// Profile [misc]
// ===========================================================================
// The home server's address (no trailing "/" needed); present and empty
// means no home server at all.
inline constexpr StringSetting kMiscHomeServer{"misc", "HomeServer", "http://www.vyrelle.example"};
// Sounds on; toggled by the Tools menu's Play Sounds.
inline constexpr IntSetting kMiscPlaySounds{"misc", "PlaySounds", 1};
// Only the sounds not marked non-essential are played.
inline constexpr IntSetting kMiscPlayEssentialSoundsOnly{"misc", "PlayEssentialSoundsOnly", 0};
// Page transitions on.
inline constexpr IntSetting kMiscTransitions{"misc", "Transitions", 1};
// The current scheme's folder name; empty: the default for the display.
inline constexpr StringSetting kMiscUserDir{"misc", "userdir", ""};
// The command server's address (session requests, command links); empty:
// the home server's "/scripts/vyrcmd.dll".
inline constexpr StringSetting kMiscServerScript{"misc", "PS", ""};
// Minutes between two session pings; set by the "pinginterval" command.
inline constexpr IntSetting kMiscPingInterval{"misc", "PI", 10};
// The longest ping interval, one day: a longer one is stored and used as this.
inline constexpr int kMaxPingMinutes = 1440;
// Seconds each info box page stays before the next one.
inline constexpr IntSetting kMiscInfoBoxSeconds{"Misc", "box", 30};
// The content bar shown. The main window reads it with the display's own
// default: 1 when wider than 700 pixels, else 0.
inline constexpr IntSetting kMiscShowContentBar{"Misc", "ShowContentBar", 1};
// The browser's text size, 0 (smallest) to 4.
inline constexpr IntSetting kMiscTextSize{"Misc", "TextSize", 2};
// The main window's placement: maximised, full-screen view, and its restored
// rectangle. "wnd_top" starting with "-" (or missing) means none was saved.
inline constexpr IntSetting kMiscWindowMaximized{"misc", "wnd_maximize", 1};
inline constexpr IntSetting kMiscWindowFullScreen{"misc", "wnd_viewfullscreen", 0};
inline constexpr StringSetting kMiscWindowTop{"misc", "wnd_top", "-1"};
inline constexpr IntSetting kMiscWindowLeft{"misc", "wnd_left", 0};
inline constexpr IntSetting kMiscWindowRight{"misc", "wnd_right", 0};
inline constexpr IntSetting kMiscWindowBottom{"misc", "wnd_bottom", 0};
// Ask before a page opens a popup window.
inline constexpr IntSetting kMiscWarnOnPopup{"misc", "warn_on_popup", 0};
// The largest download the program takes, in megabytes.
inline constexpr IntSetting kMiscMaxDownloadMB{"misc", "MaxDownloadMB", 64};
// The scheme gallery the look-and-feel dialog opens.
inline constexpr HomeUrlSetting kMiscSchemeUrl{"misc", "SchemeURL", "/Archive/Schemes/"};
// The software update server, also named in the download line of sent mail.
inline constexpr HomeUrlSetting kMiscUpdateUrl{"misc", "updateurl", "/"};
// The installed versions of the packages the home server pushes: the info
// box, the program files, the dictionary (never recorded) and the fixed
// channel file.
inline constexpr IntSetting kMiscInfoBoxVersion{"misc", "ibver", 0};
inline constexpr IntSetting kMiscProgramVersion{"misc", "exever", 0};
inline constexpr IntSetting kMiscDictionaryVersion{"misc", "dictver", 0};
inline constexpr IntSetting kMiscFixedChannelsVersion{"misc", "fixedchanver", 0};

// ===========================================================================
// Profile [Startup]
// ===========================================================================
// The splash window at start.
inline constexpr IntSetting kStartupShowSplash{"Startup", "ShowSplash", 1};
// Offer to become the default browser at start.
inline constexpr IntSetting kStartupCheckDefaultBrowser{"Startup", "CheckDefaultBrowser", 1};
// Set after the first run.
inline constexpr IntSetting kStartupRanOnce{"Startup", "RanOnce", 0};
// Check mail when the program starts (also needs [email] UseVyrMail 1).
inline constexpr IntSetting kStartupCheckMail{"Startup", "CheckMail", 0};
// A start-up option kept by the start-up options dialog.
inline constexpr IntSetting kStartupShowWelcome{"Startup", "ShowWelcome", 0};
// Tooltips on toolbar buttons and channels.
inline constexpr IntSetting kStartupShowTooltips{"Startup", "ShowTooltips", 1};
// The info box takes clicks.
inline constexpr IntSetting kStartupAllowInfoboxClick{"Startup", "AllowInfoboxClick", 0};
// Stay running (in the tray) after the last browser window closes.
inline constexpr IntSetting kStartupKeepAlive{"Startup", "KeepAlive", 1};
// Set by the "tour" command link: 1 for "on", else 0.
inline constexpr IntSetting kStartupShowTour{"Startup", "ShowTour", 0};
// The user's own start page, used when UseDefaultStart is 0.
inline constexpr StringSetting kStartupHome{"Startup", "Home", ""};
// Start on the shipped start page rather than the user's own.
inline constexpr IntSetting kStartupUseDefaultStart{"Startup", "UseDefaultStart", 1};

// ===========================================================================
// Profile [SmarterBrowsing], [Search]: enhanced browsing
// ===========================================================================
// The steps of enhanced browsing: completing typed addresses, real names,
// searching the web for words.
inline constexpr IntSetting kSmarterBrowsingAutocomplete{"SmarterBrowsing", "Autocomplete", 1};
inline constexpr IntSetting kSmarterBrowsingRealNames{"SmarterBrowsing", "RealNames", 1};
inline constexpr IntSetting kSmarterBrowsingWebSearch{"SmarterBrowsing", "WebSearch", 1};
// The help page of the enhanced-browsing options.
inline constexpr HomeUrlSetting kSmarterBrowsingHelp{"SmarterBrowsing", "RealHelp", "/enhancedbrowsing.html"};
// The search address template for typed words ("%s": the words).
inline constexpr HomeUrlSetting kSearchUrl{
    "Search", "URL", "/search/directory/results/1,61,vyrelle-0,00.html?tag=st.sn.fdsb&keyword=%s"};
// The real-name resolver's host; missing: the home server's host.
inline constexpr StringSetting kSearchResolverHost{"Search", "RNServer", ""};
// The real-name resolver's path template ("%s": the name).
inline constexpr StringSetting kSearchResolverPath{"Search", "RNURL", "/resolver.dll?realname=%s"};

// ===========================================================================
// Profile: the main window's other settings
// ===========================================================================
// The toolbar size: 1 large, 0 medium, 2 small.
inline constexpr IntSetting kToolbarSize{"Toolbar", "Size", 1};
// The related-pages window: its address template ("%s": the page shown)
// and its size.
inline constexpr StringSetting kRelatedUrl{
    "related", "URL",
    "http://related.vyrelle.example/data/40718263950417392658104"
    "?cli=5&dat=n&ads=N&cdt=vyr_win%%3Dvyr_wtgn&url=%s"};
inline constexpr IntSetting kRelatedWidth{"related", "w", 263};
inline constexpr IntSetting kRelatedHeight{"related", "h", 300};
// The custom Help menu entries: "CustomItem<n>" names entry n (n from 1, up
// to the first empty one; "SEPARATOR" for a line), "CustomItem<n>URL" its page.
inline constexpr StringSettingFamily kHelpCustomItem{"Help", "CustomItem", "", ""};
inline constexpr StringSettingFamily kHelpCustomItemUrl{"Help", "CustomItem", "URL", ""};
// The typed addresses of the address bar, newest first: "url1", "url2", ...
inline constexpr StringSettingFamily kTypedUrl{"TypedURLs", "url", "", ""};
// The search bar's remembered terms and the quote lookup's symbols, mru1 the
// newest.
inline constexpr StringSettingFamily kSearchTermMru{"searchmru", "mru", "", ""};
inline constexpr StringSettingFamily kQuoteSymbolMru{"stocksmru", "mru", "", ""};

// ===========================================================================
// Profile [email] (and [Startup] CheckMail above): the mail client
// ===========================================================================
// The main POP3 account: user name, server, password (enciphered) and
// whether messages are deleted on the server once stored (0: left there).
inline constexpr StringSetting kEmailPop3Account{"email", "pop3-account", kUnsetText};
inline constexpr StringSetting kEmailPop3Server{"email", "pop3-server", kUnsetText};
inline constexpr StringSetting kEmailPop3Password{"email", "pop3-pass", kUnsetText};
inline constexpr IntSetting kEmailDeleteMessages{"email", "delete-messages", 0};
// The unique id of the last message fetched from the main account.
inline constexpr StringSetting kEmailLastMessageId{"email", "IDLastMessageDownloaded", kUnsetText};
// The main account's POP3 security (0 none, 1 STARTTLS, 2 TLS from the
// first byte) and port (missing: 995 with TLS, else 110; every account).
inline constexpr IntSetting kEmailPop3Security{"email", "POP3Security", 0};
inline constexpr IntSetting kEmailPop3Port{"email", "POP3Port", 110};
// Seconds of silence from a POP3 server before the check gives up on it.
inline constexpr IntSetting kEmailPop3Timeout{"email", "POP3Timeout", 30};
// A file of extra certificates the mail connections trust.
inline constexpr StringSetting kEmailTlsTrustFile{"email", "TLSTrustFile", ""};
// The extra accounts 1 to 3 ("multipop<n>..."): active, user name, server,
// password, delete on the server, security; the last message fetched
// ("IDLastMessageDownloaded<n>") and the outcome of the last check
// ("LastMailCheck<n>": "Successful" or the failing status text).
inline constexpr IntSettingFamily kEmailExtraActive{"email", "multipop", "", 0};
inline constexpr StringSettingFamily kEmailExtraAccount{"email", "multipop", "-account", kUnsetText};
inline constexpr StringSettingFamily kEmailExtraServer{"email", "multipop", "-server", kUnsetText};
inline constexpr StringSettingFamily kEmailExtraPassword{"email", "multipop", "-pass", kUnsetText};
inline constexpr IntSettingFamily kEmailExtraDeleteMessages{"email", "multipop", "-delete-messages", 0};
inline constexpr IntSettingFamily kEmailExtraSecurity{"email", "multipop", "-security", 0};
inline constexpr StringSettingFamily kEmailExtraLastMessageId{"email", "IDLastMessageDownloaded", "", ""};
inline constexpr StringSettingFamily kEmailExtraLastCheck{"email", "LastMailCheck", "", ""};
// The sender: address and display name.
inline constexpr StringSetting kEmailAddress{"email", "e-address", kUnsetText};
inline constexpr StringSetting kEmailName{"email", "name", kUnsetText};
// The SMTP server for sending, its security and port (missing: 465 with
// TLS, else 25), and the log-in: on when 1, user and password (enciphered;
// unset: the main POP3 account's).
inline constexpr StringSetting kEmailSmtpServer{"email", "smtp-server", kUnsetText};
inline constexpr IntSetting kEmailSmtpSecurity{"email", "SMTPSecurity", 0};
inline constexpr IntSetting kEmailSmtpPort{"email", "SMTPPort", 25};
inline constexpr IntSetting kEmailSmtpAuth{"email", "SMTPAuth", 0};
inline constexpr StringSetting kEmailSmtpUser{"email", "SMTPUser", kUnsetText};
inline constexpr StringSetting kEmailSmtpPassword{"email", "SMTPPass", kUnsetText};
// The user's choice to log in without TLS (a POP3 account or the outgoing
// log-in on a plain connection); the settings dialogs refuse such a log-in
// while it is 0.
inline constexpr IntSetting kEmailSendPasswordUnencrypted{"email", "SendPasswordUnencrypted", 0};
// Sent mail goes out as plain text only.
inline constexpr IntSetting kEmailSendTextOnly{"email", "SendTextOnly", 0};
// The integrated mail client: 1 on (mail links open its composer); 0 the
// system's mail handler; 2 another program.
inline constexpr IntSetting kEmailUseVyrMail{"email", "UseVyrMail", 1};
// The command line of the other mail program (read like a desktop file's
// Exec line; the message's mailto link goes where %u stands, else last).
inline constexpr StringSetting kEmailClientPath{"email", "clientpath", ""};
// Minutes between automatic mail checks; 0: none.
inline constexpr IntSetting kEmailMinutesBetweenChecks{"email", "MinutesBetweenChecks", 0};
// A download line for the program added to every sent message.
inline constexpr IntSetting kEmailDownloadLink{"email", "downloadlink", 0};
// The notification offering the mailboxes after a check.
inline constexpr IntSetting kEmailPopupNotification{"email", "popupnotification", 1};
// Spelling check before sending: "Prompt", "Always" or "Never".
inline constexpr StringSetting kEmailSpellCheck{"email", "SpellCheckWhenSending", "Prompt"};
// The help page of the e-mail settings dialog.
inline constexpr HomeUrlSetting kEmailSetupHelp{"Email", "setuphelp", "/help/emailsettings.html"};
// The "Don't show me this again" boxes of the mail questions: deleting
// messages, deleting a folder with messages, sending without a subject,
// importing the old address book.
inline constexpr IntSetting kEmailDontPromptForDeletion{"email", "DontPromptForDeletion", 0};
inline constexpr IntSetting kEmailDontPromptForFolderDeletion{"email", "DontPromptForFolderDeletion", 0};
inline constexpr IntSetting kEmailDontAskForSubject{"email", "DontAskForSubject", 0};
inline constexpr IntSetting kEmailDontAskImportAddressBook{"email", "DontAskImportBetaAddressBook", 0};

// ===========================================================================
// Scheme "config.ini"
// ===========================================================================
// Skinned caption bars (the options dialog writes it back into the scheme).
inline constexpr IntSetting kSchemeFancyWindows{"Misc", "FancyWindows", 0, SettingsFile::kScheme};
// Underline the link under the pointer.
inline constexpr IntSetting kSchemeUnderlineRollover{"misc", "underline_rollover", 1, SettingsFile::kScheme};
// The address of the support mail.
inline constexpr StringSetting kSchemeSupportEmail{"Support", "SupportEmail", "support@vyrelle.example",
                                                   SettingsFile::kScheme};
// A colour by its name ("StatusBarText", ...) as "r,g,b"; "NONE": the
// colour's own default.
inline constexpr StringSettingFamily kSchemeColour{"Colors", "", "", "NONE", SettingsFile::kScheme};
// A font by its name ("URLBar", ...): "<name>Face" and "<name>Weight" (the
// weight's default is each font's own).
inline constexpr StringSettingFamily kSchemeFontFace{"Fonts", "", "Face", "MS Sans Serif", SettingsFile::kScheme};
inline constexpr IntSettingFamily kSchemeFontWeight{"Fonts", "", "Weight", 400, SettingsFile::kScheme};
// The margins of a strip ("Folders", "Sites", "Buttons"): "<strip>Top" and so
// on; -1: the strip's own layout.
inline constexpr IntSettingFamily kSchemeMarginTop{"Margins", "", "Top", -1, SettingsFile::kScheme};
inline constexpr IntSettingFamily kSchemeMarginLeft{"Margins", "", "Left", -1, SettingsFile::kScheme};
inline constexpr IntSettingFamily kSchemeMarginRight{"Margins", "", "Right", -1, SettingsFile::kScheme};
inline constexpr IntSettingFamily kSchemeMarginBottom{"Margins", "", "Bottom", -1, SettingsFile::kScheme};
// The skinned caption bar's margins, the menu's top and a centred caption.
inline constexpr IntSetting kSchemeCaptionLeftMargin{"FancyWindows", "Caption_LeftMargin", 90, SettingsFile::kScheme};
inline constexpr IntSetting kSchemeCaptionRightMargin{"FancyWindows", "Caption_RightMargin", 98, SettingsFile::kScheme};
inline constexpr IntSetting kSchemeCaptionTopMargin{"FancyWindows", "Caption_TopMargin", 8, SettingsFile::kScheme};
inline constexpr IntSetting kSchemeMenuTopMargin{"FancyWindows", "Menu_TopMargin", 24, SettingsFile::kScheme};
inline constexpr IntSetting kSchemeCenterCaption{"FancyWindows", "CenterCaption", 0, SettingsFile::kScheme};
// A skinned caption button ("Close", "Restore", "Minimize"; its top is
// stored as "MimimizeTop"): "<button>Top", "Left", "Width", "Height" (the
// defaults are each button's own).
inline constexpr IntSettingFamily kSchemeCaptionButtonTop{"CaptionButtons", "", "Top", 0, SettingsFile::kScheme};
inline constexpr IntSettingFamily kSchemeCaptionButtonLeft{"CaptionButtons", "", "Left", 0, SettingsFile::kScheme};
inline constexpr IntSettingFamily kSchemeCaptionButtonWidth{"CaptionButtons", "", "Width", 0, SettingsFile::kScheme};
inline constexpr IntSettingFamily kSchemeCaptionButtonHeight{"CaptionButtons", "", "Height", 0, SettingsFile::kScheme};
// The window buttons drawn on a skinned frame: top, gap between, size and
// the gap to the right edge.
inline constexpr IntSetting kSchemeWindowButtonsTop{"WindowButtons", "Top", 10, SettingsFile::kScheme};
inline constexpr IntSetting kSchemeWindowButtonsGap{"WindowButtons", "Gap", 2, SettingsFile::kScheme};
inline constexpr IntSetting kSchemeWindowButtonsWidth{"WindowButtons", "Width", 16, SettingsFile::kScheme};
inline constexpr IntSetting kSchemeWindowButtonsHeight{"WindowButtons", "Height", 16, SettingsFile::kScheme};
inline constexpr IntSetting kSchemeWindowButtonsRightGap{"WindowButtons", "RightGap", 10, SettingsFile::kScheme};

// ===========================================================================
// Data folder "config.ini" (read-only)
// ===========================================================================
// The start page the home channel lists (the main window shows its shipped
// page when the data folder names none) and the name of its start folder.
inline constexpr StringSetting kDataStartPage{"StartFolder", "StartPage", "http://portal.vyrelle.example/start",
                                              SettingsFile::kData};
inline constexpr StringSetting kDataStartFolderName{"StartFolder", "FolderName", "Vyrelle", SettingsFile::kData};
// The pages of the home channel's start and help folders: "S<n>_NAME" and
// "S<n>_URL".
inline constexpr StringSettingFamily kDataStartFolderPageName{"StartFolder", "S", "_NAME", "", SettingsFile::kData};
inline constexpr StringSettingFamily kDataStartFolderPageUrl{"StartFolder", "S", "_URL", "", SettingsFile::kData};
inline constexpr StringSettingFamily kDataHelpFolderPageName{"HelpFolder", "S", "_NAME", "", SettingsFile::kData};
inline constexpr StringSettingFamily kDataHelpFolderPageUrl{"HelpFolder", "S", "_URL", "", SettingsFile::kData};
// The user's postal code for the local search partner page.
inline constexpr StringSetting kDataZip{"Local", "Zip", "none", SettingsFile::kData};

}  // namespace vyr
