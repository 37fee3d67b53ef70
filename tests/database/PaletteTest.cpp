#include <gtest/gtest.h>

#include "database/Palette.h"

namespace ferrovel {
namespace {

using Rgb = std::vector<int>;

Rgb entry(int index) {
    const PaletteColor& c = handheldPalette()[static_cast<std::size_t>(index)];
    return {c.red, c.green, c.blue};
}

TEST(Palette, CubeGraysNamedColoursBlackAndTheGrayMaps) {
    const int levels[] = {255, 204, 153, 102, 51, 17}, blueBase[] = {0, 6, 12, 108, 114, 120};
    for (int i = 0; i < 216; ++i) {
        const int r = i / 36, g = i / 6 % 6, b = i % 6;
        EXPECT_EQ(entry(18 * r + g + blueBase[b]), (Rgb{levels[r], levels[g], levels[b]}));
    }
    const int grays[] = {34, 68, 85, 119, 136, 170, 187, 221, 238, 204};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(entry(216 + i), Rgb(3, grays[i])) << 216 + i;
    const std::pair<int, Rgb> named[] = {
        {226, {136, 0, 0}}, {227, {136, 0, 136}}, {228, {0, 136, 0}}, {229, {0, 136, 136}}};
    for (const auto& [index, colour] : named) EXPECT_EQ(entry(index), colour) << index;
    for (int i = 230; i < 256; ++i) EXPECT_EQ(entry(i), Rgb(3, 0)) << i;
    // The gray maps of the 2- and 4-bit formats point at exact levels.
    for (int v = 0; v < 4; ++v) EXPECT_EQ(entry(kGray2Entries[v]), Rgb(3, 255 - 85 * v)) << v;
    for (int v = 0; v < 16; ++v) EXPECT_EQ(entry(kGray4Entries[v]), Rgb(3, 255 - 17 * v)) << v;
}

}  // namespace
}  // namespace ferrovel
