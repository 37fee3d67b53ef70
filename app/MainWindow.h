// The main window: a modeless dialog from template 106 that holds the
// program's state and dispatches its buttons to the commands.
#pragma once

#include <windows.h>

#include "app/AppState.h"

namespace ferrovel {

// Creates and shows the main window; null when the template cannot be made.
HWND createMainWindow(AppState& state, int showCommand);

// Runs the message loop until the quit message; returns its code.
int runMessageLoop(AppState& state);

}  // namespace ferrovel
