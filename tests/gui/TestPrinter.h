// Printers for the tests: Wine PostScript printers installed in the test
// prefix, each with its own resolution, whose port writes the job to a file,
// and the rendering of such a job into pixels with Ghostscript.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ferrovel::gui {

struct TestPrinter {
    std::string name;
    std::string resolution;  // as the printer description states it: "300dpi", "600x300dpi"
    std::string port;        // "LPT1:" ...
    std::string jobPath;     // Windows path the port writes each job to
};

// Installs the printer when it is missing and maps its port to jobPath.
bool installTestPrinter(const TestPrinter& printer);

// The Unix name of a Windows path, as Wine maps it.
std::string unixPath(const std::string& windowsPath);

struct PrinterGeometry {
    int dpiX = 0, dpiY = 0;
    int offsetX = 0, offsetY = 0;  // printable area's origin on the paper
};

PrinterGeometry printerGeometry(const std::string& name);

// A page rendered at the printer's resolution: 0x00RRGGBB pixels, top row first.
struct RenderedPage {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// Renders the PostScript job at jobPath with Ghostscript; empty on failure.
RenderedPage renderJob(const std::string& jobPath, const PrinterGeometry& geometry);

}  // namespace ferrovel::gui
