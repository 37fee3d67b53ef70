#include <gtest/gtest.h>

#include <algorithm>

#include "interchange/DibBlock.h"
#include "tests/fixtures/DatabaseBuilder.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;

struct BlockFields {
    std::uint32_t headerSize;
    std::uint16_t bits;
    std::uint32_t compression;
    std::uint32_t colorsUsed;
    std::size_t size;  // of the whole block: exactly this long, so that a read
                       // past it shows under the sanitizers
};

// A block of zeros with the four fields the file header depends on.
Bytes blockOf(const BlockFields& f) {
    Bytes block(std::max<std::size_t>(f.size, 40), 0);
    const auto put = [&block](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) block[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    put(0, f.headerSize, 4);
    put(14, f.bits, 2);
    put(16, f.compression, 4);
    put(32, f.colorsUsed, 4);
    block.resize(f.size);
    return block;
}

TEST(DibBlock, PixelOffsetFollowsTheRealHeaderItsMasksAndItsPalette) {
    const std::pair<BlockFields, std::uint32_t> cases[] = {
        {{40, 24, 0, 0, 100}, 54},
        {{40, 8, 0, 0, 1064}, 1078},  // colours used 0: 256 entries
        {{40, 8, 0, 3, 100}, 66},
        {{40, 1, 0, 0, 100}, 62},
        {{40, 24, 0, 2, 100}, 62},    // a 24-bit picture may carry a palette too
        {{40, 32, 3, 0, 100}, 66},    // three masks behind a 40-byte header
        {{124, 32, 3, 0, 200}, 138},  // the V5 header holds its masks
        {{124, 8, 0, 0, 1200}, 1162},
        {{108, 4, 0, 0, 200}, 186},
        // Refused (0): cut inside the palette, inside a V5 header, a header
        // larger than the block, the 12-byte header with other fields, a
        // palette no block can hold.
        {{40, 8, 0, 0, 1063}, 0},
        {{124, 24, 0, 0, 123}, 0},
        {{0xFFFFFFFF, 24, 0, 0, 100}, 0},
        {{12, 24, 0, 0, 100}, 0},
        {{40, 8, 0, 0xFFFFFFFF, 100}, 0},
    };
    for (const auto& [fields, offset] : cases) {
        const DibFileHeader header = dibFileHeader(blockOf(fields));
        SCOPED_TRACE(::testing::Message() << fields.headerSize << " bytes, " << fields.bits
                                          << " bits, colours used " << fields.colorsUsed);
        EXPECT_EQ(header.status, offset == 0 ? kDibTooShort : 0);
        const auto size = static_cast<std::uint32_t>(fields.size + 14);
        const std::array<std::uint8_t, 14> expected{
            'B', 'M', std::uint8_t(size),   std::uint8_t(size >> 8),   0, 0, 0, 0,
            0,   0,   std::uint8_t(offset), std::uint8_t(offset >> 8), 0, 0};
        if (offset != 0) {
            EXPECT_EQ(header.bytes, expected);
        }
    }
    // Every cut of a good block below the 40 bytes of its header.
    for (std::size_t size = 0; size < 40; ++size)
        EXPECT_EQ(dibFileHeader(blockOf({40, 24, 0, 0, size})).status, kDibTooShort) << size;
}

}  // namespace
}  // namespace ferrovel
