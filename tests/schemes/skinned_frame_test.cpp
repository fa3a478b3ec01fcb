// The skinned frame's geometry: every hit-test rule on a window at
// (100,50)-(400,250), the client inset, the grown size, the caption buttons
// and the caption text, good and garbage values.
#include "schemes/skinned_frame.h"

#include <gtest/gtest.h>

namespace vyr {
namespace {

TEST(SkinnedFrameTest, GeometryTable) {
  const FrameRect w{100, 50, 400, 250};
  using H = FrameHit;
  struct Hit { int x, y; bool resizable; int caption; H expected; };
  const Hit hits[] = {
      {395, 52, true, 24, H::TopRight},    {395, 52, false, 24, H::Nowhere},
      {395, 100, true, 24, H::Right},      {391, 240, true, 24, H::Right},
      {395, 245, true, 24, H::BottomRight}, {395, 245, false, 24, H::Nowhere},
      {105, 52, true, 24, H::TopLeft},     {105, 100, true, 24, H::Left},
      {105, 245, true, 24, H::BottomLeft}, {105, 245, false, 24, H::Nowhere},
      {105, 100, false, 24, H::Nowhere},   {200, 52, true, 24, H::Top},
      {200, 52, false, 24, H::Nowhere},    {200, 245, true, 24, H::Bottom},
      {200, 241, false, 24, H::Nowhere},   {200, 60, true, 24, H::Caption},
      {200, 60, false, 24, H::Caption},    {300, 73, false, 24, H::Caption},
      {301, 60, false, 24, H::SysMenu},    {390, 60, true, 24, H::SysMenu},
      {200, 74, true, 24, H::Client},      {200, 80, true, 40, H::Caption},
      {375, 100, true, 24, H::Client},     {376, 100, true, 24, H::Default},
      {390, 100, true, 24, H::Default},    {110, 100, true, 24, H::Client},
  };
  for (const Hit& h : hits) {
    EXPECT_EQ(HitTestFrame(w, h.x, h.y, h.resizable, h.caption), h.expected)
        << h.x << "," << h.y << " resizable " << h.resizable << " caption " << h.caption;
  }

  EXPECT_EQ(ClientInsets(24), (FrameInsets{10, 24, 10, 10}));
  // A tall caption grows the dialog by its own height plus the bottom border.
  EXPECT_EQ(GrownSize(300, 200, 24), (FrameSize{320, 234}));
  EXPECT_EQ(GrownSize(300, 200, 40), (FrameSize{320, 250}));
  for (auto [measured, expected] : {std::pair{0, 24}, {7, 24}, {8, 8}, {40, 40}, {500, 24}}) {
    EXPECT_EQ(UsableCaptionHeight(measured, 24), expected) << measured;
  }

  struct Button { SchemeLook::CaptionButton b; int width, caption; FrameRect expected; };
  const Button buttons[] = {
      {{4, 32, 22, 22}, 320, 40, {288, 4, 310, 26}},
      {{4, 32, 22, 22}, 320, 24, {288, 4, 310, 24}},
      {{4, 55, 22, 22}, 320, 40, {265, 4, 287, 26}},
      {{4, 78, 22, 22}, 320, 40, {242, 4, 264, 26}},
      {{4, 32, 0, 22}, 320, 40, {}},
      {{4, 500, 22, 22}, 320, 40, {}},
      {{4, -50, 22, 22}, 320, 40, {}},
      {{30, 32, 22, 22}, 320, 24, {}},
      {{-3, 330, 22, 22}, 320, 24, {0, 0, 12, 19}},
  };
  for (const Button& c : buttons) {
    const FrameRect r = CaptionButtonRect(c.b, c.width, c.caption);
    EXPECT_EQ(r, c.expected) << c.b.top << "," << c.b.left << "," << c.b.width;
  }

  struct Text { SchemeLook::FancyCaption f; int width; FrameRect expected; bool centred; };
  const Text texts[] = {
      {{90, 98, 8, 24, false}, 320, {90, 8, 222, 24}, false},
      {{90, 98, 8, 24, true}, 320, {90, 8, 222, 24}, true},
      {{-5, 10, 2, 24, false}, 320, {0, 2, 310, 24}, false},
      {{90, 98, 8, 24, false}, 150, {}, false},
      {{10, 10, 30, 24, false}, 320, {}, false},
  };
  for (const Text& t : texts) {
    const CaptionTextPlace place = CaptionTextRect(t.f, t.width, 24);
    EXPECT_EQ(place.rect, t.expected) << t.f.leftMargin << " width " << t.width;
    EXPECT_EQ(place.centred, t.centred);
  }
}

}  // namespace
}  // namespace vyr
