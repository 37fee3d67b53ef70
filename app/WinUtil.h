// Small Win32 helpers of the window program, one job each.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <string>
#include <vector>

namespace ferrovel {

// A window's text of any length, without a fixed-size buffer.
std::string windowText(HWND window);

// A dialog control's text of any length.
std::string dialogItemText(HWND dialog, int id);

// A message box with no owner window, as every message of the program is.
int showMessage(const char* text, const char* caption, UINT style = MB_OK);

// The fields every file dialog of the program shares: its owner, filter list
// (the first entry selected), file field, title and default extension.
OPENFILENAMEA fileDialogFields(HWND owner, const char* filter, std::vector<char>& field,
                               const char* title, const char* defaultExtension);

// The rectangle of a child control in its parent's client coordinates.
RECT childRect(HWND parent, int id);

}  // namespace ferrovel
