// Start-up's user data and the shutdown against the real vyrelle-home-server;
// a logout that is never answered against the fixture server.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "app/app_lifecycle.h"
#include "base/installation_id.h"
#include "app/user_data.h"
#include "platform/file_system.h"
#include "platform/tick_count.h"
#include "tools/home_server.h"
#include "tools/http_server.h"
#include "tools/recording_window.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

const char kFixed[] = "~C:fixed channels\n";
const char kFresh[] = "~C:fresh user channels\n";
const char kOld[] = "~C:channels of the previous version\n";

// The fixed channels are never waited for at start.
TEST(UserDataPeer, UserChannelsComeFromTheServerOrThePreviousVersion) {
  const struct {
    const char* name;
    bool onServer;       // the server has both channel files
    bool fixedPresent;   // chanfixed.vyr is already in the data folder
    bool previous;       // vyrchan1.vyr of the previous version is there
    int answer;          // to the upgrade question
    const char* fixed;   // outcomes
    const char* user;
    const char* userContents;  // "" when chanuser.vyr must not exist
    std::vector<std::string> boxes;
  } cases[] = {
      {"first start", true, false, false, IDOK, "missing", "none", "", {}},
      {"upgrade taken", true, true, true, IDOK, "present", "downloaded", kFresh,
       {"question:Upgrade your Channels ?"}},
      {"upgrade declined", true, false, true, IDCANCEL, "missing", "copied", kOld,
       {"question:Upgrade your Channels ?"}},
      {"server without the files", false, false, true, IDOK, "missing", "failed", "",
       {"question:Upgrade your Channels ?", "error:Error Obtaining Channel Information"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::HomeServer server([&](const std::string& root) {
      for (const auto& [name, text] : {std::pair{"chanfixed.vyr", kFixed}, std::pair{"chanuser.vyr", kFresh}}) {
        const std::string path = root + "/channels/" + name;
        if (c.onServer) {
          test::WriteFile(path, text);
        } else {
          std::filesystem::remove(path);
        }
      }
    });
    ASSERT_GT(server.Port(), 0) << server.Errors();
    test::TestApp t;
    t.boxes.answer = c.answer;
    t.app.WriteString("misc", "HomeServer", server.Url(""));
    const std::string data = t.app.Directories().Root() + "/Data/Default/";
    if (c.fixedPresent) test::WriteFile(data + "chanfixed.vyr", "mine");
    if (c.previous) test::WriteFile(t.home.File("vyrchan1.vyr"), kOld);
    UsageCounters last;
    last.CountUsage("TU", 3);
    ASSERT_TRUE(SaveUnsentStats(t.app.Registry(), last, {}));
    int splashClosed = 0;
    t.app.SetSplashCloser([&] { ++splashClosed; });

    const UserDataOutcome outcome = InitUserData(t.app);

    EXPECT_EQ(outcome.fixedChannels, c.fixed);
    EXPECT_EQ(outcome.userChannels, c.user);
    EXPECT_TRUE(outcome.userDirectory && platform::DirectoryExists(t.app.Directories().Root() + "/media/default"));
    EXPECT_EQ(t.app.InstallationId().size(), 32u);
    EXPECT_EQ(t.app.Counters().Get("TU"), 3);
    std::vector<std::string> boxes;
    for (const auto& b : t.boxes.boxes) boxes.push_back(b.kind + ":" + (b.kind == "error" ? b.text : b.caption));
    EXPECT_EQ(boxes, c.boxes);
    if (c.previous) {
      EXPECT_EQ(t.boxes.boxes[0].text,
                "We have found Channels from a previous version\r\n\nDo you want upgrade to our new "
                "Channels for Vyrelle ?");
    }
    EXPECT_EQ(splashClosed > 0, c.previous);
    EXPECT_EQ(test::ReadFile(data + "chanfixed.vyr"), c.fixedPresent ? "mine" : "");
    EXPECT_EQ(platform::FileExists(data + "chanuser.vyr"), *c.userContents != '\0');
    if (*c.userContents) {
      EXPECT_EQ(test::ReadFile(data + "chanuser.vyr"), c.userContents);
    }
    EXPECT_FALSE(platform::FileExists(data + "chanfixed.vyr.download"));
    EXPECT_TRUE(server.Stop());
    const std::string asked = server.Log("access.log");
    EXPECT_EQ(asked.find("/channels/chanfixed.vyr"), std::string::npos) << asked;
    const std::string user = c.user;
    EXPECT_EQ(asked.find(" GET /channels/chanuser.vyr ") != std::string::npos, user == "downloaded" || user == "failed")
        << asked;
  }
}

TEST(UserDataPeer, ShutdownSavesLogsOutOnceAndStartsTheSetupProgram) {
  const std::string id = "0123456789ABCDEF0123456789ABCDEF";
  const struct {
    const char* name;
    bool answers;
  } cases[] = {
      {"server answers", true},
      {"server never answers", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<test::HomeServer> home;
    std::optional<test::HttpServer> silent;
    if (c.answers) {
      home.emplace();
    } else {
      silent.emplace(std::vector<std::string>{"Logout=STALL"});
    }
    ASSERT_GT(c.answers ? home->Port() : silent->Port(), 0);
    test::TestApp t;
    t.app.Registry().SetValue(platform::RegistryRoot::ClassesRoot, InstallationKeyPath(), "", id);
    t.app.InitInstallationId();
    if (c.answers) {
      t.app.WriteString("misc", "HomeServer", home->Url(""));
    } else {
      t.app.WriteString("misc", "PS", silent->Url("/s.dll"));
    }
    test::NoTimers timers;
    auto session = std::make_unique<net::ServerSession>(t.app, t.app.Counters(), t.app.TrackedUrls(), timers,
                                                        net::SessionHooks{}, platform::SystemInfo{},
                                                        platform::GetTickCount());
    t.app.SetSession(session.get());
    t.app.TrackedUrls().TrackUrls("7 news*today");
    t.app.TrackedUrls().RecordVisit("news/today", false);
    t.app.Counters().CountUsage("PV", 2);
    const std::string setup = t.home.File("setup.sh");
    test::WriteFile(setup, "#!/bin/sh\necho ran > '" + t.home.File("setup-ran") + "'\n");
    ::chmod(setup.c_str(), 0755);
    t.app.SetProgramAtExit(setup);

    const ShutdownOutcome outcome = RunShutdown(t.app, 500, 100);
    // The logout was the one wait: ending the session does not wait again.
    const auto ending = std::chrono::steady_clock::now();
    session.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - ending, std::chrono::seconds(2));

    if (c.answers) {
      EXPECT_EQ(home->UsageLines(), std::vector<std::string>{"Logout\t" + id + "\t0\tB=Default"});
    } else {
      EXPECT_EQ(silent->Line(), "GET Logout&U=" + id + "&B=Default&MO=0");
    }
    EXPECT_TRUE(outcome.logoutSent);
    EXPECT_EQ(outcome.logoutFinished, c.answers);
    EXPECT_TRUE(outcome.trackedSaved && outcome.statsSaved && outcome.setupStarted);
    UsageCounters counters;
    TrackedUrlTable tracked;
    LoadUsageStats(t.app.Registry(), tracked, counters);
    EXPECT_EQ(counters.Get("PV"), 2);
    ASSERT_EQ(tracked.Entries().size(), 1u);
    EXPECT_EQ(tracked.Entries()[0].pattern, "news*today");
    EXPECT_EQ(tracked.Entries()[0].visits, 1);
    // The setup program runs on after the shutdown.
    for (int i = 0; i < 200 && test::ReadFile(t.home.File("setup-ran")) != "ran\n"; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(test::ReadFile(t.home.File("setup-ran")), "ran\n");
  }
}

}  // namespace
}  // namespace vyr
