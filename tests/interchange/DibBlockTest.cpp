#include <gtest/gtest.h>

#include <algorithm>

#include "interchange/DibBlock.h"
#include "tests/fixtures/DatabaseBuilder.h"

namespace ferrovel {
namespace {

// A block of zeros but for the four fields the file header depends on,
// exactly size bytes long, so that a read past it shows under the sanitizers.
fixtures::Bytes blockOf(std::uint32_t headerSize, std::uint16_t bits, std::uint32_t compression,
                        std::uint32_t colorsUsed, std::size_t size) {
    fixtures::Bytes block(std::max<std::size_t>(size, 40), 0);
    for (const auto& [at, value, bytes] :
         {std::tuple<std::size_t, std::uint32_t, int>{0, headerSize, 4},
          {14, bits, 2},
          {16, compression, 4},
          {32, colorsUsed, 4}})
        for (int i = 0; i < bytes; ++i) block[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    block.resize(size);
    return block;
}

TEST(DibBlock, PixelOffsetFollowsTheRealHeaderItsMasksAndItsPalette) {
    // Header size, bits, compression, colours used, block size and the pixel
    // offset. Colours used 0 with 8 bits is 256 entries; a 24-bit picture may
    // carry a palette too; three masks follow a 40-byte header, and the V5
    // header holds its own. Refused (0): cut inside the palette, inside a V5
    // header, a header larger than the block, the 12-byte header with other
    // fields, a palette no block can hold.
    const std::tuple<std::uint32_t, std::uint16_t, std::uint32_t, std::uint32_t, std::size_t,
                     std::uint32_t>
        cases[] = {{40, 24, 0, 0, 100, 54},   {40, 8, 0, 0, 1064, 1078},
                   {40, 8, 0, 3, 100, 66},    {40, 1, 0, 0, 100, 62},
                   {40, 24, 0, 2, 100, 62},   {40, 32, 3, 0, 100, 66},
                   {124, 32, 3, 0, 200, 138}, {124, 8, 0, 0, 1200, 1162},
                   {108, 4, 0, 0, 200, 186},  {40, 8, 0, 0, 1063, 0},
                   {124, 24, 0, 0, 123, 0},   {0xFFFFFFFF, 24, 0, 0, 100, 0},
                   {12, 24, 0, 0, 100, 0},    {40, 8, 0, 0xFFFFFFFF, 100, 0}};
    for (const auto& [headerSize, bits, compression, colorsUsed, size, offset] : cases) {
        const DibFileHeader header =
            dibFileHeader(blockOf(headerSize, bits, compression, colorsUsed, size));
        const std::string what = std::to_string(headerSize) + " bytes, " + std::to_string(bits) +
                                 " bits, colours used " + std::to_string(colorsUsed);
        EXPECT_EQ(header.status, offset == 0 ? kDibTooShort : 0) << what;
        if (offset == 0) continue;
        const auto total = static_cast<std::uint32_t>(size + 14);
        decltype(header.bytes) expected{'B', 'M', std::uint8_t(total), std::uint8_t(total >> 8)};
        expected[10] = std::uint8_t(offset), expected[11] = std::uint8_t(offset >> 8);
        EXPECT_EQ(header.bytes, expected) << what;
    }
    // Every cut of a good block below the 40 bytes of its header.
    for (std::size_t size = 0; size < 40; ++size)
        EXPECT_EQ(dibFileHeader(blockOf(40, 24, 0, 0, size)).status, kDibTooShort) << size;
}

}  // namespace
}  // namespace ferrovel
