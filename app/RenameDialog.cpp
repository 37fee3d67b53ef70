#include "app/RenameDialog.h"

#include "app/resource.h"
#include "database/Append.h"
#include "database/TextEncoding.h"
#include "platform/WinUtil.h"

namespace ferrovel {
namespace {

INT_PTR CALLBACK renameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* data = reinterpret_cast<RenameDialogData*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
        data = reinterpret_cast<RenameDialogData*>(lParam);
        setDialogItemText(dialog, IDC_RENAME_NAME, handheldToUtf8(data->name));
        SendDlgItemMessageW(dialog, IDC_RENAME_NAME, EM_SETSEL, 0, -1);
        return TRUE;
    }
    if (message != WM_COMMAND || !data) return FALSE;
    if (LOWORD(wParam) == IDOK) {
        // As the Import Image dialog's name box: the limit counts stored bytes.
        data->name =
            utf8ToHandheld(dialogItemText(dialog, IDC_RENAME_NAME)).substr(0, kMaxImageNameChars);
        EndDialog(dialog, IDOK);
    } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
    }
    return TRUE;
}

}  // namespace

bool showRenameDialog(HINSTANCE instance, HWND owner, RenameDialogData& data) {
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_RENAME), owner, renameProc,
                           reinterpret_cast<LPARAM>(&data)) == IDOK;
}

}  // namespace ferrovel
