#pragma once
// CLinkDropTarget: lets links be dragged onto a window (the channel bar, the
// channel designer, the favorites organizer). It takes the desktop's link
// forms, "text/uri-list", "text/x-moz-url" and "_NETSCAPE_URL" (the last
// two carry the link's title on their second line, and are preferred when
// the source offers one of them), and from a page's link whose title form
// holds only the address again, "text/html" (the link's own text). It
// tells its window what the drag does through one function, with the
// program's message numbers: a drag entering (3934), moving over (3935),
// leaving (3936) and a drop (3927, with the kind of what was dropped and
// the link's address). A drop ends a drag without a leave.
#include <functional>
#include <memory>
#include <string>

#include <wx/dataobj.h>
#include <wx/dnd.h>

inline constexpr unsigned kLinkDropMessage = 3927;
inline constexpr unsigned kLinkDragEnterMessage = 3934;
inline constexpr unsigned kLinkDragOverMessage = 3935;
inline constexpr unsigned kLinkDragLeaveMessage = 3936;
// The kind of a drop: a link address.
inline constexpr int kDroppedLink = 1;

class CLinkDropTarget : public wxDropTarget {
 public:
  // report(message, kind, address): kind and address only for a drop.
  using Report = std::function<void(unsigned message, int kind, const std::string& address)>;
  explicit CLinkDropTarget(Report report);

  wxDragResult OnEnter(wxCoord x, wxCoord y, wxDragResult def) override;
  wxDragResult OnDragOver(wxCoord x, wxCoord y, wxDragResult def) override;
  void OnLeave() override;
  bool OnDrop(wxCoord x, wxCoord y) override;
  wxDragResult OnData(wxCoord x, wxCoord y, wxDragResult def) override;

  // The first address of a "text/uri-list" text (comment lines skipped) or
  // of a "text/x-moz-url" text (the address, a line break, the title); empty
  // when there is none.
  static std::string AddressFromUriList(const std::string& list);
  static std::string AddressFromMozUrl(const std::string& text);
  // The title of such a text: its second line, whole (empty when none).
  static std::string TitleFromMozUrl(const std::string& text);
  // The first link of an HTML fragment ("<a href=...>text</a>"): its
  // address, and its text as the title (tags gone, references decoded).
  // Empty when the fragment holds no link.
  static std::string LinkFromHtml(const std::string& html, std::string* title);

  // The title the last drop carried (empty when its form carries none).
  const std::string& DroppedTitle() const { return droppedTitle_; }

 private:
  // A leave is passed on when nothing came after it in the same turn of the
  // event loop: the serial counts enters, leaves and drops.
  struct DragState {
    unsigned serial = 0;
    bool leavePending = false;
  };
  void PassLeaveLater();
  // A fresh data object for every form, or for the one titled form named.
  void AcceptFormats(const char* onlyFormat);

  Report report_;
  std::shared_ptr<DragState> state_ = std::make_shared<DragState>();
  wxDataObjectComposite* data_;
  wxCustomDataObject* uriList_;
  wxCustomDataObject* mozUrl_;
  wxCustomDataObject* netscapeUrl_ = nullptr;
  wxCustomDataObject* html_ = nullptr;
  std::string droppedTitle_;
};
