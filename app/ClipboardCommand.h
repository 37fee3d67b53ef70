// The Copy and Paste commands of the main window: the selected image to the
// clipboard as a device-independent bitmap (CF_DIB) and as "PNG", and the
// clipboard's picture ("PNG" first, else CF_DIB) into the database. Neither
// converts pixels itself: both go through the work files "ClipboardImage.BMP"
// and "ClipboardImage.PNG" and the export and import flows.
#pragma once

#include <cstdint>
#include <span>

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

// The picture blocks the clipboard and a drop offer: a whole PNG file, or a
// device-independent bitmap without its file header.
enum class PictureBlock { Png, Dib };

// Imports a block as Paste does, through its work file and the Import Image
// dialog: false, and nothing done, when a bitmap block is too short for its
// own header.
bool importPictureBlock(AppState& state, std::span<const std::uint8_t> block, PictureBlock kind);

}  // namespace ferrovel
