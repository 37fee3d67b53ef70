// Deleting, renaming and moving the selected image from the image list: its
// context menu, the keys Delete and F2, and the commands they run. Each
// change is one rewrite of the database; the view is reloaded afterwards
// with the changed image (or the one after a deleted one) selected.
#pragma once

#include <windows.h>

#include "app/AppState.h"

namespace ferrovel {

// Shows the image list's context menu at a screen point, or under the
// selected entry when the menu was asked for from the keyboard (-1, -1).
// A right click first selects the entry under it. The chosen item comes back
// as WM_COMMAND with its IDM_ id.
void showImageMenu(AppState& state, LPARAM screenPoint);

// Runs IDM_RENAME, IDM_DELETE, IDM_MOVE_UP or IDM_MOVE_DOWN on the selected image.
void runEditCommand(AppState& state, int id);

// The list's own keys: Delete and F2 run their commands; true when the key
// was one of them.
bool handleImageListKey(AppState& state, const MSG& message);

}  // namespace ferrovel
