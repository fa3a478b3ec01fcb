#include "net/windows/download_progress_dlg.h"

#include <algorithm>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/evtloop.h>
#include <wx/gauge.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

namespace {
// The bar counts in kilobytes so that large files fit its int range.
constexpr int kGaugeScale = 1024;
}  // namespace

CDownloadProgressDlg::CDownloadProgressDlg(wxWindow* parent,
                                           const vyr::net::DownloadDialogRequest& request)
    : CColoredDlg(parent, wxS("Vyrelle"), false, wxSTAY_ON_TOP), hidden_(request.hidden) {
  wxPanel* panel = ContentPanel();
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  message_ = new wxStaticText(panel, wxID_ANY, wxString::FromUTF8(request.caption.c_str()));
  status_ = new wxStaticText(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(380, -1),
                             wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END, wxS("status"));
  gauge_ = new wxGauge(panel, wxID_ANY, 100, wxDefaultPosition, wxSize(380, -1));
  auto* cancel = new wxButton(panel, wxID_CANCEL,
                              wxString::FromUTF8(vyr::net::kCancelButtonText.Text().c_str()));
  sizer->Add(message_, 0, wxALL | wxEXPAND, 10);
  sizer->Add(status_, 0, wxLEFT | wxRIGHT | wxEXPAND, 10);
  sizer->Add(gauge_, 0, wxALL | wxEXPAND, 10);
  sizer->Add(cancel, 0, wxBOTTOM | wxALIGN_CENTER_HORIZONTAL, 10);
  panel->SetSizer(sizer);
  FinishLayout();

  Bind(wxEVT_BUTTON, &CDownloadProgressDlg::OnCancel, this, wxID_CANCEL);
  Bind(wxEVT_CLOSE_WINDOW, &CDownloadProgressDlg::OnClose, this);

  vyr::net::DownloadProgressView& view = *this;
  logic_ = std::make_unique<vyr::net::DownloadProgress>(view, request.caption, request.url,
                                                        request.destination, request.hidden,
                                                        request.boxes, request.maxBytes);
}

// The logic goes first: its window handle is forgotten before the controls
// are, so a late message of the worker finds no one.
CDownloadProgressDlg::~CDownloadProgressDlg() { logic_.reset(); }

vyr::net::DownloadDialogResult CDownloadProgressDlg::Run() {
  running_ = true;
  logic_->Open();
  if (!ended_) {
    if (hidden_) {
      wxGUIEventLoop loop;
      hiddenLoop_ = &loop;
      loop.Run();
      hiddenLoop_ = nullptr;
    } else {
      ShowModal();
    }
  }
  running_ = false;
  return result_;
}

vyr::net::DownloadDialogResult CDownloadProgressDlg::RunRequest(
    const vyr::net::DownloadDialogRequest& request) {
  CDownloadProgressDlg dialog(wxTheApp ? wxTheApp->GetTopWindow() : nullptr, request);
  return dialog.Run();
}

// ShowModal shows the window; the logic asks only so that a hidden dialog
// stays hidden.
void CDownloadProgressDlg::ShowWindow() {}

void CDownloadProgressDlg::SetMessage(const std::string& text) {
  message_->SetLabel(wxString::FromUTF8(text.c_str()));
  ContentPanel()->Layout();
  Update();
}

void CDownloadProgressDlg::SetStatus(const std::string& text) {
  status_->SetLabel(wxString::FromUTF8(text.c_str()));
  status_->Refresh();
  status_->Update();
}

void CDownloadProgressDlg::SetProgress(std::uint64_t bytesDone, std::uint64_t bytesTotal) {
  if (bytesTotal == 0) {
    gauge_->Pulse();
    return;
  }
  const auto range = static_cast<int>(std::min<std::uint64_t>(bytesTotal / kGaugeScale + 1, 0x7fffffff));
  const auto value = static_cast<int>(std::min<std::uint64_t>(bytesDone / kGaugeScale, range));
  if (gauge_->GetRange() != range) gauge_->SetRange(range);
  gauge_->SetValue(value);
}

void CDownloadProgressDlg::EndDialog(vyr::net::DownloadDialogResult result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
  if (!running_) return;
  if (hiddenLoop_) {
    hiddenLoop_->Exit();
  } else if (IsModal()) {
    wxDialog::EndModal(static_cast<int>(result));
  }
}

void CDownloadProgressDlg::OnCancel(wxCommandEvent&) { logic_->Cancel(); }

void CDownloadProgressDlg::OnClose(wxCloseEvent&) { logic_->Cancel(); }
