#include <gtest/gtest.h>

#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

#include "convert/Reduce.h"

namespace ferrovel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Rgb = std::array<int, 3>;

// Packs a width x height picture of one colour; the buffer is in blue, green,
// red order, as reduceImage reads it.
Bytes packedPicture(const Rgb& colour, int width, int height, int depth, bool dither) {
    Bytes pixels;
    for (int i = 0; i < width * height; ++i) {
        for (int k = 2; k >= 0; --k) pixels.push_back(static_cast<std::uint8_t>(colour[k]));
    }
    EXPECT_EQ(reduceImage(pixels.data(), static_cast<std::int16_t>(width),
                          static_cast<std::int16_t>(height), static_cast<std::int16_t>(depth),
                          dither ? 1 : 0),
              0);
    pixels.resize(packedRowBytes(static_cast<std::int16_t>(depth), width) *
                  static_cast<std::size_t>(height));
    return pixels;
}

Rgb reduced(const Rgb& in, int depth, bool dither, int x = 0, int y = 0) {
    auto r = static_cast<std::int16_t>(in[0]), g = static_cast<std::int16_t>(in[1]),
         b = static_cast<std::int16_t>(in[2]);
    reducePixel(r, g, b, static_cast<std::int16_t>(depth), dither ? 1 : 0, x, y);
    return {r, g, b};
}

TEST(Reduce, PixelValuesOfEachDepth) {
    struct Case {
        Rgb in;
        int depth;
        bool dither;
        int x, y;
        Rgb out;
    };
    const Case cases[] = {
        {{128, 128, 128}, 4, false, 0, 0, {108, 108, 108}},  // steps of 36, not 17
        {{128, 128, 128}, 8, false, 0, 0, {119, 119, 119}},
        {{128, 128, 128}, 8, true, 0, 0, {135, 135, 135}},  // a unit, not a level, lower
        {{128, 128, 128}, 8, true, 1, 0, {136, 136, 136}},
        {{255, 0, 0}, 8, false, 0, 0, {215, 0, 0}},
        {{255, 255, 255}, 2, true, 0, 0, {192, 192, 192}},
        {{100, 150, 200}, 16, false, 0, 0, {96, 148, 200}},
        {{100, 150, 200}, 3, true, 0, 0, {100, 150, 200}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reduced(c.in, c.depth, c.dither, c.x, c.y), c.out)
            << c.in[0] << "," << c.in[1] << "," << c.in[2] << " depth " << c.depth << " dither "
            << c.dither << " at " << c.x << "," << c.y;
    }
}

TEST(Reduce, PackedPictures) {
    struct Case {
        Rgb colour;
        int width, height, depth;
        bool dither;
        Bytes packed;
    };
    const Case cases[] = {
        // Mid gray falls on pattern 4, a checkerboard.
        {{128, 128, 128}, 8, 2, 1, true, {0xAA, 0x00, 0x55, 0x00}},
        {{128, 128, 128}, 8, 2, 1, false, {0x00, 0x00, 0x00, 0x00}},
        {{128, 128, 128}, 2, 1, 4, false, {0x99, 0x00}},
        {{128, 128, 128}, 2, 2, 8, false, {219, 219, 219, 219}},
        // Red is the last byte of a pixel; the checkerboard offset does not
        // move the full channel off its cube level.
        {{255, 0, 0}, 2, 1, 8, true, {143, 143}},
        {{255, 255, 0}, 2, 1, 8, false, {139, 139}},
        {{100, 150, 200}, 1, 1, 16, false, {0x64, 0xB9}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(packedPicture(c.colour, c.width, c.height, c.depth, c.dither), c.packed)
            << c.colour[0] << "," << c.colour[1] << "," << c.colour[2] << " depth " << c.depth
            << " dither " << c.dither;
    }
    // Below 16 bits white packs to code 0 and black to all ones, dithered or
    // not; 16 pixels fill whole bytes without padding.
    for (int depth : {1, 2, 4, 8, 16}) {
        for (bool dither : {false, true}) {
            const Bytes white(static_cast<std::size_t>(4 * depth), depth == 16 ? 0xFF : 0x00);
            const Bytes black(white.size(), depth == 16 ? 0x00 : 0xFF);
            EXPECT_EQ(packedPicture({255, 255, 255}, 16, 2, depth, dither), white)
                << "white, depth " << depth << " dither " << dither;
            EXPECT_EQ(packedPicture({0, 0, 0}, 16, 2, depth, dither), black)
                << "black, depth " << depth << " dither " << dither;
        }
    }
}

TEST(Reduce, RowsArePaddedToEvenBytesWithZeroBits) {
    struct Case {
        int depth, width;
        Bytes row;
    };
    const Case cases[] = {
        {1, 3, {0xE0, 0x00}}, {1, 20, {0xFF, 0xFF, 0xF0, 0x00}},    {2, 4, {0xFF, 0x00}},
        {4, 3, {0xFF, 0xF0}}, {8, 5, {255, 255, 255, 255, 255, 0}}, {16, 1, {0x00, 0x00}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(packedRowBytes(static_cast<std::int16_t>(c.depth), c.width), c.row.size());
        // A near-black whose input bytes are not 0, so that zero padding is
        // written and not left over; two rows follow each other without gaps.
        Bytes twoRows = c.row;
        twoRows.insert(twoRows.end(), c.row.begin(), c.row.end());
        EXPECT_EQ(packedPicture({3, 3, 3}, c.width, 2, c.depth, false), twoRows)
            << "depth " << c.depth << " width " << c.width;
    }
}

TEST(Reduce, UnsupportedDepthLeavesTheBufferAsItIs) {
    for (int depth : {0, 3, 24, -1}) {
        Bytes pixels = {1, 2, 3, 4, 5, 6};
        EXPECT_EQ(reduceImage(pixels.data(), 2, 1, static_cast<std::int16_t>(depth), 1), 0);
        EXPECT_EQ(pixels, (Bytes{1, 2, 3, 4, 5, 6})) << "depth " << depth;
    }
}

TEST(Reduce, DitheredOneBitGrayBlackensAsManyPixelsAsItsPatternHasBits) {
    // Gray 32 i + 16 selects pattern i.
    const int blackPixels[] = {64, 56, 48, 40, 32, 16, 8, 0};
    for (int i = 0; i < 8; ++i) {
        std::size_t black = 0;
        for (std::uint8_t byte :
             packedPicture({32 * i + 16, 32 * i + 16, 32 * i + 16}, 8, 8, 1, true)) {
            black += std::bitset<8>(byte).count();
        }
        EXPECT_EQ(black, static_cast<std::size_t>(blackPixels[i])) << "pattern " << i;
    }
}

TEST(Reduce, RedAndBlueAreTreatedAlikeAndGraysComeBackGray) {
    int asymmetric = 0, unequalGrays = 0;
    for (int depth : {1, 2, 4, 8, 16}) {
        // Red and blue in steps of 5, green in steps of 15, at five positions
        // and with the dither off and on.
        for (int i = 0; i < 52 * 52 * 18 * 10; ++i) {
            const int r = i % 52 * 5, b = i / 52 % 52 * 5, g = i / 2704 % 18 * 15, p = i / 48672;
            const bool dither = p % 2 != 0;
            const Rgb one = reduced({r, g, b}, depth, dither, p * 3 % 8, p * 5 % 8);
            const Rgb other = reduced({b, g, r}, depth, dither, p * 3 % 8, p * 5 % 8);
            if (one != Rgb{other[2], other[1], other[0]}) ++asymmetric;
            if (depth < 8 && (one[0] != one[1] || one[1] != one[2])) ++unequalGrays;
        }
    }
    EXPECT_EQ(asymmetric, 0);
    EXPECT_EQ(unequalGrays, 0);
}

TEST(Reduce, PaletteIndexFollowsTheCheckerboardAndSkipsTheUnusedEntries) {
    buildPaletteLookup();
    // The offset puts 129 on either side of the cube threshold 127.
    EXPECT_EQ(paletteIndex(0, 0, 129, 0, 0), 179);
    EXPECT_EQ(paletteIndex(1, 0, 129, 0, 0), 161);
    EXPECT_EQ(paletteIndex(1, 0, 4, 4, 4), 255);  // still black after adding 3
    int unused = 0;
    for (int i = 0; i < 86 * 86 * 86 * 2; ++i) {
        const auto r = static_cast<std::int16_t>(i % 86 * 3),
                   g = static_cast<std::int16_t>(i / 86 % 86 * 3),
                   b = static_cast<std::int16_t>(i / 7396 % 86 * 3);
        const std::uint8_t entry = paletteIndex(i / 636056, 0, r, g, b);
        if (entry >= 224 && entry <= 254) ++unused;
    }
    EXPECT_EQ(unused, 0);
}

}  // namespace
}  // namespace ferrovel
