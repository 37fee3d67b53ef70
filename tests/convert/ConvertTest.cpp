#include <gtest/gtest.h>

#include <array>
#include <bitset>
#include <cstdint>
#include <tuple>
#include <vector>

#include "convert/Adjust.h"
#include "convert/Reduce.h"
#include "convert/Scale.h"

namespace ferrovel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Rgb = std::array<int, 3>;

Rgb adjusted(const Rgb& in, std::int16_t brightness, std::int16_t contrast) {
    std::int16_t r = in[0], g = in[1], b = in[2];
    EXPECT_EQ(adjustPixel(r, g, b, brightness, contrast), 0);
    return {r, g, b};
}

TEST(Adjust, LightnessMovesTheRoundTripDriftsAndChannelsStayInRange) {
    // Neutral settings still pass through the truncating HLS round trip; no
    // contrast at all leaves only the brightness offset as lightness; a
    // negative stretched lightness is clamped, not wrapped.
    const std::tuple<Rgb, std::int16_t, std::int16_t, Rgb> cases[] = {
        {{68, 32, 130}, 0, 0, {66, 32, 129}},      {{200, 100, 50}, 0, 0, {200, 99, 50}},
        {{255, 0, 0}, 0, 0, {254, 0, 0}},          {{0, 0, 0}, 0, 0, {0, 0, 0}},
        {{255, 255, 255}, 0, 0, {255, 255, 255}},  {{100, 100, 100}, 0, 0, {100, 100, 100}},
        {{100, 100, 100}, 50, 0, {164, 164, 164}}, {{100, 100, 100}, -50, 0, {36, 36, 36}},
        {{100, 100, 100}, 0, 100, {72, 72, 72}},   {{100, 100, 100}, 0, -100, {128, 128, 128}},
        {{200, 100, 50}, 0, -100, {204, 102, 51}}, {{255, 255, 255}, -100, 0, {127, 127, 127}},
        {{200, 100, 50}, -100, 0, {0, 0, 0}},      {{0, 0, 0}, 100, 0, {128, 128, 128}},
        {{10, 10, 10}, 0, 100, {0, 0, 0}}};
    for (const auto& [in, brightness, contrast, out] : cases)
        EXPECT_EQ(adjusted(in, brightness, contrast), out)
            << ::testing::PrintToString(in) << " " << brightness << " " << contrast;
    // Every amount keeps the channels in range.
    const int samples[] = {0, 1, 17, 64, 127, 128, 129, 200, 254, 255};
    int outOfRange = 0;
    for (int i = 0; i < 1000 * 41 * 41; ++i) {
        const Rgb in{samples[i % 10], samples[i / 10 % 10], samples[i / 100 % 10]};
        for (int v : adjusted(in, i / 1000 % 41 * 5 - 100, i / 41000 * 5 - 100))
            outOfRange += v < 0 || v > 255;
    }
    EXPECT_EQ(outOfRange, 0);
}

// A picture whose three bytes of every pixel equal its value.
Bytes grayPicture(const std::vector<int>& values) {
    Bytes bytes;
    for (int v : values) bytes.insert(bytes.end(), 3, static_cast<std::uint8_t>(v));
    return bytes;
}

TEST(Scale, WindowsAverageTheirSourcePixelsAndBadSizesFail) {
    // The second window of 5 to 2 starts at 2.5: (0.5 x 30 + 40 + 50) / 2.5.
    // Windows starting inside the pixel lose a unit to single precision.
    using Pixels = std::vector<int>;
    const std::tuple<std::int16_t, std::int16_t, Pixels, std::int16_t, std::int16_t, Pixels>
        cases[] = {{5, 1, {10, 20, 30, 40, 50}, 2, 1, {20, 42}},
                   {1, 5, {10, 20, 30, 40, 50}, 1, 2, {20, 42}},
                   {2, 1, {7, 200}, 4, 1, {7, 7, 200, 200}},
                   {1, 2, {7, 200}, 1, 4, {7, 7, 200, 200}},
                   {2, 2, {0, 100, 50, 250}, 1, 1, {100}},
                   {1, 1, {255}, 3, 1, {255, 254, 254}},
                   {1, 1, {255}, 1, 3, {255, 254, 254}}};
    for (const auto& [srcWidth, srcHeight, source, dstWidth, dstHeight, expected] : cases) {
        Bytes result;
        ASSERT_EQ(scaleImage(result, dstWidth, dstHeight, grayPicture(source).data(), srcWidth,
                             srcHeight),
                  0);
        EXPECT_EQ(result, grayPicture(expected))
            << srcWidth << "x" << srcHeight << " to " << dstWidth << "x" << dstHeight;
    }
    Bytes source(5 * 3 * 3), result;
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i * 37);
    ASSERT_EQ(scaleImage(result, 5, 3, source.data(), 5, 3), 0);
    EXPECT_EQ(result, source);  // the same size is an exact copy in the same byte order
    // Bad or huge sizes fail and leave the result alone.
    const std::array<std::int16_t, 4> sizes[] = {
        {0, 2, 2, 2},  {2, 0, 2, 2},  {2, 2, 0, 2},         {2, 2, 2, 0},
        {-1, 2, 2, 2}, {2, 2, 2, -5}, {32767, 32767, 2, 2}, {-32768, -32768, 2, 2}};
    for (const auto& [dstWidth, dstHeight, srcWidth, srcHeight] : sizes) {
        result = {9, 8, 7};
        EXPECT_EQ(scaleImage(result, dstWidth, dstHeight, source.data(), srcWidth, srcHeight),
                  kScaleFailed)
            << dstWidth << "x" << dstHeight << " from " << srcWidth << "x" << srcHeight;
        EXPECT_EQ(result, (Bytes{9, 8, 7}));
    }
}

// Packs a width x height picture of one colour; the buffer is in blue, green,
// red order, as reduceImage reads it.
Bytes packedPicture(const Rgb& colour, std::int16_t width, std::int16_t height, std::int16_t depth,
                    bool dither) {
    Bytes pixels;
    for (int i = 0; i < width * height * 3; ++i) pixels.push_back(colour[2 - i % 3]);
    EXPECT_EQ(reduceImage(pixels.data(), width, height, depth, dither), 0);
    pixels.resize(packedRowBytes(depth, width) * height);
    return pixels;
}

Rgb reduced(const Rgb& in, std::int16_t depth, bool dither, int x = 0, int y = 0) {
    std::int16_t r = in[0], g = in[1], b = in[2];
    reducePixel(r, g, b, depth, dither, x, y);
    return {r, g, b};
}

TEST(Reduce, PixelValuesOfEachDepthAndTheirPackedBytes) {
    // Gray levels of 4 bits are steps of 36, not 17; the dither moves 8-bit
    // gray a unit, not a level, lower.
    const std::tuple<Rgb, std::int16_t, bool, int, Rgb> cases[] = {
        {{128, 128, 128}, 4, false, 0, {108, 108, 108}},
        {{128, 128, 128}, 8, false, 0, {119, 119, 119}},
        {{128, 128, 128}, 8, true, 0, {135, 135, 135}},
        {{128, 128, 128}, 8, true, 1, {136, 136, 136}},
        {{255, 0, 0}, 8, false, 0, {215, 0, 0}},
        {{255, 255, 255}, 2, true, 0, {192, 192, 192}},
        {{100, 150, 200}, 16, false, 0, {96, 148, 200}},
        {{100, 150, 200}, 3, true, 0, {100, 150, 200}}};
    for (const auto& [in, depth, dither, x, out] : cases)
        EXPECT_EQ(reduced(in, depth, dither, x), out)
            << ::testing::PrintToString(in) << " depth " << depth << " dither " << dither << x;
    // Mid gray falls on pattern 4, a checkerboard. Red is the last byte of a
    // pixel; the checkerboard offset does not move the full channel off its
    // cube level.
    const std::tuple<Rgb, std::int16_t, std::int16_t, std::int16_t, bool, Bytes> packings[] = {
        {{128, 128, 128}, 8, 2, 1, true, {0xAA, 0x00, 0x55, 0x00}},
        {{128, 128, 128}, 8, 2, 1, false, {0x00, 0x00, 0x00, 0x00}},
        {{128, 128, 128}, 2, 1, 4, false, {0x99, 0x00}},
        {{128, 128, 128}, 2, 2, 8, false, {219, 219, 219, 219}},
        {{255, 0, 0}, 2, 1, 8, true, {143, 143}},
        {{255, 255, 0}, 2, 1, 8, false, {139, 139}},
        {{100, 150, 200}, 1, 1, 16, false, {0x64, 0xB9}}};
    for (const auto& [colour, width, height, depth, dither, packed] : packings)
        EXPECT_EQ(packedPicture(colour, width, height, depth, dither), packed)
            << ::testing::PrintToString(colour) << " depth " << depth << " dither " << dither;
    // Below 16 bits white packs to code 0 and black to all ones, dithered or
    // not; 16 pixels fill whole bytes without padding.
    for (int i = 0; i < 10; ++i) {
        const std::int16_t depth = 1 << i / 2;
        const Bytes white(4u * depth, depth == 16 ? 0xFF : 0x00), black(4u * depth, ~white[0]);
        EXPECT_EQ(packedPicture({255, 255, 255}, 16, 2, depth, i % 2), white) << depth << i % 2;
        EXPECT_EQ(packedPicture({0, 0, 0}, 16, 2, depth, i % 2), black) << depth << i % 2;
    }
    // Dithered 1-bit gray 32 i + 16 selects pattern i, with as many black
    // pixels as the pattern has bits.
    std::vector<std::size_t> black(8);
    for (int i = 0; i < 8; ++i)
        for (std::uint8_t byte : packedPicture({32 * i + 16, 32 * i + 16, 32 * i + 16}, 8, 8, 1, 1))
            black[i] += std::bitset<8>(byte).count();
    EXPECT_EQ(black, (std::vector<std::size_t>{64, 56, 48, 40, 32, 16, 8, 0}));
}

TEST(Reduce, RowsArePaddedToEvenBytesWithZeroBits) {
    const std::tuple<std::int16_t, std::int16_t, Bytes> cases[] = {
        {1, 3, {0xE0, 0x00}}, {1, 20, {0xFF, 0xFF, 0xF0, 0x00}},    {2, 4, {0xFF, 0x00}},
        {4, 3, {0xFF, 0xF0}}, {8, 5, {255, 255, 255, 255, 255, 0}}, {16, 1, {0x00, 0x00}}};
    for (const auto& [depth, width, row] : cases) {
        EXPECT_EQ(packedRowBytes(depth, width), row.size());
        // A near-black whose input bytes are not 0, so that zero padding is
        // written and not left over; two rows follow each other without gaps.
        Bytes twoRows = row;
        twoRows.insert(twoRows.end(), row.begin(), row.end());
        EXPECT_EQ(packedPicture({3, 3, 3}, width, 2, depth, false), twoRows)
            << depth << " " << width;
    }
    // Unsupported depths leave the buffer as it is.
    Bytes pixels = {1, 2, 3, 4, 5, 6};
    for (std::int16_t depth : {0, 3, 24, -1})
        EXPECT_EQ(reduceImage(pixels.data(), 2, 1, depth, 1), 0) << "depth " << depth;
    EXPECT_EQ(pixels, (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST(Reduce, RedAndBlueAreTreatedAlikeAndGraysComeBackGray) {
    int asymmetric = 0, unequalGrays = 0;
    // Red and blue in steps of 5, green in steps of 15, at five positions
    // and with the dither off and on, at every depth.
    for (int i = 0; i < 52 * 52 * 18 * 10 * 5; ++i) {
        const int r = i % 52 * 5, b = i / 52 % 52 * 5, g = i / 2704 % 18 * 15, p = i / 48672 % 10;
        const std::int16_t depth = 1 << i / 486720;
        const Rgb one = reduced({r, g, b}, depth, p % 2, p * 3 % 8, p * 5 % 8);
        const Rgb other = reduced({b, g, r}, depth, p % 2, p * 3 % 8, p * 5 % 8);
        asymmetric += one != Rgb{other[2], other[1], other[0]};
        unequalGrays += depth < 8 && (one[0] != one[1] || one[1] != one[2]);
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
        const std::uint8_t entry =
            paletteIndex(i / 636056, 0, i % 86 * 3, i / 86 % 86 * 3, i / 7396 % 86 * 3);
        unused += entry >= 224 && entry <= 254;
    }
    EXPECT_EQ(unused, 0);
}

}  // namespace
}  // namespace ferrovel
