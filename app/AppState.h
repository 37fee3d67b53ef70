// The window program's state: one instance for the process, owned by the
// main window and read by the commands.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/Export.h"
#include "app/ImportDialog.h"

namespace ferrovel {

inline constexpr const char* kAppTitle = "Ferrovel Image Manager";
inline constexpr const char* kMessageCaption = "Message";
// The guards of the commands that need a database, or one with images.
inline constexpr const char* kNeedsDatabase =
    "Please create or load a Brushwick-format database file before choosing this operation.";
inline constexpr const char* kNeedsImages =
    "Please create or load a non-empty Brushwick-format database file and select an\n"
    "image before choosing this operation.";
inline constexpr std::size_t kMaxDatabasePathChars = 511;  // the path buffer holds 512 bytes

struct AppState {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    HCURSOR waitCursor = nullptr;
    HCURSOR arrowCursor = nullptr;
    std::string currentDatabasePath;  // empty until New or Load
    std::int16_t selectedImage = 0;
    std::string newDatabaseName;                // the New dialog's field, kept between uses
    std::int16_t exportMode = kExportSelected;  // kept for the whole run
    std::string exportFileName = "Default";     // the save dialog's field, kept between uses
    ImportOptions importOptions;                // the Import Image dialog's results
};

}  // namespace ferrovel
