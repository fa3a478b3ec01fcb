#include "app/application_services.h"

#include "base/application.h"
#include "channels/bookmark_import.h"
#include "net/download_progress.h"
#include "net/info_box_model.h"
#include "net/server_session.h"
#include "net/software_update.h"

namespace vyr {

ApplicationServices::ApplicationServices(Application& app, net::SoftwareUpdate& updates,
                                         WindowServices windows, SchemeImport schemeImport)
    : app_(app), updates_(updates), windows_(std::move(windows)), schemeImport_(std::move(schemeImport)) {}

void ApplicationServices::ComposeMail(const MailtoFields& fields) {
  if (windows_.composeMail) windows_.composeMail(fields);
}
void ApplicationServices::SendTestMails(const std::vector<TestMail>& mails) {
  if (windows_.sendTestMails) windows_.sendTestMails(mails);
}
void ApplicationServices::QueueTestMails(const std::vector<TestMail>& mails) {
  if (windows_.queueTestMails) windows_.queueTestMails(mails);
}

void ApplicationServices::RecordVisit(const std::string& address) {
  if (session_) session_->RecordVisit(address, false);
}
void ApplicationServices::TrackUrls(const std::string& text) {
  if (session_) session_->TrackUrls(text);
}
void ApplicationServices::LoadIds(const std::string& text) {
  if (session_) session_->LoadIds(text);
}
void ApplicationServices::Acknowledge(const std::string& text) {
  if (session_) session_->Acknowledge(text);
}
void ApplicationServices::SetPingInterval(int minutes) {
  if (session_) session_->SetPingInterval(minutes);
}
void ApplicationServices::SetServerScript(const std::string& address) {
  if (session_) session_->SetServerScript(address);
}
std::string ApplicationServices::UsageCountersText() {
  return session_ ? session_->CountersText() : std::string();
}

void ApplicationServices::ShowInfoBoxNow(const std::string& address, int seconds) {
  if (infoBox_) infoBox_->ShowNow(address, seconds);
}

void ApplicationServices::UpdateSoftware(const std::string& address, bool askFirst) {
  updates_.UpdateSoftware(address, askFirst);
}
void ApplicationServices::UpdateInfoBox(const std::string& version, const std::string& url) {
  updates_.UpdateInfoBox(version, url);
}
void ApplicationServices::UpdateProgramFiles(const std::string& version, const std::string& url) {
  updates_.UpdateProgramFiles(version, url);
}
void ApplicationServices::UpdateSpellingDictionary(const std::string& url) {
  updates_.UpdateSpellingDictionary(url);
}
void ApplicationServices::UpdateFixedChannels(const std::string& version, const std::string& url) {
  updates_.UpdateFixedChannels(version, url);
}

void ApplicationServices::ImportScheme(const std::string& address) {
  vyr::ImportScheme(app_, schemeImport_, address);
}
void ApplicationServices::ImportBrowserBookmarks() {
  if (windows_.importBookmarks) {
    windows_.importBookmarks();
  } else {
    ImportBookmarks(app_);
  }
}
bool ApplicationServices::DownloadWithProgress(const std::string& url, const std::string& destination) {
  // Channel files are small: the download limit keeps an endless reply
  // from filling the disk.
  return net::RunDownloadDialog(url, destination, false, &app_.Messages(),
                                net::MaxDownloadBytes(app_)) == net::DownloadDialogResult::kDownloaded;
}
void ApplicationServices::MergeChannelFile(const std::string& path) {
  if (windows_.mergeChannelFile) windows_.mergeChannelFile(path);
}

void ApplicationServices::SaveAndSilenceNavigationSounds() {
  if (windows_.saveAndSilenceNavigationSounds) windows_.saveAndSilenceNavigationSounds();
}
void ApplicationServices::RestoreNavigationSounds() {
  if (windows_.restoreNavigationSounds) windows_.restoreNavigationSounds();
}

}  // namespace vyr
