// Run-length packets. That whatever the encoder accepts decodes back to
// itself is the run-length fuzz target's check, on any input.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "database/RunLengthCodec.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;
using testing::openScratch;

TEST(RunLengthDecoder, ExhaustedOnlyOnceTheFileHasEnded) {
    // Four 0x11, then a literal packet of three bytes of which the file holds
    // two: the 0xFF bytes the file holds do not end it.
    const auto file = openScratch("exhaust.bin", {0x07, 0x11, 0x04, 0xFF, 0xFF});
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

Bytes repeated(std::size_t count, const Bytes& piece) {
    Bytes out;
    while (count-- > 0) out = out + piece;
    return out;
}

TEST(RunLengthEncoder, GreedyPieces) {
    Bytes ascending(129);
    std::iota(ascending.begin(), ascending.end(), std::uint8_t{0});
    const Bytes sevens(10, 7);
    const std::pair<Bytes, Bytes> cases[] = {
        // Two equal bytes stay in a literal, three break it, also at the start.
        {Bytes{1, 2, 3, 4, 9, 9} + sevens, {10, 1, 2, 3, 4, 9, 9, 19, 7}},
        {Bytes{1, 2, 2, 2, 9, 9} + sevens, {0, 1, 5, 2, 3, 9, 19, 7}},
        {Bytes{1, 1, 1, 2, 9, 9} + sevens, {5, 1, 4, 2, 9, 9, 19, 7}},
        // Full packets of 128 and what follows them (blank tiles, the append
        // tests pin byte for byte); a 129th distinct byte starts a new literal.
        {Bytes(128, 9), {255, 9}},
        {Bytes(129, 9), {255, 9, 1, 9}},
        {Bytes(130, 9), {255, 9, 3, 9}},
        {ascending + Bytes(200, 0), Bytes{254} + Bytes(ascending.begin(), ascending.end() - 1) +
                                        Bytes{0, 128, 255, 0, 143, 0}},
        // The longest input, and one byte more.
        {Bytes(32767, 0), repeated(255, {255, 0}) + Bytes{253, 0}},
        {Bytes(32768, 0), {}},
        // An area of L bytes holds at most L - 2, or L - 1 when the last piece
        // is the lone closing byte: no room for these.
        {{1, 2, 3, 4}, {}},
        {{3}, {}},
        {{5, 5, 5, 5, 7, 8}, {}},
        {{5, 5, 5, 7}, {}},
        {{5, 5, 1, 2, 3, 4, 9, 9, 9}, {}},
        {{5, 5, 5, 5, 7, 7}, {7, 5, 3, 7}},
        {{5, 5, 5, 5, 7}, {7, 5, 1, 7}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(encode(cases[i].first), cases[i].second) << "case " << i;
}

}  // namespace
}  // namespace ferrovel
