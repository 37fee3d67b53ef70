// Colour reduction to the handheld's pixel formats, with an optional 8 x 8
// ordered dither, and packing into the stored row layout.
//
// A dither pattern is eight row bytes (rows y mod 8 = 0..7); column x mod 8 = 0
// is the most significant bit. A set bit picks the lower of two candidate
// levels, a clear bit the upper one: pattern 0 always lower, pattern 7 always
// upper.
//
// Packed rows take ceil(width * depth / 8) bytes rounded up to an even number;
// every bit past a row's last pixel is 0.
#pragma once

#include <array>
#include <cstdint>

namespace ferrovel {

using DitherPattern = std::array<std::uint8_t, 8>;

inline constexpr std::array<DitherPattern, 8> kDitherPatterns = {{
    {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
    {0xBB, 0xFF, 0xEE, 0xFF, 0xBB, 0xFF, 0xEE, 0xFF},
    {0xAA, 0xFF, 0xAA, 0xFF, 0xAA, 0xFF, 0xAA, 0xFF},
    {0xAA, 0x77, 0xAA, 0xDD, 0xAA, 0x77, 0xAA, 0xDD},
    {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55},
    {0xAA, 0x00, 0xAA, 0x00, 0xAA, 0x00, 0xAA, 0x00},
    {0x88, 0x00, 0x22, 0x00, 0x88, 0x00, 0x22, 0x00},
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
}};

inline constexpr std::array<std::uint8_t, 6> kCubeLevels = {255, 204, 153, 102, 51, 17};
inline constexpr std::array<std::uint8_t, 8> kGrayRampLevels = {34,  68,  85,  119,
                                                                136, 170, 187, 221};

// Reduces one pixel in place to what the depth (1, 2, 4, 8, 16) can show;
// dither nonzero dithers by the pixel's position. Other depths change
// nothing. Returns 0.
std::int16_t reducePixel(std::int16_t& red, std::int16_t& green, std::int16_t& blue,
                         std::int16_t depth, std::int16_t dither, std::int32_t x, std::int32_t y);

// Fills the value-to-cube-level and value-to-gray-step tables.
void buildPaletteLookup();

// The palette entry of a reduced colour at (x, y).
std::uint8_t paletteIndex(std::int32_t x, std::int32_t y, std::int16_t red, std::int16_t green,
                          std::int16_t blue);

// Bytes of one packed row.
std::uint32_t packedRowBytes(std::int16_t depth, std::int32_t width);

// Reduces a blue-green-red picture and packs it in place from its first byte;
// the byte right after the packed rows may be set to 0. Other depths leave
// the buffer as it is. Returns 0.
std::int16_t reduceImage(std::uint8_t* pixels, std::int16_t width, std::int16_t height,
                         std::int16_t depth, std::int16_t dither);

}  // namespace ferrovel
