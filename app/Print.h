// Printing the selected image: one page, top-left of the printable area, 75
// image pixels to the inch on each axis, while the Printing Image dialog
// shows the progress line by line and offers Cancel.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/AppState.h"

namespace ferrovel {

inline constexpr const char* kPrintingTitle = "Printing Image...";
inline constexpr std::int32_t kImagePixelsPerInch = 75;

// Where one print job stands.
struct PrintJob {
    HDC printer = nullptr;
    std::string databasePath;
    std::int16_t imageIndex = 0;
    bool cancelRequested = false;
    bool dialogEnding = false;
    std::int32_t currentLine = 0;
    std::int32_t printWidth = 0;
    std::int32_t printHeight = 0;
    std::int32_t pageWidth = 0;
    std::int32_t pageHeight = 0;
};

// Asks for a printer and prints: -1 when the print dialog was dismissed, else 0.
std::int16_t printCommand(AppState& state);

// "Printing line %ld/%ld (%ld %%)": the line, the lines to print, the percentage.
std::string printProgressText(const PrintJob& job);

// The printed size of a width x height image at dpiX x dpiY printer pixels an inch.
void printedSize(std::int32_t width, std::int32_t height, std::int32_t dpiX, std::int32_t dpiY,
                 std::int32_t& printWidth, std::int32_t& printHeight);

}  // namespace ferrovel
