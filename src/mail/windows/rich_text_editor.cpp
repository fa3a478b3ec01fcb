#include "mail/windows/rich_text_editor.h"

#include <algorithm>

#include <wx/dcclient.h>
#include <wx/richtext/richtextbuffer.h>

namespace {

std::string Utf8(const wxString& text) { return std::string(text.utf8_str()); }

// A paragraph's text, line breaks as '\n'.
wxString ParagraphText(wxRichTextParagraph* para) {
  wxString text;
  for (wxRichTextObjectList::compatibility_iterator node = para->GetChildren().GetFirst(); node;
       node = node->GetNext()) {
    if (auto* plain = wxDynamicCast(node->GetData(), wxRichTextPlainText)) {
      text += plain->GetText();
    } else {
      text += wxS(" ");  // a picture holds one position
    }
  }
  text.Replace(wxString(wxRichTextLineBreakChar), wxS("\n"));
  return text;
}

// Byte ranges of a UTF-8 text as character positions, in one walk over the
// text while the ranges come in order (a long paragraph has many).
std::vector<std::pair<long, long>> AsPositions(const std::string& utf8,
                                               const std::vector<std::pair<size_t, size_t>>& ranges) {
  std::vector<std::pair<long, long>> out;
  out.reserve(ranges.size());
  size_t at = 0;
  long position = 0;
  const auto positionOf = [&](size_t offset) {
    if (offset < at) at = 0, position = 0;
    for (; at < offset && at < utf8.size(); ++at) {
      if ((static_cast<unsigned char>(utf8[at]) & 0xC0) != 0x80) ++position;
    }
    return position;
  };
  for (const auto& [from, to] : ranges) {
    const long first = positionOf(from);
    out.emplace_back(first, positionOf(to));
  }
  return out;
}

void DrawWave(wxDC& dc, int left, int right, int baseline) {
  wxPoint points[2048];
  int n = 0;
  for (int x = left; x <= right && n < 2048; x += 2, ++n) points[n] = wxPoint(x, baseline + ((n % 2) ? -1 : 1));
  if (n >= 2) dc.DrawLines(n, points);
}

}  // namespace

int PointsForTwips(int twips) { return (twips + 10) / 20; }

int TwipsForPoints(int points) {
  for (int twips : kEditorSizesTwips) {
    if (PointsForTwips(twips) == points) return twips;
  }
  return points * 20;
}

wxColour WxColour(vyr::ColorRef color) { return wxColour(vyr::RedOf(color), vyr::GreenOf(color), vyr::BlueOf(color)); }

vyr::ColorRef ColorOf(const wxColour& colour) { return vyr::Rgb(colour.Red(), colour.Green(), colour.Blue()); }

wxRichTextAttr AttrFor(const vyr::CharFormat& format) {
  wxRichTextAttr attr;
  if (format.Carries(vyr::CharFormat::kColor)) attr.SetTextColour(WxColour(format.color));
  if (format.Carries(vyr::CharFormat::kHeight)) attr.SetFontPointSize(PointsForTwips(format.height));
  if (format.Carries(vyr::CharFormat::kFace) && !format.face.empty())
    attr.SetFontFaceName(wxString::FromUTF8(format.face.c_str()));
  if (format.Carries(vyr::CharFormat::kBold)) attr.SetFontWeight(format.bold ? wxFONTWEIGHT_BOLD : wxFONTWEIGHT_NORMAL);
  if (format.Carries(vyr::CharFormat::kItalic))
    attr.SetFontStyle(format.italic ? wxFONTSTYLE_ITALIC : wxFONTSTYLE_NORMAL);
  if (format.Carries(vyr::CharFormat::kUnderline)) attr.SetFontUnderlined(format.underline);
  return attr;
}

vyr::CharFormat FormatOf(const wxRichTextAttr& attr) {
  vyr::CharFormat format;
  format.mask = vyr::CharFormat::kAll;
  format.color = attr.HasTextColour() ? ColorOf(attr.GetTextColour()) : vyr::kBlack;
  format.height = attr.HasFontPointSize() ? TwipsForPoints(attr.GetFontSize()) : vyr::kDefaultHeightTwips;
  format.face = attr.HasFontFaceName() ? Utf8(attr.GetFontFaceName()) : std::string();
  format.bold = attr.HasFontWeight() && attr.GetFontWeight() >= wxFONTWEIGHT_BOLD;
  format.italic = attr.HasFontItalic() && attr.GetFontStyle() != wxFONTSTYLE_NORMAL;
  format.underline = attr.HasFontUnderlined() && attr.GetFontUnderlined();
  return format;
}

void LoadDocument(wxRichTextCtrl& editor, const vyr::RichTextDocument& doc) {
  editor.Freeze();
  editor.BeginSuppressUndo();
  editor.Clear();
  editor.SetBackgroundColour(WxColour(doc.Background()));
  const std::string& text = doc.Text();
  const std::vector<vyr::FormatRun>& runs = doc.Runs();
  size_t run = 0;
  const std::vector<vyr::Paragraph>& paragraphs = doc.Paragraphs();
  for (size_t p = 0; p < paragraphs.size(); ++p) {
    const vyr::Paragraph& para = paragraphs[p];
    const bool ends = para.end > para.begin && text[para.end - 1] == '\n';
    const size_t contentEnd = ends ? para.end - 1 : para.end;
    const vyr::Alignment align = para.format.alignment;
    editor.BeginAlignment(align == vyr::Alignment::Center  ? wxTEXT_ALIGNMENT_CENTRE
                          : align == vyr::Alignment::Right ? wxTEXT_ALIGNMENT_RIGHT
                                                           : wxTEXT_ALIGNMENT_LEFT);
    while (run < runs.size() && runs[run].end <= para.begin) ++run;
    for (size_t r = run; r < runs.size() && runs[r].begin < contentEnd; ++r) {
      const size_t from = std::max(runs[r].begin, para.begin), to = std::min(runs[r].end, contentEnd);
      if (from >= to) continue;
      wxString piece = wxString::FromUTF8(text.data() + from, to - from);
      piece.Replace(wxS("\v"), wxString(wxRichTextLineBreakChar));
      editor.BeginStyle(AttrFor(runs[r].format));
      editor.WriteText(piece);
      editor.EndStyle();
    }
    if (ends) {
      editor.BeginStyle(AttrFor(doc.FormatAt(para.end - 1)));
      editor.Newline();
      editor.EndStyle();
    }
    editor.EndAlignment();
  }
  editor.EndSuppressUndo();
  editor.GetCommandProcessor()->ClearCommands();
  editor.SetInsertionPoint(0);
  editor.DiscardEdits();
  editor.Thaw();
}

vyr::RichTextDocument ReadDocument(wxRichTextCtrl& editor) {
  vyr::RichTextDocument doc;
  doc.SetBackground(ColorOf(editor.GetBackgroundColour()));
  wxRichTextBuffer& buffer = editor.GetBuffer();
  const wxRichTextObjectList& paragraphs = buffer.GetChildren();
  for (wxRichTextObjectList::compatibility_iterator node = paragraphs.GetFirst(); node; node = node->GetNext()) {
    auto* para = wxDynamicCast(node->GetData(), wxRichTextParagraph);
    if (!para) continue;
    const wxRichTextAttr paraAttr = para->GetCombinedAttributes();
    vyr::ParaFormat format;
    format.alignment = paraAttr.GetAlignment() == wxTEXT_ALIGNMENT_CENTRE ? vyr::Alignment::Center
                       : paraAttr.GetAlignment() == wxTEXT_ALIGNMENT_RIGHT ? vyr::Alignment::Right
                                                                           : vyr::Alignment::Left;
    doc.SetParagraphFormat(format);
    vyr::CharFormat last = FormatOf(paraAttr);
    for (wxRichTextObjectList::compatibility_iterator child = para->GetChildren().GetFirst(); child;
         child = child->GetNext()) {
      auto* plain = wxDynamicCast(child->GetData(), wxRichTextPlainText);
      if (!plain || plain->GetText().empty()) continue;
      wxString piece = plain->GetText();
      piece.Replace(wxString(wxRichTextLineBreakChar), wxS("\v"));
      last = FormatOf(para->GetCombinedAttributes(plain->GetAttributes()));
      doc.Append(Utf8(piece), last);
    }
    if (node->GetNext()) doc.EndParagraph(last);
  }
  return doc;
}

std::string EditorText(wxRichTextCtrl& editor) {
  std::string out;
  const wxRichTextObjectList& paragraphs = editor.GetBuffer().GetChildren();
  for (wxRichTextObjectList::compatibility_iterator node = paragraphs.GetFirst(); node; node = node->GetNext()) {
    auto* para = wxDynamicCast(node->GetData(), wxRichTextParagraph);
    if (!para) continue;
    out += Utf8(ParagraphText(para));
    if (node->GetNext()) out += '\n';
  }
  return out;
}

long PositionOfOffset(const std::string& text, size_t offset) {
  long position = 0;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++position;
  }
  return position;
}

size_t OffsetOfPosition(const std::string& text, long position) {
  size_t i = 0;
  for (long seen = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (seen == position) return i;
      ++seen;
    }
  }
  return text.size();
}

// --- the editor ---------------------------------------------------------------------------

CComposeEditor::CComposeEditor(wxWindow* parent, wxWindowID id, long style)
    : wxRichTextCtrl(parent, id, wxEmptyString, wxDefaultPosition, wxDefaultSize, style) {}

void CComposeEditor::SetChecker(Checker checker) {
  checker_ = std::move(checker);
  Recheck();
}

void CComposeEditor::Recheck() {
  cache_.clear();
  Refresh(false);
}

const std::vector<std::pair<long, long>>& CComposeEditor::ParagraphMarks(const wxString& text) {
  auto found = cache_.find(text);
  if (found != cache_.end()) return found->second;
  // Edited paragraphs leave their old texts behind: the cache starts
  // afresh now and then.
  if (cache_.size() > 4096) cache_.clear();
  const std::string utf8 = Utf8(text);
  return cache_.emplace(text, AsPositions(utf8, checker_(utf8))).first->second;
}

std::vector<std::pair<long, long>> CComposeEditor::MarkedRanges() {
  std::vector<std::pair<long, long>> out;
  if (!checker_) return out;
  const wxRichTextObjectList& paragraphs = GetBuffer().GetChildren();
  for (wxRichTextObjectList::compatibility_iterator node = paragraphs.GetFirst(); node; node = node->GetNext()) {
    auto* para = wxDynamicCast(node->GetData(), wxRichTextParagraph);
    if (!para) continue;
    const long start = para->GetRange().GetStart();
    for (const auto& [from, to] : ParagraphMarks(ParagraphText(para))) out.emplace_back(start + from, start + to);
  }
  return out;
}

void CComposeEditor::PaintAboveContent(wxDC& dc) {
  if (!checker_) return;
  const wxRect visible(GetLogicalPoint(wxPoint(0, 0)), GetClientSize());
  dc.SetPen(wxPen(wxColour(220, 0, 0), 1));
  // A word is measured from the start of its own line (the caret after the
  // character before it may stand at the end of the line above), with the
  // paint's own device context, and only on the lines in view: a paragraph
  // can be long.
  wxRichTextDrawingContext context(&GetBuffer());
  const wxRichTextObjectList& paragraphs = GetBuffer().GetChildren();
  for (wxRichTextObjectList::compatibility_iterator node = paragraphs.GetFirst(); node; node = node->GetNext()) {
    auto* para = wxDynamicCast(node->GetData(), wxRichTextParagraph);
    if (!para) continue;
    const wxRect area = para->GetRect();
    if (area.GetBottom() < visible.GetTop()) continue;
    if (area.GetTop() > visible.GetBottom()) break;
    const long start = para->GetRange().GetStart();
    const std::vector<std::pair<long, long>>& marks = ParagraphMarks(ParagraphText(para));
    auto mark = marks.begin();
    for (const wxRichTextLine* line : para->GetLines()) {
      if (mark == marks.end()) break;
      const wxRichTextRange range = line->GetAbsoluteRange();
      const wxRect row = line->GetRect();
      if (row.GetTop() > visible.GetBottom()) break;
      const bool inView = row.GetBottom() >= visible.GetTop();
      // Where the text of the line up to a character (included) ends.
      const auto endOf = [&](long index) {
        wxSize size;
        int descent = 0;
        para->GetRangeSize(wxRichTextRange(range.GetStart(), index), size, descent, dc, context,
                           wxRICHTEXT_UNFORMATTED, line->GetPosition());
        return row.x + size.x;
      };
      // The words that start on this line.
      for (; mark != marks.end() && start + mark->first <= range.GetEnd(); ++mark) {
        const long first = start + mark->first, last = start + mark->second - 1;
        if (!inView) continue;
        if (first < range.GetStart() || last > range.GetEnd()) continue;  // split over two lines: not marked
        const int left = first > range.GetStart() ? endOf(first - 1) : row.x;
        const int right = endOf(last);
        if (right > left) DrawWave(dc, left, right, row.GetBottom());
      }
    }
  }
}
