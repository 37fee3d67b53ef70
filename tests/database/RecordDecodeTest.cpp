#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "database/ImageRecord.h"
#include "database/RecordCheck.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;
using fixtures::FixtureRecord;
using testing::firstMismatch;
using testing::makeRecord;

std::optional<RgbImage> decodeOnly(const FixtureRecord& record, std::size_t fileBytes = SIZE_MAX) {
    Bytes database = fixtures::buildDatabase("Decode", {record});
    database.resize(std::min(fileBytes, database.size()));
    return decodeRecord(testing::openScratch("decode.pdb", database).get(), 0);
}

// Bytes with runs in them, so that compressing them gives both packet kinds.
Bytes patternBytes(std::size_t count, std::uint32_t seed) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned r = (seed = seed * 1103515245u + 12345u) >> 16;
        bytes[i] = i > 0 && r % 2 == 0 ? bytes[i - 1] : static_cast<std::uint8_t>(r >> 8);
    }
    return bytes;
}

// Pixel colours taken straight from stored rows by the layout rules.
auto storedColours(const Bytes& rows, std::size_t rowBytes, int bits) {
    return [&rows, rowBytes, bits](int x, int y) {
        const std::uint8_t* row = rows.data() + rowBytes * static_cast<std::size_t>(y);
        if (bits == 16)
            return testing::colourOf(16, std::uint32_t{row[2 * x]} << 8 | row[2 * x + 1]);
        const int bit = x * bits;
        return testing::colourOf(bits, (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1));
    };
}

TEST(RecordDecode, EveryFormatDropsItsPaddingRawOrCompressed) {
    // Stored bits, header size, width, stored row bytes, bits decoded.
    const int cases[][5] = {
        {1, 28, 20, 4, 1},  {2, 28, 5, 2, 2}, {2, 28, 3, 2, 2}, {2, 28, 13, 4, 2},
        {4, 28, 2, 2, 4},   {4, 28, 5, 4, 4}, {8, 28, 3, 4, 8}, {16, 28, 3, 8, 16},
        {7, 28, 5, 6, 8},    // an unknown format decodes as 8 bits
        {16, 27, 17, 4, 1},  // a short header has no format field: 1 bit
    };
    for (const auto& [storedBits, headerSize, width, rowBytes, decodedBits] : cases) {
        for (bool compressed : {false, true}) {
            SCOPED_TRACE(::testing::Message() << storedBits << " bits, header " << headerSize
                                              << ", width " << width << ", " << compressed);
            const Bytes rows = patternBytes(rowBytes * 3u, static_cast<std::uint32_t>(width));
            FixtureRecord record =
                makeRecord(static_cast<std::uint16_t>(storedBits), width, 3, rows, compressed);
            record.headerSize = static_cast<std::uint32_t>(headerSize);
            const auto image = decodeOnly(record);
            ASSERT_TRUE(image);
            EXPECT_EQ(image->width, width);
            EXPECT_EQ(image->height, 3);
            EXPECT_EQ(firstMismatch(*image, storedColours(rows, static_cast<std::size_t>(rowBytes),
                                                          decodedBits)),
                      "");
        }
    }
}

TEST(RecordDecode, EmptyOrNegativeSizesGiveEmptyImages) {
    for (const auto& [width, height] : {std::pair{160, 0}, {0, 160}, {-5, 4}, {4, -5}}) {
        const auto image = decodeOnly(makeRecord(8, width, height));
        ASSERT_TRUE(image);
        EXPECT_EQ(std::tuple(image->width, image->height, image->pixels.size()),
                  std::tuple(std::max(width, 0), std::max(height, 0), std::size_t{0}));
    }
}

TEST(RecordDecode, TruncatedRecordReadsOnesForMissingBytes) {
    for (std::uint16_t bits : {1, 2, 4, 8, 16}) {
        for (const auto& [compressed, pastEnd] :
             {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
            SCOPED_TRACE(::testing::Message() << bits << " bits, " << compressed << pastEnd);
            const std::size_t rowBytes = fixtures::fixtureRowBytes(bits, 160);
            const Bytes rows(rowBytes * 16, 0);
            // Pixel data starts after 88 bytes of database header and entry; zero
            // rows compress to pairs (0xFF, 0x00) of 128 bytes each.
            const std::size_t pixelStart = 88 + (bits >= 8 ? 476 : 116), kept = pastEnd ? 0 : 256;
            const std::size_t fileBytes =
                pastEnd ? pixelStart - 10 : pixelStart + (compressed ? 4 : kept);
            Bytes expected(kept, 0);
            expected.resize(rows.size(), 0xFF);
            const auto image = decodeOnly(makeRecord(bits, 160, 16, rows, compressed), fileBytes);
            ASSERT_TRUE(image);
            EXPECT_EQ(firstMismatch(*image, storedColours(expected, rowBytes, bits)), "");
            EXPECT_EQ(testing::pixelAt(*image, 159, 15),
                      (bits == 16 ? std::vector<int>{248, 252, 248} : std::vector<int>(3, 0)));
        }
    }
}

TEST(RecordDecode, LabelIsOneLineWithItsFirstBreakAsASpace) {
    const auto labelOf = [](const std::string& label, bool terminated = true) {
        FixtureRecord record = makeRecord(8, 2, 1);
        record.label = label;
        record.labelTerminated = terminated;
        return readRecordInfo(testing::openDatabase("label.pdb", {record}).get(), 0, true).label;
    };
    EXPECT_EQ(labelOf("x\ry\rz"), "x y\rz");
    EXPECT_EQ(labelOf("tab\there\n"), "tab here\n");
    EXPECT_EQ(labelOf("one\ntwo"), "one ");
    EXPECT_EQ(labelOf(std::string("abc\0\tdef", 8)), "abc");
    EXPECT_EQ(labelOf(std::string(1200, 'a')), std::string(998, 'a'));
    EXPECT_EQ(labelOf("tail", false), "tail");
}

TEST(RecordCheck, TheStructureCheckReadsHeadersAloneAndTheDecodeCheckFindsCutRuns) {
    // Record 0 starts at byte 88, its pixel data at 88 + 116: four 1-bit rows
    // of 4 distinct bytes, compressed into one literal packet of 17 bytes. A
    // record starting past the end and raw rows cut short, the tool's tests
    // report.
    constexpr std::size_t kPixels = 88 + 116, kWhole = SIZE_MAX;
    using P = RecordProblem;
    const struct {
        bool compressed;
        int width;
        std::size_t fileBytes;
        RecordProblem structure, decode;
    } cases[] = {
        {true, 32, kWhole, P::None, P::None},
        {true, 32, 88 + 20, P::HeaderCut, P::HeaderCut},
        {true, -5, kWhole, P::NegativeSize, P::NegativeSize},
        {true, 32, kPixels, P::PixelDataCut, P::PixelDataCut},      // starts at the end
        {true, 32, kPixels + 3, P::LabelPastEnd, P::PixelDataCut},  // only a decode sees the cut
        {false, 32, kPixels + 16, P::LabelPastEnd, P::LabelPastEnd},
    };
    Bytes rows(16);
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<std::uint8_t>(i * 37 + 1);
    const auto text = [](RecordProblem p) { return std::string(recordProblemText(p)); };
    for (const auto& c : cases) {
        Bytes bytes = fixtures::buildDatabase(
            "Check", {makeRecord(1, c.width, 4, c.width > 0 ? rows : Bytes(), c.compressed)});
        bytes.resize(std::min(c.fileBytes, bytes.size()));
        const auto file = testing::openScratch("check.pdb", bytes);
        // The walk over all records and the look-up by index check alike.
        const RecordInfo walked = readAllRecordInfo(file.get()).at(0);
        EXPECT_EQ(text(checkRecordStructure(walked, bytes.size())), text(c.structure));
        EXPECT_EQ(text(checkRecord(file.get(), 0, bytes.size(), CheckDepth::Structure)),
                  text(c.structure));
        EXPECT_EQ(text(checkRecord(file.get(), 0, bytes.size())), text(c.decode)) << c.fileBytes;
    }
}

}  // namespace
}  // namespace ferrovel
