#include "database/Palette.h"

namespace ferrovel {
namespace {

constexpr std::array<std::uint8_t, 6> kCubeLevels = {255, 204, 153, 102, 51, 17};
constexpr std::array<std::size_t, 6> kBlueBase = {0, 6, 12, 108, 114, 120};
constexpr std::array<std::uint8_t, 10> kGrays = {34, 68, 85, 119, 136, 170, 187, 221, 238, 204};

Palette buildPalette() {
    Palette palette{};  // entries 230-255 stay black
    for (std::size_t r = 0; r < 6; ++r) {
        for (std::size_t g = 0; g < 6; ++g) {
            for (std::size_t b = 0; b < 6; ++b) {
                palette[18 * r + g + kBlueBase[b]] = {kCubeLevels[r], kCubeLevels[g],
                                                      kCubeLevels[b]};
            }
        }
    }
    for (std::size_t i = 0; i < kGrays.size(); ++i) {
        palette[216 + i] = {kGrays[i], kGrays[i], kGrays[i]};
    }
    palette[226] = {136, 0, 0};
    palette[227] = {136, 0, 136};
    palette[228] = {0, 136, 0};
    palette[229] = {0, 136, 136};
    return palette;
}

}  // namespace

const Palette& handheldPalette() {
    static const Palette palette = buildPalette();
    return palette;
}

}  // namespace ferrovel
