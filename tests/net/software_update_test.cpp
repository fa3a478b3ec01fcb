#include "net/software_update.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "net/download_worker.h"
#include "platform/file_system.h"
#include "tools/test_support.h"
#include "tools/zip_builder.h"

namespace vyr::net {
namespace {

// The main window of the tests: keeps the messages it gets.
struct RecordingWindow : platform::MessageTarget {
  RecordingWindow() : handle(platform::WindowMessages::Instance().Register(this)) {}
  ~RecordingWindow() override { platform::WindowMessages::Instance().Unregister(handle); }
  void OnWindowMessage(const platform::WindowMessage& m) override { got.push_back(m); }
  platform::WindowHandle handle;
  std::vector<platform::WindowMessage> got;
};

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
    RecordingWindow window;
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

TEST(SoftwareUpdateTest, SetupDownloadRetriesThenClosesAndStartsAtExit) {
  struct Case {
    const char* label;
    bool askFirst;
    int answer;
    std::vector<int> dialogResults;
    int result;
    std::vector<std::string> questions;
  };
  const Case cases[] = {
      {"declined", true, IDNO, {}, 0,
       {"Do you wish to download and install\r\n\r\nan updated version of this software ?"}},
      {"retried", false, IDYES, {2, 1}, 1, {"An error occured."}},
      {"given up", false, IDNO, {2}, 0, {"An error occured."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    test::TestApp t;
    t.boxes.answer = c.answer;
    RecordingWindow window;
    size_t dialogs = 0;
    std::vector<std::string> started;
    SoftwareUpdate update(
        t.app, nullptr,
        [&](const std::string& url, const std::string& dest, bool hidden) {
          EXPECT_EQ(url, "http://home.example/vyrsetup.exe");
          EXPECT_FALSE(hidden);
          test::WriteFile(dest, "#!/bin/sh\n");
          return c.dialogResults.at(dialogs++);
        },
        [&](const std::string& program) {
          started.push_back(program);
          return true;
        });
    update.SetMainWindow(window.handle);

    EXPECT_EQ(update.UpdateSoftware("http://home.example/vyrsetup.exe", c.askFirst), c.result);
    EXPECT_EQ(dialogs, c.dialogResults.size());
    std::vector<std::string> asked;
    for (auto& box : t.boxes.boxes) asked.push_back(box.text);
    EXPECT_EQ(asked, c.questions);
    platform::WindowMessages::Instance().DispatchPending();
    EXPECT_EQ(update.StartSetupAtExit(), c.result == 1);
    if (c.result == 1) {
      const std::string setup = t.home.Path() + "/vyrelle/_TEMP/vyrsetup.exe";
      EXPECT_EQ(update.SetupPath(), setup);
      EXPECT_EQ(started, std::vector<std::string>{setup});
      ASSERT_EQ(window.got.size(), 1u);
      EXPECT_EQ(window.got[0].message, 273u);
      EXPECT_EQ(window.got[0].wParam, 33459u);
    } else {
      EXPECT_EQ(update.SetupPath(), "");
      EXPECT_TRUE(started.empty());
      EXPECT_TRUE(window.got.empty());
    }
  }
}

}  // namespace
}  // namespace vyr::net
