// Every byte of a few small valid inputs set to 0x00, 0xFF and its complement,
// then every shorter length: each reader returns a status and keeps to its
// buffers (the sanitizer build watches the reads; under Wine the sizes do).
// Appending to such files is the append fuzz target's concern.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "database/Catalogue.h"
#include "database/RecordCheck.h"
#include "interchange/Bmp.h"
#include "interchange/DibBlock.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;

void putLE32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

struct Mutant {
    Bytes bytes;  // in a buffer of exactly their size, so that the sanitizers see a read past it
    std::FILE* file;  // the same bytes, open for update
    std::string path;
};

// Runs check on every mutant of good: each byte set to 0x00, 0xFF and its
// complement, then every length from none up to the whole; stops at the
// first failure. One scratch file is changed in place a byte at a time, as
// writing thousands of files anew takes long under Wine.
void sweep(const Bytes& good, const std::function<void(const Mutant&)>& check) {
    Mutant mutant{good, nullptr, testing::writeScratchFile("sweep.bin", good)};
    testing::OpenFile file(std::fopen(mutant.path.c_str(), "r+b"));
    const auto set = [&](std::size_t at, int value) {
        mutant.bytes.resize(std::max(mutant.bytes.size(), at + 1));
        mutant.bytes[at] = static_cast<std::uint8_t>(value);
        std::fseek(file.get(), static_cast<long>(at), SEEK_SET);
        std::fputc(value, file.get());
        std::fflush(file.get());
    };
    const auto passes = [&](const std::string& what) {
        SCOPED_TRACE(what);
        EXPECT_TRUE(file) << mutant.path;
        if (file) check({mutant.bytes, file.get(), mutant.path});
        return !::testing::Test::HasFailure();
    };
    for (std::size_t at = 0; at < good.size(); ++at) {
        for (const int value : {0x00, 0xFF, ~good[at] & 0xFF}) {
            set(at, value);
            if (!passes("byte " + std::to_string(at) + " set to " + std::to_string(value))) return;
        }
        set(at, good[at]);
    }
    file.reset();
    mutant.bytes.clear();
    file.reset(std::fopen(testing::writeScratchFile("sweep.bin", {}).c_str(), "r+b"));
    for (std::size_t length = 0; passes("cut to " + std::to_string(length) + " bytes"); ++length) {
        if (length == good.size()) return;
        set(length, good[length]);
    }
}

fixtures::FixtureRecord tile(std::uint16_t bits, int width, int height, const std::string& label,
                             bool compressed, std::uint32_t seed) {
    fixtures::FixtureRecord record = testing::makeRecord(
        bits, width, height,
        fixtures::packRows(bits, width, height,
                           [&](int x, int y) { return (x / 3 + y * 7 + seed) % 5 * 0x3333u; }),
        compressed);
    record.label = label;
    return record;
}

void checkDatabase(const Mutant& db) {
    std::FILE* const file = db.file;
    isImageDatabase(file);
    const std::vector<CatalogueEntry> entries = listCatalogue(file);
    std::int16_t count = -1;
    queryCatalogue(file, 0, {&count, nullptr, nullptr});
    EXPECT_EQ(count, static_cast<std::int16_t>(entries.size()));
    for (std::int16_t i = 0; i < std::min<std::int16_t>(count, 3); ++i) {
        RgbImage image;
        const std::int16_t status = composeImage(file, i, image);
        ASSERT_TRUE(status == 0 || status == kComposeNoMemory) << status;
        if (status != 0) continue;
        ASSERT_TRUE(image.width >= 0 && image.height >= 0) << image.width << "x" << image.height;
        EXPECT_EQ(image.pixels.size(), std::size_t{3} * image.width * image.height);
    }
    const std::int16_t records = readRecordCount(file);
    for (std::int16_t r = 0; r < records; ++r) checkRecord(file, r, db.bytes.size());
}

TEST(MutationSweep, DatabasesListComposeAndCheckEveryMutant) {
    const Bytes databases[] = {
        fixtures::buildDatabase("Mono", {tile(1, 20, 10, "#(0,0) - 20x10 Mono", false, 0)}),
        fixtures::buildDatabase("Wide", {tile(8, 20, 10, "#(0,0) - 180x10 Wide", true, 0),
                                         tile(8, 20, 10, "#(1,0) - 180x10 Wide", true, 2)}),
        fixtures::buildDatabase("Layers", {tile(16, 6, 4, "#(0,0) - 6x4 {1/2} Two", false, 0),
                                           tile(16, 6, 4, "#(0,0) - 6x4 {2/2} Two", false, 1)}),
    };
    for (const Bytes& db : databases) {
        const testing::OpenFile file = testing::openScratch("sweep-good.pdb", db);
        ASSERT_EQ(listCatalogue(file.get()).size(), 1u);
        sweep(db, checkDatabase);
    }
}

// An indexed bitmap file of a few pixels behind an info header of infoSize
// bytes: a palette of colours entries (all of them when 0), then rows of
// bytes that also index past the palette.
Bytes indexedBitmap(std::uint32_t infoSize, std::uint32_t bits, std::uint32_t width,
                    std::uint32_t colours) {
    const std::uint32_t offset = 14 + infoSize + 4 * (colours != 0 ? colours : 1u << bits);
    Bytes out(offset + 3 * ((width * bits + 31) / 32 * 4));  // three rows
    for (std::size_t i = 14; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(i * 37);
    out[0] = 'B', out[1] = 'M';
    // From offset 2: file size, reserved, pixel data offset, info header size,
    // width, height, planes and bits, compression, image size, resolutions,
    // colours used.
    const auto size = static_cast<std::uint32_t>(out.size());
    const std::uint32_t fields[] = {size,           0, offset, infoSize, width, 3,
                                    1 | bits << 16, 0, 0,      0,        0,     colours};
    for (std::size_t i = 0; i < std::size(fields); ++i) putLE32(out, 2 + 4 * i, fields[i]);
    return out;
}

// A block accepted gets the file header of a file that holds its pixel offset.
void checkClipboardBlock(const Mutant& mutant) {
    const DibFileHeader header = dibFileHeader(mutant.bytes);
    ASSERT_TRUE(header.status == 0 || header.status == kDibTooShort) << header.status;
    if (header.status != 0) return;
    const std::uint64_t fileSize = mutant.bytes.size() + kBmpFileHeaderBytes;
    EXPECT_GE(header.pixelOffset, 54u);
    EXPECT_LE(header.pixelOffset, fileSize);
    Bytes expected(kBmpFileHeaderBytes, 0);
    expected[0] = 'B', expected[1] = 'M';
    putLE32(expected, 2, static_cast<std::uint32_t>(fileSize));
    putLE32(expected, 10, header.pixelOffset);
    EXPECT_EQ(Bytes(header.bytes.begin(), header.bytes.end()), expected);
}

// Each bitmap without its file header as a clipboard block. The bitmap files
// themselves go to the bitmap and picture fuzz targets, which check the same.
TEST(MutationSweep, ClipboardBlocksGetAFileHeaderOrAKnownStatus) {
    const std::string path = testing::scratchPath("sweep-24.bmp");
    ASSERT_EQ(writeBmp(path, testing::gradient(5, 4)), 0);
    for (const Bytes& bitmap : {fixtures::readFileBytes(path), indexedBitmap(40, 8, 5, 6),
                                indexedBitmap(40, 4, 7, 0), indexedBitmap(124, 8, 4, 4)}) {
        const Bytes block(bitmap.begin() + kBmpFileHeaderBytes, bitmap.end());
        ASSERT_EQ(dibFileHeader(block).status, 0);
        sweep(block, checkClipboardBlock);
    }
}

}  // namespace
}  // namespace ferrovel
