// Pictures of the program's screens for the README, taken by the window
// tests at the moment a scenario shows one. Only `make screenshots` asks for
// them, by naming a folder in FERROVEL_SCREENSHOTS; otherwise nothing is
// taken and no time is spent.
#pragma once

#include <windows.h>

namespace ferrovel::gui {

// Saves the window, and a second one shown over it such as a popup menu, as
// NAME.png. The first picture of a name in a run is the one kept.
void saveScreenshot(const char* name, HWND window, HWND alsoShown = nullptr);

}  // namespace ferrovel::gui
