// The container and its files, the catalogue of images and their composition.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "database/Catalogue.h"
#include "database/Container.h"
#include "database/FileOpen.h"
#include "database/ImageRecord.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;
using fixtures::FixtureRecord;
using testing::firstMismatch;
using testing::openDatabase;
using testing::OpenFile;
using testing::openScratch;
using testing::Records;
using testing::tiles;

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

// The listing, and the image-by-image queries with and without the count, tell the same.
std::vector<std::string> listed(std::FILE* file) {
    std::vector<std::string> lines;
    const std::vector<CatalogueEntry> entries = listCatalogue(file);
    for (std::int16_t i = 0; i < static_cast<std::int16_t>(entries.size()); ++i) {
        std::int16_t count = -1;
        std::string name;
        ImageInfo withCount, alone;
        EXPECT_EQ(queryCatalogue(file, i, {&count, &name, &withCount}), 0);
        EXPECT_EQ(queryCatalogue(file, i, {nullptr, nullptr, &alone}), 0);
        EXPECT_EQ(count, static_cast<std::int16_t>(entries.size()));
        const std::string line = entries[i].name + ": " + infoText(entries[i].info);
        EXPECT_EQ(name + ": " + infoText(withCount), line);
        EXPECT_EQ(name + ": " + infoText(alone), line);
        lines.push_back(line);
    }
    return lines;
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

// Which records continue an image, the catalogue listing below shows.
TEST(CatalogueLabel, NamesWithoutALayerPartOrASize) {
    const auto name = [](const std::string& l) { return imageNameFromLabel(l, parseTileLabel(l)); };
    EXPECT_EQ(name("#(0,0) - 320x200 {Sun}"), "{Sun}");  // no layer part was read
    EXPECT_EQ(name("#(0,0) - 320x200"), "");
    EXPECT_EQ(name("#(0,0) - 0x200 Flat"), "#(0,0) - 0x200 Flat");
}

TEST(Catalogue, ImagesSumTheirTilesAndLayersAndUnlabelledRecordsStandAlone) {
    Records records = {labelled("Alpha", 16, 160, 160, 11), labelled("", 8, 30, 20, 22),
                       labelled("#(1,0) - 320x200 Orphan", 8, 160, 160, 500),
                       labelled("#(2,3) - 5", 1, 17, 9, 33)};
    records += tiles("Sunset", 320, 200, sample);
    const std::uint32_t sizes[] = {1000, 200, 30, 4};
    for (std::size_t i = 0; i < 4; ++i) records[4 + i].pixelSizeField = sizes[i];
    records += tiles("Top", 160, 160, sample, 2);
    records[8].pixelSizeField = records[9].pixelSizeField = 7;
    records += tiles("Small", 100, 80, sample);
    const auto file = openDatabase("catalogue.pdb", records);
    EXPECT_EQ(listed(file.get()),
              (std::vector<std::string>{
                  "Alpha: first 0, 1x1 tiles, 160x160, 16 bits, 1 layers, 11 bytes",
                  ": first 1, 1x1 tiles, 30x20, 8 bits, 1 layers, 22 bytes",
                  "#(2,3) - 5: first 3, 1x1 tiles, 17x9, 1 bits, 1 layers, 33 bytes",
                  "Sunset: first 4, 2x2 tiles, 320x200, 16 bits, 1 layers, 1234 bytes",
                  "Top: first 8, 1x1 tiles, 160x160, 16 bits, 2 layers, 14 bytes",
                  "Small: first 10, 1x1 tiles, 100x80, 16 bits, 1 layers, 51200 bytes"}));
    // A one-tile image composes to its whole record.
    RgbImage image;
    ASSERT_EQ(composeImage(file.get(), 5, image), 0);
    EXPECT_EQ(image.pixels, decodeRecord(file.get(), 10)->pixels);
    // A missing image gives the defaults and leaves the byte total alone.
    for (std::int16_t missing : {6, -1}) {
        std::int16_t count = 0;
        std::string name = "x";
        ImageInfo info;
        info.byteSize = 777;
        EXPECT_EQ(queryCatalogue(file.get(), missing, {&count, &name, &info}), kImageNotFound);
        EXPECT_EQ(count, 6);
        EXPECT_EQ(name + infoText(info),
                  "first 0, 1x1 tiles, 160x160, 1 bits, 1 layers, 777 bytes");
    }
}

TEST(Catalogue, RecordsAreFoundThroughTheTableWhereverTheyLie) {
    // Records far apart and close together, listed by the table back to front.
    const Records records = {labelled("Big", 16, 160, 160, 1), labelled("Tiny", 1, 8, 2, 2),
                             labelled("Mid", 8, 60, 40, 3), labelled("Last", 1, 16, 1, 4)};
    fixtures::Bytes bytes = fixtures::buildDatabase("Order", records);
    for (long i = 0; i < 2; ++i)
        std::swap_ranges(bytes.begin() + 78 + 8 * i, bytes.begin() + 86 + 8 * i,
                         bytes.begin() + 102 - 8 * i);
    EXPECT_EQ(
        listed(testing::openScratch("order.pdb", bytes).get()),
        (std::vector<std::string>{"Last: first 0, 1x1 tiles, 16x1, 1 bits, 1 layers, 4 bytes",
                                  "Mid: first 1, 1x1 tiles, 60x40, 8 bits, 1 layers, 3 bytes",
                                  "Tiny: first 2, 1x1 tiles, 8x2, 1 bits, 1 layers, 2 bytes",
                                  "Big: first 3, 1x1 tiles, 160x160, 16 bits, 1 layers, 1 bytes"}));
}

TEST(CatalogueCompose, UpperLayersSkipNearWhitePixels) {
    // 16-bit channels reach 248 (red, blue) and 252 (green) at most. White,
    // then (248, 248, 248), (240, 252, 248), (248, 244, 248), (248, 252, 240)
    // and black.
    const std::uint32_t top[] = {0xFFFF, 0xFFDF, 0xF7FF, 0xFFBF, 0xFFFE, 0};
    const auto valueAt = [&top](int layer, int x, int y) {
        return layer == 0 ? sample(0, x, y) : top[(x + y) % 6];
    };
    RgbImage image;
    ASSERT_EQ(
        composeImage(openDatabase("layers.pdb", tiles("L", 200, 170, valueAt, 2)).get(), 0, image),
        0);
    EXPECT_EQ(firstMismatch(image,
                            [&](int x, int y) {
                                return testing::colourOf(16, valueAt((x + y) % 6 >= 2, x, y));
                            }),
              "");
}

// Compressed tiles cut at the image's right edge; a tile narrower than its
// place, or without columns at all (a fuzzer's find), covers only its own
// pixels.
TEST(CatalogueCompose, TilesAreCutAtTheEdgeAndMissingOrSmallTilesLeaveWhite) {
    for (const int width : {100, 0}) {
        Records records = tiles("Gap", 330, 200, sample, 1, true);
        records[1].width = static_cast<std::int16_t>(width);
        records[1].height = 50;
        records[1].rows =
            fixtures::packRows(16, width, 50, [](int x, int y) { return sample(0, 160 + x, y); });
        // Tile (2,1) is stored, but the record count leaves it out.
        fixtures::Bytes bytes = fixtures::buildDatabase("Gap", records);
        bytes[77] = 5;
        RgbImage image;
        ASSERT_EQ(composeImage(testing::openScratch("gap.pdb", bytes).get(), 0, image), 0);
        ASSERT_EQ(image.width, 330);
        // White where the small tile (1,0) and the left-out tile (2,1) do not reach.
        const auto want = [width](int x, int y) {
            const bool right = x >= 320 ? y >= 160 : x >= 160 && y < 160;
            const bool covered = !right || (y < 50 && x < 160 + width);
            return covered ? testing::colourOf(16, sample(0, x, y)) : std::vector<int>(3, 255);
        };
        EXPECT_EQ(firstMismatch(image, want), "") << width;
    }
}

TEST(CatalogueCompose, HostileLabelSizesStayBounded) {
    for (const char* label :
         {"#(0,0) - 32767x32767 Huge", "#(0,0) - 32767x32767 {1/32767} Huge",
          "#(0,0) - -5x-7 Negative", "#(0,0) - 320x-200 Upside", "#(0,0) - -32768x200 Left",
          "#(0,0) - 320x200 {1/-3} Layers", "#(0,0) - 320x200 {1/32767} Layers"}) {
        RgbImage image;
        const std::int16_t status = composeImage(
            openDatabase("hostile.pdb", {labelled(label, 16, 160, 160, 0)}).get(), 0, image);
        // A huge image is more than any reader may allocate.
        const bool huge = std::string(label).find("Huge") != std::string::npos;
        EXPECT_TRUE(status == kComposeNoMemory || (!huge && status == 0))
            << label << ": " << status;
        EXPECT_EQ(image.pixels.size(), std::size_t{3} * image.width * image.height) << label;
    }
}

// The container's byte orders and the ones read past its end are pinned by
// the byte-exact and the cut databases.
TEST(ContainerCreate, EmptyDatabaseIsByteExact) {
    const std::string longName = testing::scratchPath(std::string(40, 'n') + ".x.pdb");
    ASSERT_EQ(createEmptyDatabase(longName), 0);
    EXPECT_EQ(fixtures::readFileBytes(longName), fixtures::buildDatabase(std::string(29, 'n'), {}));
    EXPECT_EQ(pathBaseName("C:\\pics.old\\archive.tar.pdb"), "archive.tar");
    EXPECT_EQ(createEmptyDatabase(testing::scratchPath("no-such-folder/x.pdb")), kCreateFailed);
}

TEST(ContainerValidation, OnlyTheCreatorDecides) {
    const Bytes good = fixtures::buildDatabase("Valid", {});
    const auto valid = [](const Bytes& bytes) {
        return isImageDatabase(openScratch("valid.pdb", bytes).get());
    };
    Bytes otherType = good, otherCreator = good;
    std::copy_n("Junk", 4, otherType.begin() + 60);
    otherCreator[67] = 'L';
    EXPECT_TRUE(valid(good) && valid(otherType) && valid(Bytes(good.begin(), good.begin() + 68)));
    EXPECT_FALSE(valid(Bytes(good.begin(), good.begin() + 67)) || valid(otherCreator));
}

TEST(ContainerRecords, CountIsSignedAndMissingEntriesReadOnes) {
    Bytes bytes = fixtures::buildDatabase("Two", {fixtures::FixtureRecord{}, {}});
    std::copy_n("\x80\x00", 2, bytes.begin() + 76);
    const OpenFile negative = openScratch("negative-count.pdb", bytes);
    EXPECT_EQ(readRecordCount(negative.get()), -32768);
    std::int16_t images = -1;
    EXPECT_EQ(queryCatalogue(negative.get(), 0, {&images, nullptr, nullptr}), kImageNotFound);
    EXPECT_EQ(images, 0);
    EXPECT_TRUE(listCatalogue(negative.get()).empty());

    // Cut after the first entry: the second entry's offset reads as ones.
    std::copy_n("\x00\x02", 2, bytes.begin() + 76);
    bytes.resize(kHeaderBytes + kRecordEntryBytes);
    const OpenFile cut = openScratch("cut-entries.pdb", bytes);
    EXPECT_EQ(readRecordCount(cut.get()), 2);
    EXPECT_EQ(recordOffset(cut.get(), 0), kHeaderBytes + 2 * kRecordEntryBytes + 2);
    EXPECT_EQ(recordOffset(cut.get(), 1), 0xFFFFFFFFu);
}

// A UTF-8 path names the file of those characters, whatever code page the
// process runs under (the test programs run under Windows' Latin one).
TEST(FileOpen, AFileOfAnyNameIsCreatedUnderThatNameAndOpensAgain) {
    const std::string folder = testing::freshFolder("open"), name = "\u5199\u771F \u00E9.bin";
    ASSERT_TRUE(OpenFile(openFile(folder + name, "wb")));
    EXPECT_TRUE(OpenFile(openFile(folder + name, "rb")));
    const auto entry = std::filesystem::directory_iterator(folder);
    ASSERT_NE(entry, std::filesystem::directory_iterator());
    EXPECT_TRUE(entry->path().filename().u8string() == u8"\u5199\u771F \u00E9.bin");
}

}  // namespace
}  // namespace ferrovel
