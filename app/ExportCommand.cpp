#include "app/ExportCommand.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "app/Export.h"
#include "app/resource.h"
#include "database/TextEncoding.h"
#include "platform/WinUtil.h"

namespace ferrovel {
namespace {

// The save dialog's filters; the second one writes PNG files.
constexpr wchar_t kExportFilter[] =
    L"Windows Bitmaps (*.bmp)\0*.bmp\0PNG Images (*.png)\0*.png\0All Files (*.*)\0*.*\0";
constexpr DWORD kPngFilterIndex = 2;
constexpr std::size_t kFileFieldChars = MAX_PATH;

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

// Asks for the file name and the format: the one the name ends in, else the
// chosen filter's (the dialog adds the filter's ending to a bare name).
// False when cancelled.
bool askExportFileName(AppState& state, ExportFormat& format) {
    std::vector<wchar_t> field(kFileFieldChars, L'\0');
    const std::wstring start = toWide(state.exportFileName);
    std::copy_n(start.begin(), std::min(start.size(), kFileFieldChars - 1), field.begin());
    const std::wstring title = toWide(exportSaveTitle(state.exportMode));
    OPENFILENAMEW dialog =
        fileDialogFields(state.mainWindow, kExportFilter, field, title.c_str(), L"bmp");
    if (!GetSaveFileNameW(&dialog)) return false;
    state.exportFileName = toUtf8(field.data());
    const bool pngFilter = dialog.nFilterIndex == kPngFilterIndex;
    format =
        exportFormatOfPath(state.exportFileName, pngFilter ? ExportFormat::Png : ExportFormat::Bmp);
    return true;
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
    ExportFormat format = ExportFormat::Bmp;
    if (!askExportFileName(state, format)) return;
    SetCursor(state.waitCursor);
    ExportHooks hooks;
    hooks.context = &state;
    hooks.showOutputPath = showTitle;
    hooks.showMessage = showExportMessage;
    const ExportRequest request{state.currentDatabasePath, state.exportFileName,
                                state.exportMode,          static_cast<std::int16_t>(entries),
                                state.selectedImage,       format};
    exportImages(request, hooks);
    SetCursor(state.arrowCursor);
    setWindowText(state.mainWindow, kAppTitle);
}

}  // namespace ferrovel
