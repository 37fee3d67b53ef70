#include "app/InstallCommand.h"

#include <windows.h>

#include <array>
#include <cstdio>
#include <string>

#include "app/resource.h"
#include "database/FileOpen.h"
#include "database/FileReplace.h"
#include "install/PalmDesktop.h"
#include "install/UserList.h"
#include "platform/WinUtil.h"

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

// Left-over copies of installs that died are skipped, up to this many.
constexpr int kCopyNameAttempts = 100;
constexpr std::size_t kCopyBlockBytes = 64 * 1024;

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

// The copy is written under a name of its own beside the destination, so
// that the final rename stays inside one folder. A name that is taken is
// never reused: it may be the user's file or another install under way.
std::FILE* createInstallCopy(const std::string& destination, std::string& copyPath) {
    for (int attempt = 0; attempt < kCopyNameAttempts; ++attempt) {
        copyPath = destination + ".install" + std::to_string(attempt) + ".tmp";
        if (std::FILE* copy = createNewFile(copyPath)) return copy;
        if (!fileExists(copyPath)) return nullptr;  // not taken: the folder refuses it
    }
    return nullptr;
}

bool copyBytes(std::FILE* from, std::FILE* to) {
    std::array<char, kCopyBlockBytes> block;
    std::size_t got;
    while ((got = std::fread(block.data(), 1, block.size(), from)) > 0) {
        if (std::fwrite(block.data(), 1, got, to) != got) return false;
    }
    return std::ferror(from) == 0;
}

// Fills the new copy with the database and closes it; true when every byte
// is on stable storage.
bool writeCopy(const std::string& source, std::FILE* copy) {
    std::FILE* from = openFile(source, "rb");
    const bool copied = from && copyBytes(from, copy) && flushToDisk(copy);
    if (from) std::fclose(from);
    return std::fclose(copy) == 0 && copied;
}

// Puts a copy of the database at the destination in one step, so that a
// failure anywhere leaves the destination as it was. A database that is the
// destination itself (the installed copy, opened and installed again) is
// left as it is: it already holds every byte.
bool installDatabase(const std::string& source, const std::string& destination) {
    if (sameFile(source, destination)) return true;
    std::string copyPath;
    std::FILE* copy = createInstallCopy(destination, copyPath);
    if (!copy) return false;
    if (writeCopy(source, copy) && replaceFile(copyPath, destination)) return true;
    removeFile(copyPath);
    return false;
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
    if (!installDatabase(state.currentDatabasePath, destination))
        return void(showMessage(kCopyFailed, kInstallCaption));
    markUserForInstall(desktop, userName);  // without a mark the copy still stands
    showMessage(kInstalled, kInstallCaption);
}

}  // namespace ferrovel
