#pragma once
// What the command dispatcher asks of the other subsystems (mail, server
// session, info box, updates, schemes, downloads, channels). The application
// wires this to the real objects; the command-line companion and the tests
// record the calls. Every call comes on the user-interface thread.
#include <string>
#include <vector>

#include "mail/send/mailto_link.h"

namespace vyr {

// One message of the mail tests.
struct TestMail {
  std::string to, subject, body;
};

class CommandServices {
 public:
  virtual ~CommandServices() = default;

  // --- mail -------------------------------------------------------------------
  // Opens the composer for a new message with these fields (a mailto link).
  virtual void ComposeMail(const MailtoFields& fields) = 0;
  // Sends the messages now / places them in the Outbox.
  virtual void SendTestMails(const std::vector<TestMail>& mails) = 0;
  virtual void QueueTestMails(const std::vector<TestMail>& mails) = 0;

  // --- server session ---------------------------------------------------------
  // Counts a visit of the address against the tracked address table.
  virtual void RecordVisit(const std::string& address) = 0;
  // Adds "id pattern" pairs to the tracked address table.
  virtual void TrackUrls(const std::string& text) = 0;
  virtual void LoadIds(const std::string& text) = 0;
  // The server's acknowledgement ("name=value" pairs joined by "&").
  virtual void Acknowledge(const std::string& text) = 0;
  // Restarts the ping timer with the interval.
  virtual void SetPingInterval(int minutes) = 0;
  // Makes the address the command server at once.
  virtual void SetServerScript(const std::string& address) = 0;
  // The usage counters, "&%s=%d" per counter.
  virtual std::string UsageCountersText() = 0;

  // --- info box -----------------------------------------------------------------
  // Shows the address now and restarts the rotation with that many seconds.
  virtual void ShowInfoBoxNow(const std::string& address, int seconds) = 0;

  // --- software and content updates ----------------------------------------------
  virtual void UpdateSoftware(const std::string& address, bool askFirst) = 0;
  virtual void UpdateInfoBox(const std::string& version, const std::string& url) = 0;
  virtual void UpdateProgramFiles(const std::string& version, const std::string& url) = 0;
  virtual void UpdateSpellingDictionary(const std::string& url) = 0;
  virtual void UpdateFixedChannels(const std::string& version, const std::string& url) = 0;

  // --- schemes, channels, favorites ----------------------------------------------
  // Downloads and installs a scheme package.
  virtual void ImportScheme(const std::string& address) = 0;
  // Imports the other browser's bookmarks into the favorites.
  virtual void ImportBrowserBookmarks() = 0;
  // Downloads with the progress dialog; true when the file arrived.
  virtual bool DownloadWithProgress(const std::string& url, const std::string& destination) = 0;
  // Merges a downloaded channel file into the user's channels.
  virtual void MergeChannelFile(const std::string& path) = 0;

  // --- system navigation sounds ----------------------------------------------------
  virtual void SaveAndSilenceNavigationSounds() = 0;
  virtual void RestoreNavigationSounds() = 0;
};

}  // namespace vyr
