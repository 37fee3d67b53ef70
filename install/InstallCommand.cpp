#include "install/InstallCommand.h"

#include <windows.h>

#include "app/WinUtil.h"
#include "app/resource.h"
#include "install/PalmDesktop.h"
#include "install/UserList.h"

namespace ferrovel {
namespace {

constexpr const char* kNoPalmDesktop =
    "Cannot locate a valid Palm installation folder or user list on this PC.\n"
    "Please use the PalmOS install tool instead to install this image database.";
constexpr const char* kInstalled =
    "Installation sucessful.  HotSync to complete transfer of the image database.";
constexpr const char* kCopyFailed =
    "Could not copy source file to destination install folder.\n"
    "Please use the PalmOS install tool instead to install this image database.";

UserChooserData* chooserDataOf(HWND dialog) {
    return reinterpret_cast<UserChooserData*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
}

void fillUserList(HWND dialog, const UserChooserData& data) {
    HWND list = GetDlgItem(dialog, IDC_USER_LIST);
    for (std::size_t i = 0; i < data.userNames.size(); ++i) {
        SendMessageA(list, LB_INSERTSTRING, i, reinterpret_cast<LPARAM>(data.userNames[i].c_str()));
    }
    SendMessageA(list, LB_SETCURSEL, 0, 0);
}

void endChooser(HWND dialog, std::int16_t chosen) {
    if (UserChooserData* data = chooserDataOf(dialog)) data->chosenUser = chosen;
    EndDialog(dialog, 0);
}

INT_PTR CALLBACK userChooserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
            fillUserList(dialog, *reinterpret_cast<UserChooserData*>(lParam));
            return TRUE;
        case WM_CLOSE:
            endChooser(dialog, -1);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_USER_OK) {
                // LB_ERR, -1, when the list is empty and nothing is selected.
                const LRESULT selected =
                    SendDlgItemMessageA(dialog, IDC_USER_LIST, LB_GETCURSEL, 0, 0);
                endChooser(dialog, static_cast<std::int16_t>(selected));
            } else if (LOWORD(wParam) == IDC_USER_CANCEL) {
                endChooser(dialog, -1);
            }
            return TRUE;  // Escape, IDCANCEL, is ignored
        default:
            return FALSE;
    }
}

// Replaces whatever is at the destination with the database.
bool copyDatabase(const std::string& source, const std::string& destination) {
    DeleteFileA(destination.c_str());  // a failure is ignored: the copy overwrites
    return CopyFileA(source.c_str(), destination.c_str(), FALSE) != 0;
}

}  // namespace

void showUserChooser(const AppState& state, UserChooserData& data) {
    data.chosenUser = -1;
    DialogBoxParamA(state.instance, MAKEINTRESOURCEA(IDD_CHOOSE_USER), state.mainWindow,
                    userChooserProc, reinterpret_cast<LPARAM>(&data));
}

void installCommand(const AppState& state) {
    PalmDesktop desktop;
    if (locatePalmUsers(desktop) != 0) return void(showMessage(kNoPalmDesktop, kInstallCaption));
    UserChooserData chooser;
    for (const PalmUser& user : desktop.users) chooser.userNames.push_back(user.userName);
    showUserChooser(state, chooser);
    if (chooser.chosenUser < 0 ||
        static_cast<std::size_t>(chooser.chosenUser) >= desktop.users.size())
        return;
    const std::string& userName =
        desktop.users[static_cast<std::size_t>(chooser.chosenUser)].userName;
    const std::string destination =
        buildInstallTarget(desktop.users, userName, databaseBaseName(state.currentDatabasePath));
    if (!copyDatabase(state.currentDatabasePath, destination))
        return void(showMessage(kCopyFailed, kInstallCaption));
    markUserForInstall(desktop, userName);  // without a mark the copy still stands
    showMessage(kInstalled, kInstallCaption);
}

}  // namespace ferrovel
