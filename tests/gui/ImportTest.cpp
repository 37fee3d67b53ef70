// End-to-end tests of importing in the window: the open dialog, the Import
// Image dialog and the import flow.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include "interchange/Bmp.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DemoDatabase.h"
#include "tests/gui/AppDriver.h"

namespace ferrovel::gui {
namespace {

std::string bitmapOf(const std::string& name, int width, int height) {
    RgbImage picture;
    picture.width = static_cast<std::int16_t>(width);
    picture.height = static_cast<std::int16_t>(height);
    picture.pixels.resize(static_cast<std::size_t>(width * height * 3));
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) picture.pixels[i] = static_cast<std::uint8_t>(i * 7);
    const std::string path = testing::scratchPath(name);
    writeBmp(path, picture);
    return path;
}

TEST(ImportDialog, Probe) {
    const std::string database = testing::writeScratchFile("import.pdb", fixtures::demoDatabase());
    AppDriver app("\"" + database + "\"");
    ASSERT_TRUE(app.started());
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 6; }));
    app.press(1006);
    HWND open = app.waitForDialog("Import one or more image(s)...");
    ASSERT_NE(open, nullptr);
    ASSERT_TRUE(AppDriver::answerFileDialog(open, bitmapOf("one.bmp", 640, 480)));
    HWND dialog = app.waitForDialog("Import Image");
    ASSERT_NE(dialog, nullptr);
    HWND contrast = GetDlgItem(dialog, 1016);
    std::printf("min %ld max %ld pos %ld\n", (long)SendMessageW(contrast, TBM_GETRANGEMIN, 0, 0),
                (long)SendMessageW(contrast, TBM_GETRANGEMAX, 0, 0), (long)SendMessageW(contrast, TBM_GETPOS, 0, 0));
}

}  // namespace
}  // namespace ferrovel::gui
