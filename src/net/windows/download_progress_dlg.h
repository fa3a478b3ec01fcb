#pragma once
// CDownloadProgressDlg: the small modal window over a download: the message
// line, the status line, a progress bar and Cancel. The download runs on its
// worker; this window only shows what the logic (DownloadProgress) tells it,
// so the user-interface thread stays free.
#include <memory>
#include <string>

#include "ui/windows/colored_dlg.h"

#include "net/download_progress.h"

class wxGauge;
class wxStaticText;
class wxGUIEventLoop;

class CDownloadProgressDlg : public CColoredDlg, private vyr::net::DownloadProgressView {
 public:
  CDownloadProgressDlg(wxWindow* parent, const vyr::net::DownloadDialogRequest& request);
  ~CDownloadProgressDlg() override;

  // Runs the download to its end.
  vyr::net::DownloadDialogResult Run();

  // The runner the application installs for RunDownloadDialog.
  static vyr::net::DownloadDialogResult RunRequest(const vyr::net::DownloadDialogRequest& request);

 private:
  void ShowWindow() override;
  void SetMessage(const std::string& text) override;
  void SetStatus(const std::string& text) override;
  void SetProgress(std::uint64_t bytesDone, std::uint64_t bytesTotal) override;
  void EndDialog(vyr::net::DownloadDialogResult result) override;

  void OnCancel(wxCommandEvent& event);
  void OnClose(wxCloseEvent& event);

  bool hidden_;
  wxStaticText* message_ = nullptr;
  wxStaticText* status_ = nullptr;
  wxGauge* gauge_ = nullptr;
  vyr::net::DownloadDialogResult result_ = vyr::net::DownloadDialogResult::kNotDownloaded;
  bool ended_ = false;
  bool running_ = false;
  wxGUIEventLoop* hiddenLoop_ = nullptr;
  std::unique_ptr<vyr::net::DownloadProgress> logic_;
};
