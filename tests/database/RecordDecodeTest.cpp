// Records: their pixel formats and padding, the run-length packets of
// compressed pixel data, the palette and the labels' character set.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <tuple>

#include "database/ImageRecord.h"
#include "database/RecordCheck.h"
#include "database/RunLengthCodec.h"
#include "database/TextEncoding.h"
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
            const std::string what = std::to_string(storedBits) + " bits, header " +
                                     std::to_string(headerSize) + ", width " +
                                     std::to_string(width) + (compressed ? ", compressed" : "");
            const Bytes rows = patternBytes(rowBytes * 3u, static_cast<std::uint32_t>(width));
            FixtureRecord record =
                makeRecord(static_cast<std::uint16_t>(storedBits), width, 3, rows, compressed);
            record.headerSize = static_cast<std::uint32_t>(headerSize);
            const auto image = decodeOnly(record);
            ASSERT_TRUE(image) << what;
            EXPECT_EQ((std::pair<int, int>(image->width, image->height)), std::pair(width, 3))
                << what;
            EXPECT_EQ(firstMismatch(*image, storedColours(rows, static_cast<std::size_t>(rowBytes),
                                                          decodedBits)),
                      "")
                << what;
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
            const std::string what = std::to_string(bits) + " bits" +
                                     (compressed ? ", compressed" : "") +
                                     (pastEnd ? ", starting past the end" : "");
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
            ASSERT_TRUE(image) << what;
            EXPECT_EQ(firstMismatch(*image, storedColours(expected, rowBytes, bits)), "") << what;
            EXPECT_EQ(testing::pixelAt(*image, 159, 15),
                      (bits == 16 ? std::vector<int>{248, 252, 248} : std::vector<int>(3, 0)))
                << what;
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

// That whatever the run-length encoder accepts decodes back to itself is the
// run-length fuzz target's check, on any input.
TEST(RunLengthDecoder, ExhaustedOnlyOnceTheFileHasEnded) {
    // Four 0x11, then a literal packet of three bytes of which the file holds
    // two: the 0xFF bytes the file holds do not end it.
    const auto file = testing::openScratch("exhaust.bin", {0x07, 0x11, 0x04, 0xFF, 0xFF});
    RunLengthDecoder decoder;
    beginDecode(decoder, file.get());
    Bytes got(6);
    decodeBytes(decoder, got.data(), got.size());
    EXPECT_EQ(got, (Bytes{0x11, 0x11, 0x11, 0x11, 0xFF, 0xFF}));
    EXPECT_FALSE(decoderExhausted(decoder));
    decodeBytes(decoder, got.data(), 1);
    EXPECT_EQ(got[0], 0xFF);
    EXPECT_TRUE(decoderExhausted(decoder));
}

// Encodes into an area of input.size() bytes followed by canary bytes, and
// checks that the encoder kept to its area.
Bytes encode(const Bytes& input) {
    Bytes area(input.size() + 16, 0xA5);
    const std::size_t n = encodeRuns(input.data(), input.size(), area.data());
    EXPECT_LT(n, std::max<std::size_t>(input.size(), 1));
    EXPECT_EQ(
        std::count(area.begin() + static_cast<std::ptrdiff_t>(input.size()), area.end(), 0xA5), 16)
        << "wrote past the area of " << input.size() << " bytes";
    area.resize(n);
    return area;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(RunLengthEncoder, GreedyPieces) {
    Bytes ascending(128);
    std::iota(ascending.begin(), ascending.end(), std::uint8_t{0});
    const Bytes sevens(10, 7);
    Bytes longest;  // 32767 zeros: 255 full repeat packets and one of 127
    for (int i = 0; i < 255; ++i) longest = longest + Bytes{255, 0};
    const std::pair<Bytes, Bytes> cases[] = {
        // Two equal bytes stay in a literal, three break it, also at the start.
        {Bytes{1, 2, 3, 4, 9, 9} + sevens, {10, 1, 2, 3, 4, 9, 9, 19, 7}},
        {Bytes{1, 2, 2, 2, 9, 9} + sevens, {0, 1, 5, 2, 3, 9, 19, 7}},
        {Bytes{1, 1, 1, 2, 9, 9} + sevens, {5, 1, 4, 2, 9, 9, 19, 7}},
        // Full packets of 128 and what follows them (blank tiles, the append
        // tests pin byte for byte).
        {Bytes(128, 9), {255, 9}},
        {Bytes(129, 9), {255, 9, 1, 9}},
        {Bytes(130, 9), {255, 9, 3, 9}},
        {ascending + Bytes(200, 0), Bytes{254} + ascending + Bytes{255, 0, 143, 0}},
        // The longest input, and one byte more.
        {Bytes(32767, 0), longest + Bytes{253, 0}},
        {Bytes(32768, 0), {}},
        // An area of L bytes holds at most L - 2, or L - 1 when the last piece
        // is the lone closing byte: no room for these.
        {{1, 2, 3, 4}, {}},
        {{3}, {}},
        {{5, 5, 5, 5, 7, 8}, {}},
        {{5, 5, 5, 7}, {}},
        {{5, 5, 1, 2, 3, 4, 9, 9, 9}, {}},
        {{5, 5, 5, 5, 1, 2, 3, 4}, {}},  // a literal one byte past L - 2
        {{1, 1, 2, 2, 3, 3, 3}, {}},     // a repeat one byte past L - 2
        {{5, 5, 5, 5, 7, 7}, {7, 5, 3, 7}},
        {{5, 5, 5, 5, 7}, {7, 5, 1, 7}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(encode(cases[i].first), cases[i].second) << "case " << i;
}

using Rgb = std::vector<int>;
using testing::colourOf;

TEST(Palette, CubeGraysNamedColoursBlackAndTheGrayMaps) {
    const int levels[] = {255, 204, 153, 102, 51, 17}, blueBase[] = {0, 6, 12, 108, 114, 120};
    for (int i = 0; i < 216; ++i) {
        const int r = i / 36, g = i / 6 % 6, b = i % 6;
        EXPECT_EQ(colourOf(8, 18 * r + g + blueBase[b]), (Rgb{levels[r], levels[g], levels[b]}));
    }
    const int grays[] = {34, 68, 85, 119, 136, 170, 187, 221, 238, 204};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(colourOf(8, 216 + i), Rgb(3, grays[i])) << 216 + i;
    const std::pair<int, Rgb> named[] = {
        {226, {136, 0, 0}}, {227, {136, 0, 136}}, {228, {0, 136, 0}}, {229, {0, 136, 136}}};
    for (const auto& [index, colour] : named) EXPECT_EQ(colourOf(8, index), colour) << index;
    for (int i = 230; i < 256; ++i) EXPECT_EQ(colourOf(8, i), Rgb(3, 0)) << i;
    // The gray maps of the 2- and 4-bit formats point at exact levels.
    for (int v = 0; v < 4; ++v) EXPECT_EQ(colourOf(8, kGray2Entries[v]), Rgb(3, 255 - 85 * v)) << v;
    for (int v = 0; v < 16; ++v)
        EXPECT_EQ(colourOf(8, kGray4Entries[v]), Rgb(3, 255 - 17 * v)) << v;
}

// Labels in the handheld's character set against the program's UTF-8.

TEST(TextEncoding, EveryHandheldByteComesBackAndWhatTheHandheldLacksBecomesAQuestionMark) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
    EXPECT_EQ(utf8ToHandheld(handheldToUtf8(all)), all);
    // UTF-8 and the handheld's bytes for it; the first three convert both ways.
    const std::pair<const char*, const char*> cases[] = {
        {"\xE2\x82\xAC", "\x80"},  {"\xC5\xB8", "\x9F"},
        {"\xC3\xBF", "\xFF"},      {"\xE5\x86\x99\xE7\x9C\x9F 1", "?? 1"},  // 写真 1
        {"\xF0\x9F\x98\x80", "?"},  // beyond the 16-bit plane
        {"\xC2\x80", "?"},          // a C1 control 1252 lacks
        {"a\xC3", "a?"},            // cut short
        {"\xC0\xAF", "??"},         // overlong
        {"\xED\xA0\x80", "???"},    // a surrogate
        {"\xA9x", "?x"},            // a stray continuation
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(utf8ToHandheld(cases[i].first), cases[i].second) << i;
        EXPECT_TRUE(i >= 3 || handheldToUtf8(cases[i].second) == cases[i].first) << i;
    }
}

}  // namespace
}  // namespace ferrovel
