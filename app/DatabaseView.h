// The database view of the main window: the image list, the two details
// boxes and the preview, all brought up to date from the file at once.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/AppState.h"

namespace ferrovel {

enum RefreshMode : int {
    kRedraw = 0,      // after a paint of the preview or a list selection change
    kReload = 1,      // after Load, New, import or paste: the list is refilled
    kSelectLast = 3,  // after import or paste, right after kReload
};

// 0 when the path named a valid image database that was opened, else -1.
std::int16_t refreshDatabaseView(AppState& state, const std::string& path, int mode);

// Draws image index with its top-left corner at (left, top), scaled to fit
// width x height with its aspect kept, no pixel at or beyond the limits.
// Returns 0; an image that cannot be composed draws nothing.
std::int16_t drawImageFitted(std::FILE* database, std::int16_t index, HDC dc, int left, int top,
                             int width, int height, int rightLimit, int bottomLimit);

// The preview frame's rectangle in the main window, 4 pixels in on each side.
RECT previewRect(HWND mainWindow);

}  // namespace ferrovel
