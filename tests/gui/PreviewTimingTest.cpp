// How long the program takes from a list selection change to the finished
// preview of a 480 x 320 image, against the same paint made with one
// SetPixel per pixel. Reports the figures; asserts no timing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "app/PreviewFit.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DatabaseBuilder.h"
#include "tests/gui/AppDriver.h"

namespace ferrovel::gui {
namespace {

constexpr int kRounds = 10;

std::string wideDatabase() {
    std::vector<fixtures::FixtureRecord> records;
    for (const char* name : {"Wide one", "Wide two"}) {
        fixtures::TiledImage image;
        image.name = name;
        image.width = 480;
        image.height = 320;
        image.valueAt = [](int, int x, int y) {
            return fixtures::rgb565(x & 255, y & 255, (x + y) & 255);
        };
        for (auto& record : fixtures::tiledImageRecords(image))
            records.push_back(std::move(record));
    }
    return testing::writeScratchFile("wide.pdb", fixtures::buildDatabase("wide", records));
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The same preview drawn into the program's window one SetPixel at a time.
void paintWithSetPixel(HWND window, const std::string& database, int index, const RECT& preview) {
    const RgbImage image = composedImage(database, index);
    const int width = preview.right - preview.left, height = preview.bottom - preview.top;
    const FittedPixels fitted = renderFitted(image, width, height, width, height);
    HDC dc = GetDC(window);
    for (int i = 0; i < fitted.visible.height; ++i) {
        for (int j = 0; j < fitted.visible.width; ++j) {
            const std::uint32_t p =
                fitted.bgrx[static_cast<std::size_t>(i * fitted.visible.width + j)];
            SetPixel(dc, preview.left + j, preview.top + i,
                     RGB(p >> 16 & 255, p >> 8 & 255, p & 255));
        }
    }
    ReleaseDC(window, dc);
}

TEST(PreviewTiming, SelectionChangeToFinishedPaint) {
    const std::string database = wideDatabase();
    AppDriver app("\"" + database + "\"");
    ASSERT_TRUE(app.started());
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 2; }));
    // The selection change is handled, preview painted, before SendMessage returns.
    auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < kRounds; ++round) app.selectListEntry(round % 2);
    const double blit = millisecondsSince(start) / kRounds;

    RECT preview = screenRectOf(app.mainWindow(), 1015);
    MapWindowPoints(HWND_DESKTOP, app.mainWindow(), reinterpret_cast<POINT*>(&preview), 2);
    InflateRect(&preview, -4, -4);
    start = std::chrono::steady_clock::now();
    for (int round = 0; round < kRounds; ++round)
        paintWithSetPixel(app.mainWindow(), database, round % 2, preview);
    const double setPixel = millisecondsSince(start) / kRounds;

    std::printf(
        "preview of a 480 x 320 image: %.1f ms through one blit, %.1f ms with one SetPixel a pixel "
        "(%.1fx)\n",
        blit, setPixel, setPixel / blit);
    RecordProperty("blitMilliseconds", std::to_string(blit));
    RecordProperty("setPixelMilliseconds", std::to_string(setPixel));
}

}  // namespace
}  // namespace ferrovel::gui
