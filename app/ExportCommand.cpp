#include "app/ExportCommand.h"

#include <windows.h>

#include "app/Export.h"
#include "app/resource.h"
#include "platform/WinUtil.h"

namespace ferrovel {
namespace {

INT_PTR CALLBACK exportModeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
            return TRUE;
        case WM_CLOSE:
            // The close command keeps the mode of the previous export.
            EndDialog(dialog, 0);
            return TRUE;
        case WM_COMMAND: {
            auto* mode = reinterpret_cast<std::int16_t*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
            switch (LOWORD(wParam)) {
                case IDC_EXPORT_SINGLE:
                    *mode = kExportSelected;
                    break;
                case IDC_EXPORT_NUMBERED:
                    *mode = kExportNumbered;
                    break;
                case IDC_EXPORT_NAMED:
                    *mode = kExportByName;
                    break;
                case IDC_EXPORT_CANCEL:
                    *mode = kExportCancelled;
                    break;
                default:
                    return TRUE;  // Escape among them: ignored
            }
            EndDialog(dialog, 0);
            return TRUE;
        }
        default:
            return FALSE;
    }
}

void showTitle(void* context, const std::string& path) {
    setWindowText(static_cast<AppState*>(context)->mainWindow, path);
}

void showExportMessage(void*, const char* text) {
    showMessage(text, kExportCaption);
}

// Asks for the file name; false when cancelled.
bool askExportFileName(AppState& state) {
    const std::optional<std::string> chosen =
        chooseFile(state.mainWindow, FileDialog::Save, kBitmapFilter,
                   exportSaveTitle(state.exportMode), L"bmp", state.exportFileName);
    if (chosen) state.exportFileName = *chosen;
    return chosen.has_value();
}

}  // namespace

const char* exportSaveTitle(std::int16_t mode) {
    if (mode == kExportByName) return "Save images without labels as the base filename...";
    if (mode == kExportNumbered) return "Save images starting with the base filename...";
    return "Save current image as...";
}

void showExportModeDialog(AppState& state) {
    DialogBoxParamW(state.instance, MAKEINTRESOURCEW(IDD_EXPORT), state.mainWindow, exportModeProc,
                    reinterpret_cast<LPARAM>(&state.exportMode));
}

void exportCommand(AppState& state) {
    const LRESULT entries =
        SendDlgItemMessageW(state.mainWindow, IDC_IMAGE_LIST, LB_GETCOUNT, 0, 0);
    if (state.currentDatabasePath.empty() || entries <= 0) {
        showMessage(kNeedsImages, kMessageCaption);
        return;
    }
    showExportModeDialog(state);
    if (state.exportMode < 0) return;
    if (!askExportFileName(state)) return;
    SetCursor(state.waitCursor);
    ExportHooks hooks;
    hooks.context = &state;
    hooks.showOutputPath = showTitle;
    hooks.showMessage = showExportMessage;
    const ExportRequest request{state.currentDatabasePath, state.exportFileName, state.exportMode,
                                static_cast<std::int16_t>(entries), state.selectedImage};
    exportImages(request, hooks);
    SetCursor(state.arrowCursor);
    setWindowText(state.mainWindow, kAppTitle);
}

}  // namespace ferrovel
