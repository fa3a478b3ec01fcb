#include "app/command_dispatcher.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iterator>

#include "mail/send/mailto_link.h"
#include "net/server_session.h"
#include "net/web_origin.h"
#include "platform/file_system.h"
#include "platform/url_canonicalizer.h"
#include "platform/text.h"

// The program's version, shown in the upgrade question.
#ifndef VYRELLE_VERSION
#define VYRELLE_VERSION "0.1.0"
#endif

namespace vyr {

namespace {

using platform::TextId;

constexpr TextId kRunningVersion{33070};   // "You're currently running version "
constexpr TextId kVersionOf{33071};        // " of "
constexpr TextId kUpgradeToVersion{33072};  // ". You need to upgrade to version "
constexpr TextId kUpgradeNow{33073};       // "Upgrade now?"
constexpr TextId kUpgradeTitle{33074};     // "Upgrade %s ?"
constexpr TextId kWelcomeWichita{33075};
constexpr TextId kWelcomeHoboken{33076};
constexpr TextId kNowOffline{33077};
constexpr TextId kNowOnline{33078};
constexpr TextId kSendMailTestQuestion{40130};   // "%s": the test address
constexpr TextId kQueueMailTestQuestion{40131};  // "%s": the test address

const char kProgramName[] = "Vyrelle";
// The distribution code of this build; the software update command is for
// builds of our own distribution only.
const char kDistributionCode[] = "VYRELLE";
const char kTestMailAddress[] = "mailtest@vyrelle.example";
const char kAdvertisingSite[] = "http://ads.vyrelle.example/";
const int kTestMailCount = 50;

// Limits of a settings write from a command: a name or value longer than
// these is refused, not cut (a cut value would be a different setting).
const size_t kMaxSettingName = 64;
const size_t kMaxSettingValue = 1024;
// The longest info-box rotation a command may set (a day).
const long kMaxInfoBoxSeconds = 86400;

bool IsTokenChar(unsigned char c) { return c > ' ' && c < 0x7F; }

// The format with its first "%s" replaced by the value.
std::string FillIn(const std::string& format, const std::string& value) {
  const size_t at = format.find("%s");
  if (at == std::string::npos) return format;
  return format.substr(0, at) + value + format.substr(at + 2);
}

// A count of decimal digits only, at most max; nothing otherwise.
bool ParseCount(const std::string& text, long max, long& value) {
  if (text.empty()) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > max) return false;
  }
  return true;
}

// Addresses that run script or carry their own content instead of naming a
// page; a link must not open them in a window of ours.
bool IsScriptAddress(const std::string& address) {
  const std::string lower = platform::AsciiLower(address);
  return platform::StartsWith(lower, "javascript:") || platform::StartsWith(lower, "vbscript:") ||
         platform::StartsWith(lower, "data:");
}

bool IsYes(int answer) { return answer == IDOK || answer == IDYES; }


// The last path component of an address (after the last "\\" or "/").
std::string LastComponent(const std::string& address) {
  const size_t cut = address.find_last_of("/\\");
  return cut == std::string::npos ? address : address.substr(cut + 1);
}

// Settings a command may not change: where the program fetches its commands
// and software from, and the mail settings (servers and stored password).
// A page could otherwise send the user's mail password to a server of its
// choosing, or take over the session.
bool IsProtectedSetting(const std::string& section, const std::string& key) {
  if (platform::EqualsNoCase(section, kEmailPop3Password.section)) return true;  // all of [email]
  return NamesSetting(section, key, kMiscHomeServer) || NamesSetting(section, key, kMiscServerScript) ||
         NamesSetting(section, key, kMiscUpdateUrl);
}

std::string DateText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[128];
  const size_t n = std::strftime(buf, sizeof buf, "%A,%B %d,%Y - %H:%M:%S", &local);
  return std::string(buf, n);
}

template <typename... Args>
std::string Format(const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), format, args...);
  out.resize(static_cast<size_t>(n));
  return out;
}

}  // namespace

int NextToken(const std::string& text, int position, std::string& token, bool lowerCase) {
  token.clear();
  if (position < 0) return -1;
  size_t i = static_cast<size_t>(position);
  while (i < text.size() && !IsTokenChar(static_cast<unsigned char>(text[i]))) ++i;
  if (i >= text.size()) return -1;
  const size_t start = i;
  while (i < text.size() && IsTokenChar(static_cast<unsigned char>(text[i]))) ++i;
  token = text.substr(start, i - start);
  if (lowerCase) token = platform::AsciiLower(std::move(token));
  return static_cast<int>(i);
}

std::string CanonicalizeAddress(const std::string& address) {
  std::string out = platform::DecodePercentEscapes(address);
  out.resize(std::min(out.size(), out.find('\0')));  // a zero byte ends the text, as in a buffer
  if (out.size() + 1 > kCanonicalBufferSize) return {};
  return out;
}

std::string AddressHost(const std::string& address) {
  const std::string lower = platform::AsciiLower(address);
  size_t start = std::string::npos;
  for (const char* scheme : {"http://", "https://", "ftp://"}) {
    if (platform::StartsWith(lower, scheme)) start = std::char_traits<char>::length(scheme);
  }
  if (start == std::string::npos) return {};
  const size_t end = lower.find_first_of("/?#", start);
  std::string authority = lower.substr(start, end == std::string::npos ? end : end - start);
  for (char c : authority) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
                    c == ':' || c == '_';
    if (!ok) return {};  // user information, escapes, brackets: not a plain host
  }
  const size_t colon = authority.find(':');
  if (colon != std::string::npos) authority.resize(colon);
  return authority;
}

bool IsShowOnlyCommand(const std::string& word) {
  static const char* const kShowOnly[] = {
      "refreshart",      "vyrsearch",      "search",         "popupwnd",      "navigatechan",   "showcounters",
      "search_email",    "search_web",     "search_usenet",  "search_yellowpages",              "search_news",
      "search_white",    "search_pictures", "channeldesigner", "showchannelbar", "hidechannelbar",
      "changelook",      "startupoptions", "emailsettings",  "speedbooster",  "showmail",       "about"};
  return std::any_of(std::begin(kShowOnly), std::end(kShowOnly), [&word](const char* w) { return word == w; });
}

std::string FormatMemoryReport(const platform::MemoryStatus& s) {
  return Format(
      "%ld - Percent in use\r\n%9ld - Physical Total\r\n%9ld - Physical Avail\r\n"
      "%9ld - PageFile Total\r\n%9ld - PageFile avail\r\n%9ld - Virtual Total\r\n"
      "%9ld - Virual  Avail",
      s.percentInUse, s.physicalTotal, s.physicalAvail, s.pageFileTotal, s.pageFileAvail,
      s.virtualTotal, s.virtualAvail);
}

// ---------------------------------------------------------------------------

struct CommandDispatcher::Entry {
  const char* word;
  size_t compared;  // characters compared; 0: the whole word
  void (*run)(CommandDispatcher& d, const std::string& text, int pos);
};

namespace {
// Reads the next argument; false when there is none.
bool Arg(const std::string& text, int& pos, std::string& arg, bool lowerCase) {
  pos = NextToken(text, pos, arg, lowerCase);
  return pos >= 0;
}

// The whole rest of the text from its next token on ("" when none is left).
std::string RestOfText(const std::string& text, int pos) {
  std::string first;
  const int end = NextToken(text, pos, first, false);
  if (end < 0) return {};
  return text.substr(static_cast<size_t>(end) - first.size());
}
}  // namespace

using D = CommandDispatcher;

// The command words in the order they are compared; the first match runs.
const CommandDispatcher::Entry CommandDispatcher::kTable[] = {
    {"refreshart", 0, [](D& d, const std::string&, int) { d.shell_.RefreshArt(); }},
    {"updatesoftware", 0, [](D& d, const std::string& t, int p) { d.UpdateSoftware(t, p); }},
    {"vyrsearch", 0, [](D& d, const std::string&, int) { d.shell_.OpenSearchWindow(); }},
    {"search", 0, [](D& d, const std::string&, int) { d.shell_.PostMenuCommand(kSearchInternetCommand); }},
    {"popupwnd", 0,
     [](D& d, const std::string& t, int p) {
       std::string address;
       if (!Arg(t, p, address, true)) return;
       // Only pages: no script, data or local-file addresses from a link.
       if (platform::StartsWith(address, "http://") || platform::StartsWith(address, "https://") ||
           platform::StartsWith(address, "ftp://")) {
         d.shell_.OpenPopupWindow(address);
       }
     }},
    {"navigatechan", 0,
     [](D& d, const std::string& t, int p) {
       std::string name;
       if (Arg(t, p, name, true)) d.shell_.NavigateChannel(name);
     }},
    {"soundoff", 8, [](D& d, const std::string&, int) { d.services_.SaveAndSilenceNavigationSounds(); }},
    {"soundon", 7, [](D& d, const std::string&, int) { d.services_.RestoreNavigationSounds(); }},
    {"showcounters", 0,
     [](D& d, const std::string&, int) { d.app_.Messages().Information(d.services_.UsageCountersText()); }},
    {"search_email", 0, [](D& d, const std::string&, int) { d.shell_.OpenSearchDialog(0); }},
    {"search_web", 0, [](D& d, const std::string&, int) { d.shell_.OpenSearchDialog(1); }},
    {"search_usenet", 0, [](D& d, const std::string&, int) { d.shell_.OpenSearchDialog(2); }},
    {"search_yellowpages", 0, [](D& d, const std::string&, int) { d.shell_.OpenSearchDialog(3); }},
    {"search_news", 0, [](D& d, const std::string&, int) { d.shell_.OpenSearchDialog(4); }},
    {"search_white", 0, [](D& d, const std::string&, int) { d.shell_.OpenSearchDialog(5); }},
    {"search_pictures", 0, [](D& d, const std::string&, int) { d.shell_.OpenSearchDialog(6); }},
    {"channeldesigner", 0,
     [](D& d, const std::string&, int) { d.shell_.PostMenuCommand(kChannelDesignerCommand); }},
    {"showchannelbar", 0, [](D& d, const std::string&, int) { d.SetChannelBarShown(true); }},
    {"hidechannelbar", 0, [](D& d, const std::string&, int) { d.SetChannelBarShown(false); }},
    {"changelook", 0, [](D& d, const std::string&, int) { d.shell_.PostMenuCommand(kLookAndFeelCommand); }},
    {"startupoptions", 0, [](D& d, const std::string&, int) { d.shell_.OpenStartupOptions(); }},
    {"emailsettings", 0, [](D& d, const std::string&, int) { d.shell_.OpenEmailSettings(); }},
    {"speedbooster", 0, [](D& d, const std::string&, int) { d.shell_.OpenSpeedBooster(); }},
    {"showmail", 0, [](D& d, const std::string&, int) { d.shell_.PostMenuCommand(kReadMailCommand); }},
    {"load_ids", 0,
     [](D& d, const std::string& t, int p) {
       // The whole rest of the text (id and address pairs), lower-cased.
       const std::string rest = RestOfText(t, p);
       if (!rest.empty()) d.services_.LoadIds(platform::AsciiLower(rest));
     }},
    {"showinfobox", 0, [](D& d, const std::string& t, int p) { d.ShowInfoBox(t, p); }},
    {"setinifile", 0, [](D& d, const std::string& t, int p) { d.SetIniFile(t, p); }},
    {"importscheme", 0, [](D& d, const std::string& t, int p) { d.ImportScheme(t, p); }},
    {"memorycheck", 0,
     [](D& d, const std::string&, int) {
       d.ShowMemoryReport();
       platform::CompactHeap();
       d.ShowMemoryReport();
     }},
    {"trackurls", 0,
     [](D& d, const std::string& t, int p) {
       const std::string rest = RestOfText(t, p);
       if (!rest.empty()) d.services_.TrackUrls(rest);
     }},
    {"ack", 0,
     [](D& d, const std::string& t, int p) {
       std::string parameters;
       if (Arg(t, p, parameters, false)) d.services_.Acknowledge(parameters);
     }},
    {"pinginterval", 0, [](D& d, const std::string& t, int p) { d.PingInterval(t, p); }},
    {"pingserver", 0, [](D& d, const std::string& t, int p) { d.PingServer(t, p); }},
    {"repainttest", 0,
     [](D& d, const std::string&, int) {
       d.RunRoundsTest("Did %d Repaints\r\n%ld - start, %ld - End", true, [&d] { return d.shell_.RepaintTest(); });
     }},
    {"channeltest1", 0,
     [](D& d, const std::string&, int) {
       d.RunRoundsTest("Did %d Repaints\r\n%ld - start, %ld - End", true,
                       [&d] { return d.shell_.ChannelListTest(1); });
     }},
    {"channeltest2", 0,
     [](D& d, const std::string&, int) {
       d.RunRoundsTest("Did %d Repaints\r\n%ld - start, %ld - End", true,
                       [&d] { return d.shell_.ChannelListTest(2); });
     }},
    {"channeltest3", 0,
     [](D& d, const std::string&, int) {
       d.RunRoundsTest("Did %d channels\r\n%ld - start, %ld - End", false,
                       [&d] { return d.shell_.OpenEveryChannel(); });
     }},
    {"browsertest", 0, [](D& d, const std::string&, int) { d.shell_.RunBrowserTest(); }},
    {"debugschemeimport", 0,
     [](D& d, const std::string&, int) {
       const std::string temp = d.app_.GetDataDirectory("_TEMP", true);
       if (!temp.empty()) d.services_.ImportScheme(temp + "vyrtest.vyrscheme");
     }},
    // The fixed package at the root of the system drive; here the root of
    // the file system.
    {"debugschemeimport2", 0, [](D& d, const std::string&, int) { d.services_.ImportScheme("/vyrtest.vyrscheme"); }},
    {"about", 0, [](D& d, const std::string&, int) { d.shell_.PostMenuCommand(kAboutCommand); }},
    {"navigatetest", 0,
     [](D& d, const std::string&, int) {
       d.ShowMemoryReport();
       d.shell_.NavigateMainWindow(kAdvertisingSite);
     }},
    {"sendmailtest", 0, [](D& d, const std::string&, int) { d.RunMailTest(true); }},
    {"queuemailtest", 0, [](D& d, const std::string&, int) { d.RunMailTest(false); }},
    {"colortest", 0, [](D& d, const std::string&, int) { d.shell_.ColorTest(); }},
    {"mousetest", 0,
     [](D& d, const std::string&, int) {
       d.RunRoundsTest("Did %d Repaints\r\n%ld - start, %ld - End", false, [&d] { return d.shell_.MouseTest(); });
     }},
    {"ibpush", 0, [](D& d, const std::string& t, int p) { d.PackageUpdate(t, p, &CommandServices::UpdateInfoBox); }},
    {"updateexe", 0,
     [](D& d, const std::string& t, int p) { d.PackageUpdate(t, p, &CommandServices::UpdateProgramFiles); }},
    {"updatespelldict", 0,
     [](D& d, const std::string& t, int p) {
       std::string url;
       if (Arg(t, p, url, false) && d.IsHomeAddress(url)) d.services_.UpdateSpellingDictionary(url);
     }},
    {"updatefixedchannels", 0,
     [](D& d, const std::string& t, int p) { d.PackageUpdate(t, p, &CommandServices::UpdateFixedChannels); }},
    {"autoupdate", 0, [](D& d, const std::string& t, int p) { d.AutoUpdate(t, p); }},
    {"set", 0, [](D& d, const std::string& t, int p) { d.Set(t, p); }},
    {"offline", 0,
     [](D& d, const std::string& t, int p) {
       std::string state;
       if (!Arg(t, p, state, false)) return;
       d.app_.Messages().Information(state == "true" ? kNowOffline.Text() : kNowOnline.Text());
     }},
    {"artdir", 0, [](D& d, const std::string& t, int p) { d.ArtDir(t, p); }},
    {"tour", 0,
     [](D& d, const std::string& t, int p) {
       std::string state;
       if (Arg(t, p, state, false)) d.app_.Write(kStartupShowTour, state == "on" ? 1 : 0);
     }},
    {"importnetscapebookmarks", 0, [](D& d, const std::string&, int) { d.services_.ImportBrowserBookmarks(); }},
};

CommandDispatcher::CommandDispatcher(Application& app, Shell& shell, CommandServices& services)
    : app_(app), shell_(shell), services_(services), readMemory_(platform::ReadMemoryStatus) {}

std::string CommandDispatcher::CommandPrefix() const { return platform::AsciiLower(app_.HomeServer()) + "/_cmd/"; }

std::string CommandDispatcher::WebHost() const { return AddressHost(app_.HomeServer()); }

std::string CommandDispatcher::FtpHost() const {
  const std::string web = WebHost();
  if (web.empty()) return {};
  return platform::StartsWith(web, "www.") ? "ftp." + web.substr(4) : "ftp." + web;
}

bool CommandDispatcher::IsHomeAddress(const std::string& address) const {
  return net::IsSameOrigin(address, app_.HomeServer());
}

bool CommandDispatcher::HandleSpecialUrl(const std::string& address, const NavigationVerdict& verdict) {
  lastAction_ = Action::None;
  lastActionRefused_ = false;
  lastActionText_.clear();
  services_.RecordVisit(address);

  const std::string canonical = platform::Trim(CanonicalizeAddress(address), platform::kControlAndSpace);
  const std::string lower = platform::AsciiLower(canonical);
  if (lower.empty()) return false;

  // Every mailto link is taken, whatever mail program the user chose: the
  // page's engine has no way to hand one to the desktop, and the composing
  // service sends it to the chosen program.
  if (platform::StartsWith(lower, "mailto:")) {
    lastAction_ = Action::Mailto;
    // The fields are read from the link as it came, before any decoding:
    // an encoded "&" or line break stays inside its field.
    const MailtoFields fields = ParseMailtoLink(platform::Trim(address, platform::kControlAndSpace));
    lastActionText_ = fields.to;
    // Only a link the user opened writes a message; one a page or a hidden
    // frame opened on its own is cancelled.
    if (!(verdict.takes & kTakesMailto) || !verdict.userStarted) {
      lastActionRefused_ = true;
      return true;
    }
    services_.ComposeMail(fields);
    return true;
  }

  const std::string prefix = CommandPrefix();
  if (app_.HasHomeServer() && platform::StartsWith(lower, prefix)) {
    lastAction_ = Action::Command;
    lastActionText_ = canonical.substr(prefix.size());
    std::string word;
    NextToken(lastActionText_, 0, word, true);
    const bool allowed = (verdict.takes & kTakesCommands) &&
                         (verdict.trust == Trust::Full || (verdict.trust == Trust::UserClick && IsShowOnlyCommand(word)));
    if (allowed) {
      RunCommand(lastActionText_);
    } else {
      lastActionRefused_ = true;
    }
    return true;
  }

  // The program's setup file on the home server: an update offer. Declining
  // lets the browser fetch the file.
  if (platform::EndsWith(lower, ".exe") && IsHomeAddress(canonical) && lower.find("/vyrsetup") != std::string::npos &&
      (verdict.takes & kTakesSetupOffer)) {
    lastAction_ = Action::Setup;
    lastActionText_ = canonical;
    if (verdict.trust != Trust::Full) {
      lastActionRefused_ = true;
      return true;
    }
    if (IsYes(app_.Messages().Question(FillIn("Update this software from\n\n%s ?", canonical), kProgramName))) {
      services_.UpdateSoftware(canonical, false);
      return true;
    }
  }

  if (platform::EndsWith(lower, ".ndf") && (verdict.takes & kTakesChannelFiles)) {
    lastAction_ = Action::ChannelFile;
    lastActionText_ = canonical;
    // Channel files come over the web only, never from a local file a page
    // names.
    const bool web = platform::StartsWith(lower, "http://") || platform::StartsWith(lower, "https://");
    if (verdict.trust != Trust::Full || !web) {
      lastActionRefused_ = true;
      return true;
    }
    const std::string temp = app_.GetDataDirectory("_TEMP", true);
    const std::string target = temp.empty() ? std::string() : temp + "vyrtemp.ndf";
    if (target.empty() || !services_.DownloadWithProgress(canonical, target)) {
      app_.Messages().Error("Error Obtaining Update.");
      return false;
    }
    SetChannelBarShown(true);
    services_.MergeChannelFile(target);
    return true;
  }
  return false;
}

void CommandDispatcher::RunCommand(const std::string& commandText) {
  std::string word;
  const int pos = NextToken(commandText, 0, word, true);
  if (pos < 0) return;
  for (const Entry& entry : kTable) {
    const bool match = entry.compared == 0 ? word == entry.word
                                           : word.compare(0, entry.compared, entry.word, entry.compared) == 0;
    if (match) {
      entry.run(*this, commandText, pos);
      return;
    }
  }
  app_.Messages().Information(FillIn(kUnknownCommandText.Text(), commandText));
}

void CommandDispatcher::SetChannelBarShown(bool shown) {
  app_.Write(kMiscShowContentBar, shown ? 1 : 0);
  shell_.RebuildButtonStrip();
  shell_.LayoutMainWindow();
}

long CommandDispatcher::ShowMemoryReport() {
  const platform::MemoryStatus status = readMemory_();
  app_.Messages().Information(FormatMemoryReport(status));
  return status.physicalAvail;
}

void CommandDispatcher::RunRoundsTest(const char* summary, bool reportBoxes,
                                      const std::function<int()>& rounds) {
  const long start = reportBoxes ? ShowMemoryReport() : readMemory_().physicalAvail;
  const int count = rounds();
  const long end = reportBoxes ? ShowMemoryReport() : readMemory_().physicalAvail;
  app_.Messages().Information(Format(summary, count, start, end));
}

void CommandDispatcher::RunMailTest(bool send) {
  bool dontShowAgain = false;
  const std::string question =
      FillIn(send ? kSendMailTestQuestion.Text() : kQueueMailTestQuestion.Text(), kTestMailAddress);
  if (!IsYes(app_.Messages().Question(question, send ? "Send Mail Test" : "Queue Mail Test", &dontShowAgain))) {
    return;
  }
  std::vector<TestMail> mails;
  for (int n = 1; n <= kTestMailCount; ++n) {
    TestMail mail;
    mail.to = kTestMailAddress;
    mail.subject = Format(send ? "Send Mail Test message #%d" : "Queue Mail Test message #%d", n);
    mail.body = std::string(send ? "Automatic Testing of Vyrelle Mail Client's Send Functionality\n"
                                 : "Automatic Testing of Vyrelle Mail Client's Queuing Functionality\n") +
                DateText();
    mails.push_back(std::move(mail));
    shell_.PumpMessages();
  }
  if (send) {
    services_.SendTestMails(mails);
  } else {
    services_.QueueTestMails(mails);
  }
}

void CommandDispatcher::UpdateSoftware(const std::string& text, int pos) {
  std::string address;
  if (!Arg(text, pos, address, true)) return;
  if (!platform::StartsWith(kDistributionCode, "VYR")) return;
  // A program to install comes from the home server only.
  if (IsHomeAddress(address)) services_.UpdateSoftware(address, true);
}

void CommandDispatcher::ShowInfoBox(const std::string& text, int pos) {
  std::string address, secondsText;
  if (!Arg(text, pos, address, false) || IsScriptAddress(address)) return;
  long seconds = 0;
  // No seconds, or a count that is not a number of seconds from 1 to a day:
  // the configured rotation.
  if (!Arg(text, pos, secondsText, false) || !ParseCount(secondsText, kMaxInfoBoxSeconds, seconds) ||
      seconds == 0) {
    seconds = app_.Get(kMiscInfoBoxSeconds);
    if (seconds < 1 || seconds > kMaxInfoBoxSeconds) seconds = kMiscInfoBoxSeconds.defaultValue;
  }
  services_.ShowInfoBoxNow(address, static_cast<int>(seconds));
}

void CommandDispatcher::SetIniFile(const std::string& text, int pos) {
  std::string section, key, value;
  if (!Arg(text, pos, section, false) || !Arg(text, pos, key, false) || !Arg(text, pos, value, false)) return;
  // The profile's syntax must not be reachable from a link: a "]" would end
  // the section name and a "=" the key, so other keys or sections could be
  // written. Tokens carry no line breaks or NULs; the check stays here so
  // that this rule does not depend on the tokenizer.
  auto hasControl = [](const std::string& s) {
    for (unsigned char c : s) {
      if (c < ' ' || c == 0x7F) return true;
    }
    return false;
  };
  if (section.size() > kMaxSettingName || key.size() > kMaxSettingName || value.size() > kMaxSettingValue) return;
  if (hasControl(section) || hasControl(key) || hasControl(value)) return;
  if (section.find_first_of("[]") != std::string::npos) return;
  if (key.find_first_of("=[]") != std::string::npos || key[0] == ';') return;
  if (IsProtectedSetting(section, key)) return;
  app_.WriteString(section, key, value);
}

void CommandDispatcher::ImportScheme(const std::string& text, int pos) {
  std::string address;
  if (!Arg(text, pos, address, false)) return;
  // The package name becomes a file in "_TEMP" and names the scheme folder:
  // "." and ".." would leave those folders.
  const std::string name = LastComponent(address);
  if (name == "." || name == "..") return;
  // A page's package comes from the home server's gallery, never from a
  // local file or another site.
  if (!IsHomeAddress(address)) return;
  services_.ImportScheme(address);
}

void CommandDispatcher::PingInterval(const std::string& text, int pos) {
  std::string minutesText;
  long minutes = 0;
  if (!Arg(text, pos, minutesText, false)) return;
  // 0 would ping without pause; the session pings at least once a day, so a
  // longer interval is stored as a day.
  if (minutesText.find_first_not_of("0123456789") != std::string::npos) return;
  const size_t digits = minutesText.find_first_not_of('0');
  if (digits == std::string::npos) return;
  minutes = minutesText.size() - digits > 5 ? kMaxPingMinutes : std::stol(minutesText.substr(digits));
  minutes = std::min<long>(minutes, kMaxPingMinutes);
  app_.Write(kMiscPingInterval, static_cast<int>(minutes));
  services_.SetPingInterval(static_cast<int>(minutes));
}

void CommandDispatcher::PingServer(const std::string& text, int pos) {
  std::string address;
  if (!Arg(text, pos, address, false)) return;
  // The command server receives the usage reports and sends commands back:
  // it stays within the home server's domain.
  if (!IsHomeAddress(address)) return;
  app_.Write(kMiscServerScript, address);
  services_.SetServerScript(address);
}

void CommandDispatcher::PackageUpdate(const std::string& text, int pos,
                                      void (CommandServices::*update)(const std::string&, const std::string&)) {
  std::string version, url;
  if (!Arg(text, pos, version, false) || !Arg(text, pos, url, false)) return;
  // Every package comes from the home server only.
  if (!IsHomeAddress(url)) return;
  (services_.*update)(version, url);
}

void CommandDispatcher::AutoUpdate(const std::string& text, int pos) {
  std::string version, url;
  if (!Arg(text, pos, version, false) || !Arg(text, pos, url, false)) return;
  if (!IsHomeAddress(url)) return;
  const std::string question = kRunningVersion.Text() + VYRELLE_VERSION + kUpgradeToVersion.Text() + version +
                               kVersionOf.Text() + kProgramName + "\r\n\r\n" + kUpgradeNow.Text();
  if (IsYes(app_.Messages().Question(question, FillIn(kUpgradeTitle.Text(), version)))) {
    services_.UpdateSoftware(url, false);
  }
}

void CommandDispatcher::Set(const std::string& text, int pos) {
  std::string name, state;
  if (!Arg(text, pos, name, false) || name != "wichita" || !Arg(text, pos, state, false)) return;
  const bool on = state == "on";
  app_.Messages().Information(on ? kWelcomeWichita.Text() : kWelcomeHoboken.Text());
  app_.SetExtraButtons(on);
  shell_.RebuildButtonStrip();
}

void CommandDispatcher::ArtDir(const std::string& text, int pos) {
  std::string name;
  if (!Arg(text, pos, name, true)) return;
  // A scheme is one folder below "media".
  if (name.size() > 255 || !platform::IsSafePathComponent(name)) return;
  app_.SetCurrentSchemeName(name);
  shell_.RefreshArt();
}

}  // namespace vyr
