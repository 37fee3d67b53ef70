#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "database/Append.h"
#include "database/Catalogue.h"
#include "database/Container.h"
#include "database/ImageRecord.h"
#include "database/WorkFile.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;
using fixtures::readFileBytes;
using fixtures::writeFileBytes;

std::uint32_t u32(const Bytes& b, std::size_t at) {
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 |
           std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

void putU32(Bytes& b, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// An empty database at a scratch path, with no work file beside it.
std::string emptyDatabase(const std::string& name) {
    const std::string path = testing::scratchPath(name);
    std::remove(workFilePath(path).c_str());
    EXPECT_EQ(createEmptyDatabase(path), 0);
    return path;
}

// Appends a 160 x 160 picture of one gray value, stored at width x height.
std::int16_t append(const std::string& path, int width = 160, int height = 160, int bits = 1,
                    std::uint8_t value = 255) {
    const BgrImage picture{160, 160, Bytes(160 * 160 * 3, value)};
    AppendOptions options;
    options.name = "Pic";
    options.bits = static_cast<std::int16_t>(bits);
    options.targetWidth = static_cast<std::int16_t>(width);
    options.targetHeight = static_cast<std::int16_t>(height);
    options.dither = 0;
    return appendImage(path, picture, options);
}

// A white tile as the fixture builder stores it, icons all zero. White is
// value 0 below 16 bits and palette entry 0.
fixtures::FixtureRecord whiteTile(int bits) {
    fixtures::FixtureRecord tile =
        testing::makeRecord(static_cast<std::uint16_t>(bits), 160, 160,
                            bits == 16 ? Bytes(51200, 0xFF) : Bytes{}, bits != 16);
    tile.label = "#(0,0) - 160x160 Pic";
    return tile;
}

TEST(AppendImage, WhiteTileRecordsMatchTheFixtureByteForByte) {
    // The record starts at 88, after the one entry. Blank tiles below 16 bits
    // are 25 repeat packets per 3200 bytes; 16-bit tiles are too long for the
    // encoder and stay raw. The label with its zero byte takes 21 bytes.
    const struct {
        int bits;
        std::uint32_t pixelOffset, pixelSize;
    } cases[] = {{1, 116, 50}, {2, 116, 100}, {4, 116, 200}, {8, 476, 400}, {16, 476, 51200}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        const std::string path = emptyDatabase("white.pdb");
        ASSERT_EQ(append(path, 160, 160, c.bits), 0);
        const Bytes db = readFileBytes(path);
        ASSERT_EQ(db.size(), 88 + c.pixelOffset + c.pixelSize + 21);
        Bytes expected = fixtures::buildDatabase("white", {whiteTile(c.bits)});
        // Not the colour icon: scaling down to 20 x 18 leaves rows of it at
        // 254, which the palette's checkerboard offset turns partly gray.
        if (c.pixelOffset == 476)
            std::copy(db.begin() + 204, db.begin() + 564, expected.begin() + 204);
        EXPECT_EQ(db, expected);
    }
}

TEST(AppendImage, ExistingEntriesAndInfoBlocksMoveByEight) {
    const std::string path = emptyDatabase("entries.pdb");
    ASSERT_EQ(append(path), 0);
    Bytes one = readFileBytes(path);
    putU32(one, 82, 0x40ABCDEF);
    writeFileBytes(path, one);
    ASSERT_EQ(append(path), 0);
    Bytes expected = fixtures::buildDatabase("entries", {whiteTile(1), whiteTile(1)});
    putU32(expected, 82, 0x40ABCDEF);
    EXPECT_EQ(readFileBytes(path), expected);

    // Application and sort info blocks behind the entries move with the records.
    Bytes withInfo = readFileBytes(emptyDatabase("info.pdb"));
    putU32(withInfo, 52, 80);
    putU32(withInfo, 56, 84);
    withInfo.insert(withInfo.end(), {1, 2, 3, 4, 5, 6, 7, 8});
    writeFileBytes(path, withInfo);
    ASSERT_EQ(append(path), 0);
    const Bytes moved = readFileBytes(path);
    EXPECT_EQ(u32(moved, 52), 88u);
    EXPECT_EQ(u32(moved, 56), 92u);
    EXPECT_EQ(Bytes(moved.begin() + 88, moved.begin() + 96), Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(u32(moved, 78), 96u);
}

TEST(AppendImage, TilesGoRowByRowWithBlankEdges) {
    const std::string path = emptyDatabase("tiles.pdb");
    ASSERT_EQ(append(path, 161, 100, 1, 0), 0);
    ASSERT_EQ(append(path, 100, 300, 1, 0), 0);
    const testing::OpenFile file(std::fopen(path.c_str(), "rb"));
    ASSERT_EQ(readRecordCount(file.get()), 4);
    const char* const labels[] = {"#(0,0) - 161x100 Pic", "#(1,0) - 161x100 Pic",
                                  "#(0,0) - 100x300 Pic", "#(0,1) - 100x300 Pic"};
    for (std::int16_t i = 0; i < 4; ++i) {
        EXPECT_EQ(readRecordInfo(file.get(), i, true).label, labels[i]);
    }
    // Only column 160 reaches the second tile; its row padding and the rest are blank.
    const std::optional<RgbImage> edge = decodeRecord(file.get(), 1);
    ASSERT_TRUE(edge);
    const auto blackAtLeft = [](int x, int y) {
        return testing::colourOf(1, x == 0 && y < 100 ? 1 : 0);
    };
    EXPECT_EQ(testing::firstMismatch(*edge, blackAtLeft), "");

    std::int16_t images = 0;
    ImageInfo info;
    ASSERT_EQ(queryCatalogue(file.get(), 0, {&images, nullptr, &info}), 0);
    EXPECT_EQ(images, 2);
    EXPECT_EQ(info.width, 161);
    EXPECT_EQ(info.height, 100);
    RgbImage composed;
    ASSERT_EQ(composeImage(file.get(), 1, composed), 0);
    EXPECT_EQ(composed.width, 100);
    EXPECT_EQ(composed.height, 300);
    EXPECT_EQ(composed.pixels, Bytes(100 * 300 * 3, 0));
}

TEST(AppendImage, RefusalsLeaveTheFileAlone) {
    const std::string path = emptyDatabase("refused.pdb");
    const Bytes empty = readFileBytes(path);
    EXPECT_EQ(append(path, 0, 160), kAppendScaleFailed);
    EXPECT_EQ(append(path, 160, 160, 3), kAppendConvertFailed);
    EXPECT_EQ(readFileBytes(path), empty);
    // Each file is written, refused, and must still be there as it was.
    const auto refused = [&](const Bytes& bytes, std::int16_t status, int width = 160) {
        writeFileBytes(path, bytes);
        EXPECT_EQ(append(path, width), status);
        EXPECT_EQ(readFileBytes(path), bytes);
    };
    Bytes notOurs = empty, negative = empty, nearlyFull = empty;
    notOurs[64] = 'X';
    negative[76] = 0x80;
    refused(notOurs, kAppendNotImageDatabase);
    refused(negative, kAppendDatabaseFull);
    // Room for one more record: two tiles are refused, one fits, then nothing does.
    nearlyFull.insert(nearlyFull.begin() + 78, 32766 * 8, 0);
    nearlyFull[76] = 0x7F;
    nearlyFull[77] = 0xFE;
    refused(nearlyFull, kAppendDatabaseFull, 161);
    ASSERT_EQ(append(path), 0);
    const Bytes full = readFileBytes(path);
    EXPECT_EQ(full[76] << 8 | full[77], 32767);
    refused(full, kAppendDatabaseFull);
}

TEST(WorkFile, PathReplacesOnlyTheExtension) {
    EXPECT_EQ(workFilePath("C:\\Images\\Pics.pdb"), "C:\\Images\\Pics$$$");
    EXPECT_EQ(workFilePath("C:\\Images\\Pics"), "C:\\Images\\Pics$$$");
    EXPECT_EQ(workFilePath("C:\\my.images\\Pics"), "C:\\my.images\\Pics$$$");
    EXPECT_EQ(workFilePath("/tmp/v1.2/pics"), "/tmp/v1.2/pics$$$");
    EXPECT_EQ(workFilePath("pics.old.pdb"), "pics.old$$$");
}

TEST(WorkFile, StaleWorkFileIsDeletedNotRestored) {
    const std::string path = emptyDatabase("stale.pdb"), work = workFilePath(path);
    const Bytes empty = readFileBytes(path);
    ASSERT_EQ(append(path), 0);
    const Bytes before = readFileBytes(path);
    ASSERT_EQ(append(path), 0);
    const Bytes expected = readFileBytes(path);
    const Bytes unrelated = fixtures::buildDatabase("Other", {testing::makeRecord(1, 160, 160)});
    // The state the database came from, another database, and no database at all.
    for (const Bytes& stale : {empty, unrelated, Bytes(10, 'x')}) {
        writeFileBytes(path, before);
        writeFileBytes(work, stale);
        ASSERT_EQ(append(path), 0);
        EXPECT_EQ(readFileBytes(path), expected);
        EXPECT_FALSE(std::filesystem::exists(work));
    }
}

TEST(RecoverDatabase, UndoesUnfinishedRewritesAndKeepsFinishedOnes) {
    const std::string path = emptyDatabase("recover.pdb"), work = workFilePath(path);
    EXPECT_EQ(recoverDatabase(path), Recovery::NothingToDo);
    ASSERT_EQ(append(path), 0);
    const Bytes old = readFileBytes(path);
    ASSERT_EQ(append(path, 160, 160, 1, 0), 0);
    const Bytes rewritten = readFileBytes(path);

    std::remove(path.c_str());
    writeFileBytes(work, old);
    EXPECT_EQ(recoverDatabase(path), Recovery::DatabaseRestored);
    EXPECT_EQ(readFileBytes(path), old);
    // Every cut of the rewrite: in the header, the entries, the old records, the new record.
    for (std::size_t length = 0; length < rewritten.size(); ++length) {
        writeFileBytes(path,
                       Bytes(rewritten.begin(), rewritten.begin() + static_cast<long>(length)));
        writeFileBytes(work, old);
        ASSERT_EQ(recoverDatabase(path), Recovery::DatabaseRestored) << "cut at " << length;
        ASSERT_EQ(readFileBytes(path), old) << "cut at " << length;
        ASSERT_FALSE(std::filesystem::exists(work));
    }
    const Bytes unrelated = fixtures::buildDatabase("Other", {testing::makeRecord(1, 160, 160)});
    for (const Bytes& whole : {rewritten, unrelated}) {
        writeFileBytes(path, whole);
        writeFileBytes(work, old);
        EXPECT_EQ(recoverDatabase(path), Recovery::StaleWorkRemoved);
        EXPECT_EQ(readFileBytes(path), whole);
        EXPECT_FALSE(std::filesystem::exists(work));
    }
}

}  // namespace
}  // namespace ferrovel
