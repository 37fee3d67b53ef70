#include "app/EditCommands.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "app/DatabaseView.h"
#include "app/Import.h"
#include "app/RenameDialog.h"
#include "app/ViewText.h"
#include "app/resource.h"
#include "database/Append.h"
#include "database/ImageEdit.h"
#include "database/TextEncoding.h"
#include "platform/WinUtil.h"

namespace ferrovel {
namespace {

constexpr const char* kDeleteCaption = "Delete Image";

LRESULT listMessage(const AppState& state, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendDlgItemMessageW(state.mainWindow, IDC_IMAGE_LIST, message, wParam, lParam);
}

std::int16_t selectedEntry(const AppState& state) {
    return static_cast<std::int16_t>(listMessage(state, LB_GETCURSEL));
}

std::int16_t entryCount(const AppState& state) {
    return static_cast<std::int16_t>(listMessage(state, LB_GETCOUNT));
}

// The list entry's text: the image's name as the user reads it, in UTF-8.
std::string entryText(const AppState& state, std::int16_t index) {
    const LRESULT length = listMessage(state, LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length <= 0) return std::string();
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    listMessage(state, LB_GETTEXT, static_cast<WPARAM>(index),
                reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return toUtf8(text);
}

// Reloads the view from the file and selects entry index, or the last one
// when the list has become shorter.
void showEntry(AppState& state, std::int16_t index) {
    refreshDatabaseView(state, state.currentDatabasePath, kReload);
    const std::int16_t count = entryCount(state);
    if (count == 0) return;
    listMessage(state, LB_SETCURSEL, static_cast<WPARAM>(std::min<int>(index, count - 1)));
    refreshDatabaseView(state, state.currentDatabasePath, kRedraw);
}

const char* editStatusMessage(std::int16_t status) {
    switch (status) {
        case kEditNoSuchImage:
            return "The image is no longer in the database.";
        case kEditLabelOutsideRecord:
            return "Could not rename the image: one of its labels lies outside its record.";
        case kAppendWorkFileUnreadable:
        case kAppendDatabaseUnwritable:
        case kAppendNotImageDatabase:
            return importStatusMessage(status);
        default:
            return "Could not change the database.";
    }
}

// Tells the user how the rewrite went and shows the file as it now is, also
// after a failure: another program may have changed it meanwhile.
void finishEdit(AppState& state, std::int16_t status, const RewriteReport& report,
                std::int16_t selectAfter) {
    if (report.restoredFromWork) {
        showMessage(restoredFromWorkText(workFilePath(state.currentDatabasePath)), kMessageCaption);
    }
    if (status != 0) {
        showMessage(editStatusMessage(status), kMessageCaption, MB_OK | MB_ICONEXCLAMATION);
    }
    showEntry(state, selectAfter);
}

void deleteEntry(AppState& state, std::int16_t index) {
    const std::string question =
        "Delete the image \"" + entryText(state, index) + "\" from the database?";
    if (showMessage(question, kDeleteCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    RewriteReport report;
    const std::int16_t status = deleteImages(state.currentDatabasePath, {index}, &report);
    // The next image takes the deleted one's index.
    finishEdit(state, status, report, index);
}

void renameEntry(AppState& state, std::int16_t index) {
    RenameDialogData data{utf8ToHandheld(entryText(state, index))};
    if (!showRenameDialog(state.instance, state.mainWindow, data)) return;
    RewriteReport report;
    const std::int16_t status = renameImage(state.currentDatabasePath, index, data.name, &report);
    finishEdit(state, status, report, index);
}

void moveEntry(AppState& state, std::int16_t index, int step) {
    const int to = index + step;
    if (to < 0 || to >= entryCount(state)) return;
    RewriteReport report;
    const std::int16_t status =
        moveImage(state.currentDatabasePath, index, static_cast<std::int16_t>(to), &report);
    finishEdit(state, status, report, status == 0 ? static_cast<std::int16_t>(to) : index);
}

// Where a menu asked for from the keyboard opens: under the selected entry.
POINT belowSelection(const AppState& state) {
    HWND list = GetDlgItem(state.mainWindow, IDC_IMAGE_LIST);
    RECT item{};
    if (listMessage(state, LB_GETITEMRECT,
                    static_cast<WPARAM>(std::max<int>(selectedEntry(state), 0)),
                    reinterpret_cast<LPARAM>(&item)) == LB_ERR) {
        GetClientRect(list, &item);
        item.bottom = item.top;
    }
    POINT at{item.left, item.bottom};
    ClientToScreen(list, &at);
    return at;
}

// A right click selects the entry under the pointer, as a left click would.
void selectEntryAt(AppState& state, POINT screenPoint) {
    HWND list = GetDlgItem(state.mainWindow, IDC_IMAGE_LIST);
    POINT client = screenPoint;
    ScreenToClient(list, &client);
    const LRESULT hit = listMessage(state, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
    if (HIWORD(hit) != 0 || LOWORD(hit) == selectedEntry(state)) return;
    listMessage(state, LB_SETCURSEL, LOWORD(hit));
    refreshDatabaseView(state, state.currentDatabasePath, kRedraw);
}

}  // namespace

void showImageMenu(AppState& state, LPARAM screenPoint) {
    POINT at{GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
    if (at.x == -1 && at.y == -1) {
        at = belowSelection(state);
    } else {
        selectEntryAt(state, at);
    }
    const std::int16_t selected = selectedEntry(state);
    const std::int16_t count = entryCount(state);
    auto enabled = [](bool on) { return static_cast<UINT>(on ? MF_ENABLED : MF_GRAYED); };
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING | enabled(selected >= 0), IDM_RENAME, L"Rename...");
    AppendMenuW(menu, MF_STRING | enabled(selected >= 0), IDM_DELETE, L"Delete");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | enabled(selected > 0), IDM_MOVE_UP, L"Move Up");
    AppendMenuW(menu, MF_STRING | enabled(selected >= 0 && selected + 1 < count), IDM_MOVE_DOWN,
                L"Move Down");
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0,
                   state.mainWindow, nullptr);
    DestroyMenu(menu);
}

void runEditCommand(AppState& state, int id) {
    const std::int16_t index = selectedEntry(state);
    if (state.currentDatabasePath.empty() || index < 0)
        return void(showMessage(kNeedsImages, kMessageCaption));
    switch (id) {
        case IDM_RENAME:
            renameEntry(state, index);
            break;
        case IDM_DELETE:
            deleteEntry(state, index);
            break;
        case IDM_MOVE_UP:
            moveEntry(state, index, -1);
            break;
        case IDM_MOVE_DOWN:
            moveEntry(state, index, +1);
            break;
        default:
            break;
    }
}

bool handleImageListKey(AppState& state, const MSG& message) {
    if (message.message != WM_KEYDOWN ||
        message.hwnd != GetDlgItem(state.mainWindow, IDC_IMAGE_LIST)) {
        return false;
    }
    if (message.wParam == VK_DELETE) {
        runEditCommand(state, IDM_DELETE);
    } else if (message.wParam == VK_F2) {
        runEditCommand(state, IDM_RENAME);
    } else {
        return false;
    }
    return true;
}

}  // namespace ferrovel
