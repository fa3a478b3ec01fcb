#pragma once
// Real input through the X server's test extension, for the window tests
// that must not fake a gesture: a pointer click as a user makes one (the
// pointer arrives, rests, presses, lets go), the pointer and its button on
// their own (drags, menus), a key with its modifiers and the keyboard focus
// given as a window manager gives it.
#include <gtk/gtk.h>

#include <deque>
#include <functional>
#include <utility>

#include <wx/timer.h>

#include "ui_test_support.h"

// Last: the X headers' macros would spoil the names above.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

namespace vyr::test::xtest {

inline Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

// The pointer moved to the point, no button pressed.
inline void MoveTo(const wxPoint& at) {
  XTestFakeMotionEvent(XDisplay(), -1, at.x, at.y, CurrentTime);
  XFlush(XDisplay());
}

// The first button pressed or let go where the pointer is.
inline void Button(bool down) {
  XTestFakeButtonEvent(XDisplay(), 1, down ? True : False, CurrentTime);
  XFlush(XDisplay());
}

inline void Click(const wxPoint& at) {
  MoveTo(at + wxPoint(4, 4));
  Pause(80);
  MoveTo(at);
  Pause(150);
  Button(true);
  Pause(60);
  Button(false);
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

// Printable ASCII, with Shift where the keyboard map needs it.
inline void PressCharacter(unsigned char c) {
  Display* d = XDisplay();
  PressKey(c, XkbKeycodeToKeysym(d, XKeysymToKeycode(d, c), 0, 0) != c);
}

// Without a window manager nothing gives a window the keyboard focus: the
// test gives it once the window is mapped; whether the toolkit then has the
// window active.
inline bool Focus(wxWindow* window) {
  GtkWidget* widget = window->GetHandle();
  PumpUntil([&] { return gtk_widget_get_mapped(widget); }, 5000);
  GdkDisplay* display = gdk_display_get_default();
  gdk_x11_display_error_trap_push(display);  // not viewable yet under a window manager
  XSetInputFocus(XDisplay(), gdk_x11_window_get_xid(gtk_widget_get_window(widget)), RevertToParent, CurrentTime);
  XFlush(XDisplay());
  gdk_x11_display_error_trap_pop_ignored(display);
  return PumpUntil([&] { return gtk_window_is_active(GTK_WINDOW(widget)); }, 3000);
}

// The window named so, once it is on screen (null before).
template <typename T = wxWindow>
T* Named(const char* name) {
  wxWindow* w = wxWindow::FindWindowByName(name);
  return w && w->IsShownOnScreen() ? dynamic_cast<T*>(w) : nullptr;
}

// Runs steps one by one from a timer, each once the control it names is on
// screen and its window has the keyboard: the way to drive modal dialogs,
// whose own loop runs while the test waits.
class ControlRobot {
 public:
  // Once the application runs (its OnInit).
  void Start() {
    timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Step(); });
    timer_.Start(100);
  }
  void When(const char* name, std::function<void()> act) { steps_.push_back({name, std::move(act)}); }
  bool Done() const { return steps_.empty(); }

 private:
  void Step() {
    if (steps_.empty() || busy_) return;
    wxWindow* control = Named(steps_.front().first);
    if (!control) return;
    busy_ = true;
    Focus(wxGetTopLevelParent(control));
    Pause(200);
    auto act = steps_.front().second;
    steps_.pop_front();
    act();
    busy_ = false;
  }

  wxTimer timer_;
  std::deque<std::pair<const char*, std::function<void()>>> steps_;
  bool busy_ = false;
};

}  // namespace vyr::test::xtest
