#include "app/windows/splash_wnd.h"

#include <wx/dcbuffer.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/settings.h>

#include "platform/string_table.h"

namespace {
// The line under the name on the drawn card.
constexpr vyr::platform::TextId kStartingText{40596};  // "Starting…"
// The drawn card's size and colours.
const wxSize kCardSize(480, 280);
const wxColour kCardTop(28, 62, 120);
const wxColour kCardBottom(70, 130, 200);
}  // namespace

CSplashWnd::CSplashWnd(const std::string& picturePath) {
  const wxString path = wxString::FromUTF8(picturePath.c_str());
  if (!picturePath.empty() && wxFileName::FileExists(path)) {
    wxLogNull quiet;  // a damaged picture only means the drawn card
    wxImage image;
    if (image.LoadFile(path, wxBITMAP_TYPE_BMP) && image.IsOk()) picture_ = wxBitmap(image);
  }
  // The size is given when the window is made: a borderless window resized
  // afterwards may keep its first size on the screen.
  const wxSize size = picture_.IsOk() ? picture_.GetSize() : kCardSize;
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  // (No client-size call: the toolkit would take off frame borders this
  // window does not have.)
  Create(nullptr, wxID_ANY, wxS("Vyrelle"), wxDefaultPosition, size,
         wxBORDER_NONE | wxSTAY_ON_TOP | wxFRAME_NO_TASKBAR | wxFRAME_TOOL_WINDOW);
  Centre(wxBOTH);
  Bind(wxEVT_PAINT, &CSplashWnd::OnPaint, this);
}

void CSplashWnd::ShowOnTop() {
  Show();
  Raise();
  Update();
}

void CSplashWnd::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  if (picture_.IsOk()) {
    dc.DrawBitmap(picture_, 0, 0, false);
  } else {
    DrawCard(dc, GetClientSize());
  }
}

void CSplashWnd::DrawCard(wxDC& dc, const wxSize& size) {
  const wxRect all(wxPoint(0, 0), size);
  dc.GradientFillLinear(all, kCardTop, kCardBottom, wxSOUTH);
  dc.SetPen(wxPen(wxColour(255, 255, 255, 90), 1));
  dc.SetBrush(*wxTRANSPARENT_BRUSH);
  dc.DrawRectangle(wxRect(all).Deflate(6));

  dc.SetTextForeground(*wxWHITE);
  wxFont title(wxFontInfo(34).Bold().Family(wxFONTFAMILY_SWISS));
  dc.SetFont(title);
  const wxString name = wxS("Vyrelle");
  const wxSize nameSize = dc.GetTextExtent(name);
  dc.DrawText(name, (size.x - nameSize.x) / 2, size.y / 2 - nameSize.y);

  dc.SetFont(wxFont(wxFontInfo(11).Family(wxFONTFAMILY_SWISS)));
  dc.SetTextForeground(wxColour(225, 235, 250));
  const wxString line = wxString::FromUTF8(kStartingText.Text());
  const wxSize lineSize = dc.GetTextExtent(line);
  dc.DrawText(line, (size.x - lineSize.x) / 2, size.y / 2 + 12);
}
