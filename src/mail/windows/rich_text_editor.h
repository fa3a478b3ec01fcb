#pragma once
// The compose window's editor and the program's rich-text body model: a
// document is loaded into a wxRichTextCtrl and read back from it, so what
// is typed, saved and reopened is the same document (text, bold, italic,
// underline, colours, faces, sizes, paragraph alignment and the editor's
// background).
//
// Sizes: the model counts in twips, the control in whole points. The
// editor's seven sizes that fall between two points (350, 450 and 550
// twips) are shown at the point above and read back as themselves, so the
// sizes the editor offers always come back exact; any other size comes
// back as the editor's size of that point, or as its whole points.
//
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <wx/richtext/richtextctrl.h>

#include "mail/body/rich_text.h"

// The seven size names' heights in twips, smallest first.
inline constexpr int kEditorSizesTwips[7] = {140, 200, 240, 350, 450, 550, 700};
int PointsForTwips(int twips);
int TwipsForPoints(int points);

wxColour WxColour(vyr::ColorRef color);
vyr::ColorRef ColorOf(const wxColour& colour);

// The control's attributes for a character format and back.
wxRichTextAttr AttrFor(const vyr::CharFormat& format);
vyr::CharFormat FormatOf(const wxRichTextAttr& attr);

// Replaces the control's content with the document (the background
// included); the undo history starts afresh.
void LoadDocument(wxRichTextCtrl& editor, const vyr::RichTextDocument& doc);
// The control's content as a document.
vyr::RichTextDocument ReadDocument(wxRichTextCtrl& editor);

// The control's text as UTF-8 with '\n' between paragraphs, and the
// conversions between its byte offsets and the control's positions.
std::string EditorText(wxRichTextCtrl& editor);
long PositionOfOffset(const std::string& text, size_t offset);
size_t OffsetOfPosition(const std::string& text, long position);

// The compose window's editor: a rich-text control that marks misspelt
// words with a red wavy line under them, drawn over the content (a look of
// the control, never a format of the document). The checker tells which
// byte ranges of a paragraph's text are misspelt; a paragraph is checked
// again only when its text changed, and only paragraphs in view are
// looked at, so typing in a long message stays quick.
class CComposeEditor : public wxRichTextCtrl {
 public:
  using Checker = std::function<std::vector<std::pair<size_t, size_t>>(const std::string& utf8)>;
  CComposeEditor(wxWindow* parent, wxWindowID id, long style);
  // No checker: nothing is marked.
  void SetChecker(Checker checker);
  // Forgets what was checked (a word was added to the user's list).
  void Recheck();
  // The misspelt words of the whole text as control positions [from, to).
  std::vector<std::pair<long, long>> MarkedRanges();

 protected:
  void PaintAboveContent(wxDC& dc) override;

 private:
  // The marked ranges of a paragraph's text, in positions from its start.
  const std::vector<std::pair<long, long>>& ParagraphMarks(const wxString& text);

  Checker checker_;
  std::map<wxString, std::vector<std::pair<long, long>>> cache_;
};
