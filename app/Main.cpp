// The window program's entry point: the main window, an optional database
// to open at start, and the message loop.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "app/AppState.h"
#include "app/FileCommands.h"
#include "app/MainWindow.h"
#include "app/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    static ferrovel::AppState state;
    state.waitCursor = LoadCursorA(nullptr, IDC_WAIT);
    state.arrowCursor = LoadCursorA(nullptr, IDC_ARROW);
    state.instance = instance;
    if (!ferrovel::createMainWindow(state, showCommand)) return 0;
    // One optional argument: a database to open as Load opens a chosen file.
    if (__argc > 1) {
        ferrovel::openDatabasePath(state, __argv[1]);
        SetDlgItemTextA(state.mainWindow, IDC_DATABASE_PATH, state.currentDatabasePath.c_str());
    }
    ferrovel::runMessageLoop(state);
    return 0;
}
