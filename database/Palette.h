// The one colour definition of the handheld formats: the 256-entry palette
// and the 2- and 4-bit gray maps into it.
//
//   0-215    6 x 6 x 6 cube over the levels 255, 204, 153, 102, 51, 17; the
//            entry of level numbers r, g, b is 18 r + g + [0,6,12,108,114,120][b]
//   216-223  grays 34, 68, 85, 119, 136, 170, 187, 221
//   224-225  grays 238, 204
//   226-229  (136,0,0), (136,0,136), (0,136,0), (0,136,136)
//   230-255  black
#pragma once

#include <array>
#include <cstdint>

namespace ferrovel {

struct PaletteColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

using Palette = std::array<PaletteColor, 256>;

// The palette, built by rule on first use.
const Palette& handheldPalette();

// Palette entries of the 2-bit values 0-3 (grays 255, 170, 85, 0) and of the
// 4-bit values 0-15 (gray 255 - 17 v).
inline constexpr std::array<std::uint8_t, 4> kGray2Entries = {0, 221, 218, 255};
inline constexpr std::array<std::uint8_t, 16> kGray4Entries = {
    0, 224, 223, 25, 222, 221, 50, 220, 219, 165, 218, 217, 190, 216, 215, 255};

}  // namespace ferrovel
