#pragma once
// The meeting point of the mail window and the message viewer window.
//
// The mail window hands a message file to a viewer through MessageViewer;
// the viewer asks the mail window for the next or previous message of the
// list it came from, and tells it when it deleted the message it shows,
// through MessageViewerOwner. Neither side knows the other's class.
#include <string>

namespace vyr {

// A window that shows one stored message at a time.
class MessageViewer {
public:
    virtual ~MessageViewer() = default;
    // Shows the message file at `path` (a file in one of the mail folders).
    virtual void ShowMessage(const std::string& path) = 0;
    // Brings the viewer to the front.
    virtual void Raise() = 0;
};

// What a viewer may ask of the window whose list it was opened from.
class MessageViewerOwner {
public:
    virtual ~MessageViewerOwner() = default;
    // The message `step` rows after (positive) or before (negative) `path`
    // in the list as it is sorted now; empty when there is none.
    virtual std::string NextMessage(const std::string& path, int step) = 0;
    // The viewer moved `path` to the Trash (or removed it): the owner drops
    // it from its list and updates its counts.
    virtual void MessageDeleted(const std::string& path) = 0;
};

}  // namespace vyr
