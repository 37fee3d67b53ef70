// The window program's entry point: the main window, an optional database
// to open at start, and the message loop.
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>

#include "app/AppState.h"
#include "app/DropTarget.h"
#include "app/FileCommands.h"
#include "app/MainWindow.h"
#include "app/resource.h"
#include "database/TextEncoding.h"
#include "platform/WinUtil.h"

namespace {

// The first argument, from the wide command line so that any file name
// arrives whole; empty when there is none.
std::string firstArgument() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::string first = arguments && count > 1 ? ferrovel::toUtf8(arguments[1]) : "";
    LocalFree(arguments);
    return first;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    // For the main window's drop target.
    OleInitialize(nullptr);
    static ferrovel::AppState state;
    state.waitCursor = LoadCursorA(nullptr, IDC_WAIT);
    state.arrowCursor = LoadCursorA(nullptr, IDC_ARROW);
    state.instance = instance;
    if (!ferrovel::createMainWindow(state, showCommand)) return 0;
    // One optional argument: a database to open as Load opens a chosen file.
    const std::string database = firstArgument();
    if (!database.empty()) {
        ferrovel::openDatabasePath(state, database);
        ferrovel::setDialogItemText(state.mainWindow, IDC_DATABASE_PATH, state.currentDatabasePath);
    }
    ferrovel::runMessageLoop(state);
    ferrovel::stopAcceptingDrops(state.mainWindow);
    OleUninitialize();
    return 0;
}
