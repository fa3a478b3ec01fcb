// The special-address filter and the command dispatcher, hostile links included.
#include "app/command_dispatcher.h"

#include <gtest/gtest.h>

#include "app/command_recorder.h"
#include "platform/profile_file.h"
#include "platform/string_table.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

using Calls = std::vector<std::string>;

struct Rig {
  Rig() : app(home.Path(), recorder, sounds), dispatcher(app, recorder, recorder) {
    platform::ClearProfileCache();
    platform::SetStringLanguage(platform::Language::English);
    dispatcher.SetMemoryReader([] { return platform::MemoryStatus{50, 1000, 400, 2000, 900, 3000, 2500}; });
  }
  std::string Profile() const { return test::ReadFile(home.File("vyr20.ini")); }
  // "{root}" in an expected call stands for the data root.
  Calls Expected(Calls calls) const {
    for (std::string& call : calls) {
      if (size_t at = call.find("{root}"); at != std::string::npos) call.replace(at, 6, home.Path() + "/vyrelle");
    }
    return calls;
  }
  test::TempDir home;
  test::RecordingSoundPlayer sounds;
  CommandRecorder recorder;
  Application app;
  CommandDispatcher dispatcher;
};

// Matches an expected call in which one "*" stands for any text.
bool Matches(const std::string& expected, const std::string& actual) {
  const size_t star = expected.find('*');
  if (star == std::string::npos) return expected == actual;
  const std::string head = expected.substr(0, star), tail = expected.substr(star + 1);
  return actual.size() >= head.size() + tail.size() && actual.compare(0, head.size(), head) == 0 &&
         actual.compare(actual.size() - tail.size(), tail.size(), tail) == 0;
}

const char kReport[] =
    "Information 50 - Percent in use\r\n     1000 - Physical Total\r\n      400 - Physical Avail\r\n"
    "     2000 - PageFile Total\r\n      900 - PageFile avail\r\n     3000 - Virtual Total\r\n"
    "     2500 - Virual  Avail";

TEST(CommandDispatcherTest, TokensAreRunsOfPrintableCharactersOtherThanTheBlank) {
  const std::tuple<std::string, bool, Calls> cases[] = {
      {"  showmail  ", false, {"showmail"}},
      {"SetIniFile MISC\tKey\x01v\x7fw", true, {"setinifile", "misc", "key", "v", "w"}},
      {"a%20b \xe4x\xff", false, {"a%20b", "x"}},  // escapes stay; bytes above 126 separate
      {"", false, {}},
      {" \r\n ", false, {}},
  };
  for (const auto& [text, lower, expected] : cases) {
    Calls tokens;
    std::string token = "old";
    int pos = 0;
    while ((pos = NextToken(text, pos, token, lower)) >= 0) tokens.push_back(token);
    EXPECT_EQ(tokens, expected) << text;
    EXPECT_EQ(token, "") << text;  // the read past the last token empties it
  }
  std::string token;
  EXPECT_EQ(NextToken("ab", 5, token, false), -1);
  EXPECT_EQ(NextToken("ab", -1, token, false), -1);
  EXPECT_EQ(NextToken("ab cd", 1, token, false), 2);
  EXPECT_EQ(token, "b");
}

TEST(CommandDispatcherTest, EveryCommandWordReachesItsEffectWithItsArguments) {
  const std::string report = kReport;
  // Command text -> the calls in order; the profile afterwards.
  const std::tuple<std::string, Calls, std::string> cases[] = {
      {"refreshart", {"RefreshArt"}, ""}, {"vyrsearch", {"OpenSearchWindow"}, ""},
      {"search", {"PostMenuCommand 32878"}, ""}, {"channeldesigner", {"PostMenuCommand 32968"}, ""},
      {"changelook", {"PostMenuCommand 32798"}, ""}, {"SHOWMAIL", {"PostMenuCommand 32788"}, ""},
      {"about", {"PostMenuCommand 57664"}, ""}, {"startupoptions", {"OpenStartupOptions"}, ""},
      {"emailsettings", {"OpenEmailSettings"}, ""}, {"speedbooster", {"OpenSpeedBooster"}, ""},
      {"browsertest", {"RunBrowserTest"}, ""}, {"colortest", {"ColorTest"}, ""},
      {"importnetscapebookmarks", {"ImportBrowserBookmarks"}, ""}, {"artdir Ocean", {"RefreshArt"}, ""},
      {"search_email", {"OpenSearchDialog 0"}, ""}, {"search_pictures", {"OpenSearchDialog 6"}, ""},
      {"updatesoftware HTTP://WWW.Vyrelle.example/VyrSetup.exe",
       {"UpdateSoftware http://www.vyrelle.example/vyrsetup.exe ask"}, ""},
      // Only the home server's exact origin: another host of its domain is not it.
      {"updatesoftware http://dl.vyrelle.example/s.exe", {}, ""},
      {"popupwnd HTTP://Example.org/A", {"OpenPopupWindow http://example.org/a"}, ""},
      {"navigatechan News", {"NavigateChannel news"}, ""},
      {"soundoffxyz", {"SaveAndSilenceNavigationSounds"}, ""}, {"SoundOn", {"RestoreNavigationSounds"}, ""},
      {"soundo", {"Information Unknown VyrScript Set\n\n>> soundo"}, ""},
      {"showcounters", {"Information &S=1"}, ""},
      {"showchannelbar", {"RebuildButtonStrip", "LayoutMainWindow"}, "[Misc]\nShowContentBar=1\n"},
      {"hidechannelbar", {"RebuildButtonStrip", "LayoutMainWindow"}, "[Misc]\nShowContentBar=0\n"},
      // The whole rest of the line, lower-cased.
      {"load_ids 12 Http://A  13 http://b/*", {"LoadIds 12 http://a  13 http://b/*"}, ""},
      {"showinfobox http://ib.example/P 45", {"ShowInfoBoxNow http://ib.example/P 45"}, ""},
      {"showinfobox http://ib.example/P", {"ShowInfoBoxNow http://ib.example/P 30"}, ""},
      {"showinfobox http://ib.example/P 0", {"ShowInfoBoxNow http://ib.example/P 30"}, ""},
      {"showinfobox http://ib.example/P 99999999999999999999", {"ShowInfoBoxNow http://ib.example/P 30"}, ""},
      {"setinifile Misc Key Va=l\"ue", {}, "[Misc]\nKey=Va=l\"ue\n"},
      {"importscheme http://www.vyrelle.example/Ocean.vyrscheme",
       {"ImportScheme http://www.vyrelle.example/Ocean.vyrscheme"}, ""},
      {"memorycheck", {report, report}, ""},
      {"trackurls  1 a*b  2 C", {"TrackUrls 1 a*b  2 C"}, ""},
      {"ack &S=3&F=1", {"Acknowledge &S=3&F=1"}, ""},
      {"pinginterval 15", {"SetPingInterval 15"}, "[misc]\nPI=15\n"},
      // A day at most between pings: a longer interval is a day.
      {"pinginterval 35792", {"SetPingInterval 1440"}, "[misc]\nPI=1440\n"},
      {"pinginterval 99999999999999999999", {"SetPingInterval 1440"}, "[misc]\nPI=1440\n"},
      {"pingserver http://www.vyrelle.example/scripts/vyrcmd2.dll",
       {"SetServerScript http://www.vyrelle.example/scripts/vyrcmd2.dll"},
       "[misc]\nPS=http://www.vyrelle.example/scripts/vyrcmd2.dll\n"},
      {"repainttest", {report, "RepaintTest", report, "Information Did 3 Repaints\r\n400 - start, 400 - End"}, ""},
      {"channeltest1",
       {report, "ChannelListTest 1", report, "Information Did 3 Repaints\r\n400 - start, 400 - End"}, ""},
      {"channeltest3", {"OpenEveryChannel", "Information Did 3 channels\r\n400 - start, 400 - End"}, ""},
      {"debugschemeimport", {"ImportScheme {root}/_TEMP/vyrtest.vyrscheme"}, ""},
      {"debugschemeimport2", {"ImportScheme /vyrtest.vyrscheme"}, ""},
      {"navigatetest", {report, "NavigateMainWindow http://ads.vyrelle.example/"}, ""},
      {"sendmailtest",
       {"Question Send Mail Test | Send 50 test messages to mailtest@vyrelle.example ?",
        "SendTestMails 50 mailtest@vyrelle.example Send Mail Test message #1"}, ""},
      {"queuemailtest",
       {"Question Queue Mail Test | Create 50 test messages in the Outbox for mailtest@vyrelle.example ?",
        "QueueTestMails 50 mailtest@vyrelle.example Queue Mail Test message #1"}, ""},
      {"mousetest", {"MouseTest", "Information Did 3 Repaints\r\n400 - start, 400 - End"}, ""},
      {"ibpush 7 http://www.vyrelle.example/IBox.zip", {"UpdateInfoBox 7 http://www.vyrelle.example/IBox.zip"}, ""},
      {"updateexe 7 http://www.vyrelle.example/Vyr20.zip", {"UpdateProgramFiles 7 http://www.vyrelle.example/Vyr20.zip"}, ""},
      {"updatespelldict http://www.vyrelle.example/dict.zip",
       {"UpdateSpellingDictionary http://www.vyrelle.example/dict.zip"}, ""},
      {"updatefixedchannels 3 http://www.vyrelle.example/F.zip",
       {"UpdateFixedChannels 3 http://www.vyrelle.example/F.zip"}, ""},
      {"autoupdate 2.5 http://www.vyrelle.example/vyrsetup.exe",
       {"Question Upgrade 2.5 ? | You're currently running version *. You need to upgrade to version 2.5 of "
        "Vyrelle\r\n\r\nUpgrade now?",
        "UpdateSoftware http://www.vyrelle.example/vyrsetup.exe noask"}, ""},
      {"set wichita on", {"Information Welcome to Wichita.", "RebuildButtonStrip"}, ""},
      {"set wichita ON", {"Information Welcome to Hoboken.", "RebuildButtonStrip"}, ""},
      {"offline true", {"Information I'm now offline."}, ""}, {"offline no", {"Information I'm now online."}, ""},
      {"tour on", {}, "[Startup]\nShowTour=1\n"}, {"tour off", {}, "[Startup]\nShowTour=0\n"},
      {"bogus  x", {"Information Unknown VyrScript Set\n\n>> bogus  x"}, ""},
      // Nothing to do: no word, or a missing argument.
      {"", {}, ""}, {" \t", {}, ""}, {"popupwnd", {}, ""}, {"navigatechan", {}, ""}, {"load_ids", {}, ""},
      {"showinfobox", {}, ""}, {"setinifile misc key", {}, ""}, {"importscheme", {}, ""}, {"trackurls ", {}, ""},
      {"ack", {}, ""}, {"pinginterval", {}, ""}, {"pingserver", {}, ""}, {"ibpush 7", {}, ""},
      {"updateexe 7", {}, ""}, {"updatespelldict", {}, ""}, {"updatefixedchannels 3", {}, ""},
      {"autoupdate 2.5", {}, ""}, {"set wichita", {}, ""}, {"set", {}, ""}, {"offline", {}, ""},
      {"artdir", {}, ""}, {"tour", {}, ""}, {"updatesoftware", {}, ""},
      // Hostile arguments: refused without a trace.
      {"updatesoftware http://evil.example/vyrsetup.exe", {}, ""},
      {"updatesoftware http://www.vyrelle.example@evil.example/vyrsetup.exe", {}, ""},
      {"updatesoftware http://vyrelle.example.evil.example/vyrsetup.exe", {}, ""},
      {"updateexe 7 http://evil.example/Vyr20.zip", {}, ""},
      {"autoupdate 2.5 http://evil.example/vyrsetup.exe", {}, ""},
      {"popupwnd javascript:alert(1)", {}, ""}, {"showinfobox JavaScript:alert(1) 5", {}, ""},
      {"debugschemeimport ../../x", {"ImportScheme {root}/_TEMP/vyrtest.vyrscheme"}, ""},
      {"popupwnd file:///etc/passwd", {}, ""},
      {"artdir ..", {}, ""}, {"artdir ../../etc", {}, ""}, {"artdir a\\b", {}, ""}, {"artdir a:b", {}, ""},
      {"importscheme http://x.example/..", {}, ""}, {"importscheme ..\\..", {}, ""},
      {"setinifile a]b k v", {}, ""}, {"setinifile [a] k v", {}, ""}, {"setinifile misc k=v x", {}, ""},
      {"setinifile misc ;k v", {}, ""}, {"setinifile email pop3-server evil.example", {}, ""},
      {"setinifile MISC homeserver http://evil.example", {}, ""}, {"setinifile misc ps http://evil.example", {}, ""},
      {"setinifile misc k " + std::string(1025, 'v'), {}, ""}, {"setinifile " + std::string(65, 's') + " k v", {}, ""},
      {"pinginterval 0", {}, ""}, {"pinginterval 10x", {}, ""},
      // Packages, dictionaries and channel files only from the home server over the web.
      {"ibpush 7 file:///etc/passwd", {}, ""}, {"ibpush 7 /etc/passwd", {}, ""},
      {"updatespelldict file:///dev/zero", {}, ""}, {"updatespelldict http://x.example/dict.zip", {}, ""},
      {"updatefixedchannels 3 http://www.vyrelle.example.evil.example/F.zip", {}, ""},
      {"importscheme http://x.example/Ocean.vyrscheme", {}, ""},
      {"importscheme file:///tmp/Ocean.vyrscheme", {}, ""},
      {"pingserver http://cmd.vyrelle.example/scripts/vyrcmd.dll", {}, ""},
      {"pingserver http://evil.example/vyrcmd.dll", {}, ""}, {"pingserver ftp://www.vyrelle.example/x", {}, ""},
  };
  for (const auto& [text, expected, profile] : cases) {
    Rig rig;
    rig.recorder.answer = IDYES;
    rig.dispatcher.RunCommand(text);
    const Calls want = rig.Expected(expected);
    bool same = want.size() == rig.recorder.calls.size();
    for (size_t k = 0; same && k < want.size(); ++k) same = Matches(want[k], rig.recorder.calls[k]);
    EXPECT_TRUE(same) << text << "\n  expected: " << ::testing::PrintToString(want)
                      << "\n  actual:   " << ::testing::PrintToString(rig.recorder.calls);
    EXPECT_EQ(rig.Profile(), profile) << text;
    EXPECT_TRUE(rig.recorder.visits.empty());
  }
}

TEST(CommandDispatcherTest, SwitchesForThisRunAndMailTestsThatAreDeclined) {
  Rig rig;
  rig.recorder.answer = IDYES;
  rig.dispatcher.RunCommand("set wichita on");
  EXPECT_TRUE(rig.app.ExtraButtons());
  rig.dispatcher.RunCommand("set wichita off");
  EXPECT_FALSE(rig.app.ExtraButtons());
  rig.dispatcher.RunCommand("artdir Ocean");
  EXPECT_EQ(rig.app.CurrentSchemeName(), "ocean");
  rig.dispatcher.RunCommand("artdir ..");
  EXPECT_EQ(rig.app.CurrentSchemeName(), "ocean");
  EXPECT_EQ(rig.Profile(), "");  // neither is stored
  EXPECT_EQ(rig.recorder.pumps, 0);
  rig.dispatcher.RunCommand("sendmailtest");
  EXPECT_EQ(rig.recorder.pumps, 50);

  rig.recorder.calls.clear();
  rig.recorder.answer = IDNO;
  rig.dispatcher.RunCommand("queuemailtest");
  rig.dispatcher.RunCommand("autoupdate 3 http://www.vyrelle.example/vyrsetup.exe");
  ASSERT_EQ(rig.recorder.calls.size(), 2u);  // the two questions only
}

TEST(CommandDispatcherTest, TheFilterTakesMailCommandSetupAndChannelFileLinks) {
  const std::string cmd = "http://www.vyrelle.example/_cmd/";
  struct Case {
    std::string address;
    int useVyrMail;  // -1: not set
    int answer;
    bool downloadOk;
    bool taken;
    Calls calls;
    std::string profile;
    Trust trust = Trust::Full;
  };
  constexpr Trust kClick = Trust::UserClick;
  constexpr Trust kPage = Trust::None;
  const Case cases[] = {
      {"MAILTO:Bob@Example.ORG", -1, IDNO, false, true, {"ComposeMail Bob@Example.ORG"}, ""},
      {" mailto:a%zzb%41 ", 1, IDNO, false, true, {"ComposeMail a%zzbA"}, "[email]\nUseVyrMail=1\n"},
      // Fields decoded after the split; an injected header stays in the subject; no Bcc.
      {"mailto:a@x.example?subject=Hi%0D%0ABcc:%20evil@y.example&bcc=evil@y.example&cc=c%26d@x.example", -1,
       IDNO, false, true, {"ComposeMail a@x.example cc=c&d@x.example subject=HiBcc: evil@y.example"}, "", kClick},
      {"mailto:bob@example.org", 0, IDNO, false, true, {"ComposeMail bob@example.org"}, "[email]\nUseVyrMail=0\n"},
      // An escaped blank separates arguments; the text keeps its case.
      {cmd + "setinifile%20Misc%20Key%20Va%6Cue", -1, IDNO, false, true, {}, "[Misc]\nKey=Value\n"},
      {"HTTP://WWW.VYRELLE.EXAMPLE/_cmd/NavigateChan%20News", -1, IDNO, false, true, {"NavigateChannel news"}, ""},
      // Line breaks separate tokens too: nothing after the value is written.
      {cmd + "setinifile%20misc%20k%20v%0D%0A[x]%0D%0Ainjected=1", -1, IDNO, false, true, {}, "[misc]\nk=v\n"},
      // A decoded NUL ends the text.
      {cmd + "showmail%00bogus", -1, IDNO, false, true, {"PostMenuCommand 32788"}, ""},
      {cmd + "bogus%20" + std::string(5000, 'x'), -1, IDNO, false, false, {}, ""},
      {"http://www.vyrelle.example/_cmdx/showmail", -1, IDNO, false, false, {}, ""},
      {"http://www.vyrelle.example.evil.example/_cmd/showmail", -1, IDNO, false, false, {}, ""},
      // The setup program on the home server: offered.
      {"http://www.vyrelle.example/files/VyrSetup.exe", -1, IDYES, false, true,
       {"Question Vyrelle | Update this software from\n\nhttp://www.vyrelle.example/files/VyrSetup.exe ?",
        "UpdateSoftware http://www.vyrelle.example/files/VyrSetup.exe noask"}, ""},
      // Software comes over the web from the home server's exact origin only.
      {"ftp://ftp.vyrelle.example/vyrsetup20.exe", -1, IDYES, false, false, {}, ""},
      {"http://www.vyrelle.example:8080/vyrsetup.exe", -1, IDYES, false, false, {}, ""},
      {"https://www.vyrelle.example/vyrsetup.exe", -1, IDYES, false, false, {}, ""},
      {"http://evil.example/www.vyrelle.example/vyrsetup.exe", -1, IDYES, false, false, {}, ""},
      {"http://www.vyrelle.example@evil.example/vyrsetup.exe", -1, IDYES, false, false, {}, ""},
      {"http://www.vyrelle.example/vyrsetup.zip", -1, IDYES, false, false, {}, ""},
      {"http://ch.example/News.NDF", -1, IDNO, true, true,
       {"DownloadWithProgress http://ch.example/News.NDF {root}/_TEMP/vyrtemp.ndf", "RebuildButtonStrip",
        "LayoutMainWindow", "MergeChannelFile {root}/_TEMP/vyrtemp.ndf"},
       "[Misc]\nShowContentBar=1\n"},
      {"http://ch.example/News.ndf", -1, IDNO, false, false,
       {"DownloadWithProgress http://ch.example/News.ndf {root}/_TEMP/vyrtemp.ndf", "Error Error Obtaining Update."},
       ""},
      {"http://example.org/page.html", -1, IDNO, false, false, {}, ""},
      {"file:///home/u/list.ndf", -1, IDNO, true, true, {}, ""},
      // A real click on another site's page: only commands that show something run.
      {cmd + "showmail", -1, IDNO, false, true, {"PostMenuCommand 32788"}, "", kClick},
      {cmd + "setinifile%20Misc%20Key%20Value", -1, IDNO, false, true, {}, "", kClick},
      {cmd + "ibpush%209%20" + cmd.substr(0, 26) + "/ib.zip", -1, IDNO, false, true, {}, "", kClick},
      {cmd + "showinfobox%20http://evil.example/", -1, IDNO, false, true, {}, "", kClick},
      {"http://www.vyrelle.example/files/VyrSetup.exe", -1, IDYES, false, true, {}, "", kClick},
      {"http://ch.example/News.NDF", -1, IDNO, true, true, {}, "", kClick},
      // Navigations a page started: taken, but nothing runs, is asked or downloaded.
      {cmd + "setinifile%20Misc%20Key%20Value", -1, IDNO, false, true, {}, "", kPage},
      {cmd + "showmail", -1, IDNO, false, true, {}, "", kPage},
      {"http://www.vyrelle.example/files/VyrSetup.exe", -1, IDYES, false, true, {}, "", kPage},
      {"http://ch.example/News.NDF", -1, IDNO, true, true, {}, "", kPage},
      {"MAILTO:Bob@Example.ORG", -1, IDNO, false, true, {}, "", kPage},
      {"http://example.org/page.html", -1, IDNO, false, false, {}, "", kPage},
  };
  for (const Case& c : cases) {
    Rig rig;
    if (c.useVyrMail >= 0) rig.app.WriteInt("email", "UseVyrMail", c.useVyrMail);
    rig.recorder.answer = c.answer;
    rig.recorder.downloadSucceeds = c.downloadOk;
    const NavigationVerdict verdict{c.trust, c.trust != Trust::None, kTakesEverything};
    EXPECT_EQ(rig.dispatcher.HandleSpecialUrl(c.address, verdict), c.taken) << c.address;
    EXPECT_EQ(rig.recorder.calls, rig.Expected(c.calls)) << c.address;
    EXPECT_EQ(rig.Profile(), c.profile) << c.address;
    EXPECT_EQ(rig.recorder.visits, Calls{c.address});  // every address is counted, as given
  }
}

TEST(CommandDispatcherTest, MemoryFiguresFromTheSystemsTable) {
  const platform::MemoryStatus s = platform::ParseMemInfo(
      "MemTotal:       1000 kB\nMemFree:          10 kB\nMemAvailable:    250 kB\n"
      "SwapTotal:       100 kB\nSwapFree:         40 kB\n");
  EXPECT_EQ(std::make_tuple(s.percentInUse, s.physicalTotal, s.physicalAvail, s.pageFileTotal, s.pageFileAvail),
            std::make_tuple(75L, 1024000L, 256000L, 1126400L, 296960L));
}

}  // namespace
}  // namespace vyr
