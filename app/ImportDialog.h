// The Import Image dialog: name, format, size, options and adjustments of one
// picture on its way into the database, with a preview of the result.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "interchange/BgrImage.h"

namespace ferrovel {

// What the dialog hands back; it outlives the dialog, and the import flow
// reads it after the dialog has ended.
struct ImportOptions {
    std::int16_t targetWidth = 0;  // 0 after Cancel
    std::int16_t targetHeight = 0;
    std::int16_t formatBits = 1;
    std::int16_t dither = 1;
    std::int16_t contrast = 0;
    std::int16_t brightness = 0;
    std::string name;  // as stored: the handheld's character set, at most 255 bytes
    std::int16_t sizePreset = 0;
    std::int16_t keepProportions = 1;
    std::int16_t importAll = 0;
};

struct ImportDialogInput {
    const BgrImage* picture = nullptr;
    std::string proposedName;
    bool severalFiles = false;
};

struct AppState;

// Runs the dialog modally, owned by the main window; its results land in options.
void showImportDialog(const AppState& state, const ImportDialogInput& input,
                      ImportOptions& options);

}  // namespace ferrovel
