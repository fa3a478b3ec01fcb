// Package updates against the real vyrelle-home-server on a loopback port.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/application_services.h"
#include "net/download_progress.h"
#include "net/download_worker.h"
#include "net/software_update.h"
#include "platform/file_system.h"
#include "tools/home_server.h"
#include "tools/recording_window.h"
#include "tools/test_support.h"
#include "tools/zip_builder.h"

namespace vyr::net {
namespace {

class SoftwareUpdatePeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::WriteZip(server.File("packages/good.zip"), {{"pages/new.htm", "<p>new</p>"}}));
    ASSERT_TRUE(test::WriteZip(server.File("packages/other.zip"), {{"pages/other.htm", "other"}}));
    test::WriteFile(server.File("packages/bad.zip"), "no archive");
    test::WriteFile(server.File("packages/big.zip"), std::string(2 * 1048576 + 1, 'z'));
    ASSERT_GT(server.Port(), 0) << server.Errors();
    t.app.WriteString("misc", "HomeServer", server.Url(""));
    update.SetMainWindow(window.handle);
    update.SetProgramDirectory(program.Path());
    update.SetInfoBoxReload([this] { ++reloads; });
  }
  std::string Package(const std::string& name) { return server.Url("/packages/" + name); }

  // Hands the next finished download to the update, as the main window does.
  bool Finish() {
    const size_t seen = finished;
    if (!window.DispatchUntil([&] { return Count() > seen; })) return false;
    size_t index = 0;
    for (const auto& m : window.got) {
      if (m.message == kDownloadFinished && index++ == seen) {
        ++finished;
        result = DownloadResultOf(m.lParam);
        return update.OnPackageDownloaded(static_cast<std::uint32_t>(m.wParam), result);
      }
    }
    return false;
  }
  size_t Count() const {
    size_t n = 0;
    for (const auto& m : window.got) n += m.message == kDownloadFinished;
    return n;
  }
  std::string Root(const std::string& path) const { return t.home.Path() + "/vyrelle/" + path; }

  test::TempDir program;
  test::HomeServer server;
  test::TestApp t;
  test::RecordingWindow window;
  SoftwareUpdate update{t.app};
  int reloads = 0;
  size_t finished = 0;
  DownloadResult result = DownloadResult::kOk;
};

TEST_F(SoftwareUpdatePeerTest, VersionsAreRecordedOnlyForUnpackedPackagesAndNeverGoDown) {
  struct Case {
    const char* label;
    int kind;
    int stored;  // under the kind's key before the request
    const char* version;
    const char* package;  // served name
    bool started;
    bool unpacked;
    int storedAfter;
  };
  const Case cases[] = {
      {"newer version", kFixedChannelsPackage, 5, "6", "good.zip", 1, true, 6},
      {"same version", kFixedChannelsPackage, 5, "5", "good.zip", 0, false, 5},
      {"version 0 below a stored one", kFixedChannelsPackage, 5, "0", "good.zip", 0, false, 5},
      {"version 0 on nothing stored", kFixedChannelsPackage, 0, "0", "good.zip", 1, true, 0},
      {"over 16 bits, stored whole", kFixedChannelsPackage, 0, "70000", "good.zip", 1, true, 70000},
      {"failed download", kFixedChannelsPackage, 5, "7", "missing.zip", 1, false, 5},
      {"bad package", kFixedChannelsPackage, 5, "8", "bad.zip", 1, false, 5},
      {"over the size limit", kFixedChannelsPackage, 5, "9", "big.zip", 1, false, 5},
      {"info box pages", kInfoBoxPackage, 2, "3x", "good.zip", 1, true, 3},
      {"program files", kProgramFilesPackage, 2, "3", "good.zip", 1, true, 3},
      {"dictionary always", kDictionaryPackage, 9, "0", "good.zip", 1, true, 9},
  };
  const char* folders[] = {"InfoBox/default/Dir1/", "", "email/", "Data/Default/"};
  t.app.WriteInt("misc", "MaxDownloadMB", 2);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const PackageKindInfo* info = PackageKindOf(c.kind);
    const std::string unpackedFile = (c.kind == kProgramFilesPackage ? program.Path() + "/"
                                                                      : Root(folders[c.kind])) +
                                     "pages/new.htm";
    std::filesystem::remove(unpackedFile);
    t.app.Write(info->version, c.stored);
    const int reloadsBefore = reloads;

    ASSERT_EQ(update.RequestPackageUpdate(c.kind, c.version, Package(c.package)), c.started);
    if (c.started) {
      EXPECT_EQ(Finish(), c.unpacked);
      if (std::string(c.package) == "big.zip") {
        EXPECT_EQ(result, DownloadResult::kTooLarge);
      }
    }
    EXPECT_EQ(t.app.GetOr(info->version, -1), c.storedAfter);
    EXPECT_EQ(test::ReadFile(unpackedFile), c.unpacked ? "<p>new</p>" : "");
    // The package file goes once it was unpacked or refused.
    EXPECT_FALSE(std::filesystem::exists(Root("_TEMP/") + info->packageName + ".zip"));
    EXPECT_EQ(reloads - reloadsBefore, c.started && c.kind == kInfoBoxPackage ? 1 : 0);
  }
  EXPECT_EQ(Count(), finished) << "no download posted twice";
}

TEST_F(SoftwareUpdatePeerTest, OneDownloadPerKindAndNoneBelowAVersionStoredMeanwhile) {
  t.app.WriteInt("misc", "fixedchanver", 5);
  ASSERT_TRUE(update.RequestPackageUpdate(kFixedChannelsPackage, "6", Package("good.zip")));
  const std::uint32_t first = PackageRequestId(kFixedChannelsPackage, 6);
  EXPECT_EQ(update.PendingPackage(first), Root("_TEMP/VyrFixed.zip"));
  // A second request of the kind is refused while one is pending; another kind is not.
  EXPECT_FALSE(update.RequestPackageUpdate(kFixedChannelsPackage, "7", Package("other.zip")));
  EXPECT_EQ(update.PendingPackage(PackageRequestId(kFixedChannelsPackage, 7)), "");
  EXPECT_TRUE(update.RequestPackageUpdate(kInfoBoxPackage, "1", Package("other.zip")));
  EXPECT_TRUE(Finish());
  EXPECT_TRUE(Finish());
  EXPECT_EQ(update.PendingPackage(first), "") << "the pending entry ends with its download";
  EXPECT_EQ(t.app.GetInt("misc", "fixedchanver", -1), 6);
  EXPECT_EQ(t.app.GetInt("misc", "ibver", -1), 1);
  EXPECT_EQ(test::ReadFile(Root("Data/Default/pages/new.htm")), "<p>new</p>");
  EXPECT_FALSE(std::filesystem::exists(Root("Data/Default/pages/other.htm")));

  // Once it finished, the kind may be fetched again.
  ASSERT_TRUE(update.RequestPackageUpdate(kFixedChannelsPackage, "8", Package("other.zip")));
  // A newer version stored meanwhile: the package is refused and deleted.
  t.app.WriteInt("misc", "fixedchanver", 9);
  EXPECT_FALSE(Finish());
  EXPECT_EQ(result, DownloadResult::kOk);
  EXPECT_EQ(t.app.GetInt("misc", "fixedchanver", -1), 9);
  EXPECT_FALSE(std::filesystem::exists(Root("Data/Default/pages/other.htm")));
  EXPECT_FALSE(std::filesystem::exists(Root("_TEMP/VyrFixed.zip")));
  EXPECT_FALSE(update.RequestPackageUpdate(kFixedChannelsPackage, "9", Package("other.zip")));
  // A finished message for a request that is not pending changes nothing.
  EXPECT_FALSE(update.OnPackageDownloaded(PackageRequestId(kFixedChannelsPackage, 10), DownloadResult::kOk));
  EXPECT_EQ(t.app.GetInt("misc", "fixedchanver", -1), 9);
}

TEST_F(SoftwareUpdatePeerTest, ChannelFilesKeepToTheSizeLimitSetting) {
  // 64 MiB unless [misc] MaxDownloadMB says otherwise; below 1 MB is 64.
  EXPECT_EQ(MaxDownloadBytes(t.app), 64u * 1048576u);
  t.app.WriteInt("misc", "MaxDownloadMB", 0);
  EXPECT_EQ(MaxDownloadBytes(t.app), 64u * 1048576u);
  t.app.WriteInt("misc", "MaxDownloadMB", 1);
  EXPECT_EQ(MaxDownloadBytes(t.app), 1048576u);

  ApplicationServices services(t.app, update);
  const std::string channels = Root("_TEMP/vyrtemp.ndf");
  platform::CreateDirectories(Root("_TEMP"));
  test::WriteFile(channels, "old channels");
  EXPECT_FALSE(services.DownloadWithProgress(Package("big.zip"), channels));
  EXPECT_EQ(test::ReadFile(channels), "old channels");
  EXPECT_TRUE(services.DownloadWithProgress(Package("bad.zip"), channels));
  EXPECT_EQ(test::ReadFile(channels), "no archive");
}

}  // namespace
}  // namespace vyr::net
