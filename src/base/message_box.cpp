#include "base/message_box.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "platform/string_table.h"

namespace vyr {

int StderrMessageBox::Error(const std::string& text, const std::string& caption) {
  std::fprintf(stderr, "%s: %s\n",
               caption.empty() ? kErrorBoxCaption.Text().c_str() : caption.c_str(), text.c_str());
  return IDOK;
}

int StderrMessageBox::Question(const std::string& text, const std::string& caption, bool*) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return IDNO;
}

int StderrMessageBox::Information(const std::string& text, const std::string& caption) {
  std::fprintf(stderr, "%s: %s\n",
               caption.empty() ? kInformationBoxCaption.Text().c_str() : caption.c_str(), text.c_str());
  return IDOK;
}

// One box: what to show, and the answer once it was shown.
struct UiThreadMessageBox::Request {
  enum Kind { kError, kQuestion, kInformation } kind = kError;
  std::string text, caption, checkBoxText;
  bool hasCheckBox = false;
  bool checked = false;
  int answer = IDCANCEL;
  bool done = false;
};

// Shared by the service and the workers waiting on it, so that a worker
// woken by Close() never touches a service that is gone.
struct UiThreadMessageBox::State {
  std::mutex mutex;
  std::condition_variable answered;
  std::map<std::uint64_t, std::shared_ptr<Request>> pending;
  std::uint64_t nextId = 0;
  bool closed = false;
  platform::WindowHandle handle = 0;
  platform::WindowMessages* messages = nullptr;
};

namespace {

int ShowOn(MessageBoxService& service, UiThreadMessageBox::Request& r) {
  bool* check = r.hasCheckBox ? &r.checked : nullptr;
  switch (r.kind) {
    case UiThreadMessageBox::Request::kError:
      return service.Error(r.text, r.caption);
    case UiThreadMessageBox::Request::kInformation:
      return service.Information(r.text, r.caption);
    case UiThreadMessageBox::Request::kQuestion:
      break;
  }
  if (r.checkBoxText.empty()) return service.Question(r.text, r.caption, check);
  return service.QuestionWithCheckBox(r.text, r.caption, r.checkBoxText, check);
}

}  // namespace

UiThreadMessageBox::UiThreadMessageBox(MessageBoxService& shown, platform::WindowMessages& messages)
    : shown_(shown), messages_(messages), uiThread_(std::this_thread::get_id()),
      state_(std::make_shared<State>()) {
  state_->messages = &messages_;
  state_->handle = messages_.Register(this);
}

UiThreadMessageBox::~UiThreadMessageBox() { Close(); }

void UiThreadMessageBox::Close() {
  platform::WindowHandle handle = 0;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->closed) return;
    state_->closed = true;
    handle = state_->handle;
    state_->handle = 0;
  }
  messages_.Unregister(handle);  // boxes still queued are dropped
  state_->answered.notify_all();
}

int UiThreadMessageBox::Show(Request& request) {
  if (std::this_thread::get_id() == uiThread_) return ShowOn(shown_, request);

  // A worker: hand the box over and wait. Only the shared state is used
  // from here on.
  std::shared_ptr<State> state = state_;
  auto box = std::make_shared<Request>(request);
  std::uint64_t id = 0;
  platform::WindowHandle handle = 0;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (state->closed) return IDCANCEL;
    id = ++state->nextId;
    state->pending[id] = box;
    handle = state->handle;
  }
  const bool posted = state->messages->PostMessage(handle, kShowBoxMessage,
                                                   static_cast<platform::WParam>(id));
  std::unique_lock<std::mutex> lock(state->mutex);
  if (posted) state->answered.wait(lock, [&] { return box->done || state->closed; });
  state->pending.erase(id);
  if (!box->done) return IDCANCEL;
  request.checked = box->checked;
  return box->answer;
}

void UiThreadMessageBox::OnWindowMessage(const platform::WindowMessage& message) {
  if (message.message != kShowBoxMessage) return;
  // The shared state outlives this call even if the service goes while the
  // box is up (a modal box runs the event loop).
  std::shared_ptr<State> state = state_;
  std::shared_ptr<Request> box;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    auto it = state->pending.find(static_cast<std::uint64_t>(message.wParam));
    if (it == state->pending.end() || state->closed) return;  // the asker gave up
    box = it->second;
  }
  // Shown on a copy: the asker may be released by Close() while the box is up.
  Request shown = *box;
  const int answer = ShowOn(shown_, shown);
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    box->answer = answer;
    box->checked = shown.checked;
    box->done = true;
  }
  state->answered.notify_all();
}

int UiThreadMessageBox::Error(const std::string& text, const std::string& caption) {
  Request r{Request::kError, text, caption, {}, false, false, IDCANCEL, false};
  return Show(r);
}

int UiThreadMessageBox::Information(const std::string& text, const std::string& caption) {
  Request r{Request::kInformation, text, caption, {}, false, false, IDCANCEL, false};
  return Show(r);
}

int UiThreadMessageBox::Question(const std::string& text, const std::string& caption,
                                 bool* dontShowAgain) {
  return QuestionWithCheckBox(text, caption, {}, dontShowAgain);
}

int UiThreadMessageBox::QuestionWithCheckBox(const std::string& text, const std::string& caption,
                                             const std::string& checkBoxText, bool* checked) {
  Request r{Request::kQuestion, text, caption, checkBoxText, checked != nullptr,
            checked ? *checked : false, IDCANCEL, false};
  const int answer = Show(r);
  if (checked) *checked = r.checked;
  return answer;
}

}  // namespace vyr
