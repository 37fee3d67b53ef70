// The Copy and Paste commands of the main window: the selected image to the
// clipboard as a device-independent bitmap (CF_DIB) and as "PNG", and the
// clipboard's picture ("PNG" first, else CF_DIB) into the database. Neither
// converts pixels itself: both go through the work files "ClipboardImage.BMP"
// and "ClipboardImage.PNG" and the export and import flows.
#pragma once

#include "app/AppState.h"

namespace ferrovel {

// Exports the selected image to the work files and hands the bitmap, less its
// 14-byte file header, and the PNG to the clipboard. Failures after the
// bitmap's export are silent.
void copyToClipboard(AppState& state);

// Writes the clipboard's PNG, or its bitmap behind a file header, into a work
// file and imports it through the Import Image dialog. The clipboard stays
// open, its block locked, until the import has ended.
void pasteFromClipboard(AppState& state);

}  // namespace ferrovel
