#include "interchange/TiffTags.h"

namespace ferrovel {
namespace {

constexpr std::uint16_t kTiffMagic = 42;
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShort = 3;
constexpr std::uint16_t kLong = 4;
constexpr std::uint64_t kEntryBytes = 12;

struct TiffBlock {
    std::span<const std::uint8_t> bytes;
    bool littleEndian = false;

    // The width-byte number at offset, or nothing past the end of the block.
    std::optional<std::uint32_t> number(std::uint64_t offset, unsigned width) const {
        if (offset > bytes.size() || bytes.size() - offset < width) return std::nullopt;
        const std::uint8_t* at = bytes.data() + offset;  // within the block, checked above
        std::uint32_t value = 0;
        for (unsigned i = 0; i < width; ++i) {
            const unsigned shift = 8 * (littleEndian ? i : width - 1 - i);
            value |= static_cast<std::uint32_t>(at[i]) << shift;
        }
        return value;
    }
};

std::optional<std::uint32_t> entryValue(const TiffBlock& block, std::uint64_t entry) {
    const std::optional<std::uint32_t> type = block.number(entry + 2, 2);
    if (block.number(entry + 4, 4) != 1u) return std::nullopt;
    if (type == kShort) return block.number(entry + 8, 2);
    if (type == kLong) return block.number(entry + 8, 4);
    return std::nullopt;
}

}  // namespace

std::optional<std::uint32_t> tiffTagValue(std::span<const std::uint8_t> tiff, std::uint16_t tag) {
    if (tiff.size() < 8 || tiff[0] != tiff[1] || (tiff[0] != 'I' && tiff[0] != 'M'))
        return std::nullopt;
    const TiffBlock block{tiff, tiff[0] == 'I'};
    const std::optional<std::uint32_t> directory = block.number(4, 4);
    if (block.number(2, 2) != kTiffMagic || !directory) return std::nullopt;
    const std::optional<std::uint32_t> entries = block.number(*directory, 2);
    if (!entries) return std::nullopt;
    // At most 65535 entries, and the walk stops at the end of the block.
    for (std::uint64_t i = 0; i < *entries; ++i) {
        const std::uint64_t entry = *directory + 2 + i * kEntryBytes;
        const std::optional<std::uint32_t> entryTag = block.number(entry, 2);
        if (!entryTag) return std::nullopt;
        if (*entryTag == tag) return entryValue(block, entry);
    }
    return std::nullopt;
}

int exifOrientation(std::span<const std::uint8_t> tiff) {
    const std::optional<std::uint32_t> value = tiffTagValue(tiff, kOrientationTag);
    return value && *value >= 1 && *value <= 8 ? static_cast<int>(*value) : 1;
}

}  // namespace ferrovel
