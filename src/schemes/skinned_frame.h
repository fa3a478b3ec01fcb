#pragma once
// The geometry of a skinned dialog frame, without any window: which part of
// the frame a point is on, how far the client area sits inside the window,
// how much a dialog grows to make room for the frame, and where the caption
// buttons and the caption text go. Coordinates are window pixels; a
// rectangle's right and bottom are exclusive.
#include "schemes/scheme_look.h"

namespace vyr {

struct FrameRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  bool operator==(const FrameRect&) const = default;
};

// What a press at a point of the window does.
enum class FrameHit {
  Client, Caption, SysMenu,
  Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight,
  Nowhere,  // a border of a window that cannot be resized
  Default,  // the right-hand strip below the caption: the window's own answer
};

// The width of the drawn left, right and bottom borders.
inline constexpr int kFrameBorder = 10;
// The top strip that resizes, inside the caption.
inline constexpr int kFrameTopGrip = 5;
// The right end of the caption that belongs to the caption buttons.
inline constexpr int kCaptionButtonZone = 100;
// The right-hand strip below the caption left to the window itself.
inline constexpr int kFrameRightStrip = 25;

// window: the window's rectangle; (x, y) in the same coordinates. A window
// that is not resizable reports Nowhere where the borders are.
FrameHit HitTestFrame(const FrameRect& window, int x, int y, bool resizable, int captionHeight);

// The client area's distance from each window edge.
struct FrameInsets {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const FrameInsets&) const = default;
};
FrameInsets ClientInsets(int captionHeight);

// The window size that holds a client area of the given size inside the
// drawn frame: the width grows by both borders, the height by the caption
// and the bottom border.
struct FrameSize {
  int width = 0, height = 0;
  bool operator==(const FrameSize&) const = default;
};
FrameSize GrownSize(int clientWidth, int clientHeight, int captionHeight);

// A usable caption height: the caption bar picture's cell height when it is
// between 8 and 128 pixels, else the fallback.
int UsableCaptionHeight(int measured, int fallback);

// A caption button's rectangle in a window of the given width. Its "left"
// value counts from the window's right edge to the button's left edge, so
// the buttons stay at the right end however wide the window is. The
// rectangle is cut to the caption; empty when nothing of it is left.
FrameRect CaptionButtonRect(const SchemeLook::CaptionButton& button, int windowWidth,
                            int captionHeight);

// Where the caption text goes: between the left and the right margin, from
// the top margin to the bottom of the caption; centred or left-aligned.
// Negative margins count as 0; empty when the margins leave no room.
struct CaptionTextPlace {
  FrameRect rect;
  bool centred = false;
};
CaptionTextPlace CaptionTextRect(const SchemeLook::FancyCaption& fancy, int windowWidth,
                                 int captionHeight);

}  // namespace vyr
