// Drives the download progress window on a virtual display: a download that
// stalls is shown with its status and bar, photographed, and cancelled with
// the Cancel button; then a whole download runs to its end. Prints "ok ..."
// or "FAIL ..." per run.
//
// usage: download_dialog_ui STALL_URL WHOLE_URL DEST_DIR SCREENSHOT.png
#include <filesystem>

#include <wx/stattext.h>
#include <wx/timer.h>

#include "net/download_progress.h"
#include "net/windows/download_progress_dlg.h"
#include "ui_test_support.h"

namespace {

class DialogTestApp : public wxApp {
 public:
  bool OnInit() override {
    if (argc != 5) return false;
    vyr::test::InitWindowTest();
    vyr::net::SetDownloadDialogRunner(&CDownloadProgressDlg::RunRequest);
    // Once three chunks are shown: the picture, then Cancel.
    watch_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Watch(); });
    watch_.Start(100);
    CallAfter([this] { RunAll(); });
    return true;
  }

 private:
  void Watch() {
    auto* status = dynamic_cast<wxStaticText*>(wxWindow::FindWindowByName(wxS("status")));
    if (!status || pressed_) return;
    if (status->GetLabel() != "Downloaded 95 KB of 195 KB") return;
    wxWindow* dialog = wxGetTopLevelParent(status);
    dialog->Update();
    vyr::test::SaveScreen(argv[4].utf8_string());
    pressed_ = true;
    wxCommandEvent click(wxEVT_BUTTON, wxID_CANCEL);
    dialog->GetEventHandler()->ProcessEvent(click);
  }

  void RunAll() {
    const std::string dir = argv[3].ToStdString();
    using vyr::net::DownloadDialogResult;
    const DownloadDialogResult cancelled =
        vyr::net::RunDownloadDialog(argv[1].ToStdString(), dir + "/stalled", false);
    vyr::test::Check(cancelled == DownloadDialogResult::kNotDownloaded && pressed_,
                     "a stalled download shows 95 KB of 195 KB and ends with Cancel",
                     std::to_string(static_cast<int>(cancelled)) + (pressed_ ? " pressed" : " never 95 KB"));
    const DownloadDialogResult whole = vyr::net::RunDownloadDialog(argv[2].ToStdString(), dir + "/whole", false);
    std::error_code ec;
    const auto size = std::filesystem::file_size(dir + "/whole", ec);
    vyr::test::Check(whole == DownloadDialogResult::kDownloaded && size == 70000, "a whole download runs to its end",
                     std::to_string(static_cast<int>(whole)) + " " + std::to_string(size));
    // The cancelled worker may still be winding down on its own thread.
    vyr::test::ExitWithVerdict();
  }

  wxTimer watch_;
  bool pressed_ = false;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(DialogTestApp)
