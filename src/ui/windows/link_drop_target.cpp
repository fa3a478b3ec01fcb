#include "ui/windows/link_drop_target.h"

#include <gtk/gtk.h>

#include <utility>

#include <wx/app.h>

#include "mail/body/html_to_text.h"
#include <wx/string.h>

namespace {
const char kUriListFormat[] = "text/uri-list";
const char kMozUrlFormat[] = "text/x-moz-url";
const char kNetscapeUrlFormat[] = "_NETSCAPE_URL";
const char kHtmlFormat[] = "text/html";

std::string FirstLine(const std::string& text) {
  const size_t end = text.find_first_of("\r\n");
  return end == std::string::npos ? text : text.substr(0, end);
}
}  // namespace

CLinkDropTarget::CLinkDropTarget(Report report)
    : report_(std::move(report)), data_(nullptr), uriList_(nullptr), mozUrl_(nullptr) {
  AcceptFormats(nullptr);
  SetDefaultAction(wxDragCopy);
}

void CLinkDropTarget::AcceptFormats(const char* onlyFormat) {
  // The composite owns its parts; the drop target owns the composite (and
  // deletes the one it replaces).
  data_ = new wxDataObjectComposite;
  uriList_ = mozUrl_ = netscapeUrl_ = html_ = nullptr;
  auto add = [&](const char* format, wxCustomDataObject*& part) {
    if (onlyFormat && std::string(onlyFormat) != format) return;
    part = new wxCustomDataObject(wxDataFormat(format));
    data_->Add(part);
  };
  add(kMozUrlFormat, mozUrl_);
  add(kNetscapeUrlFormat, netscapeUrl_);
  add(kUriListFormat, uriList_);
  // Only when asked for by name: a page's text is no link.
  if (onlyFormat && std::string(onlyFormat) == kHtmlFormat) add(kHtmlFormat, html_);
  SetDataObject(data_);
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

std::string CLinkDropTarget::LinkFromHtml(const std::string& html, std::string* title) {
  std::string lower = html;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  for (size_t at = lower.find("<a"); at != std::string::npos; at = lower.find("<a", at + 2)) {
    const size_t tagEnd = lower.find('>', at);
    const size_t href = lower.find("href", at);
    if (tagEnd == std::string::npos || href == std::string::npos || href > tagEnd) continue;
    const size_t value = lower.find_first_not_of(" \t\r\n=", href + 4);
    if (value == std::string::npos || value >= tagEnd) continue;
    std::string address;
    if (html[value] == '"' || html[value] == '\'') {
      const size_t close = html.find(html[value], value + 1);
      if (close == std::string::npos) continue;
      address = html.substr(value + 1, close - value - 1);
    } else {
      address = html.substr(value, html.find_first_of(" \t\r\n>", value) - value);
    }
    // The address's own references ("&amp;" in a query) decoded as well.
    address = vyr::HtmlToText(address);
    if (address.empty()) continue;
    if (title) {
      const size_t end = lower.find("</a", tagEnd);
      *title = vyr::HtmlToText(html.substr(tagEnd + 1, end == std::string::npos ? std::string::npos : end - tagEnd - 1));
      for (char& c : *title)
        if (c == '\n') c = ' ';
    }
    return address;
  }
  return {};
}

std::string CLinkDropTarget::TitleFromMozUrl(const std::string& text) {
  const size_t end = text.find('\n');
  if (end == std::string::npos) return {};
  std::string title = text.substr(end + 1);
  while (!title.empty() && (title.back() == '\n' || title.back() == '\r' || title.back() == '\0')) title.pop_back();
  return title;
}

wxDragResult CLinkDropTarget::OnEnter(wxCoord, wxCoord, wxDragResult) {
  ++state_->serial;
  if (!mozUrl_ || !netscapeUrl_ || !uriList_ || html_) AcceptFormats(nullptr);
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
  // The toolkit takes the first form in the source's own order that the
  // data object accepts; a source offering a titled form (a browser page
  // offers the plain list first) is read in that form.
  // A page's link offers "_NETSCAPE_URL" with only the address again, and
  // its text in "text/html".
  if (m_dragContext) {
    auto offered = [this](const char* format) {
      bool found = false;
      for (GList* t = gdk_drag_context_list_targets(m_dragContext); t && !found; t = t->next) {
        gchar* name = gdk_atom_name(GDK_POINTER_TO_ATOM(t->data));
        found = name && std::string(name) == format;
        g_free(name);
      }
      return found;
    };
    if (offered(kMozUrlFormat)) {
      AcceptFormats(kMozUrlFormat);
    } else if (offered(kNetscapeUrlFormat) && offered(kHtmlFormat)) {
      AcceptFormats(kHtmlFormat);
    } else if (offered(kNetscapeUrlFormat)) {
      AcceptFormats(kNetscapeUrlFormat);
    }
  }
  return true;
}

wxDragResult CLinkDropTarget::OnData(wxCoord, wxCoord, wxDragResult) {
  std::string address;
  droppedTitle_.clear();
  const bool received = GetData();
  const wxDataFormat format = received ? data_->GetReceivedFormat() : wxDataFormat();
  if (format == wxDataFormat(kMozUrlFormat) || format == wxDataFormat(kNetscapeUrlFormat)) {
    // "text/x-moz-url" is UTF-16 text (the desktop's form for this type),
    // "_NETSCAPE_URL" UTF-8.
    const bool moz = format == wxDataFormat(kMozUrlFormat);
    wxCustomDataObject* part = moz ? mozUrl_ : netscapeUrl_;
    const char* bytes = static_cast<const char*>(part->GetData());
    const std::string text = moz ? wxString(bytes, wxMBConvUTF16(), part->GetSize()).utf8_string()
                                 : std::string(bytes, part->GetSize());
    address = AddressFromMozUrl(text);
    droppedTitle_ = TitleFromMozUrl(text);
  } else if (format == wxDataFormat(kHtmlFormat) && html_) {
    // UTF-8, or UTF-16 when it starts with its byte-order mark.
    const char* bytes = static_cast<const char*>(html_->GetData());
    const size_t size = html_->GetSize();
    const bool utf16 =
        size >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE;
    const std::string text =
        utf16 ? wxString(bytes + 2, wxMBConvUTF16(), size - 2).utf8_string() : std::string(bytes, size);
    address = LinkFromHtml(text, &droppedTitle_);
  } else if (format == wxDataFormat(kUriListFormat)) {
    address = AddressFromUriList(
        std::string(static_cast<const char*>(uriList_->GetData()), uriList_->GetSize()));
  }
  // Every form again for the next drag.
  if (!mozUrl_ || !netscapeUrl_ || !uriList_ || html_) AcceptFormats(nullptr);
  if (address.empty()) {
    // Nothing to take: for the window the drag just went away.
    if (report_) report_(kLinkDragLeaveMessage, 0, {});
    return wxDragNone;
  }
  if (report_) report_(kLinkDropMessage, kDroppedLink, address);
  return wxDragCopy;
}
