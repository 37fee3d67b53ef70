// How long the export loop takes to write a 2048 x 1536 image as PNG against
// the same image as a bitmap, under the Windows build's own encoder. Reports
// the figures; asserts no timing. Run with --gtest_also_run_disabled_tests.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "app/Export.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DatabaseBuilder.h"

namespace ferrovel::gui {
namespace {

constexpr int kRounds = 3;

std::string largeDatabase() {
    fixtures::TiledImage image;
    image.name = "Large";
    image.width = 2048;
    image.height = 1536;
    image.valueAt = [](int, int x, int y) {
        return fixtures::rgb565(x & 255, y & 255, (x * y) & 255);
    };
    return testing::writeScratchFile(
        "large.pdb", fixtures::buildDatabase("large", fixtures::tiledImageRecords(image)));
}

double millisecondsPerExport(const std::string& database, ExportFormat format) {
    const ExportRequest request{database, testing::scratchPath("large-out"), kExportSelected, 1, 0,
                                format};
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < kRounds; ++round) EXPECT_EQ(exportImages(request, {}), 0);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
               .count() /
           kRounds;
}

TEST(ExportTiming, DISABLED_PngAgainstBitmapOfA2048By1536Image) {
    const std::string database = largeDatabase();
    const double bitmap = millisecondsPerExport(database, ExportFormat::Bmp);
    const double png = millisecondsPerExport(database, ExportFormat::Png);
    std::printf("export of a 2048 x 1536 image: bitmap %.0f ms, PNG %.0f ms (%.1fx)\n", bitmap, png,
                png / bitmap);
    RecordProperty("bitmapMilliseconds", std::to_string(bitmap));
    RecordProperty("pngMilliseconds", std::to_string(png));
}

}  // namespace
}  // namespace ferrovel::gui
