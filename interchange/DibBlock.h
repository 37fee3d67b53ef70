// Clipboard bitmaps (CF_DIB): a bitmap file without its 14-byte file header.
// The block starts with an info header whose first field is its own size;
// the fields used here sit at the same places in every header of 40 bytes
// or more (40 info, 108 V4, 124 V5). Integers little-endian.
//
//   offset  width  field of the block
//   0       u32    info header size
//   14      u16    bits per pixel
//   16      u32    compression: 3 (bit fields) puts three u32 colour masks
//                  behind a 40-byte header; larger headers hold them inside
//   32      u32    colours used
//   size    ...    masks, palette (4 bytes an entry), pixel rows
//
// The file header put in front of the block to make it a bitmap file:
//
//   0       2      "BM"
//   2       u32    block size + 14
//   6       u32    0
//   10      u32    pixel data offset: 14 + info header size + masks + 4 x
//                  entries, the entries being colours used when not 0, else
//                  2 to the power of bits per pixel up to 8 bits, else none
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace ferrovel {

// The block cannot hold a 40-byte info header, its own header, or the masks
// and palette that header announces.
inline constexpr std::int16_t kDibTooShort = -51;

inline constexpr std::size_t kBmpFileHeaderBytes = 14;

struct DibFileHeader {
    std::int16_t status = 0;
    std::uint32_t pixelOffset = 0;
    std::array<std::uint8_t, kBmpFileHeaderBytes> bytes{};  // the header as written
};

// The file header for a block, or kDibTooShort; reads nothing past the block.
DibFileHeader dibFileHeader(std::span<const std::uint8_t> block);

}  // namespace ferrovel
