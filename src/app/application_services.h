#pragma once
// The command dispatcher's services wired to the objects that do the work:
// package and software updates, scheme import, downloads with the progress
// dialog, the server session (tracked addresses, counters, ping) and the
// info box. The session and the info box belong to the channel bar window,
// so they are attached when it exists and asked nothing before. What only a
// window can do (the composer, the channel merge with its questions, the
// system navigation sounds) goes to functions the windowed program sets;
// unset, those calls do nothing.
#include <functional>
#include <string>
#include <vector>

#include "app/command_services.h"
#include "schemes/scheme_package.h"

namespace vyr {

class Application;
namespace net {
class SoftwareUpdate;
class ServerSession;
class InfoBoxModel;
}  // namespace net

struct WindowServices {
  std::function<void(const MailtoFields& fields)> composeMail;
  std::function<void(const std::vector<TestMail>&)> sendTestMails;
  std::function<void(const std::vector<TestMail>&)> queueTestMails;
  std::function<void(const std::string& path)> mergeChannelFile;
  std::function<void()> saveAndSilenceNavigationSounds;
  std::function<void()> restoreNavigationSounds;
  std::function<void()> importBookmarks;  // the import a user starts, with its outcome shown
};

class ApplicationServices : public CommandServices {
 public:
  ApplicationServices(Application& app, net::SoftwareUpdate& updates, WindowServices windows = {},
                      SchemeImport schemeImport = {});

  void AttachSession(net::ServerSession* session) { session_ = session; }
  void AttachInfoBox(net::InfoBoxModel* infoBox) { infoBox_ = infoBox; }

  void ComposeMail(const MailtoFields& fields) override;
  void SendTestMails(const std::vector<TestMail>& mails) override;
  void QueueTestMails(const std::vector<TestMail>& mails) override;

  void RecordVisit(const std::string& address) override;
  void TrackUrls(const std::string& text) override;
  void LoadIds(const std::string& text) override;
  void Acknowledge(const std::string& text) override;
  void SetPingInterval(int minutes) override;
  void SetServerScript(const std::string& address) override;
  std::string UsageCountersText() override;

  void ShowInfoBoxNow(const std::string& address, int seconds) override;

  void UpdateSoftware(const std::string& address, bool askFirst) override;
  void UpdateInfoBox(const std::string& version, const std::string& url) override;
  void UpdateProgramFiles(const std::string& version, const std::string& url) override;
  void UpdateSpellingDictionary(const std::string& url) override;
  void UpdateFixedChannels(const std::string& version, const std::string& url) override;

  void ImportScheme(const std::string& address) override;
  void ImportBrowserBookmarks() override;
  bool DownloadWithProgress(const std::string& url, const std::string& destination) override;
  void MergeChannelFile(const std::string& path) override;

  void SaveAndSilenceNavigationSounds() override;
  void RestoreNavigationSounds() override;

 private:
  Application& app_;
  net::SoftwareUpdate& updates_;
  WindowServices windows_;
  SchemeImport schemeImport_;
  net::ServerSession* session_ = nullptr;
  net::InfoBoxModel* infoBox_ = nullptr;
};

}  // namespace vyr
