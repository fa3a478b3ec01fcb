#include "mail/body/rich_text_layout.h"

#include <algorithm>

#include "platform/text_measure.h"

namespace vyr {

namespace {

// Beyond this many remembered widths the cache starts again.
constexpr size_t kMaxCachedWidths = 200000;
// Words longer than this (in bytes) are placed character by character.
constexpr size_t kMaxWholeWord = 256;

// Walks the format runs of a document forward.
class RunCursor {
 public:
  explicit RunCursor(const RichTextDocument& doc) : doc_(doc) {}

  // The format at byte pos and where its run ends.
  const CharFormat& At(size_t pos, size_t& runEnd) {
    const auto& runs = doc_.Runs();
    if (runs.empty()) {
      runEnd = doc_.Text().size();
      return doc_.DefaultFormat();
    }
    if (index_ >= runs.size() || runs[index_].begin > pos) index_ = 0;
    while (index_ + 1 < runs.size() && runs[index_].end <= pos) ++index_;
    runEnd = runs[index_].end;
    return runs[index_].format;
  }

 private:
  const RichTextDocument& doc_;
  size_t index_ = 0;
};

class LineBreaker {
 public:
  LineBreaker(const RichTextDocument& doc, int width, TextMeasurer* measurer)
      : text_(doc.Text()), width_(width), measurer_(measurer), runs_(doc) {}

  std::vector<size_t> Run() {
    std::vector<size_t> starts{0};
    size_t pos = 0;
    while (pos < text_.size()) {
      size_t end = text_.find_first_of("\n\v", pos);
      if (end == std::string::npos) end = text_.size();
      if (measurer_) Wrap(pos, end, starts);
      if (end + 1 < text_.size()) starts.push_back(end + 1);
      pos = end + 1;
    }
    return starts;
  }

 private:
  int Measure(size_t begin, size_t end) {
    int w = 0;
    while (begin < end) {
      size_t runEnd = 0;
      const CharFormat& f = runs_.At(begin, runEnd);
      const size_t stop = std::min(end, runEnd);
      w += measurer_->Width(std::string_view(text_).substr(begin, stop - begin), f);
      begin = stop;
    }
    return w;
  }

  // Places the characters of [from, to) one by one in avail twips; returns
  // where the first one that does not fit starts (to when all fit) and adds
  // their width to used. With atLeastOne the first character is placed
  // even when it does not fit.
  size_t FitChars(size_t from, size_t to, long avail, bool atLeastOne, long& used) {
    size_t k = from;
    while (k < to) {
      const size_t next = k + Utf8Length(text_, k);
      const int cw = Measure(k, next);
      if (used + cw > avail && !(atLeastOne && k == from)) break;
      used += cw;
      k = next;
    }
    return k;
  }

  // Wraps the stretch [begin, end) between two breaks.
  void Wrap(size_t begin, size_t end, std::vector<size_t>& starts) {
    size_t lineStart = begin;
    long x = 0;
    size_t i = begin;
    while (i < end) {
      const char c = text_[i];
      if (c == ' ') {
        x += Measure(i, i + 1);
        ++i;
        continue;
      }
      if (c == '\t') {
        x = (x / kTabStopTwips + 1) * kTabStopTwips;
        ++i;
        continue;
      }
      size_t wordEnd = i;
      while (wordEnd < end && text_[wordEnd] != ' ' && text_[wordEnd] != '\t') ++wordEnd;
      // Ordinary words are measured whole; a very long one character by
      // character, so that its width is not measured again and again.
      if (wordEnd - i <= kMaxWholeWord) {
        const int w = Measure(i, wordEnd);
        if (x + w <= width_) {
          x += w;
          i = wordEnd;
          continue;
        }
      } else {
        long used = 0;
        if (FitChars(i, wordEnd, width_ - x, false, used) == wordEnd) {
          x += used;
          i = wordEnd;
          continue;
        }
      }
      if (i > lineStart) {
        // Something (and so a space or tab) comes before the word on this
        // line: the word starts the next one.
        starts.push_back(i);
        lineStart = i;
        x = 0;
        continue;
      }
      // The word alone is wider than the line: it is broken before the
      // first character that does not fit, keeping at least one a line.
      for (;;) {
        long used = 0;
        const size_t k = FitChars(i, wordEnd, width_, true, used);
        if (k >= wordEnd) {
          x = used;
          i = wordEnd;
          break;
        }
        starts.push_back(k);
        lineStart = k;
        i = k;
      }
    }
  }

  const std::string& text_;
  const int width_;
  TextMeasurer* measurer_;
  RunCursor runs_;
};

}  // namespace

bool SystemTextMeasurer::Available() { return platform::TextMeasureAvailable(); }

int SystemTextMeasurer::Width(std::string_view utf8, const CharFormat& format) {
  const int height = format.Carries(CharFormat::kHeight) ? format.height : kDefaultHeightTwips;
  const std::string& face = format.Carries(CharFormat::kFace) ? format.face : std::string();
  const bool bold = format.Carries(CharFormat::kBold) && format.bold;
  const bool italic = format.Carries(CharFormat::kItalic) && format.italic;
  key_.assign(face);
  key_ += '\0';
  key_ += std::to_string(height);
  key_ += bold ? 'B' : '-';
  key_ += italic ? 'I' : '-';
  key_.append(utf8);
  auto it = cache_.find(key_);
  if (it != cache_.end()) return it->second;
  const int w = platform::MeasureTextWidth(utf8, face, height, bold, italic);
  if (cache_.size() >= kMaxCachedWidths) cache_.clear();
  cache_.emplace(key_, w);
  return w;
}

std::vector<size_t> LayoutLineStarts(const RichTextDocument& doc, int width,
                                     TextMeasurer* measurer) {
  if (measurer && !measurer->Available()) measurer = nullptr;
  return LineBreaker(doc, width, measurer).Run();
}

}  // namespace vyr
