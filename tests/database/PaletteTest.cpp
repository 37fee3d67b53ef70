#include <gtest/gtest.h>

#include "database/Palette.h"

namespace ferrovel {
namespace {

std::vector<int> entry(int index) {
    const PaletteColor& c = handheldPalette()[static_cast<std::size_t>(index)];
    return {c.red, c.green, c.blue};
}

TEST(Palette, NamedEntriesHaveTheirColours) {
    EXPECT_EQ(entry(0), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(entry(1), (std::vector<int>{255, 204, 255}));
    EXPECT_EQ(entry(6), (std::vector<int>{255, 255, 204}));
    EXPECT_EQ(entry(18), (std::vector<int>{204, 255, 255}));
    EXPECT_EQ(entry(108), (std::vector<int>{255, 255, 102}));
    EXPECT_EQ(entry(215), (std::vector<int>{17, 17, 17}));
    EXPECT_EQ(entry(224), (std::vector<int>{238, 238, 238}));
    EXPECT_EQ(entry(225), (std::vector<int>{204, 204, 204}));
    EXPECT_EQ(entry(226), (std::vector<int>{136, 0, 0}));
    EXPECT_EQ(entry(227), (std::vector<int>{136, 0, 136}));
    EXPECT_EQ(entry(228), (std::vector<int>{0, 136, 0}));
    EXPECT_EQ(entry(229), (std::vector<int>{0, 136, 136}));
    for (int i = 230; i < 256; ++i) EXPECT_EQ(entry(i), (std::vector<int>{0, 0, 0})) << i;
}

TEST(Palette, GraysAndGrayMapsGiveExactLevels) {
    const int grays[] = {34, 68, 85, 119, 136, 170, 187, 221};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(entry(216 + i), (std::vector<int>(3, grays[i])));
    const int twoBit[] = {255, 170, 85, 0};
    for (int v = 0; v < 4; ++v)
        EXPECT_EQ(entry(kGray2Entries[v]), (std::vector<int>(3, twoBit[v])));
    for (int v = 0; v < 16; ++v) {
        EXPECT_EQ(entry(kGray4Entries[v]), (std::vector<int>(3, 255 - 17 * v))) << v;
    }
}

TEST(Palette, CubeChangesGreenEveryEntryBlueEverySixRedEveryEighteen) {
    const int levels[] = {255, 204, 153, 102, 51, 17};
    const int blueBase[] = {0, 6, 12, 108, 114, 120};
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                EXPECT_EQ(entry(18 * r + g + blueBase[b]),
                          (std::vector<int>{levels[r], levels[g], levels[b]}));
}

}  // namespace
}  // namespace ferrovel
