#include "platform/WinUtil.h"

#include <algorithm>

#include "database/TextEncoding.h"

namespace ferrovel {
namespace {

// The file dialogs' field: 260 characters with the terminator.
constexpr std::size_t kFileFieldChars = 260;

}  // namespace

std::string windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return std::string();
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return toUtf8(text);
}

std::string dialogItemText(HWND dialog, int id) {
    return windowText(GetDlgItem(dialog, id));
}

void setWindowText(HWND window, std::string_view text) {
    SetWindowTextW(window, toWide(text).c_str());
}

void setDialogItemText(HWND dialog, int id, std::string_view text) {
    SetDlgItemTextW(dialog, id, toWide(text).c_str());
}

int showMessage(std::string_view text, std::string_view caption, UINT style) {
    return MessageBoxW(nullptr, toWide(text).c_str(), toWide(caption).c_str(), style);
}

OPENFILENAMEW fileDialogFields(HWND owner, const wchar_t* filter, std::vector<wchar_t>& field,
                               const wchar_t* title, const wchar_t* defaultExtension) {
    OPENFILENAMEW dialog{};
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

std::optional<std::string> chooseFile(HWND owner, FileDialog kind, const wchar_t* filter,
                                      std::string_view title, const wchar_t* defaultExtension,
                                      std::string_view start) {
    std::vector<wchar_t> field(kFileFieldChars, L'\0');
    const std::wstring wideStart = toWide(start);
    std::copy_n(wideStart.begin(), std::min(wideStart.size(), kFileFieldChars - 1), field.begin());
    const std::wstring wideTitle = toWide(title);
    OPENFILENAMEW dialog =
        fileDialogFields(owner, filter, field, wideTitle.c_str(), defaultExtension);
    const BOOL chosen =
        kind == FileDialog::Open ? GetOpenFileNameW(&dialog) : GetSaveFileNameW(&dialog);
    if (!chosen) return std::nullopt;
    return toUtf8(field.data());
}

RECT childRect(HWND parent, int id) {
    RECT rect{};
    HWND child = GetDlgItem(parent, id);
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace ferrovel
