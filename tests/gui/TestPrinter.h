// The test prefix's printer: a Wine PostScript printer whose port pipes each
// job into Ghostscript, so that a printed page arrives as a picture file.
#pragma once

#include <string>

namespace ferrovel::gui {

// 600 x 300 dots an inch: a mix-up of the two directions shows on the page.
constexpr int kPrinterDpiX = 600, kPrinterDpiY = 300;

// Installs the printer when it is missing and makes it the default; the PPM
// file each page it prints is rendered to, or empty when that failed.
std::string installTestPrinter();

// The Unix name of a Windows path, as Wine maps it.
std::string unixPath(const std::string& windowsPath);

}  // namespace ferrovel::gui
