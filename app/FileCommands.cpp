#include "app/FileCommands.h"

#include <windows.h>

#include <commdlg.h>

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

constexpr char kDatabaseFilter[] = "PalmOS Databases (*.pdb)\0*.pdb\0All Files (*.*)\0*.*\0";
constexpr DWORD kPathValueBytes = 512;

// The file field of the common dialogs: 260 characters with the terminator.
struct FileField {
    std::vector<char> text = std::vector<char>(kMaxFileFieldChars + 1, '\0');
    explicit FileField(const std::string& start) { start.copy(text.data(), kMaxFileFieldChars); }
    std::string value() const { return std::string(text.data()); }
};

OPENFILENAMEA databaseDialog(HWND owner, FileField& field, const char* title) {
    return fileDialogFields(owner, kDatabaseFilter, field.text, title, "pdb");
}

std::optional<std::string> readPathValue(const char* company, const char* product) {
    char path[300];
    std::snprintf(path, sizeof path, "%s\\%s\\%s\\%s\\%s", "Software", company, product, "Core",
                  "Path");
    std::vector<char> folder(kPathValueBytes, '\0');
    if (readRegistryValue(path, folder.data(), kPathValueBytes - 1) != 0) return std::nullopt;
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
    FileField field(state.newDatabaseName);
    OPENFILENAMEA dialog = databaseDialog(state.mainWindow, field, "Create New Database");
    if (!GetSaveFileNameA(&dialog)) return -1;
    state.newDatabaseName = field.value();
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
    FileField field(start);
    OPENFILENAMEA dialog = databaseDialog(state.mainWindow, field, "Load Database");
    if (!GetOpenFileNameA(&dialog)) return -1;
    openDatabasePath(state, field.value());
    return 0;
}

}  // namespace ferrovel
