#include "net/software_update.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "net/download_worker.h"
#include "platform/file_system.h"
#include "tools/recording_window.h"
#include "tools/test_support.h"
#include "tools/zip_builder.h"

namespace vyr::net {
namespace {

struct PackageCase {
  const char* label;
  int kind;
  int stored;              // under the kind's key before the request
  const char* version;
  const char* source;      // "good", "bad" (not a ZIP) or "missing"
  int started;
  int storedAfter;
  const char* unpackedTo;  // below the data root; null: nothing unpacked
};

TEST(SoftwareUpdateTest, PackageRequestsRecordOnlyUnpackedVersions) {
  const PackageCase cases[] = {
      {"same version", kFixedChannelsPackage, 5, "5", "good", 0, 5, nullptr},
      {"newer version", kFixedChannelsPackage, 5, "6", "good", 1, 6, "Data/Default/"},
      {"over 16 bits", kFixedChannelsPackage, 0, "70000", "good", 1, 4464, "Data/Default/"},
      {"failed download", kFixedChannelsPackage, 5, "7", "missing", 1, 5, nullptr},
      {"bad package", kFixedChannelsPackage, 5, "8", "bad", 1, 5, nullptr},
      {"info box pages", kInfoBoxPackage, 2, "3x", "good", 1, 3, "InfoBox/default/Dir1/"},
      {"dictionary always", kDictionaryPackage, 9, "0", "good", 1, 9, "email/"},
  };
  for (const PackageCase& c : cases) {
    SCOPED_TRACE(c.label);
    test::TestApp t;
    test::RecordingWindow window;
    int reloads = 0;
    SoftwareUpdate update(t.app, nullptr, nullptr, nullptr);
    update.SetMainWindow(window.handle);
    update.SetInfoBoxReload([&] { ++reloads; });
    const char* key = PackageKindOf(c.kind)->versionKey;
    t.app.WriteInt("misc", key, c.stored);

    test::TempDir source;
    const std::string package = source.File("pkg.zip");
    if (std::string(c.source) == "good") {
      ASSERT_TRUE(test::WriteZip(package, {{"pages/new.htm", "<p>new</p>"}}));
    } else if (std::string(c.source) == "bad") {
      test::WriteFile(package, "no archive");
    } else {
      // A package an earlier request left behind must not be taken instead.
      platform::CreateDirectories(t.home.Path() + "/vyrelle/_TEMP");
      ASSERT_TRUE(test::WriteZip(t.home.Path() + "/vyrelle/_TEMP/VyrFixed.zip",
                                 {{"pages/new.htm", "stale"}}));
    }

    EXPECT_EQ(update.RequestPackageUpdate(c.kind, c.version, package), c.started);
    platform::WindowMessages::Instance().DispatchPending();
    ASSERT_EQ(window.got.size(), static_cast<size_t>(c.started));
    if (c.started) {
      EXPECT_EQ(window.got[0].message, kDownloadFinished);
      update.OnPackageDownloaded(static_cast<std::uint32_t>(window.got[0].wParam),
                                 static_cast<std::int32_t>(window.got[0].lParam));
    }
    EXPECT_EQ(t.app.GetInt("misc", key, -1), c.storedAfter);
    const std::string root = t.home.Path() + "/vyrelle/";
    if (c.unpackedTo) {
      EXPECT_EQ(test::ReadFile(root + c.unpackedTo + "pages/new.htm"), "<p>new</p>");
    } else {
      EXPECT_FALSE(platform::FileExists(root + "Data/Default/pages/new.htm"));
    }
    EXPECT_EQ(reloads, c.started && c.kind == kInfoBoxPackage ? 1 : 0);
  }
}

TEST(SoftwareUpdateTest, AFailedSetupDownloadIsRetriedThenTheProgramClosesAndStartsItAtExit) {
  test::TestApp t;  // every question answered yes
  test::RecordingWindow window;
  const std::vector<int> dialogResults = {2, 1};  // failed, then downloaded
  size_t dialogs = 0;
  std::vector<std::string> started;
  SoftwareUpdate update(
      t.app, nullptr,
      [&](const std::string& url, const std::string& dest, bool hidden) {
        EXPECT_TRUE(url == "http://home.example/vyrsetup.exe" && !hidden);
        test::WriteFile(dest, "#!/bin/sh\n");
        return dialogResults.at(dialogs++);
      },
      [&](const std::string& program) { return started.push_back(program), true; });
  update.SetMainWindow(window.handle);
  EXPECT_EQ(update.UpdateSoftware("http://home.example/vyrsetup.exe", false), 1);
  EXPECT_EQ(dialogs, 2u);
  ASSERT_EQ(t.boxes.boxes.size(), 1u);  // the retry question
  platform::WindowMessages::Instance().DispatchPending();
  ASSERT_EQ(window.got.size(), 1u);  // the main window's close command
  EXPECT_EQ(std::make_pair(window.got[0].message, window.got[0].wParam), std::make_pair(273u, platform::WParam{33459}));
  EXPECT_TRUE(started.empty()) << "started only at exit";
  EXPECT_TRUE(update.StartSetupAtExit());
  EXPECT_EQ(started, std::vector<std::string>{t.home.Path() + "/vyrelle/_TEMP/vyrsetup.exe"});

  // Given up after a failure: nothing to start at exit.
  t.boxes.answer = IDNO;
  SoftwareUpdate givenUp(t.app, nullptr, [](const std::string&, const std::string&, bool) { return 2; },
                         [&](const std::string& program) { return started.push_back(program), true; });
  EXPECT_EQ(givenUp.UpdateSoftware("http://home.example/vyrsetup.exe", false), 0);
  EXPECT_FALSE(givenUp.StartSetupAtExit());
  EXPECT_EQ(started.size(), 1u);
}

}  // namespace
}  // namespace vyr::net
