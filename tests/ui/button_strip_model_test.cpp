#include "ui/button_strip_model.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <iterator>
#include <vector>

namespace vyr {
namespace {

using Model = ButtonStripModel;

// Images 24 x 20, padding 4, gap 4, separators 8; texts 7 pixels a letter
// (8 in a fixed entry's bold) and 12 high. Extents along a horizontal strip:
// "Back" 4+24+4+28+4 = 64, separator 8, "Go" 4+24+4+14+4 = 50, image only
// 4+24+4 = 32, "Fixed" without image 4+40+4 = 48: starts 0, 64, 72, 122, 154.
Model MakeStrip(Model::Orientation orientation, int width, int height) {
  Model model(orientation);
  model.SetMetrics({24, 20, 4, 4, 8, true});
  model.SetTextMeasure([](const ButtonStripEntry& entry) {
    const int letter = (entry.state & Model::kStateFixed) ? 8 : 7;
    return StripTextSize{letter * static_cast<int>(entry.text.size()), 12};
  });
  model.SetViewSize(width, height);
  model.SetEntries({{10, "Back", "", 0, 0},
                    {0, "", "", -1, Model::kStateSeparator},
                    {12, "Go", "", 1, Model::kStateDisabled},
                    {13, "", "", 2, 0},
                    {14, "Fixed", "", -1, Model::kStateFixed}});
  return model;
}

TEST(ButtonStripModelTest, LayoutHitTestAndScrolling) {
  Model strip = MakeStrip(Model::Orientation::Horizontal, 150, 28);
  EXPECT_EQ(strip.ContentLength(), 202);
  EXPECT_EQ(strip.CrossLength(), 28);
  struct Hit { int scrollBy, x, y, index; };
  const Hit hits[] = {
      {0, 0, 5, 0},    {0, 63, 5, 0},   {0, 64, 5, -1},  {0, 71, 27, -1}, {0, 72, 5, 2},
      {0, 121, 0, 2},  {0, 122, 27, 3}, {0, 149, 10, 3}, {0, 150, 10, -1}, {0, 10, 28, -1},
      {0, -1, 5, -1},  {2, 0, 5, 2},    {0, 50, 5, 3},   {0, 82, 5, 4},   {0, 130, 5, -1},
  };
  for (const Hit& hit : hits) {
    strip.ScrollBy(hit.scrollBy);
    EXPECT_EQ(strip.HitTest(hit.x, hit.y), hit.index) << hit.x << "," << hit.y;
  }
  // Image and text of "Back" (scrolled back to the start) and of the
  // image-less "Fixed": the text's middle on the image's middle at y 14.
  strip.ScrollBy(-2);
  const StripRect image = strip.ImageRect(0), text = strip.TextRect(0), fixed = strip.TextRect(4);
  EXPECT_EQ((std::vector<int>{image.x, image.y, image.width, image.height}),
            (std::vector<int>{4, 4, 24, 20}));
  EXPECT_EQ((std::vector<int>{text.x, text.y, text.width, text.height}),
            (std::vector<int>{32, 8, 28, 12}));
  EXPECT_EQ((std::vector<int>{fixed.x, fixed.y, fixed.width}), (std::vector<int>{158, 8, 40}));

  // A column 50 wide: entries 28, 8, 28, 28, 20 high; "Back" clipped to 14.
  Model column = MakeStrip(Model::Orientation::Vertical, 50, 200);
  EXPECT_EQ(column.ContentLength(), 112);
  EXPECT_EQ(column.CrossLength(), 64);
  EXPECT_EQ(column.TextRect(0).width, 14);
  EXPECT_EQ(column.HitTest(10, 30), -1);
  EXPECT_EQ(column.HitTest(49, 92), 4);

  struct Scroll { int by; bool wrap; int offset; };
  const Scroll scrolls[] = {{2, false, 2}, {10, false, 4}, {-1, false, 3}, {-10, false, 0},
                            {4, false, 4}, {1, true, 0},  {3, true, 3},   {1, true, 4}};
  for (const Scroll& scroll : scrolls) {
    column.ScrollBy(scroll.by, scroll.wrap);
    EXPECT_EQ(column.ScrollOffset(), scroll.offset) << scroll.by;
  }
  column.SetEntries({});
  EXPECT_FALSE(column.ScrollBy(1));
  EXPECT_EQ(column.HitTest(10, 10), -1);
}

TEST(ButtonStripModelTest, PointerSelectionAndColours) {
  using C = Model::TextColour;
  Model strip = MakeStrip(Model::Orientation::Horizontal, 300, 28);
  // Each step: what the pointer does, then whether it reported a change, the
  // hovered and selected entries and the colours of entries 0, 2, 3, 4.
  struct Step { std::function<bool(Model&)> act; bool result; int hovered, selected; C colours[4]; };
  const Step steps[] = {
      {[](Model& m) { return m.Hover(0); }, true, 0, -1, {C::Rollover, C::Disabled, C::Normal, C::Normal}},
      {[](Model& m) { return m.Hover(0); }, false, 0, -1, {C::Rollover, C::Disabled, C::Normal, C::Normal}},
      {[](Model& m) { return m.Hover(2); }, true, -1, -1, {C::Normal, C::Disabled, C::Normal, C::Normal}},
      {[](Model& m) { return m.Hover(1); }, false, -1, -1, {C::Normal, C::Disabled, C::Normal, C::Normal}},
      {[](Model& m) { m.Press(3); return m.Release(0); }, false, -1, -1, {C::Normal, C::Disabled, C::Normal, C::Normal}},
      {[](Model& m) { m.Press(3); return m.Release(3); }, true, -1, 3, {C::Normal, C::Disabled, C::Selected, C::Normal}},
      {[](Model& m) { m.Press(2); return m.Release(2); }, false, -1, 3, {C::Normal, C::Disabled, C::Selected, C::Normal}},
      {[](Model& m) { return m.Hover(3); }, true, 3, 3, {C::Normal, C::Disabled, C::Rollover, C::Normal}},
      {[](Model& m) { return m.EnableCommand(13, false); }, true, -1, 3, {C::Normal, C::Disabled, C::Disabled, C::Normal}},
      {[](Model& m) { return m.EnableCommand(12, true); }, true, -1, 3, {C::Normal, C::Normal, C::Disabled, C::Normal}},
      {[](Model& m) { return m.EnableCommand(12, true); }, false, -1, 3, {C::Normal, C::Normal, C::Disabled, C::Normal}},
      {[](Model& m) { m.SetSelectOnClick(false); m.Press(2); return m.Release(2); }, true, -1, 3, {C::Normal, C::Normal, C::Disabled, C::Normal}},
      {[](Model& m) { m.Select(7); return m.Hover(4); }, true, 4, -1, {C::Normal, C::Normal, C::Disabled, C::Rollover}},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    const Step& step = steps[i];
    EXPECT_EQ(step.act(strip), step.result) << "step " << i;
    EXPECT_EQ(strip.Hovered(), step.hovered) << "step " << i;
    EXPECT_EQ(strip.Selection(), step.selected) << "step " << i;
    const int shown[] = {0, 2, 3, 4};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(strip.ColourFor(shown[k]), step.colours[k]) << "step " << i;
  }

  const std::array<std::uint32_t, 4> m = {0xFF00FF, 0xFF00FF, 0xFF00FF, 0xFF00FF};
  EXPECT_EQ(Model::ResolveTextColours(m), (std::array<std::uint32_t, 4>{0, 0xC00000, 0x7F7F7F, 0}));
  EXPECT_EQ(Model::ResolveTextColours({0x0000FF, 0xFF00FF, 0x010203, 0xFF00FF}),
            (std::array<std::uint32_t, 4>{0x0000FF, 0xC00000, 0x010203, 0x0000FF}));
}

TEST(ButtonStripModelTest, KeyboardMark) {
  // A strip 100 wide shows entries starting at most 100 before the end of
  // the marked one: "Fixed" (154..202) needs the offset at entry 3 (122),
  // entry 3 (122..154) at entry 1 (64).
  Model strip = MakeStrip(Model::Orientation::Horizontal, 100, 28);
  struct Step { std::function<bool(Model&)> act; bool result; int key, scroll; };
  const Step steps[] = {
      {[](Model& m) { return m.MoveKey(0); }, true, 0, 0},       // placed on the first
      {[](Model& m) { return m.MoveKey(1); }, true, 3, 1},       // over separator and disabled
      {[](Model& m) { return m.MoveKey(1); }, true, 4, 3},
      {[](Model& m) { return m.MoveKey(1); }, false, 4, 3},      // stops at the last
      {[](Model& m) { return m.MoveKey(-5); }, true, 0, 0},      // stops at the first
      {[](Model& m) { return m.MoveKeyToEnd(true); }, true, 4, 3},
      {[](Model& m) { return m.EnableCommand(14, false); }, true, 3, 3},  // to the one before
      {[](Model& m) { return m.EnableCommand(12, true); }, true, 3, 3},
      {[](Model& m) { return m.MoveKey(-1); }, true, 2, 2},
      {[](Model& m) { return m.MoveKeyToEnd(false); }, true, 0, 0},
      {[](Model& m) { return m.SetKeyEntry(1); }, false, 0, 0},  // not on a separator
      {[](Model& m) { return m.SetKeyEntry(4); }, false, 0, 0},  // nor on a disabled entry
      {[](Model& m) { return m.SetKeyEntry(3); }, true, 3, 1},
      {[](Model& m) { return m.SetKeyEntry(0); }, true, 0, 0},
      {[](Model& m) {
         m.SetEntries({{20, "", "", 0, Model::kStateSeparator}, {21, "A", "", 0, 0}});
         return m.MoveKey(0);
       }, false, 1, 0},                                           // kept clickable on new entries
      {[](Model& m) { m.SetEntries({}); return m.MoveKey(1); }, false, -1, 0},
      {[](Model& m) {
         m.SetEntries({{30, "A", "", 0, 0}, {31, "B", "", 0, 0}, {32, "C", "", 0, 0}});
         m.Select(2);
         return m.MoveKey(0);
       }, true, 2, 1},  // a new mark starts on the selection; entries 43 wide: "C" ends at 129
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    EXPECT_EQ(steps[i].act(strip), steps[i].result) << "step " << i;
    EXPECT_EQ(strip.KeyEntry(), steps[i].key) << "step " << i;
    EXPECT_EQ(strip.ScrollOffset(), steps[i].scroll) << "step " << i;
  }
}

}  // namespace
}  // namespace vyr
