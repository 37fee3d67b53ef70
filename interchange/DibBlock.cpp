#include "interchange/DibBlock.h"

#include <cstddef>

namespace ferrovel {
namespace {

constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint64_t kMaskBytes = 12;

// The caller has checked that the block holds the bytes read.
std::uint32_t readU32At(std::span<const std::uint8_t> block, std::size_t at) {
    return std::uint32_t{block[at]} | std::uint32_t{block[at + 1]} << 8 |
           std::uint32_t{block[at + 2]} << 16 | std::uint32_t{block[at + 3]} << 24;
}

void putU32At(std::array<std::uint8_t, kBmpFileHeaderBytes>& bytes, std::size_t at,
              std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t paletteEntries(std::uint16_t bitsPerPixel, std::uint32_t colorsUsed) {
    if (colorsUsed != 0) return colorsUsed;
    return bitsPerPixel <= 8 ? std::uint64_t{1} << bitsPerPixel : 0;
}

}  // namespace

DibFileHeader dibFileHeader(std::span<const std::uint8_t> block) {
    DibFileHeader result;
    if (block.size() < kInfoHeaderBytes) return {kDibTooShort, 0, {}};
    const std::uint32_t headerSize = readU32At(block, 0);
    if (headerSize < kInfoHeaderBytes || headerSize > block.size()) return {kDibTooShort, 0, {}};
    const auto bitsPerPixel = static_cast<std::uint16_t>(block[14] | block[15] << 8);
    const bool masksBehind = headerSize == kInfoHeaderBytes && readU32At(block, 16) == kBitFields;
    // Each term is below 2^34, so the sum cannot wrap 64 bits.
    const std::uint64_t pixelOffset = kBmpFileHeaderBytes + std::uint64_t{headerSize} +
                                      (masksBehind ? kMaskBytes : 0) +
                                      4 * paletteEntries(bitsPerPixel, readU32At(block, 32));
    const std::uint64_t fileSize = std::uint64_t{block.size()} + kBmpFileHeaderBytes;
    if (pixelOffset > fileSize || fileSize > UINT32_MAX) return {kDibTooShort, 0, {}};

    result.pixelOffset = static_cast<std::uint32_t>(pixelOffset);
    result.bytes[0] = 'B';
    result.bytes[1] = 'M';
    putU32At(result.bytes, 2, static_cast<std::uint32_t>(fileSize));
    putU32At(result.bytes, 10, result.pixelOffset);
    return result;
}

}  // namespace ferrovel
