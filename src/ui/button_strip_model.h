#pragma once
// The rules of a button strip, without a window: entries laid out one after
// another along the strip, which entry a point hits, scrolling by whole
// entries, the selected entry and the entry under the pointer, and which of
// the four text colours an entry is drawn in.
//
// Geometry: every entry shows its image with its text on the right of it,
// the text centred on the image's vertical middle, in both orientations. A
// horizontal strip (toolbar, folder and page strips) places entries left to
// right, each as wide as its content and as high as the strip; a vertical
// strip (the channel column) places them top to bottom, each as wide as the
// strip. A separator is a narrow gap along the strip. The scroll offset is
// the index of the first entry shown.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vyr {

struct ButtonStripEntry {
  int command = 0;
  std::string text;
  std::string tip;
  int image = -1;  // index into the strip's image list; -1 none
  int state = 0;   // ButtonStripModel::kState... flags
};

// A rectangle in the strip window's coordinates.
struct StripRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool Contains(int px, int py) const {
    return px >= x && px < x + width && py >= y && py < y + height;
  }
};

// The size of an entry's text as the window measures it in the entry's font.
struct StripTextSize {
  int width = 0, height = 0;
};

class ButtonStripModel {
 public:
  enum class Orientation { Horizontal, Vertical };
  // Entry state flags. A fixed entry (a channel the user cannot remove) is
  // drawn with its text in bold.
  static constexpr int kStateDisabled = 1;
  static constexpr int kStateSeparator = 2;
  static constexpr int kStateFixed = 4;

  enum class TextColour { Normal, Rollover, Selected, Disabled };

  struct Metrics {
    int imageWidth = 0;   // the image list's cell; 0 when there is no list
    int imageHeight = 0;
    int padding = 4;      // between an entry's edge and its content
    int gap = 4;          // between the image and the text
    int separator = 8;    // extent of a separator along the strip
    bool showText = true; // false: images only (the small toolbar)
  };
  using TextMeasure = std::function<StripTextSize(const ButtonStripEntry&)>;

  explicit ButtonStripModel(Orientation orientation = Orientation::Horizontal)
      : orientation_(orientation) {}

  Orientation GetOrientation() const { return orientation_; }
  void SetMetrics(const Metrics& metrics);
  const Metrics& GetMetrics() const { return metrics_; }
  // Without a measure every text counts as empty.
  void SetTextMeasure(TextMeasure measure);
  // The window's client size: entries fill it across the strip, and points
  // outside it hit nothing.
  void SetViewSize(int width, int height);

  // Replaces every entry; selection, hover, press and scroll offset return
  // to the start. The keyboard's mark keeps its place (a rebuilt toolbar
  // keeps the button the user is on).
  void SetEntries(std::vector<ButtonStripEntry> entries);
  const std::vector<ButtonStripEntry>& Entries() const { return entries_; }
  int Count() const { return static_cast<int>(entries_.size()); }
  // Both return whether anything changed. EnableCommand touches every entry
  // with that command. A disabled entry loses the hover and the press.
  bool SetEntryState(int index, int state);
  bool EnableCommand(int command, bool enabled);
  // The first entry with the command, or -1.
  int FindCommand(int command) const;
  // An entry in range that is neither a separator nor disabled.
  bool IsClickable(int index) const;

  // --- layout -----------------------------------------------------------------
  // Length of entry `index` along the strip (0 out of range).
  int EntryExtent(int index) const;
  // What all entries need along the strip, and what the widest (horizontal:
  // tallest) needs across it.
  int ContentLength() const;
  int CrossLength() const;
  // Where the entry lies with the scroll offset applied (entries before the
  // offset lie before the start); an empty rectangle out of range.
  StripRect EntryRect(int index) const;
  // Where the image and the text of an entry go inside its rectangle.
  StripRect ImageRect(int index) const;
  StripRect TextRect(int index) const;
  // The entry under a point of the window, or -1: outside the view, past
  // the last entry, on a separator or before the scroll offset. Disabled
  // entries are found (they show their tip) but IsClickable is false.
  int HitTest(int x, int y) const;

  // --- scrolling --------------------------------------------------------------
  // Moves the first entry shown by whole entries (negative: towards the
  // start), kept within [0, Count() - 1]. With wrapAtEnd an offset that
  // reaches Count() starts again at 0 (the channel column's scroll strips).
  // Returns whether the offset changed.
  bool ScrollBy(int entries, bool wrapAtEnd = false);
  int ScrollOffset() const { return scroll_; }

  // --- selection and pointer ----------------------------------------------------
  // Any index out of range selects nothing.
  void Select(int index);
  int Selection() const { return selection_; }
  // The entry under the pointer (-1: none or the pointer left). Only a
  // clickable entry is taken; returns whether the hovered entry changed,
  // so the window repaints and plays the rollover sound once per entry
  // entered.
  bool Hover(int index);
  int Hovered() const { return hovered_; }
  // The mouse button went down on an entry (drawn pressed while held).
  void Press(int index);
  int Pressed() const { return pressed_; }
  // The button came up over `index`. True when that is the clickable entry
  // it went down on: a click. The clicked entry becomes the selection when
  // SelectOnClick is on (the default; toolbars turn it off).
  bool Release(int index);
  void SetSelectOnClick(bool on) { selectOnClick_ = on; }
  bool SelectOnClick() const { return selectOnClick_; }

  // --- keyboard -----------------------------------------------------------------
  // The entry the keyboard's mark is on (-1: none), always a clickable one:
  // when entries are replaced, disabled or shortened the mark moves to the
  // nearest clickable entry after it (before it at the end), or goes.
  int KeyEntry() const { return key_; }
  // Moves the mark `step` clickable entries on (negative: back), stopping at
  // the first and the last. Without a mark it is put on the selection when
  // that is clickable, else on the first clickable entry. The strip scrolls
  // so that the marked entry shows whole. Returns whether the mark moved.
  bool MoveKey(int step);
  // The mark on the first (last: the last) clickable entry.
  bool MoveKeyToEnd(bool last);
  // The mark on the entry when it is clickable (shown whole).
  bool SetKeyEntry(int index);
  // Scrolls by the fewest whole entries that show the entry whole (its
  // start when it is longer than the view). Returns whether it scrolled.
  bool ScrollIntoView(int index);

  // Disabled before rollover before selected before normal.
  TextColour ColourFor(int index) const;

  // The four text colours (normal, rollover, selected, disabled) as colour
  // values 0x00BBGGRR. Magenta (0xFF00FF) asks for the strip's own choice:
  // 0xC00000 for rollover, 0x7F7F7F for selected, the normal colour for
  // disabled, black for normal.
  static std::array<std::uint32_t, 4> ResolveTextColours(std::array<std::uint32_t, 4> colours);

 private:
  void Layout();
  bool Horizontal() const { return orientation_ == Orientation::Horizontal; }
  StripTextSize Measure(const ButtonStripEntry& entry) const;
  bool HasImage(const ButtonStripEntry& entry) const;
  // Keeps the keyboard's mark on a clickable entry (see KeyEntry).
  void KeepKeyOnClickable();

  Orientation orientation_;
  Metrics metrics_;
  TextMeasure measure_;
  int viewWidth_ = 0, viewHeight_ = 0;
  std::vector<ButtonStripEntry> entries_;
  std::vector<int> starts_;    // position of each entry along the strip, unscrolled
  std::vector<int> extents_;
  std::vector<StripTextSize> texts_;
  int content_ = 0;
  int cross_ = 0;
  int scroll_ = 0;
  int selection_ = -1;
  int hovered_ = -1;
  int pressed_ = -1;
  int key_ = -1;
  bool selectOnClick_ = true;
};

}  // namespace vyr
