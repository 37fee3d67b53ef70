#include "tests/gui/Screenshot.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "interchange/PictureFile.h"
#include "tests/gui/AppDriver.h"

namespace ferrovel::gui {

void saveScreenshot(const char* name, HWND window, HWND alsoShown) {
    const char* folder = std::getenv("FERROVEL_SCREENSHOTS");
    if (!folder || !*folder || !window) return;
    const std::string path = std::string(folder) + "\\" + name + ".png";
    if (fileExists(path)) return;
    Sleep(300);  // what just opened is still being painted
    RECT area{}, other{};
    GetWindowRect(window, &area);
    if (alsoShown && GetWindowRect(alsoShown, &other)) UnionRect(&area, &area, &other);
    const std::vector<std::uint32_t> pixels = capturePixels(area);
    // A window that closed meanwhile was not in the picture.
    if (!IsWindowVisible(window)) return;
    RgbImage image{std::int16_t(area.right - area.left), std::int16_t(area.bottom - area.top), {}};
    for (const std::uint32_t pixel : pixels)
        image.pixels.insert(image.pixels.end(), {static_cast<std::uint8_t>(pixel >> 16),
                                                 static_cast<std::uint8_t>(pixel >> 8),
                                                 static_cast<std::uint8_t>(pixel)});
    writePng(path, image, image.width, image.height);
}

}  // namespace ferrovel::gui
