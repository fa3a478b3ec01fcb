#include "ui/button_strip_model.h"

#include <algorithm>
#include <utility>

namespace vyr {

namespace {

constexpr std::uint32_t kMagenta = 0xFF00FF;

}  // namespace

void ButtonStripModel::SetMetrics(const Metrics& metrics) {
  metrics_ = metrics;
  Layout();
}

void ButtonStripModel::SetTextMeasure(TextMeasure measure) {
  measure_ = std::move(measure);
  Layout();
}

void ButtonStripModel::SetViewSize(int width, int height) {
  viewWidth_ = std::max(0, width);
  viewHeight_ = std::max(0, height);
}

void ButtonStripModel::SetEntries(std::vector<ButtonStripEntry> entries) {
  entries_ = std::move(entries);
  scroll_ = 0;
  selection_ = hovered_ = pressed_ = -1;
  Layout();
  KeepKeyOnClickable();
}

bool ButtonStripModel::SetEntryState(int index, int state) {
  if (index < 0 || index >= Count() || entries_[index].state == state) return false;
  entries_[index].state = state;
  if (!IsClickable(index)) {
    if (hovered_ == index) hovered_ = -1;
    if (pressed_ == index) pressed_ = -1;
  }
  Layout();
  KeepKeyOnClickable();
  return true;
}

bool ButtonStripModel::EnableCommand(int command, bool enabled) {
  bool changed = false;
  for (int i = 0; i < Count(); ++i) {
    if (entries_[i].command != command) continue;
    const int state = enabled ? entries_[i].state & ~kStateDisabled
                              : entries_[i].state | kStateDisabled;
    changed = SetEntryState(i, state) || changed;
  }
  return changed;
}

int ButtonStripModel::FindCommand(int command) const {
  for (int i = 0; i < Count(); ++i) {
    if (entries_[i].command == command) return i;
  }
  return -1;
}

bool ButtonStripModel::IsClickable(int index) const {
  return index >= 0 && index < Count() &&
         (entries_[index].state & (kStateDisabled | kStateSeparator)) == 0;
}

bool ButtonStripModel::HasImage(const ButtonStripEntry& entry) const {
  return entry.image >= 0 && metrics_.imageWidth > 0 && metrics_.imageHeight > 0;
}

StripTextSize ButtonStripModel::Measure(const ButtonStripEntry& entry) const {
  if (!metrics_.showText || entry.text.empty() || !measure_) return {};
  StripTextSize size = measure_(entry);
  size.width = std::max(0, size.width);
  size.height = std::max(0, size.height);
  return size;
}

void ButtonStripModel::Layout() {
  const int count = Count();
  starts_.assign(count, 0);
  extents_.assign(count, 0);
  texts_.assign(count, {});
  content_ = cross_ = 0;
  for (int i = 0; i < count; ++i) {
    const ButtonStripEntry& entry = entries_[i];
    starts_[i] = content_;
    if (entry.state & kStateSeparator) {
      extents_[i] = std::max(0, metrics_.separator);
      content_ += extents_[i];
      continue;
    }
    texts_[i] = Measure(entry);
    const bool image = HasImage(entry);
    // The content is the image and the text beside it.
    const int wide = (image ? metrics_.imageWidth : 0) +
                     (image && texts_[i].width > 0 ? metrics_.gap : 0) + texts_[i].width;
    const int high = std::max(image ? metrics_.imageHeight : 0, texts_[i].height);
    const int along = Horizontal() ? wide : high;
    const int across = Horizontal() ? high : wide;
    extents_[i] = 2 * metrics_.padding + along;
    cross_ = std::max(cross_, 2 * metrics_.padding + across);
    content_ += extents_[i];
  }
}

int ButtonStripModel::EntryExtent(int index) const {
  return index >= 0 && index < Count() ? extents_[index] : 0;
}

int ButtonStripModel::ContentLength() const { return content_; }

int ButtonStripModel::CrossLength() const { return cross_; }

StripRect ButtonStripModel::EntryRect(int index) const {
  if (index < 0 || index >= Count()) return {};
  const int along = starts_[index] - (scroll_ < Count() ? starts_[scroll_] : 0);
  if (Horizontal()) return {along, 0, extents_[index], viewHeight_};
  return {0, along, viewWidth_, extents_[index]};
}

StripRect ButtonStripModel::ImageRect(int index) const {
  const StripRect entry = EntryRect(index);
  if (index < 0 || index >= Count() || !HasImage(entries_[index]) ||
      (entries_[index].state & kStateSeparator)) {
    return {entry.x + metrics_.padding, entry.y + entry.height / 2, 0, 0};
  }
  return {entry.x + metrics_.padding, entry.y + (entry.height - metrics_.imageHeight) / 2,
          metrics_.imageWidth, metrics_.imageHeight};
}

StripRect ButtonStripModel::TextRect(int index) const {
  if (index < 0 || index >= Count()) return {};
  const StripRect entry = EntryRect(index);
  const StripRect image = ImageRect(index);
  const StripTextSize text = texts_[index];
  const int x = image.width > 0 ? image.x + image.width + metrics_.gap : image.x;
  // The text's middle sits on the image's middle (the entry's middle when
  // there is no image); it never runs past the entry's padding.
  const int middle = image.width > 0 ? image.y + image.height / 2 : entry.y + entry.height / 2;
  const int room = entry.x + entry.width - metrics_.padding - x;
  return {x, middle - text.height / 2, std::clamp(text.width, 0, std::max(0, room)), text.height};
}

int ButtonStripModel::HitTest(int x, int y) const {
  if (x < 0 || y < 0 || x >= viewWidth_ || y >= viewHeight_ || Count() == 0) return -1;
  const int position = (Horizontal() ? x : y) + starts_[scroll_];
  // The last entry starting at or before the position.
  const auto next = std::upper_bound(starts_.begin() + scroll_, starts_.end(), position);
  const int index = static_cast<int>(next - starts_.begin()) - 1;
  if (index < scroll_ || position >= starts_[index] + extents_[index]) return -1;
  if (entries_[index].state & kStateSeparator) return -1;
  return index;
}

bool ButtonStripModel::ScrollBy(int entries, bool wrapAtEnd) {
  const int old = scroll_;
  const long long wanted = static_cast<long long>(scroll_) + entries;
  if (Count() == 0) {
    scroll_ = 0;
  } else if (wrapAtEnd && wanted >= Count()) {
    scroll_ = 0;
  } else {
    scroll_ = static_cast<int>(std::clamp<long long>(wanted, 0, Count() - 1));
  }
  return scroll_ != old;
}

void ButtonStripModel::Select(int index) {
  selection_ = index >= 0 && index < Count() ? index : -1;
}

bool ButtonStripModel::Hover(int index) {
  const int hovered = IsClickable(index) ? index : -1;
  const bool changed = hovered != hovered_;
  hovered_ = hovered;
  return changed;
}

void ButtonStripModel::Press(int index) { pressed_ = IsClickable(index) ? index : -1; }

bool ButtonStripModel::Release(int index) {
  const int pressed = pressed_;
  pressed_ = -1;
  if (pressed < 0 || pressed != index || !IsClickable(index)) return false;
  if (selectOnClick_) selection_ = index;
  return true;
}

void ButtonStripModel::KeepKeyOnClickable() {
  if (key_ < 0 || IsClickable(key_)) return;
  key_ = std::min(key_, Count() - 1);
  int after = key_;
  while (after < Count() && !IsClickable(after)) ++after;
  int before = key_;
  while (before >= 0 && !IsClickable(before)) --before;
  key_ = after < Count() ? after : before;
}

bool ButtonStripModel::MoveKey(int step) {
  const int old = key_;
  if (key_ < 0) {
    key_ = IsClickable(selection_) ? selection_ : -1;
    for (int i = 0; key_ < 0 && i < Count(); ++i) {
      if (IsClickable(i)) key_ = i;
    }
  } else {
    // Step by step over the entries that cannot be clicked, never past the
    // last clickable one.
    const int direction = step < 0 ? -1 : 1;
    for (int left = step < 0 ? -step : step; left > 0; --left) {
      int next = key_ + direction;
      while (next >= 0 && next < Count() && !IsClickable(next)) next += direction;
      if (next < 0 || next >= Count()) break;
      key_ = next;
    }
  }
  if (key_ >= 0) ScrollIntoView(key_);
  return key_ != old;
}

bool ButtonStripModel::MoveKeyToEnd(bool last) {
  const int old = key_;
  for (int n = 0; n < Count(); ++n) {
    const int i = last ? Count() - 1 - n : n;
    if (IsClickable(i)) {
      key_ = i;
      break;
    }
  }
  if (key_ >= 0) ScrollIntoView(key_);
  return key_ != old;
}

bool ButtonStripModel::SetKeyEntry(int index) {
  if (!IsClickable(index)) return false;
  const int old = key_;
  key_ = index;
  ScrollIntoView(index);
  return key_ != old;
}

bool ButtonStripModel::ScrollIntoView(int index) {
  const int view = Horizontal() ? viewWidth_ : viewHeight_;
  if (index < 0 || index >= Count() || view <= 0) return false;
  const int old = scroll_;
  if (index < scroll_) scroll_ = index;
  const int end = starts_[index] + extents_[index];
  while (scroll_ < index && end - starts_[scroll_] > view) ++scroll_;
  return scroll_ != old;
}

ButtonStripModel::TextColour ButtonStripModel::ColourFor(int index) const {
  if (index < 0 || index >= Count()) return TextColour::Normal;
  if (entries_[index].state & kStateDisabled) return TextColour::Disabled;
  if (index == hovered_) return TextColour::Rollover;
  if (index == selection_) return TextColour::Selected;
  return TextColour::Normal;
}

std::array<std::uint32_t, 4> ButtonStripModel::ResolveTextColours(
    std::array<std::uint32_t, 4> colours) {
  if (colours[0] == kMagenta) colours[0] = 0x000000;
  if (colours[1] == kMagenta) colours[1] = 0xC00000;
  if (colours[2] == kMagenta) colours[2] = 0x7F7F7F;
  if (colours[3] == kMagenta) colours[3] = colours[0];
  return colours;
}

}  // namespace vyr
