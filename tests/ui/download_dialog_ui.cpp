// Drives the download progress window on a virtual display: a download that
// stalls is shown with its status and bar, photographed, and cancelled with
// the Cancel button; then a whole download runs to its end. Prints one line
// per run ("cancel: RESULT STATUS", "whole: RESULT") and exits 0 when both
// came out as expected.
//
// usage: download_dialog_ui STALL_URL WHOLE_URL DEST_DIR SCREENSHOT.png
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
    wxInitAllImageHandlers();
    vyr::test::RouteWindowMessagesToApp();
    vyr::net::SetDownloadDialogRunner(&CDownloadProgressDlg::RunRequest);
    // Watches the open dialog: once three chunks are shown, takes the picture
    // and presses Cancel.
    watch_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Watch(); });
    watch_.Start(100);
    CallAfter([this] { RunAll(); });
    return true;
  }

 private:
  void Watch() {
    auto* status = dynamic_cast<wxStaticText*>(wxWindow::FindWindowByName(wxS("status")));
    if (!status || pressed_) return;
    const std::string text = status->GetLabel().ToStdString();
    if (text != "Downloaded 95 KB of 195 KB") return;
    wxWindow* dialog = wxGetTopLevelParent(status);
    dialog->Update();
    vyr::test::SaveScreen(argv[4].utf8_string());
    pressed_ = true;
    cancelStatus_ = text;
    wxCommandEvent click(wxEVT_BUTTON, wxID_CANCEL);
    dialog->GetEventHandler()->ProcessEvent(click);
  }

  void RunAll() {
    const std::string dir = argv[3].ToStdString();
    const int cancelled = vyr::net::RunDownloadDialog(argv[1].ToStdString(), dir + "/stalled", false);
    std::printf("cancel: %d %s\n", cancelled, cancelStatus_.c_str());
    const int whole = vyr::net::RunDownloadDialog(argv[2].ToStdString(), dir + "/whole", false);
    std::printf("whole: %d\n", whole);
    std::fflush(stdout);
    // The cancelled worker may still be winding down on its own thread; the
    // process ends without running static destructors under it.
    std::_Exit(cancelled == 2 && pressed_ && whole == 1 ? 0 : 1);
  }

  wxTimer watch_;
  bool pressed_ = false;
  std::string cancelStatus_;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(DialogTestApp)
