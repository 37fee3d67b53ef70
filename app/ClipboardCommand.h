// The Copy and Paste commands of the main window: the selected image to the
// clipboard as a device-independent bitmap (CF_DIB), and the clipboard's
// bitmap into the database. Neither converts pixels itself: both go through
// the work file "ClipboardImage.BMP" and the export and import flows.
#pragma once

#include "app/AppState.h"

namespace ferrovel {

// Exports the selected image to the work file and hands the file, less its
// 14-byte file header, to the clipboard. Failures after the export are silent.
void copyToClipboard(AppState& state);

// Writes the clipboard's bitmap behind a file header into the work file and
// imports it through the Import Image dialog. The clipboard stays open, its
// block locked, until the import has ended.
void pasteFromClipboard(AppState& state);

}  // namespace ferrovel
