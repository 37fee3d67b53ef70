#include <gtest/gtest.h>

#include <cstdio>

#include "database/Catalogue.h"
#include "database/ImageRecord.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using fixtures::FixtureRecord;
using testing::firstMismatch;
using Records = std::vector<FixtureRecord>;

std::string labelText(const std::string& label) {
    const TileLabel l = parseTileLabel(label);
    char text[80];
    std::snprintf(text, sizeof text, "%d: %d,%d %dx%d %d/%d", l.fieldsRead, l.column, l.row,
                  l.imageWidth, l.imageHeight, l.layer, l.layerCount);
    return text;
}

std::string infoText(const ImageInfo& i) {
    char text[120];
    std::snprintf(text, sizeof text, "first %d, %dx%d tiles, %dx%d, %d bits, %d layers, %u bytes",
                  i.firstRecord, i.tilesAcross, i.tilesDown, i.width, i.height, i.bitsPerPixel,
                  i.layerCount, static_cast<unsigned>(i.byteSize));
    return text;
}

FixtureRecord labelled(const std::string& label, std::uint16_t bits, int width, int height,
                       std::uint32_t pixelSize) {
    FixtureRecord record = testing::makeRecord(bits, width, height);
    record.label = label;
    record.pixelSizeField = pixelSize;
    return record;
}

// A 16-bit pixel value that differs from its neighbours all over an image.
std::uint32_t sample(int, int x, int y) {
    return static_cast<std::uint32_t>(x * 37 + y * 1009 + x * y) & 0xFFFF;
}

std::vector<int> colourAt(int x, int y) {
    return testing::colourOf(16, sample(0, x, y));
}

Records tiles(const std::string& name, int width, int height, int layers,
              std::function<std::uint32_t(int, int, int)> valueAt = sample,
              bool compressed = false) {
    fixtures::TiledImage image;
    image.name = name;
    image.width = width;
    image.height = height;
    image.layers = layers;
    image.compressed = compressed;
    image.valueAt = std::move(valueAt);
    return fixtures::tiledImageRecords(image);
}

testing::OpenFile openDatabase(const std::string& name, const Records& records) {
    return testing::openScratch(name, fixtures::buildDatabase("Catalogue", records));
}

// The listing and the image-by-image queries, with and without the count, agree.
void expectListingAgrees(std::FILE* file) {
    const std::vector<CatalogueEntry> entries = listCatalogue(file);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE("image " + std::to_string(i));
        std::int16_t count = -1;
        std::string name;
        ImageInfo withCount, alone;
        EXPECT_EQ(queryCatalogue(file, static_cast<std::int16_t>(i), {&count, &name, &withCount}),
                  0);
        EXPECT_EQ(queryCatalogue(file, static_cast<std::int16_t>(i), {nullptr, nullptr, &alone}),
                  0);
        EXPECT_EQ(count, static_cast<std::int16_t>(entries.size()));
        EXPECT_EQ(name, entries[i].name);
        EXPECT_EQ(infoText(withCount), infoText(entries[i].info));
        EXPECT_EQ(infoText(alone), infoText(entries[i].info));
    }
}

TEST(CatalogueLabel, ParsesSixteenBitNumbersAndCountsCutLabelsAsTheFirstTile) {
    EXPECT_EQ(labelText("#(1,2) - 320x200 {2/3} Name"), "6: 1,2 320x200 2/3");
    EXPECT_EQ(labelText("#(0,0) - 320x200 Sunset"), "4: 0,0 320x200 0/0");
    EXPECT_EQ(labelText("#(1,0)-320x200{1/2}X"), "6: 1,0 320x200 1/2");
    EXPECT_EQ(labelText("#( 3, 4)\t-\n320x 200\t{ 1/ 2}"), "6: 3,4 320x200 1/2");
    EXPECT_EQ(labelText("Sunset #(1,1)"), "0: 0,0 0x0 0/0");
    EXPECT_EQ(labelText("#(5,6 - 3x4"), "2: 0,0 0x0 0/0");
    EXPECT_EQ(labelText("#(5,6) - 320 x200"), "3: 0,0 320x0 0/0");
    EXPECT_EQ(labelText("#(0,0) - 70000x-5 {65537/-65535}"), "6: 0,0 4464x-5 1/1");
    EXPECT_EQ(labelText("#(0,0) - 32768x4294967297"), "4: 0,0 -32768x1 0/0");
}

TEST(CatalogueLabel, NamesAndRoles) {
    const auto name = [](const std::string& l) { return imageNameFromLabel(l, parseTileLabel(l)); };
    EXPECT_EQ(name("#(0,0) - 320x200 {1/2} Sunset"), "Sunset");
    EXPECT_EQ(name("#(0,0) - 320x200 Sunset at sea"), "Sunset at sea");
    EXPECT_EQ(name("#(0,0) - 320x200 {Sun}"), "{Sun}");  // no layer part was read
    EXPECT_EQ(name("#(0,0) - 320x200"), "");
    EXPECT_EQ(name("#(0,0) - 0x200 Flat"), "#(0,0) - 0x200 Flat");
    const auto continues = [](const std::string& l) {
        return isContinuationRecord(parseTileLabel(l));
    };
    EXPECT_TRUE(continues("#(0,0) - 160x160 {2/2} Top"));
    EXPECT_TRUE(continues("#(1,0) - 320x200 S"));
    EXPECT_TRUE(continues("#(0,1) - 320x200 S"));
    EXPECT_FALSE(continues("#(0,0) - 320x200 {1/2} S"));
    EXPECT_FALSE(continues("#(5,6) - 320"));
}

TEST(Catalogue, UnlabelledRecordsAreImagesOfTheirOwn) {
    const auto file = openDatabase(
        "unlabelled.pdb", {labelled("Alpha", 16, 160, 160, 11), labelled("", 8, 30, 20, 22),
                           labelled("#(1,0) - 320x200 Orphan", 8, 160, 160, 500),
                           labelled("#(2,3) - 5", 1, 17, 9, 33)});
    const std::vector<CatalogueEntry> entries = listCatalogue(file.get());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name + "|" + entries[1].name + "|" + entries[2].name, "Alpha||#(2,3) - 5");
    EXPECT_EQ(infoText(entries[0].info),
              "first 0, 1x1 tiles, 160x160, 16 bits, 1 layers, 11 bytes");
    EXPECT_EQ(infoText(entries[1].info), "first 1, 1x1 tiles, 30x20, 8 bits, 1 layers, 22 bytes");
    EXPECT_EQ(infoText(entries[2].info), "first 3, 1x1 tiles, 17x9, 1 bits, 1 layers, 33 bytes");
    expectListingAgrees(file.get());
}

TEST(Catalogue, TiledAndLayeredImagesSumTheirRecords) {
    Records records = tiles("Sunset", 320, 200, 1);
    const std::uint32_t sizes[] = {1000, 200, 30, 4};
    for (std::size_t i = 0; i < 4; ++i) records[i].pixelSizeField = sizes[i];
    records.push_back(labelled("Next", 8, 10, 10, 5));
    for (FixtureRecord& layer : tiles("Top", 160, 160, 2)) {
        layer.pixelSizeField = 7;
        records.push_back(layer);
    }
    const auto file = openDatabase("tiled.pdb", records);
    std::int16_t count = 0;
    std::string name;
    ImageInfo info;
    EXPECT_EQ(queryCatalogue(file.get(), 0, {&count, &name, &info}), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(name, "Sunset");
    EXPECT_EQ(infoText(info), "first 0, 2x2 tiles, 320x200, 16 bits, 1 layers, 1234 bytes");
    EXPECT_EQ(queryCatalogue(file.get(), 2, {nullptr, &name, &info}), 0);
    EXPECT_EQ(name, "Top");
    EXPECT_EQ(infoText(info), "first 5, 1x1 tiles, 160x160, 16 bits, 2 layers, 14 bytes");
    expectListingAgrees(file.get());

    // A missing image gives the defaults and leaves the byte total alone.
    for (std::int16_t missing : {3, -1}) {
        info.byteSize = 777;
        EXPECT_EQ(queryCatalogue(file.get(), missing, {&count, &name, &info}), kImageNotFound);
        EXPECT_EQ(count, 3);
        EXPECT_EQ(name, "");
        EXPECT_EQ(infoText(info), "first 0, 1x1 tiles, 160x160, 1 bits, 1 layers, 777 bytes");
    }
}

TEST(CatalogueCompose, TilesAreCutAtTheImageEdge) {
    for (int width : {320, 330}) {
        SCOPED_TRACE("width " + std::to_string(width));
        Records records = {labelled("Intro", 8, 4, 4, 8)};
        for (FixtureRecord& tile : tiles("Wide", width, 200, 1, sample, width == 330))
            records.push_back(tile);
        RgbImage image;
        ASSERT_EQ(composeImage(openDatabase("edge.pdb", records).get(), 1, image), 0);
        ASSERT_EQ(image.width, width);
        ASSERT_EQ(image.height, 200);
        EXPECT_EQ(firstMismatch(image, colourAt), "");
    }
}

TEST(CatalogueCompose, UpperLayersSkipNearWhitePixels) {
    // 16-bit channels reach 248 (red, blue) and 252 (green) at most.
    const std::uint32_t top[] = {0xFFFF,
                                 fixtures::rgb565(248, 248, 248),
                                 fixtures::rgb565(240, 252, 248),
                                 fixtures::rgb565(248, 244, 248),
                                 fixtures::rgb565(248, 252, 240),
                                 0};
    const auto valueAt = [&top](int layer, int x, int y) {
        return layer == 0 ? sample(0, x, y) : top[(x + y) % 6];
    };
    RgbImage image;
    ASSERT_EQ(composeImage(openDatabase("layers.pdb", tiles("Layers", 200, 170, 2, valueAt)).get(),
                           0, image),
              0);
    EXPECT_EQ(firstMismatch(image,
                            [&](int x, int y) {
                                return testing::colourOf(16,
                                                         valueAt((x + y) % 6 < 2 ? 0 : 1, x, y));
                            }),
              "");
}

TEST(CatalogueCompose, SmallImageInOneTileIsTheWholeRecord) {
    const auto file = openDatabase("small.pdb", tiles("Small", 100, 80, 1));
    ImageInfo info;
    ASSERT_EQ(queryCatalogue(file.get(), 0, {nullptr, nullptr, &info}), 0);
    EXPECT_EQ(infoText(info), "first 0, 1x1 tiles, 100x80, 16 bits, 1 layers, 51200 bytes");
    RgbImage image;
    ASSERT_EQ(composeImage(file.get(), 0, image), 0);
    EXPECT_EQ(image.width, 160);
    EXPECT_EQ(image.pixels, decodeRecord(file.get(), 0)->pixels);
}

TEST(CatalogueCompose, MissingAndSmallTilesLeaveWhite) {
    Records records = tiles("Gap", 320, 200, 1);
    records[1].width = 100;
    records[1].height = 50;
    records[1].rows =
        fixtures::packRows(16, 100, 50, [](int x, int y) { return sample(0, 160 + x, y); });
    // Tile (1,1) is stored, but the record count leaves it out.
    fixtures::Bytes bytes = fixtures::buildDatabase("Gap", records);
    bytes[77] = 3;
    RgbImage image;
    ASSERT_EQ(composeImage(testing::openScratch("gap.pdb", bytes).get(), 0, image), 0);
    EXPECT_EQ(firstMismatch(image,
                            [](int x, int y) {
                                const bool covered = x < 160 || (x < 260 && y < 50);
                                return covered ? colourAt(x, y) : std::vector<int>(3, 255);
                            }),
              "");
}

TEST(CatalogueCompose, HostileLabelSizesStayBounded) {
    const auto compose = [](const char* label, RgbImage& image) {
        const auto file = openDatabase("hostile.pdb", {labelled(label, 16, 160, 160, 0)});
        return composeImage(file.get(), 0, image);
    };
    RgbImage huge;  // more than any reader may allocate
    EXPECT_EQ(compose("#(0,0) - 32767x32767 Huge", huge), kComposeNoMemory);
    EXPECT_EQ(compose("#(0,0) - 32767x32767 {1/32767} Huge", huge), kComposeNoMemory);
    for (const char* label :
         {"#(0,0) - -5x-7 Negative", "#(0,0) - 320x-200 Upside", "#(0,0) - -32768x200 Left",
          "#(0,0) - 320x200 {1/-3} Layers", "#(0,0) - 320x200 {1/32767} Layers"}) {
        RgbImage image;
        const std::int16_t status = compose(label, image);
        EXPECT_TRUE(status == 0 || status == kComposeNoMemory) << label << ": " << status;
        EXPECT_EQ(image.pixels.size(), static_cast<std::size_t>(image.width) *
                                           static_cast<std::size_t>(image.height) * 3)
            << label;
    }
}

}  // namespace
}  // namespace ferrovel
