// Inputs the fuzz targets found troublesome, kept as cases of their own.
#include <gtest/gtest.h>

#include "database/Catalogue.h"
#include "interchange/Bmp.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

TEST(FuzzFindings, ABitmapWithoutColumnsReadsAsAWhiteCanvas) {
    fixtures::Bytes bitmap{'B', 'M'};
    bitmap.resize(54, 0);
    bitmap[10] = 54;  // pixel data offset
    bitmap[14] = 40;  // info header size
    bitmap[22] = 3;   // height 3, width 0
    bitmap[26] = 1;
    bitmap[28] = 24;
    const BmpReadResult result = readBmp(testing::writeScratchFile("no-columns.bmp", bitmap));
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.canvas.width, 160);
    EXPECT_EQ(result.canvas.height, 144);
    EXPECT_EQ(result.canvas.pixels, std::vector<std::uint8_t>(160 * 144 * 3, 0xFF));
}

TEST(FuzzFindings, ATileWithoutColumnsCoversNothing) {
    fixtures::TiledImage image;
    image.name = "Two";
    image.width = 320;
    image.height = 20;
    image.valueAt = [](int, int, int) { return 0u; };  // black
    std::vector<fixtures::FixtureRecord> records = fixtures::tiledImageRecords(image);
    records[1].width = 0;  // the second tile claims no columns
    const testing::OpenFile file = testing::openScratch("empty-tile.pdb", fixtures::buildDatabase("t", records));
    RgbImage composed;
    ASSERT_EQ(composeImage(file.get(), 0, composed), 0);
    EXPECT_EQ(testing::pixelAt(composed, 10, 10), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(testing::pixelAt(composed, 200, 10), (std::vector<int>{255, 255, 255}));
}

}  // namespace
}  // namespace ferrovel
