#pragma once
// CDrawnAccessible: what screen readers see of the controls the program
// draws itself inside one window: the buttons of a strip, the titles of the
// skinned menu bar, the caption buttons of a skinned window. To the toolkit
// such a window is one window and nothing in it; this gives the window an
// accessible object of its own, of the window's kind (so that all the
// toolkit tells of the window itself stays), whose children are the drawn
// parts: each with a role, a name, its states, its place on the screen and
// one action, "click", that does what a pointer click does.
//
// Queries read the parts as they are at that moment. Update() (the window
// calls it whenever what it draws may have changed, from its paint handler)
// announces what changed since the last call: parts added or removed, names,
// and states, the keyboard's mark moving as the focus.
//
// From the moment it is made, every request for the window's accessible
// object is answered with this one.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/gdicmn.h>

class wxWindow;

// How a part presents itself.
enum class DrawnRole {
  PushButton,    // a button that runs a command
  ToggleButton,  // one of a strip's entries, of which one is the chosen one
  Menu,          // a menu bar's title: opens its menu
  Separator,     // a gap between buttons: nothing to press
};

// How the window holding the parts presents itself.
enum class DrawnWindowRole {
  AsIs,     // as the toolkit has it (a skinned window's client area)
  ToolBar,  // a strip of buttons
  MenuBar,  // the skinned menu bar
};

struct DrawnPart {
  std::string name;
  std::string description;  // what the tip says, when it says more than the name
  DrawnRole role = DrawnRole::PushButton;
  bool enabled = true;
  bool checked = false;    // the chosen one of a strip (ToggleButton)
  bool focused = false;    // the keyboard's mark is on it and the window has the focus
  bool shown = true;       // lies in the window's visible part
  wxRect rect;             // in the window's client coordinates

  bool operator==(const DrawnPart&) const = default;
};

struct DrawnPartsSource {
  std::function<std::vector<DrawnPart>()> parts;
  // Runs what a click on the part runs. Called from the event loop, never
  // from within a screen reader's request.
  std::function<void(int index)> press;
  // Puts the keyboard's mark on the part and the focus in the window; empty
  // when the parts take no keyboard focus.
  std::function<void(int index)> focus;
  // The window's name for screen readers; empty: as the toolkit names it.
  std::function<std::string()> name;
};

class CDrawnAccessible {
 public:
  CDrawnAccessible(wxWindow* window, DrawnPartsSource source, DrawnWindowRole role);
  // The parts go defunct: a screen reader that still holds them finds
  // nothing to press.
  ~CDrawnAccessible();
  CDrawnAccessible(const CDrawnAccessible&) = delete;
  CDrawnAccessible& operator=(const CDrawnAccessible&) = delete;

  // Announces what changed since the last call.
  void Update();

  struct State;

 private:
  State* state_;
};
