#include "app/FileCommands.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "app/DatabaseView.h"
#include "app/LoadStart.h"
#include "app/ViewText.h"
#include "database/Container.h"
#include "install/PalmDesktop.h"
#include "platform/WinUtil.h"

namespace ferrovel {
namespace {

constexpr wchar_t kDatabaseFilter[] = L"PalmOS Databases (*.pdb)\0*.pdb\0All Files (*.*)\0*.*\0";

std::optional<std::string> chooseDatabase(HWND owner, FileDialog kind, std::string_view title,
                                          const std::string& start) {
    return chooseFile(owner, kind, kDatabaseFilter, title, L"pdb", start);
}

}  // namespace

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
