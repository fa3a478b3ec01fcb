#include "app/windows/wx_services.h"

#include <wx/app.h>
#include <wx/sound.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/toplevel.h>

#include "base/application.h"
#include "platform/string_table.h"
#include "ui/windows/message_box_dlg.h"

namespace {

wxString FromUtf8(const std::string& text) { return wxString::FromUTF8(text.c_str(), text.size()); }

// The window a box belongs to: the active top-level window, when there is one.
wxWindow* BoxParent() {
  return wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
}

// Every box first closes the splash window, then plays its sound.
void PlayBoxSound(const char* name) {
  if (vyr::Application* app = vyr::Application::Current()) {
    app->CloseSplash();
    app->PlaySound(name);
  }
}

// wxWidgets as built here plays through the OSS device. When the device is
// missing it falls back to a silent backend that still reports success, so
// the device is checked here to be able to say "nothing played".
bool SoundDeviceAvailable() { return wxFileName::IsFileWritable(wxS("/dev/dsp")); }

std::string CaptionOr(const std::string& caption, vyr::platform::TextId fallback) {
  return caption.empty() ? fallback.Text() : caption;
}

}  // namespace

void CWxMessageBox::SetCloseSplash(std::function<void()> closeSplash) {
  closeSplash_ = std::move(closeSplash);
}

void CWxMessageBox::BeforeBox(const char* sound) {
  if (closeSplash_) closeSplash_();
  PlayBoxSound(sound);
}

int CWxMessageBox::Error(const std::string& text, const std::string& caption) {
  BeforeBox("error");
  CMessageBoxDlg box(BoxParent(), CMessageBoxDlg::Kind::Error, FromUtf8(text),
                     FromUtf8(CaptionOr(caption, vyr::kErrorBoxCaption)));
  box.ShowModal();
  return vyr::IDOK;
}

int CWxMessageBox::Question(const std::string& text, const std::string& caption,
                            bool* dontShowAgain) {
  return QuestionWithCheckBox(text, caption, vyr::kDontShowAgainText, dontShowAgain);
}

int CWxMessageBox::QuestionWithCheckBox(const std::string& text, const std::string& caption,
                                        const std::string& checkBoxText, bool* checked) {
  BeforeBox("question");
  CMessageBoxDlg box(BoxParent(), CMessageBoxDlg::Kind::Question, FromUtf8(text),
                     FromUtf8(caption), checked ? FromUtf8(checkBoxText) : wxString(),
                     checked && *checked);
  const int answer = box.ShowModal();
  if (checked) *checked = box.IsChecked();
  return answer == wxID_YES ? vyr::IDYES : vyr::IDNO;
}

int CWxMessageBox::Information(const std::string& text, const std::string& caption) {
  BeforeBox("info");
  CMessageBoxDlg box(BoxParent(), CMessageBoxDlg::Kind::Information, FromUtf8(text),
                     FromUtf8(CaptionOr(caption, vyr::kInformationBoxCaption)));
  box.ShowModal();
  return vyr::IDOK;
}

int CWxSoundPlayer::Play(const std::string& wavFile, bool async) {
  if (wavFile.empty() || !SoundDeviceAvailable()) return 0;
  // wxSound reports an unreadable file or a missing device through wxLog;
  // both only mean "no sound" here, so keep them out of the user's way.
  wxLogNull quiet;
  wxSound sound;
  if (!sound.Create(FromUtf8(wavFile)) || !sound.IsOk()) return 0;
  return sound.Play(async ? wxSOUND_ASYNC : wxSOUND_SYNC) ? 1 : 0;
}
