#pragma once
// The dialogs of what the user has typed and opened: the history eraser,
// the start-page choice and the Open dialog with its recently opened files.
#include <functional>
#include <string>

#include "browser/opened_files.h"

class wxWindow;

namespace vyr {
class Application;
}

// Asks before erasing; on the user's yes clears the engine's data of the
// sites visited (waiting for the engine), then eraseLists() (the typed
// addresses in the profile and on screen; false when the profile could not
// be written). "Your history has been erased" only when both succeeded,
// else an error naming what failed. False when the user cancelled.
bool RunHistoryEraser(wxWindow* parent, vyr::Application& app, const std::function<bool()>& eraseLists);

// [Startup] Home and UseDefaultStart; true after OK.
bool RunStartPageDialog(wxWindow* parent, vyr::Application& app);

// The Open dialog: the text typed or browsed for is remembered and opened
// as vyr::PlanOpen says, through open.
void RunOpenDialog(wxWindow* parent, vyr::Application& app, const std::function<void(const vyr::OpenPlan&)>& open);
