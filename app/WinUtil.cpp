#include "app/WinUtil.h"

#include <vector>

namespace ferrovel {

std::string windowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    if (length <= 0) return std::string();
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    const int got = GetWindowTextA(window, text.data(), length + 1);
    return std::string(text.data(), static_cast<std::size_t>(got > 0 ? got : 0));
}

std::string dialogItemText(HWND dialog, int id) {
    return windowText(GetDlgItem(dialog, id));
}

int showMessage(const char* text, const char* caption, UINT style) {
    return MessageBoxA(nullptr, text, caption, style);
}

OPENFILENAMEA fileDialogFields(HWND owner, const char* filter, std::vector<char>& field,
                               const char* title, const char* defaultExtension) {
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = field.data();
    dialog.nMaxFile = static_cast<DWORD>(field.size());
    dialog.lpstrTitle = title;
    dialog.lpstrDefExt = defaultExtension;
    return dialog;
}

RECT childRect(HWND parent, int id) {
    RECT rect{};
    HWND child = GetDlgItem(parent, id);
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace ferrovel
