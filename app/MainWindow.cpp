#include "app/MainWindow.h"

#include "FerrovelVersion.h"
#include "app/ClipboardCommand.h"
#include "app/DatabaseView.h"
#include "app/DropTarget.h"
#include "app/EditCommands.h"
#include "app/ExportCommand.h"
#include "app/FileCommands.h"
#include "app/ImportCommand.h"
#include "app/InstallCommand.h"
#include "app/Print.h"
#include "app/resource.h"
#include "platform/WinUtil.h"

namespace ferrovel {
namespace {

constexpr const char* kHelpCaption = "Ferrovel Image Manager Help";
constexpr const char* kHelpText =
    "Use this utility to view add, print, or export images from a Brushwick-format\n"
    "image database.\n"
    "\n"
    "First, create a Brushwick image database file or locate an existing one\n"
    "containing images you wish to view.  If the file was made in RAM, you can\n"
    "find its HotSync backup in 'backup' folder within your user folder in the\n"
    "Palm software install folder.  Note that all PalmOS-format databases have a\n"
    ".PDB extension, but only image databases created in Brushwick-format will work.\n"
    "\n"
    "Once created or located, you can add images to the database or export them\n"
    "to the desktop.  Once changes are made, however, you must still use the\n"
    "Palm Install Tool to mark these files for transfer back to the handheld.\n";

constexpr const char* kAboutCaption = "About Ferrovel Image Manager";
constexpr const char* kAboutText =
    "Ferrovel Image Manager " FERROVEL_VERSION
    "\n"
    "\n"
    "Views, imports, exports, prints and installs the image databases of\n"
    "Brushwick for Palm OS handhelds.\n"
    "\n"
    "Ferrovel Software\n"
    "support@ferrovel.example";

AppState* stateOf(HWND window) {
    return reinterpret_cast<AppState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool hasImages(const AppState& state) {
    return !state.currentDatabasePath.empty() &&
           SendDlgItemMessageW(state.mainWindow, IDC_IMAGE_LIST, LB_GETCOUNT, 0, 0) > 0;
}

void showDatabasePath(const AppState& state) {
    setDialogItemText(state.mainWindow, IDC_DATABASE_PATH, state.currentDatabasePath);
}

void runCommand(AppState& state, int id, int notification) {
    switch (id) {
        case IDC_LOAD:
            if (loadDatabaseCommand(state) == 0) showDatabasePath(state);
            break;
        case IDC_NEW:
            if (newDatabaseCommand(state) == 0) showDatabasePath(state);
            break;
        case IDC_IMPORT:
            importCommand(state);
            break;
        case IDC_EXPORT:
            exportCommand(state);
            break;
        case IDC_COPY:
            copyToClipboard(state);
            break;
        case IDC_PASTE:
            pasteFromClipboard(state);
            break;
        case IDC_PRINT:
            if (!hasImages(state)) return void(showMessage(kNeedsImages, kMessageCaption));
            printCommand(state);
            setWindowText(state.mainWindow, kAppTitle);
            break;
        case IDC_INSTALL:
            if (!hasImages(state)) return void(showMessage(kNeedsImages, kMessageCaption));
            installCommand(state);
            break;
        case IDC_HELP_BUTTON:
            showMessage(kHelpText, kHelpCaption);
            break;
        case IDC_ABOUT:
            showMessage(kAboutText, kAboutCaption);
            break;
        case IDC_IMAGE_LIST:
            if (notification == LBN_SELCHANGE) {
                refreshDatabaseView(state, state.currentDatabasePath, kRedraw);
            }
            break;
        case IDM_RENAME:
        case IDM_DELETE:
        case IDM_MOVE_UP:
        case IDM_MOVE_DOWN:
            runEditCommand(state, id);
            break;
        default:
            break;
    }
}

// Redraws the preview when the painted area touches its frame.
void paint(AppState& state) {
    PAINTSTRUCT paint;
    BeginPaint(state.mainWindow, &paint);
    const RECT frame = childRect(state.mainWindow, IDC_PREVIEW);
    const RECT& update = paint.rcPaint;
    if (update.left <= frame.right && update.right >= frame.left && update.bottom >= frame.top &&
        update.top <= frame.bottom) {
        refreshDatabaseView(state, state.currentDatabasePath, kRedraw);
    }
    EndPaint(state.mainWindow, &paint);
}

INT_PTR CALLBACK mainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* state = reinterpret_cast<AppState*>(lParam);
            state->mainWindow = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
            HICON icon = LoadIconW(state->instance, MAKEINTRESOURCEW(IDI_APP));
            SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
            SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
            acceptDrops(window);
            return TRUE;
        }
        case WM_CLOSE:
        case WM_DESTROY:
            PostQuitMessage(0);
            return TRUE;
        case WM_PAINT:
            if (AppState* state = stateOf(window)) paint(*state);
            return TRUE;
        case WM_COMMAND:
            if (AppState* state = stateOf(window))
                runCommand(*state, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_DROPFILES:
            if (AppState* state = stateOf(window))
                dropFiles(*state, reinterpret_cast<HDROP>(wParam));
            return TRUE;
        case kDroppedMessage:
            if (AppState* state = stateOf(window)) takeDropped(*state, lParam);
            return TRUE;
        case WM_CONTEXTMENU: {
            AppState* state = stateOf(window);
            if (!state || reinterpret_cast<HWND>(wParam) != GetDlgItem(window, IDC_IMAGE_LIST))
                return FALSE;
            showImageMenu(*state, lParam);
            return TRUE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

HWND createMainWindow(AppState& state, int showCommand) {
    HWND window = CreateDialogParamW(state.instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, mainProc,
                                     reinterpret_cast<LPARAM>(&state));
    if (window) ShowWindow(window, showCommand);
    return window;
}

int runMessageLoop(AppState& state) {
    MSG message;
    // Wide messages: a typed character reaches the controls as it was typed.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (handleImageListKey(state, message)) continue;
        if (IsDialogMessageW(state.mainWindow, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace ferrovel
