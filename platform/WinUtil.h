// Small Win32 helpers of the window program, one job each.
//
// The program's text is UTF-8; the window system's is UTF-16. These helpers
// take and give UTF-8 and use the wide-character calls, so that any
// character reaches the screen whatever code page the process runs under.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ferrovel {

// A window's text of any length, without a fixed-size buffer.
std::string windowText(HWND window);

// A dialog control's text of any length.
std::string dialogItemText(HWND dialog, int id);

void setWindowText(HWND window, std::string_view text);
void setDialogItemText(HWND dialog, int id, std::string_view text);

// A message box with no owner window, as every message of the program is.
int showMessage(std::string_view text, std::string_view caption, UINT style = MB_OK);

// The fields every file dialog of the program shares: its owner, filter list
// (the first entry selected), file field, title and default extension.
OPENFILENAMEW fileDialogFields(HWND owner, const wchar_t* filter, std::vector<wchar_t>& field,
                               const wchar_t* title, const wchar_t* defaultExtension);

// The open or save dialog with those fields and no options, its file field
// of 260 characters starting with start: the chosen path, or nothing when
// the user cancelled.
enum class FileDialog { Open, Save };
std::optional<std::string> chooseFile(HWND owner, FileDialog kind, const wchar_t* filter,
                                      std::string_view title, const wchar_t* defaultExtension,
                                      std::string_view start);

// The rectangle of a child control in its parent's client coordinates.
RECT childRect(HWND parent, int id);

}  // namespace ferrovel
