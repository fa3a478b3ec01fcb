#pragma once
// CSplashWnd: the borderless start-up picture, centred on the screen above
// every other window: the scheme's "splash.bmp" (the default scheme's when
// the current one has none), or a drawn card when neither exists.
#include <string>

#include <wx/bitmap.h>
#include <wx/frame.h>

class CSplashWnd : public wxFrame {
 public:
  // picturePath: the scheme file to show ("" or a missing file: drawn card).
  explicit CSplashWnd(const std::string& picturePath);

  // Shows the window and brings it to the top, painted at once.
  void ShowOnTop();

 private:
  void OnPaint(wxPaintEvent& event);
  void DrawCard(wxDC& dc, const wxSize& size);

  wxBitmap picture_;
};
