// A block of bytes read the way the ByteStream operations read a file: a byte
// at or past the end of the block reads as 0xFF, so a block cut short reads as
// one padded with 0xFF bytes, and nothing outside the block is ever touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace ferrovel {

struct MemoryStream {
    std::span<const std::uint8_t> bytes;
    std::uint64_t position = 0;
};

inline std::size_t readBytes(MemoryStream& stream, std::uint8_t* out, std::size_t count) {
    const std::uint64_t size = stream.bytes.size();
    const std::uint64_t left = stream.position < size ? size - stream.position : 0;
    const std::size_t taken = left < count ? static_cast<std::size_t>(left) : count;
    if (taken > 0) std::memcpy(out, stream.bytes.data() + stream.position, taken);
    std::memset(out + taken, 0xFF, count - taken);
    stream.position += count;
    return taken;
}

inline std::uint8_t readU8(MemoryStream& stream) {
    std::uint8_t byte;
    readBytes(stream, &byte, 1);
    return byte;
}

inline std::uint16_t readU16LE(MemoryStream& stream) {
    const std::uint16_t low = readU8(stream);
    return static_cast<std::uint16_t>(low | readU8(stream) << 8);
}

inline std::uint32_t readU32LE(MemoryStream& stream) {
    const std::uint32_t low = readU16LE(stream);
    return low | static_cast<std::uint32_t>(readU16LE(stream)) << 16;
}

inline void seekTo(MemoryStream& stream, std::uint64_t offset) {
    stream.position = offset;
}

}  // namespace ferrovel
