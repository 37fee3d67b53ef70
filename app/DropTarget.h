// Files and pictures dropped on the main window: through its OLE drop
// target, which passes a drop on as kDroppedMessage once the drag has ended,
// or as WM_DROPFILES from the window system's file drops. A picture can come
// without a file, dragged out of a browser or another program.
#pragma once

#include <windows.h>

#include "app/AppState.h"

namespace ferrovel {

// Carries what was dropped in its lParam; takeDropped owns it.
inline constexpr UINT kDroppedMessage = WM_APP + 1;

// Makes the main window take drops: files, and the "PNG" and CF_DIB formats.
// The thread must have initialised OLE.
void acceptDrops(HWND mainWindow);
void stopAcceptingDrops(HWND mainWindow);

// A single image database loads as Load does; anything else is a batch of
// pictures for the import flow, which needs a current database.
void dropFiles(AppState& state, HDROP drop);

// Files as dropFiles takes them; a picture block through the clipboard's
// work file, as Paste imports it.
void takeDropped(AppState& state, LPARAM message);

}  // namespace ferrovel
