#pragma once
// Real input through the X server's test extension, for the window tests
// that must not fake a gesture: a pointer click as a user makes one (the
// pointer arrives, rests, presses, lets go) and a key with its modifiers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

#include <wx/gdicmn.h>

#include "ui_test_support.h"

namespace vyr::test::xtest {

inline Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

inline void Click(const wxPoint& at) {
  Display* d = XDisplay();
  XTestFakeMotionEvent(d, -1, at.x + 4, at.y + 4, CurrentTime);
  XFlush(d);
  Pause(80);
  XTestFakeMotionEvent(d, -1, at.x, at.y, CurrentTime);
  XFlush(d);
  Pause(150);
  XTestFakeButtonEvent(d, 1, True, CurrentTime);
  XFlush(d);
  Pause(60);
  XTestFakeButtonEvent(d, 1, False, CurrentTime);
  XFlush(d);
}

inline void PressKey(KeySym sym, bool shift = false, bool control = false) {
  Display* d = XDisplay();
  const KeyCode code = XKeysymToKeycode(d, sym), shiftCode = XKeysymToKeycode(d, XK_Shift_L),
                controlCode = XKeysymToKeycode(d, XK_Control_L);
  if (control) XTestFakeKeyEvent(d, controlCode, True, CurrentTime);
  if (shift) XTestFakeKeyEvent(d, shiftCode, True, CurrentTime);
  XTestFakeKeyEvent(d, code, True, CurrentTime);
  XTestFakeKeyEvent(d, code, False, CurrentTime);
  if (shift) XTestFakeKeyEvent(d, shiftCode, False, CurrentTime);
  if (control) XTestFakeKeyEvent(d, controlCode, False, CurrentTime);
  XFlush(d);
}

}  // namespace vyr::test::xtest
