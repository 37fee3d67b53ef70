// Printing, end to end: the program prints to the test printer, and the
// page it renders is checked pixel by pixel.
#include <gtest/gtest.h>

#include "tests/TestSupport.h"
#include "tests/gui/AppDriver.h"
#include "tests/gui/Screenshot.h"
#include "tests/gui/TestPrinter.h"

namespace ferrovel::gui {
namespace {

// The printable area's origin: a quarter inch in from the paper's edges.
constexpr int kOffsetX = kPrinterDpiX / 4, kOffsetY = kPrinterDpiY / 4;

std::string pagePath;  // set with the printer

// Rows of the image that came out right, counted from the top, and the
// printer pixels that did not, once the page is there (-1 when it never came):
// each printer pixel is the image pixel of its block, and the paper is white
// around it.
std::pair<int, int> printedRows(int index) {
    testing::Ppm ppm;
    if (!AppDriver::waitUntil([&] { return (ppm = testing::readPpm(pagePath)).width; }, 30000))
        return {-1, -1};
    const RgbImage page{static_cast<std::int16_t>(ppm.width), static_cast<std::int16_t>(ppm.height),
                        std::move(ppm.rgb)};
    const RgbImage image = composedImage(demoDatabasePath(), index);
    const int printWidth = image.width * kPrinterDpiX / 75,
              printHeight = image.height * kPrinterDpiY / 75;
    int rows = 0, wrong = 0;
    for (int y = 0; y < printHeight + 4; ++y) {
        int wrongInRow = 0;
        for (int x = 0; x < printWidth + 4; ++x) {
            std::vector<int> want = {255, 255, 255};
            if (x < printWidth && y < printHeight)
                want = testing::pixelAt(image, x * image.width / printWidth,
                                        y * image.height / printHeight);
            wrongInRow += testing::pixelAt(page, kOffsetX + x, kOffsetY + y) != want;
        }
        rows += y < printHeight && rows == y && wrongInRow == 0;
        wrong += wrongInRow;
    }
    return {rows, wrong};
}

// The demo's 8-bit image (many colours, 160 x 160) printed whole after a
// dismissed print dialog; then the 320 x 200 sunset (2560 x 800 printer
// pixels) cancelled while it prints.
TEST(Printing, PrintsTheImageTopLeftAtSeventyFivePixelsAnInchUnlessDismissedOrCancelled) {
    ASSERT_NE(pagePath = installTestPrinter(), "");
    AppDriver app(demoDatabasePath(), 6);
    ASSERT_TRUE(app.started());
    // With the last page gone, the image selected and Print pressed: the print dialog.
    const auto printDialog = [&](int index) {
        DeleteFileA(pagePath.c_str());
        app.selectListEntry(index);
        return app.openDialog(1008, "Print");
    };
    HWND dialog = nullptr;
    ASSERT_NE(dialog = printDialog(3), nullptr);
    // Dismissing the print dialog changes nothing and prints nothing.
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(app.noDialog("Printing Image", 800));
    EXPECT_FALSE(fileExists(pagePath));
    ASSERT_NE(dialog = printDialog(3), nullptr);
    AppDriver::press(dialog, IDOK);
    HWND printing = app.waitForDialog("Printing Image");
    EXPECT_NE(printing, nullptr);
    saveScreenshot("printing-dialog", printing);
    EXPECT_EQ(printedRows(3), std::pair(160 * kPrinterDpiY / 75, 0));
    EXPECT_TRUE(AppDriver::waitUntil([&] { return app.title() == "Ferrovel Image Manager"; }));
    EXPECT_TRUE(IsWindowEnabled(app.mainWindow()));

    // Presses before printing starts are forgotten: begin about when the
    // printing starts and keep pressing until it stops.
    ASSERT_NE(dialog = printDialog(4), nullptr);
    AppDriver::press(dialog, IDOK);
    ASSERT_NE(printing = app.waitForDialog("Printing Image"), nullptr);
    Sleep(520);
    while (IsWindow(printing) && IsWindowVisible(printing)) {
        AppDriver::press(printing, 1022);
        Sleep(2);
    }
    const auto [rows, wrong] = printedRows(4);
    ASSERT_GE(rows, 0) << "no page came out";
    EXPECT_LT(rows, 800) << "cancel did not stop the job";
    EXPECT_EQ(wrong, (800 - rows) * 2560) << "beyond the printed lines the page must stay white";
}

}  // namespace
}  // namespace ferrovel::gui
