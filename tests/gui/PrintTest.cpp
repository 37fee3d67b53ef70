// Printing, end to end: the program prints to Wine PostScript printers whose
// ports write to files, and the rendered pages are checked pixel by pixel.
#include <gtest/gtest.h>

#include "tests/TestSupport.h"
#include "tests/fixtures/DemoDatabase.h"
#include "tests/gui/AppDriver.h"
#include "tests/gui/Screenshot.h"
#include "tests/gui/TestPrinter.h"

namespace ferrovel::gui {
namespace {

constexpr int kPalette = 3;  // the demo's 8-bit image: many colours, 160 x 160

// The spooler keeps a port's file from its first job on, so the job files
// have one fixed place rather than a folder of each test process. The second
// printer's pixels are not square.
const std::vector<TestPrinter>& printers() {
    static const std::vector<TestPrinter> all = [] {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        const std::string jobs = std::string(temp) + "ferrovel-print-jobs\\";
        CreateDirectoryA(jobs.c_str(), nullptr);
        return std::vector<TestPrinter>{
            {"Ferrovel Test 300", "300dpi", "LPT1:", jobs + "job-300.ps"},
            {"Ferrovel Test 600x300", "600x300dpi", "LPT2:", jobs + "job-600x300.ps"}};
    }();
    return all;
}

std::string demoPath() {
    static const std::string path =
        testing::writeScratchFile("print-demo.pdb", fixtures::demoDatabase());
    return path;
}

// With the printer the default and its last job gone, selects the image in
// the program started on the demo and presses Print.
HWND startPrint(AppDriver& app, const TestPrinter& printer, int index) {
    DeleteFileA(printer.jobPath.c_str());
    SetDefaultPrinterA(printer.name.c_str());
    if (!AppDriver::waitUntil([&] { return app.listEntries().size() == 6; })) return nullptr;
    app.selectListEntry(index);
    app.press(1008);
    return app.waitForDialog("Print");
}

// Waits until the job file has been written and no longer grows.
bool waitForJob(const std::string& path) {
    long last = -1;
    return AppDriver::waitUntil(
        [&] {
            HANDLE file =
                CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE) return false;
            const long size = static_cast<long>(GetFileSize(file, nullptr));
            CloseHandle(file);
            const bool settled = size > 0 && size == last;
            last = size;
            return settled;
        },
        20000);
}

// Rows of the image that came out right, counted from the top: each printer
// pixel is the image pixel of its block, and the paper is white around it.
int correctRows(const RenderedPage& page, const PrinterGeometry& geometry, const RgbImage& image,
                int& wrong) {
    const int printWidth = image.width * geometry.dpiX / 75,
              printHeight = image.height * geometry.dpiY / 75;
    wrong = 0;
    int rows = 0;
    for (int y = 0; y < printHeight + 4; ++y) {
        bool rowPrinted = true;
        for (int x = 0; x < printWidth + 4; ++x) {
            const std::uint32_t got = page.at(geometry.offsetX + x, geometry.offsetY + y);
            std::uint32_t want = 0xFFFFFF;
            if (x < printWidth && y < printHeight) {
                const std::vector<int> rgb = testing::pixelAt(image, x * image.width / printWidth,
                                                              y * image.height / printHeight);
                want = static_cast<std::uint32_t>(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
            }
            if (got != want && (y < printHeight || got != 0xFFFFFF)) ++wrong;
            if (y < printHeight && got != want) rowPrinted = false;
        }
        if (y < printHeight && rowPrinted && rows == y) ++rows;
    }
    return rows;
}

class Printing : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const TestPrinter& printer : printers()) ASSERT_TRUE(installTestPrinter(printer));
    }
};

TEST_F(Printing, PrintsTheImageTopLeftAtSeventyFivePixelsAnInchUnlessDismissed) {
    for (const TestPrinter& printer : printers()) {
        AppDriver app("\"" + demoPath() + "\"");
        HWND dialog = startPrint(app, printer, kPalette);
        ASSERT_NE(dialog, nullptr);
        // Dismissing the print dialog changes nothing and prints nothing.
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(app.noDialog("Printing Image", 800));
        EXPECT_FALSE(fileExists(printer.jobPath));
        app.press(1008);
        ASSERT_NE(dialog = app.waitForDialog("Print"), nullptr);
        AppDriver::press(dialog, IDOK);
        HWND printing = app.waitForDialog("Printing Image");
        EXPECT_NE(printing, nullptr);
        saveScreenshot("printing-dialog", printing);
        ASSERT_TRUE(waitForJob(printer.jobPath)) << printer.name;
        EXPECT_TRUE(AppDriver::waitUntil([&] { return app.title() == "Ferrovel Image Manager"; }));
        EXPECT_TRUE(IsWindowEnabled(app.mainWindow()));

        const PrinterGeometry geometry = printerGeometry(printer.name);
        EXPECT_EQ(geometry.dpiX, &printer == &printers()[0] ? 300 : 600);
        EXPECT_EQ(geometry.dpiY, 300);
        const RenderedPage page = renderJob(printer.jobPath, geometry);
        ASSERT_GT(page.width, 0) << "the job did not render";
        const RgbImage image = composedImage(demoPath(), kPalette);
        int wrong = 0;
        EXPECT_EQ(correctRows(page, geometry, image, wrong), image.height * geometry.dpiY / 75)
            << printer.name;
        EXPECT_EQ(wrong, 0) << printer.name << " at " << geometry.dpiX << " x " << geometry.dpiY;
    }
}

TEST_F(Printing, CancelStopsBetweenLinesAndStillEndsThePage) {
    const TestPrinter& wide = printers()[1];
    AppDriver app("\"" + demoPath() + "\"");
    HWND dialog = startPrint(app, wide, 4);  // the 320 x 200 sunset: 2560 x 800 printer pixels
    ASSERT_NE(dialog, nullptr);
    AppDriver::press(dialog, IDOK);
    HWND printing = app.waitForDialog("Printing Image");
    ASSERT_NE(printing, nullptr);
    // Presses before printing starts are forgotten: begin about when the
    // printing starts and keep pressing until it stops.
    Sleep(520);
    while (IsWindow(printing) && IsWindowVisible(printing)) {
        AppDriver::press(printing, 1022);
        Sleep(2);
    }
    ASSERT_TRUE(waitForJob(wide.jobPath));
    const PrinterGeometry geometry = printerGeometry(wide.name);
    const RenderedPage page = renderJob(wide.jobPath, geometry);
    ASSERT_GT(page.width, 0);
    int wrong = 0;
    const int rows = correctRows(page, geometry, composedImage(demoPath(), 4), wrong);
    EXPECT_LT(rows, 200 * geometry.dpiY / 75) << "cancel did not stop the job";
    std::printf("cancelled after %d of %d lines\n", rows, 200 * geometry.dpiY / 75);
    EXPECT_EQ(wrong, (200 * geometry.dpiY / 75 - rows) * (320 * geometry.dpiX / 75))
        << "beyond the printed lines the page must stay white";
}

}  // namespace
}  // namespace ferrovel::gui
