#pragma once
// Windows, services and message boxes that only note what the command
// dispatcher asked of them, one line per call ("PostMenuCommand 32788",
// "ComposeMail bob@x", "Information I'm now offline."): the command-line
// companion prints the lines, and the tests compare them.
#include <string>
#include <vector>

#include "app/command_services.h"
#include "base/message_box.h"
#include "app/shell.h"

namespace vyr {

class CommandRecorder : public Shell, public CommandServices, public MessageBoxService {
 public:
  std::vector<std::string> calls;
  // Answers of the calls that return something.
  bool downloadSucceeds = false;
  int answer = IDNO;  // of every question
  int rounds = 3;
  std::string countersText = "&S=1";

  // Shell
  void PostMenuCommand(int command) override { Note("PostMenuCommand", std::to_string(command)); }
  void OpenSearchWindow() override { Note("OpenSearchWindow"); }
  void OpenSearchDialog(int category) override { Note("OpenSearchDialog", std::to_string(category)); }
  void OpenPopupWindow(const std::string& address) override { Note("OpenPopupWindow", address); }
  void NavigateChannel(const std::string& name) override { Note("NavigateChannel", name); }
  void RefreshArt() override { Note("RefreshArt"); }
  void RebuildButtonStrip() override { Note("RebuildButtonStrip"); }
  void LayoutMainWindow() override { Note("LayoutMainWindow"); }
  void OpenStartupOptions() override { Note("OpenStartupOptions"); }
  void OpenEmailSettings() override { Note("OpenEmailSettings"); }
  void OpenSpeedBooster() override { Note("OpenSpeedBooster"); }
  void NavigateMainWindow(const std::string& address) override { Note("NavigateMainWindow", address); }
  void PumpMessages() override { ++pumps; }
  void RunBrowserTest() override { Note("RunBrowserTest"); }
  int RepaintTest() override { return Note("RepaintTest"), rounds; }
  int ChannelListTest(int variant) override { return Note("ChannelListTest", std::to_string(variant)), rounds; }
  int OpenEveryChannel() override { return Note("OpenEveryChannel"), rounds; }
  void ColorTest() override { Note("ColorTest"); }
  int MouseTest() override { return Note("MouseTest"), rounds; }

  // MessageBoxService: "Question <caption> | <text>".
  int Error(const std::string& text, const std::string& = {}) override { return Note("Error", text), IDOK; }
  int Question(const std::string& text, const std::string& caption, bool* = nullptr) override {
    return Note("Question", caption + " | " + text), answer;
  }
  int Information(const std::string& text, const std::string& = {}) override {
    return Note("Information", text), IDOK;
  }

  // CommandServices
  void ComposeMail(const MailtoFields& f) override {
    std::string text = f.to;
    if (!f.cc.empty()) text += " cc=" + f.cc;
    if (!f.subject.empty()) text += " subject=" + f.subject;
    if (!f.body.empty()) text += " body=" + f.body;
    Note("ComposeMail", text);
  }
  void SendTestMails(const std::vector<TestMail>& mails) override { NoteMails("SendTestMails", mails); }
  void QueueTestMails(const std::vector<TestMail>& mails) override { NoteMails("QueueTestMails", mails); }
  void RecordVisit(const std::string& address) override { visits.push_back(address); }
  void TrackUrls(const std::string& text) override { Note("TrackUrls", text); }
  void LoadIds(const std::string& text) override { Note("LoadIds", text); }
  void Acknowledge(const std::string& text) override { Note("Acknowledge", text); }
  void SetPingInterval(int minutes) override { Note("SetPingInterval", std::to_string(minutes)); }
  void SetServerScript(const std::string& address) override { Note("SetServerScript", address); }
  std::string UsageCountersText() override { return countersText; }
  void ShowInfoBoxNow(const std::string& address, int seconds) override {
    Note("ShowInfoBoxNow", address + " " + std::to_string(seconds));
  }
  void UpdateSoftware(const std::string& address, bool askFirst) override {
    Note("UpdateSoftware", address + (askFirst ? " ask" : " noask"));
  }
  void UpdateInfoBox(const std::string& version, const std::string& url) override {
    Note("UpdateInfoBox", version + " " + url);
  }
  void UpdateProgramFiles(const std::string& version, const std::string& url) override {
    Note("UpdateProgramFiles", version + " " + url);
  }
  void UpdateSpellingDictionary(const std::string& url) override { Note("UpdateSpellingDictionary", url); }
  void UpdateFixedChannels(const std::string& version, const std::string& url) override {
    Note("UpdateFixedChannels", version + " " + url);
  }
  void ImportScheme(const std::string& address) override { Note("ImportScheme", address); }
  void ImportBrowserBookmarks() override { Note("ImportBrowserBookmarks"); }
  bool DownloadWithProgress(const std::string& url, const std::string& destination) override {
    Note("DownloadWithProgress", url + " " + destination);
    return downloadSucceeds;
  }
  void MergeChannelFile(const std::string& path) override { Note("MergeChannelFile", path); }
  void SaveAndSilenceNavigationSounds() override { Note("SaveAndSilenceNavigationSounds"); }
  void RestoreNavigationSounds() override { Note("RestoreNavigationSounds"); }

  // Addresses offered for visit counting (every address, kept apart from
  // the calls), and how often messages were pumped.
  std::vector<std::string> visits;
  int pumps = 0;

 private:
  void Note(const std::string& call, const std::string& arguments = {}) {
    calls.push_back(arguments.empty() ? call : call + " " + arguments);
  }
  // The count, then the first message's recipient and subject.
  void NoteMails(const std::string& call, const std::vector<TestMail>& mails) {
    Note(call, std::to_string(mails.size()) +
                   (mails.empty() ? std::string() : " " + mails[0].to + " " + mails[0].subject));
  }
};

}  // namespace vyr
