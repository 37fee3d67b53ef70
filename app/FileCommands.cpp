#include "app/FileCommands.h"

#include <windows.h>

#include <cstdio>
#include <optional>
#include <vector>

#include "app/DatabaseView.h"
#include "app/Registry.h"
#include "app/RegistryPath.h"
#include "app/ViewText.h"
#include "app/WinUtil.h"
#include "database/Container.h"

namespace ferrovel {
namespace {

constexpr wchar_t kDatabaseFilter[] = L"PalmOS Databases (*.pdb)\0*.pdb\0All Files (*.*)\0*.*\0";
constexpr DWORD kPathValueBytes = 512;

std::optional<std::string> chooseDatabase(HWND owner, FileDialog kind, std::string_view title,
                                          const std::string& start) {
    return chooseFile(owner, kind, kDatabaseFilter, title, L"pdb", start);
}

// The value is read with its full 512 bytes; the text ends at the stored
// terminator, or after all 512 bytes when there is none.
std::optional<std::string> readPathValue(const char* company, const char* product) {
    char path[300];
    std::snprintf(path, sizeof path, "%s\\%s\\%s\\%s\\%s", "Software", company, product, "Core",
                  "Path");
    std::vector<char> folder(kPathValueBytes + 1, '\0');
    if (readRegistryValue(path, folder.data(), kPathValueBytes) != 0) return std::nullopt;
    return std::string(folder.data());
}

}  // namespace

std::optional<std::string> palmDesktopFolder() {
    if (auto folder = readPathValue("U.S. Robotics", "Pilot Desktop")) return folder;
    return readPathValue("3Com", "Palm Desktop");
}

void openDatabasePath(AppState& state, const std::string& path) {
    // A path cut to fit would name another file: a longer one is not opened.
    if (path.size() > kMaxDatabasePathChars) {
        showMessage(kErrorOpeningDatabase, kFileIoErrorCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    state.currentDatabasePath = path;
    refreshDatabaseView(state, state.currentDatabasePath, kReload);
}

std::int16_t newDatabaseCommand(AppState& state) {
    const std::optional<std::string> chosen = chooseDatabase(
        state.mainWindow, FileDialog::Save, "Create New Database", state.newDatabaseName);
    if (!chosen) return -1;
    state.newDatabaseName = *chosen;
    if (createEmptyDatabase(state.newDatabaseName) != 0) {
        showMessage("Error creating database file.", "File I/O Error", MB_OK | MB_ICONEXCLAMATION);
        return -1;
    }
    openDatabasePath(state, state.newDatabaseName);
    return 0;
}

std::int16_t loadDatabaseCommand(AppState& state) {
    const std::string start =
        loadStartText(state.currentDatabasePath,
                      state.currentDatabasePath.empty() ? palmDesktopFolder() : std::nullopt);
    const std::optional<std::string> chosen =
        chooseDatabase(state.mainWindow, FileDialog::Open, "Load Database", start);
    if (!chosen) return -1;
    openDatabasePath(state, *chosen);
    return 0;
}

}  // namespace ferrovel
