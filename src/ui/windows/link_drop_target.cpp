#include "ui/windows/link_drop_target.h"

#include <utility>

#include <wx/app.h>
#include <wx/string.h>

namespace {
const char kUriListFormat[] = "text/uri-list";
const char kMozUrlFormat[] = "text/x-moz-url";

std::string FirstLine(const std::string& text) {
  const size_t end = text.find_first_of("\r\n");
  return end == std::string::npos ? text : text.substr(0, end);
}
}  // namespace

CLinkDropTarget::CLinkDropTarget(Report report)
    : report_(std::move(report)),
      data_(new wxDataObjectComposite),
      uriList_(new wxCustomDataObject(wxDataFormat(kUriListFormat))),
      mozUrl_(new wxCustomDataObject(wxDataFormat(kMozUrlFormat))) {
  // The composite owns both parts; the drop target owns the composite.
  data_->Add(mozUrl_, true);
  data_->Add(uriList_);
  SetDataObject(data_);
  SetDefaultAction(wxDragCopy);
}

std::string CLinkDropTarget::AddressFromUriList(const std::string& list) {
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find_first_of("\r\n", start);
    if (end == std::string::npos) end = list.size();
    std::string line = list.substr(start, end - start);
    if (!line.empty() && line[0] != '#') return line;
    start = end + 1;
  }
  return {};
}

std::string CLinkDropTarget::AddressFromMozUrl(const std::string& text) { return FirstLine(text); }

wxDragResult CLinkDropTarget::OnEnter(wxCoord, wxCoord, wxDragResult) {
  ++state_->serial;
  // Back before its leave was passed on: for the window it never left.
  if (std::exchange(state_->leavePending, false)) return wxDragCopy;
  if (report_) report_(kLinkDragEnterMessage, 0, {});
  return wxDragCopy;
}

wxDragResult CLinkDropTarget::OnDragOver(wxCoord, wxCoord, wxDragResult) {
  if (report_) report_(kLinkDragOverMessage, 0, {});
  return wxDragCopy;
}

void CLinkDropTarget::OnLeave() { PassLeaveLater(); }

void CLinkDropTarget::PassLeaveLater() {
  // The toolkit announces a leave just before every drop, in the same turn
  // of the event loop; a drop (or the drag coming back at once) that follows
  // cancels it. The target may be gone by the time the leave is passed on.
  const unsigned leave = ++state_->serial;
  state_->leavePending = true;
  std::weak_ptr<DragState> weak = state_;
  Report report = report_;
  wxTheApp->CallAfter([weak, leave, report] {
    const std::shared_ptr<DragState> state = weak.lock();
    if (!state || state->serial != leave) return;
    state->leavePending = false;
    if (report) report(kLinkDragLeaveMessage, 0, {});
  });
}

bool CLinkDropTarget::OnDrop(wxCoord, wxCoord) {
  ++state_->serial;
  state_->leavePending = false;
  return true;
}

wxDragResult CLinkDropTarget::OnData(wxCoord, wxCoord, wxDragResult) {
  std::string address;
  const bool received = GetData();
  const wxDataFormat format = received ? data_->GetReceivedFormat() : wxDataFormat();
  if (format == wxDataFormat(kMozUrlFormat)) {
    // UTF-16 text (the desktop's form for this type).
    const wxString text(static_cast<const char*>(mozUrl_->GetData()), wxMBConvUTF16(), mozUrl_->GetSize());
    address = AddressFromMozUrl(text.utf8_string());
  } else if (format == wxDataFormat(kUriListFormat)) {
    address = AddressFromUriList(
        std::string(static_cast<const char*>(uriList_->GetData()), uriList_->GetSize()));
  }
  if (address.empty()) {
    // Nothing to take: for the window the drag just went away.
    if (report_) report_(kLinkDragLeaveMessage, 0, {});
    return wxDragNone;
  }
  if (report_) report_(kLinkDropMessage, kDroppedLink, address);
  return wxDragCopy;
}
