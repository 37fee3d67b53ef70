// The Rename Image dialog: one name box, filled with the image's name.
#pragma once

#include <windows.h>

#include <string>

namespace ferrovel {

struct RenameDialogData {
    std::string name;  // in and out: as stored, the handheld's character set, at most 255 bytes
};

// Runs the dialog modally over owner: true when the user pressed OK, and
// then data.name holds the new name.
bool showRenameDialog(HINSTANCE instance, HWND owner, RenameDialogData& data);

}  // namespace ferrovel
