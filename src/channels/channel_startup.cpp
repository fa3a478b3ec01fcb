#include "channels/channel_startup.h"

#include "base/application.h"
#include "platform/string_table.h"

namespace vyr {

namespace {
// A guide to the internet's basics on another site, used when the data
// folder names no help pages.
constexpr char kInternetBasicsPage[] = "http://www.netbasics.example/guide/";
// The name of the page at the user's own home address.
constexpr platform::TextId kYourHomePage{32818};

std::string TrimLeft(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  return b == std::string::npos ? std::string() : s.substr(b);
}
}  // namespace

std::string ChannelLibrary::DataFile(const std::string& name) const {
  return app_.ResolveDataFile(name, true);
}

void ChannelLibrary::AddHomeChannel() {
  ChannelItem* home = set_.AddChannel(kHomeChannelName);
  if (!app_.IsOn(kStartupUseDefaultStart)) {
    std::string own = TrimLeft(app_.Get(kStartupHome));
    if (!own.empty()) ChannelSet::AddChild(home, kYourHomePage.Text(), own, kChannelKindPage);
  }
  ChannelSet::AddChild(home, "Start Page",
                       app_.Get(kDataStartPage),
                       kChannelKindPage);

  // A folder's pages come from "S<n>_NAME" / "S<n>_URL" of its section; when
  // the first name is empty the folder gets the built-in pages instead.
  auto fillFolder = [&](ChannelItem* folder, const StringSettingFamily& pageName,
                        const StringSettingFamily& pageUrl, int pairs,
                        const std::vector<std::pair<std::string, std::string>>& builtIn) {
    if (app_.Get(pageName.At(1)).empty()) {
      for (const auto& [name, url] : builtIn) {
        ChannelSet::AddChild(folder, name, url, kChannelKindPage);
      }
      return;
    }
    for (int n = 1; n <= pairs; ++n) {
      std::string name = app_.Get(pageName.At(n));
      if (name.empty()) continue;
      ChannelSet::AddChild(folder, name, app_.Get(pageUrl.At(n)), kChannelKindPage);
    }
  };

  ChannelItem* start = ChannelSet::AddChild(
      home, app_.Get(kDataStartFolderName), "", kChannelKindFolder);
  fillFolder(start, kDataStartFolderPageName, kDataStartFolderPageUrl, 7, {{"Vyrelle", app_.HomeServerUrl("/")}});

  ChannelItem* help = ChannelSet::AddChild(home, "Help", "", kChannelKindFolder);
  fillFolder(help, kDataHelpFolderPageName, kDataHelpFolderPageUrl, 6,
             {{"Internet Basics", kInternetBasicsPage}, {"Vyrelle Help", app_.HomeServerUrl("/help")}});
}

size_t ChannelLibrary::LoadAtStartup() {
  set_.Clear(0);
  AddHomeChannel();
  set_.Load(DataFile(kLocalChannelsFile), false);
  set_.Load(DataFile(kFixedChannelsFile), false);
  fixedCount_ = set_.Count();
  set_.Load(DataFile(kUserChannelsFile), false);
  return fixedCount_;
}

bool ChannelLibrary::SaveUserChannels() const {
  return set_.Save(DataFile(kUserChannelsFile), fixedCount_, &app_.Messages());
}

void ChannelLibrary::ReplaceUserChannels(const ChannelSet& from, size_t firstUserChannel) {
  set_.Clear(fixedCount_);
  for (size_t i = firstUserChannel; i < from.Count(); ++i) set_.AddCopy(*from.At(i));
}

}  // namespace vyr
