#include "schemes/skinned_frame.h"

#include <algorithm>

namespace vyr {

FrameHit HitTestFrame(const FrameRect& w, int x, int y, bool resizable, int captionHeight) {
  auto border = [resizable](FrameHit code) { return resizable ? code : FrameHit::Nowhere; };
  if (x > w.right - kFrameBorder) {
    if (y < w.top + kFrameTopGrip) return border(FrameHit::TopRight);
    if (y <= w.bottom - kFrameBorder) return border(FrameHit::Right);
    return border(FrameHit::BottomRight);
  }
  if (x < w.left + kFrameBorder) {
    if (y < w.top + kFrameTopGrip) return border(FrameHit::TopLeft);
    if (y <= w.bottom - kFrameBorder) return border(FrameHit::Left);
    return border(FrameHit::BottomLeft);
  }
  if (y < w.top + kFrameTopGrip) return border(FrameHit::Top);
  if (y > w.bottom - kFrameBorder) return border(FrameHit::Bottom);
  if (y < w.top + captionHeight) {
    return x > w.right - kCaptionButtonZone ? FrameHit::SysMenu : FrameHit::Caption;
  }
  return x <= w.right - kFrameRightStrip ? FrameHit::Client : FrameHit::Default;
}

FrameInsets ClientInsets(int captionHeight) {
  return {kFrameBorder, std::max(captionHeight, 0), kFrameBorder, kFrameBorder};
}

FrameSize GrownSize(int clientWidth, int clientHeight, int captionHeight) {
  const FrameInsets in = ClientInsets(captionHeight);
  return {clientWidth + in.left + in.right, clientHeight + in.top + in.bottom};
}

int UsableCaptionHeight(int measured, int fallback) {
  return measured >= 8 && measured <= 128 ? measured : fallback;
}

namespace {
// Kept to a range where sums cannot overflow.
int Tame(int v) { return std::clamp(v, -100000, 100000); }
}  // namespace

FrameRect CaptionButtonRect(const SchemeLook::CaptionButton& b, int windowWidth,
                            int captionHeight) {
  if (b.width <= 0 || b.height <= 0) return {};
  FrameRect r;
  r.left = Tame(windowWidth) - Tame(b.left);
  r.top = Tame(b.top);
  r.right = r.left + Tame(b.width);
  r.bottom = r.top + Tame(b.height);
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min(r.right, windowWidth);
  r.bottom = std::min(r.bottom, captionHeight);
  return r.Empty() ? FrameRect{} : r;
}

CaptionTextPlace CaptionTextRect(const SchemeLook::FancyCaption& fancy, int windowWidth,
                                 int captionHeight) {
  CaptionTextPlace place;
  place.centred = fancy.centerCaption;
  FrameRect r{std::max(Tame(fancy.leftMargin), 0), std::max(Tame(fancy.topMargin), 0),
              windowWidth - std::max(Tame(fancy.rightMargin), 0), captionHeight};
  place.rect = r.Empty() ? FrameRect{} : r;
  return place;
}

}  // namespace vyr
