// Small Win32 helpers of the window program, one job each.
#pragma once

#include <windows.h>

#include <string>

namespace ferrovel {

// A window's text of any length, without a fixed-size buffer.
std::string windowText(HWND window);

// A dialog control's text of any length.
std::string dialogItemText(HWND dialog, int id);

// A message box with no owner window, as every message of the program is.
int showMessage(const char* text, const char* caption, UINT style = MB_OK);

// The rectangle of a child control in its parent's client coordinates.
RECT childRect(HWND parent, int id);

}  // namespace ferrovel
