// The compose window under XTest typing and clicks, sending through a
// recording SMTP server. usage: compose_window_ui WORK SHOTS | --crash-child WORK
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <wx/base64.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>
#include <wx/weakref.h>

#include "app/data_seeding.h"
#include "base/settings_table.h"
#include "mail/body/rich_text.h"
#include "mail/body/spelling.h"
#include "mail/send/compose_rules.h"
#include "mail/send/outbox.h"
#include "mail/store/mail_store.h"
#include "mail/windows/compose_wnd.h"
#include "mail/windows/mail_wnd.h"
#include "mail/windows/message_viewer_wnd.h"
#include "mail/windows/rich_text_editor.h"
#include "platform/windows_dir.h"
#include "tools/python_fixture.h"
#include "ui/windows/button_strip.h"
#include "ui_test_support.h"
#include "xtest_input.h"

namespace {

namespace fs = std::filesystem;
namespace xt = vyr::test::xtest;
using vyr::test::Check;
using vyr::test::Pause;
using vyr::test::PumpUntil;

void Type(const std::string& text) {
  for (unsigned char c : text) {
    if (c == '\n') xt::PressKey(XK_Return); else xt::PressCharacter(c);
    Pause(15);
  }
  Pause(150);
}

void ClickCentre(wxWindow* window) { xt::Click(window->GetScreenRect().GetPosition() + window->GetSize() / 2); }
void TypeInto(wxWindow* window, const std::string& text) { ClickCentre(window); Type(text); }
CComposeWnd* LastComposeWindow() {
  CComposeWnd* found = nullptr;
  for (wxWindow* top : wxTopLevelWindows) {
    if (auto* w = dynamic_cast<CComposeWnd*>(top)) found = w;
  }
  return found;
}

void ClickEntry(CButtonStrip* strip, int index) { vyr::test::ClickAt(strip, strip->EntryRect(index)); }

wxWindow* Named(wxWindow* parent, const std::string& name) { return wxWindow::FindWindowByName(name, parent); }

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (entry.path().extension() == ".mail") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

vyr::RichTextDocument StoredBody(const std::string& path) {
  vyr::RichTextDocument doc;
  vyr::SetBodyRichText(vyr::ParseStoredMessage(vyr::test::ReadFile(path)).body, doc);
  return doc;
}

std::string RunsWhere(const vyr::RichTextDocument& doc, bool (*pick)(const vyr::CharFormat&)) {
  std::string out;
  for (const vyr::FormatRun& run : doc.Runs()) {
    std::string text = doc.Text().substr(run.begin, run.end - run.begin);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    if (pick(run.format) && !text.empty()) out += "[" + text + "]";
  }
  return out;
}

class ComposeApp : public vyr::test::ChecksApp {
 protected:
  bool Prepare() override {
    if (argc == 3 && argv[1] == "--crash-child") return PrepareCrashChild();
    if (argc != 3) return false;
    work_ = std::string(argv[1].utf8_str());
    shots_ = std::string(argv[2].utf8_str());
    fs::create_directories(shots_);
    vyr::test::InitWindowTest();
    std::string error;
    if (!vyr::test::Require(smtp_.Start(&error) && stalling_.Start(&error), "SMTP server: " + error)) return false;
    MakeApplication();
    return true;
  }

  void RunChecks() override {
    if (crashChild_) return RunCrashChild();
    CheckTypedMessage();
    CheckSendLater();
    CheckDraftRoundTrip();
    CheckForward();
    CheckStalledSendClosed();
    CheckSentItemsCopyKept();
    CheckCloseQuestionKeepsWindow();
    CheckTextOnly();
    CheckCrashRecovery();
    CheckSpelling();
  }

 private:
  void MakeApplication() {
    app_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), boxes_, sounds_);
    vyr::SeedDataRoot(VYRELLE_SHIPPED_DATA, app_->Directories());
    app_->Write(vyr::kEmailSmtpServer, std::string("127.0.0.1"));
    app_->Write(vyr::kEmailSmtpPort, smtp_.Port());
    app_->Write(vyr::kEmailName, std::string("Alice"));
    app_->Write(vyr::kEmailAddress, std::string("alice@mail.example"));
    app_->Write(vyr::kEmailSpellCheck, std::string("Never"));
    CSchemeArt::Load(*app_);
  }

  std::string Folder(const char* name) const { return vyr::MailStore(*app_).FolderPath(name, true); }

  CComposeWnd* OpenWindow(const CComposeWnd::Prefill& fill = {}) {
    CComposeWnd* window = CComposeWnd::OpenNew(*app_, fill);
    Check(xt::Focus(window), "focus_given");
    Pause(300);
    return window;
  }

  bool WaitSent(size_t n, int ms = 15000) { return PumpUntil([&] { return smtp_.Messages().size() >= n; }, ms); }
  bool WaitClosed(const wxWeakRef<CComposeWnd>& window, int ms = 15000) {
    return PumpUntil([&] { return window.get() == nullptr; }, ms);
  }

  std::vector<std::string> ServerParts(size_t n, std::vector<std::string>* lines = nullptr) {
    const std::string out = work_ + "/parsed" + std::to_string(n);
    fs::create_directories(out);
    std::vector<std::string> seen;
    std::string error;
    vyr::test::SmtpRecordServer::ParseWithPython(smtp_.Messages()[n].dataPath, out, seen, &error);
    if (lines) *lines = seen;
    std::vector<std::string> parts;
    for (int i = 1; fs::exists(out + "/part" + std::to_string(i)); ++i) {
      parts.push_back(vyr::test::ReadFile(out + "/part" + std::to_string(i)));
    }
    return parts;
  }

  void CheckTypedMessage() {
    wxWeakRef<CComposeWnd> window = OpenWindow();
    TypeInto(window->ToBox(), "bob@mail.example");
    TypeInto(window->SubjectBox(), "Greetings");
    TypeInto(window->Editor(), "Hello ");
    xt::PressKey('b', false, true);
    Type("bold");
    xt::PressKey('b', false, true);
    Type(" and ");
    ClickCentre(Named(window->FormatBar(), "Italic"));
    Type("leaning");
    ClickCentre(Named(window->FormatBar(), "Italic"));
    Type("\nmiddle");
    ClickCentre(Named(window->FormatBar(), "Center Justify"));
    Pause(300);
    vyr::test::SaveScreen(shots_ + "/compose_typed.png");
    const vyr::RichTextDocument doc = ReadDocument(*window->Editor());
    Check(doc.Text() == "Hello bold and leaning\nmiddle" &&
              RunsWhere(doc, [](const vyr::CharFormat& f) { return f.bold; }) == "[bold]" &&
              RunsWhere(doc, [](const vyr::CharFormat& f) { return f.italic; }) == "[leaning]" &&
              doc.Paragraphs().size() == 2 && doc.Paragraphs()[1].format.alignment == vyr::Alignment::Center,
          "typed_formats_in_the_editor", doc.Text());

    ClickEntry(window->Toolbar(), 0);  // Send Now
    const bool sent = WaitSent(1, 20000) && WaitClosed(window);
    if (!Check(sent, "send_now_closes_the_window")) return;
    std::vector<std::string> lines;
    const std::vector<std::string> parts = ServerParts(0, &lines);
    const bool plain = parts.size() == 2 && parts[0].find("Hello bold and leaning") != std::string::npos &&
                       parts[0].find("middle") != std::string::npos;
    const bool html = parts.size() == 2 && parts[1].find("<B>bold</B>") != std::string::npos &&
                      parts[1].find("<I>leaning") != std::string::npos &&
                      parts[1].find("middle</CENTER>") != std::string::npos;
    Check(plain && html && smtp_.Messages()[0].recipients == std::vector<std::string>{"bob@mail.example"},
          "sent_parts_carry_what_was_typed");
    Check(FilesIn(Folder(vyr::kSentItemsFolder)).size() == 1 && FilesIn(Folder(vyr::kOutboxFolder)).empty() &&
              FilesIn(Folder(vyr::kDraftFolder)).empty(),
          "sent_message_in_sent_items_no_autosave_left");
  }

  void CheckSendLater() {
    wxWeakRef<CComposeWnd> window = OpenWindow({"carol@mail.example", "", "Later", "Sent at the next check.", {}});
    vyr::test::WriteFile(work_ + "/notes.txt", "the notes");
    boxes_.boxes.clear();
    window->AttachFiles({work_ + "/notes.txt", work_ + "/missing.txt"});
    Check(window->Attachments() == std::vector<std::string>{work_ + "/notes.txt"} &&
              vyr::test::Saw(boxes_, "error", "The file " + work_ + "/missing.txt cannot be attached: it cannot be read."),
          "unreadable_attachment_refused");
    ClickEntry(window->Toolbar(), 1);  // Send Later
    const std::vector<std::string> outbox = PumpUntil([&] { return !window; }, 5000)
                                                ? FilesIn(Folder(vyr::kOutboxFolder))
                                                : std::vector<std::string>{};
    Check(outbox.size() == 1 && vyr::MailStore::IsUnread(outbox[0]), "send_later_stores_pending");
    vyr::Outbox flush(*app_);
    const vyr::SmtpResult result = flush.FlushOutbox(0);
    std::vector<std::string> lines;
    const bool sent = result == vyr::SmtpResult::kSent && WaitSent(2, 10000);
    if (sent) ServerParts(1, &lines);
    Check(sent && smtp_.Messages()[1].recipients == std::vector<std::string>{"carol@mail.example"} &&
              std::find(lines.begin(), lines.end(), "ATTACHMENT 1 notes.txt 9") != lines.end(),
          "flush_sends_the_queued_message_with_its_attachment");
  }

  void CheckDraftRoundTrip() {
    wxWeakRef<CComposeWnd> window = OpenWindow({"dave@mail.example", "", "Draft", "", {}});
    TypeInto(window->Editor(), "Plain ");
    ClickCentre(Named(window->FormatBar(), "Underline"));
    Type("under");
    ClickCentre(Named(window->FormatBar(), "Underline"));
    xt::PressKey('s', false, true);  // Save Draft
    const bool closed = WaitClosed(window, 5000);
    const std::vector<std::string> drafts = FilesIn(Folder(vyr::kDraftFolder));
    if (!Check(closed && drafts.size() == 1, "save_draft_stores_and_closes")) return;
    const vyr::RichTextDocument stored = StoredBody(drafts[0]);
    Check(stored.Text() == "Plain under" &&
              RunsWhere(stored, [](const vyr::CharFormat& f) { return f.underline; }) == "[under]",
          "draft_holds_the_formats", stored.Text());
    boxes_.boxes.clear();
    wxWeakRef<CComposeWnd> reopened = CComposeWnd::OpenStored(*app_, drafts[0]);
    Check(reopened && ReadDocument(*reopened->Editor()) == stored && reopened->ToText() == "dave@mail.example",
          "reopened_draft_is_the_same_document");
    if (reopened) reopened->Close();
    Check(WaitClosed(reopened, 5000) && boxes_.boxes.empty() && fs::exists(drafts[0]),
          "unchanged_draft_closes_without_a_question");
    fs::remove(drafts[0]);
  }

  void CheckForward() {
    const std::string attachment = "Attached bytes\x01\x02\xff and more.";
    const std::string inbox = Folder(vyr::kInboxFolder) + "Fwd1.mail";
    vyr::test::WriteFile(inbox,
                         "From: Erin <erin@mail.example>\r\nTo: alice@mail.example\r\nSubject: Report\r\n"
                         "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
                         "Content-Type: text/plain\r\n\r\nSee the report.\r\n--b\r\nContent-Type: "
                         "application/octet-stream; name=\"report.bin\"\r\nContent-Disposition: attachment; "
                         "filename=\"report.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
                             wxBase64Encode(attachment.data(), attachment.size()).ToStdString() + "\r\n--b--\r\n");
    auto* viewer = new CMessageViewerWnd(*app_, nullptr);
    viewer->ShowMessage(inbox);
    xt::Focus(viewer);
    PumpUntil([&] { return !viewer->Loading(); }, 10000);
    xt::PressKey('f', false, true);  // Forward
    CComposeWnd* forward = nullptr;
    PumpUntil([&] { return (forward = LastComposeWindow()) != nullptr; }, 5000);
    const bool opened = forward && forward->Attachments().size() == 1 && forward->SubjectText() == "fw: Report";
    Check(opened, "forward_opens_with_the_attachment");
    viewer->Close(true);
    if (!opened) return;
    wxWeakRef<CComposeWnd> window = forward;
    window->ToBox()->SetValue("frank@mail.example");
    window->RunCommand(CComposeWnd::kSendLater);
    WaitClosed(window, 5000);
    CMailWnd::Open(*app_)->Close(true);
    PumpUntil([] { return CMailWnd::Current() == nullptr; }, 5000);
    vyr::RemoveUnusedForwardCopies(vyr::MailStore(*app_));
    const size_t before = smtp_.Messages().size();
    vyr::Outbox(*app_).FlushOutbox(0);
    std::vector<std::string> lines;
    bool whole = WaitSent(before + 1, 10000);
    if (whole) {
      ServerParts(before, &lines);
      whole = std::find(lines.begin(), lines.end(), "ATTACHMENT 1 report.bin " + std::to_string(attachment.size())) !=
                  lines.end() &&
              vyr::test::ReadFile(work_ + "/parsed" + std::to_string(before) + "/attachment1") == attachment;
    }
    Check(whole, "queued_forward_sent_with_its_attachment_after_clean_ups");
  }

  void CheckStalledSendClosed() {
    app_->Write(vyr::kEmailSmtpPort, stalling_.Port());
    wxWeakRef<CComposeWnd> window = OpenWindow({"gina@mail.example", "", "Stalled", "Never arrives.", {}});
    window->RunCommand(CComposeWnd::kSendNow);
    PumpUntil([&] { return window->StatusText().rfind("Sending message to", 0) == 0; }, 10000);
    Pause(500);
    boxes_.boxes.clear();
    window->Close();
    const bool closed = WaitClosed(window, 5000);
    const std::vector<std::string> outbox = FilesIn(Folder(vyr::kOutboxFolder));
    PumpUntil([&] { return !outbox.empty() && vyr::MailStore::IsUnread(outbox[0]); }, 5000);
    Check(closed && outbox.size() == 1 && vyr::MailStore::IsUnread(outbox[0]) &&
              boxes_.boxes.size() == 1 && boxes_.boxes[0].kind == "info",
          "closing_a_stalled_send_leaves_it_pending");
    app_->Write(vyr::kEmailSmtpPort, smtp_.Port());
    for (const std::string& file : outbox) fs::remove(file);
  }

  void CheckSentItemsCopyKept() {
    const std::vector<std::string> sent = FilesIn(Folder(vyr::kSentItemsFolder));
    if (!Check(!sent.empty(), "sent_items_has_a_message")) return;
    wxWeakRef<CComposeWnd> window = CComposeWnd::OpenStored(*app_, sent[0]);
    const bool readOnly = window && window->ReadOnlyMode() && !window->Editor()->IsEditable() &&
                          vyr::test::Texts(window->Toolbar())[0] == "Send Again";
    window->RunCommand(CComposeWnd::kSendNow);  // Send Again: editable
    const bool editable = !window->ReadOnlyMode() && window->Editor()->IsEditable();
    window->RunCommand(CComposeWnd::kSaveDraft);
    WaitClosed(window, 5000);
    const std::vector<std::string> drafts = FilesIn(Folder(vyr::kDraftFolder));
    Check(readOnly && editable && fs::exists(sent[0]) && drafts.size() == 1, "sent_items_copy_kept_by_save_draft");
    for (const std::string& file : drafts) fs::remove(file);
  }

  void CheckCloseQuestionKeepsWindow() {
    wxWeakRef<CComposeWnd> window = OpenWindow({"hal@mail.example", "", "Queued", "Body.", {}});
    window->RunCommand(CComposeWnd::kSendLater);
    WaitClosed(window, 5000);
    const std::vector<std::string> outbox = FilesIn(Folder(vyr::kOutboxFolder));
    if (!Check(outbox.size() == 1, "queued_for_the_question")) return;
    window = CComposeWnd::OpenStored(*app_, outbox[0]);
    Check(CComposeWnd::OpenStored(*app_, outbox[0]) == window.get(), "one_window_per_stored_message");
    window->ToBox()->SetValue("");  // a change, and one Send Later refuses
    boxes_.answer = vyr::IDYES;
    window->Close();
    Pause(500);
    Check(window && vyr::test::Saw(boxes_, "question", "Save Changes?"), "empty_to_keeps_the_window_open");
    boxes_.answer = vyr::IDNO;
    if (window) window->Close();
    WaitClosed(window, 5000);
    boxes_.answer = vyr::IDYES;
    Check(vyr::MailStore::IsUnread(outbox[0]) &&
              vyr::ParseStoredMessage(vyr::test::ReadFile(outbox[0])).to == "hal@mail.example",
          "discarded_changes_leave_the_queued_message_pending");
    fs::remove(outbox[0]);
  }

  void CheckTextOnly() {
    wxWeakRef<CComposeWnd> window = OpenWindow({"kim@mail.example", "", "Plain", "Just words.", {}});
    boxes_.boxes.clear();
    window->RunCommand(CComposeWnd::kTextOnly);
    const bool plain = boxes_.boxes.empty() && !window->FormatBar()->IsShown() &&
                       ReadDocument(*window->Editor()).Text() == "Just words." && app_->IsOn(vyr::kEmailSendTextOnly);
    window->RunCommand(CComposeWnd::kTextOnly);
    Check(plain && window->FormatBar()->IsShown() && !app_->IsOn(vyr::kEmailSendTextOnly),
          "text_only_of_a_plain_body_asks_nothing");
    window->Editor()->SelectAll();
    window->RunCommand(CComposeWnd::kBold);
    boxes_.answer = vyr::IDNO;
    window->RunCommand(CComposeWnd::kTextOnly);
    boxes_.answer = vyr::IDYES;
    Check(vyr::test::Saw(boxes_, "question",
                         "This message has formatting which will be removed if you switch to text only.\r\nContinue?") &&
              window->FormatBar()->IsShown() && !app_->IsOn(vyr::kEmailSendTextOnly),
          "text_only_of_a_formatted_body_asks_first");
    window->Close(true);
    WaitClosed(window, 5000);
  }

  bool PrepareCrashChild() {
    crashChild_ = true;
    work_ = std::string(argv[2].utf8_str());
    vyr::test::InitWindowTest();
    app_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), boxes_, sounds_);
    CSchemeArt::Load(*app_);
    return true;
  }

  void RunCrashChild() {
    CComposeWnd* window = CComposeWnd::OpenNew(*app_);
    xt::Focus(window);
    TypeInto(window->SubjectBox(), "Unsaved");
    TypeInto(window->Editor(), "Words typed before the crash");
    auto* other = new wxFrame(nullptr, wxID_ANY, "other", wxPoint(900, 600), wxSize(200, 100));
    other->Show();
    xt::Focus(other);
    PumpUntil([&] { return !window->AutosavePath().empty(); }, 5000);
    std::printf("autosaved %s\n", window->AutosavePath().c_str());
    std::fflush(stdout);
    PumpUntil([] { return false; }, 60000);
  }

  void CheckCrashRecovery() {
    const pid_t child = fork();
    if (child == 0) {
      execl("/proc/self/exe", "compose_window_ui", "--crash-child", work_.c_str(), nullptr);
      _exit(127);
    }
    const std::string draft = Folder(vyr::kDraftFolder);
    const bool saved = PumpUntil([&] {
      for (const std::string& file : FilesIn(draft)) {
        if (fs::path(file).filename().string().rfind("Autosave", 0) == 0 &&
            vyr::test::ReadFile(file).find("Words typed") != std::string::npos)
          return true;
      }
      return false;
    }, 30000);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    Check(saved, "focus_loss_autosaves_the_draft");
    const int opened = CComposeWnd::OpenRecoveredDrafts(*app_);
    CComposeWnd* recovered = LastComposeWindow();
    Check(opened == 1 && recovered && recovered->SubjectText() == "Unsaved" &&
              ReadDocument(*recovered->Editor()).Text() == "Words typed before the crash",
          "autosaved_draft_reopened_after_the_kill");
    if (recovered) {
      vyr::test::SaveScreen(shots_ + "/compose_recovered.png");
      recovered->Close(true);
    }
    for (const std::string& file : FilesIn(draft)) fs::remove(file);
  }

  void CheckSpelling() {
    const std::string root = vyr::MailStore(*app_).MailRoot(true);
    if (!Check(vyr::SpellCheckAvailable(root), "lexicon_seeded_from_the_system_dictionary")) return;
    wxWeakRef<CComposeWnd> window = OpenWindow({"ivy@mail.example", "", "Spelling", "", {}});
    TypeInto(window->Editor(), "We ");
    xt::PressKey('b', false, true);
    Type("recieve");
    xt::PressKey('b', false, true);
    Type(" zorblat news");
    Pause(400);
    const auto marks = window->Editor()->MarkedRanges();
    vyr::test::SaveScreen(shots_ + "/compose_misspelt.png");
    Check(marks == std::vector<std::pair<long, long>>{{3, 10}, {11, 18}}, "misspelt_words_marked");
    // Change (Alt+C) the first word, Add (Alt+A) the second.
    dialogShot_ = shots_ + "/compose_spelling_dialog.png";
    PressInNextDialog({{'c', true}, {'a', true}});
    window->RunCommand(CComposeWnd::kSpellCheck);
    timer_.Stop();
    const vyr::RichTextDocument doc = ReadDocument(*window->Editor());
    Check(doc.Text() == "We receive zorblat news" &&
              RunsWhere(doc, [](const vyr::CharFormat& f) { return f.bold; }) == "[receive]",
          "change_corrects_in_place_keeping_bold");
    Check(vyr::test::ReadFile(root + vyr::kUserWordsFile).find("zorblat") != std::string::npos &&
              window->Editor()->MarkedRanges().empty(),
          "add_puts_the_word_in_the_user_list");

    Type(" speling");
    app_->Write(vyr::kEmailSpellCheck, std::string("Prompt"));
    const size_t before = smtp_.Messages().size();
    PressInNextDialog({{XK_Escape, false}});
    window->RunCommand(CComposeWnd::kSendNow);
    Check(window && !window->Sending() && smtp_.Messages().size() == before, "escape_on_the_question_sends_nothing");
    // "Never" ticked (Alt+E), then OK.
    PressInNextDialog({{'e', true}, {'o', false}});
    window->RunCommand(CComposeWnd::kSendNow);
    Check(WaitSent(before + 1, 10000) && app_->Get(vyr::kEmailSpellCheck) == "Never",
          "never_ticked_sends_and_is_remembered");
    WaitClosed(window, 5000);
  }

  struct Key { unsigned long sym; bool alt; };
  void PressInNextDialog(std::vector<Key> keys) {
    pendingKeys_ = std::move(keys);
    focused_ = nullptr;
    timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
      wxDialog* dialog = nullptr;
      for (wxWindow* top : wxTopLevelWindows) {
        if (auto* d = dynamic_cast<wxDialog*>(top); d && d->IsModal()) dialog = d;
      }
      if (!dialog || pendingKeys_.empty()) return;
      if (dialog != focused_) {
        timer_.Stop();
        xt::Focus(dialog);
        focused_ = dialog;
        timer_.Start(400);
        return;
      }
      if (!dialogShot_.empty()) vyr::test::SaveScreen(std::exchange(dialogShot_, std::string()));
      const Key key = pendingKeys_.front();
      pendingKeys_.erase(pendingKeys_.begin());
      if (key.alt) {
        Display* d = xt::XDisplay();
        XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Alt_L), True, CurrentTime);
        xt::PressKey(key.sym);
        XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Alt_L), False, CurrentTime);
        XFlush(d);
      } else {
        xt::PressKey(key.sym);
      }
      if (pendingKeys_.empty()) timer_.Stop();
    });
    timer_.Start(400);
  }

  std::string work_, shots_;
  bool crashChild_ = false;
  vyr::test::RecordingMessageBox boxes_;
  vyr::test::RecordingSoundPlayer sounds_;
  vyr::test::SmtpRecordServer smtp_;
  vyr::test::SmtpRecordServer stalling_{vyr::test::SmtpRecordServer::Options{.stallAtData = true}};
  std::unique_ptr<vyr::Application> app_;
  wxTimer timer_;
  std::vector<Key> pendingKeys_;
  std::string dialogShot_;
  wxDialog* focused_ = nullptr;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(ComposeApp)
