#include "database/ByteStream.h"

#include <cstring>

namespace ferrovel {
namespace {

int seek64(std::FILE* stream, std::int64_t offset, int whence) {
#ifdef _WIN32
    return _fseeki64(stream, offset, whence);
#else
    return fseeko(stream, static_cast<off_t>(offset), whence);
#endif
}

std::int64_t tell64(std::FILE* stream) {
#ifdef _WIN32
    return _ftelli64(stream);
#else
    return static_cast<std::int64_t>(ftello(stream));
#endif
}

}  // namespace

std::uint8_t readU8(std::FILE* stream) {
    const int c = std::getc(stream);
    return c == EOF ? 0xFF : static_cast<std::uint8_t>(c);
}

std::uint16_t readU16BE(std::FILE* stream) {
    const unsigned high = readU8(stream);
    const unsigned low = readU8(stream);
    return static_cast<std::uint16_t>(high << 8 | low);
}

std::uint32_t readU32BE(std::FILE* stream) {
    const std::uint32_t high = readU16BE(stream);
    const std::uint32_t low = readU16BE(stream);
    return high << 16 | low;
}

std::uint16_t readU16LE(std::FILE* stream) {
    const unsigned low = readU8(stream);
    const unsigned high = readU8(stream);
    return static_cast<std::uint16_t>(high << 8 | low);
}

std::uint32_t readU32LE(std::FILE* stream) {
    const std::uint32_t low = readU16LE(stream);
    const std::uint32_t high = readU16LE(stream);
    return high << 16 | low;
}

void writeU8(std::FILE* stream, std::uint8_t value) {
    std::putc(value, stream);
}

void writeU16BE(std::FILE* stream, std::uint16_t value) {
    writeU8(stream, static_cast<std::uint8_t>(value >> 8));
    writeU8(stream, static_cast<std::uint8_t>(value));
}

void writeU32BE(std::FILE* stream, std::uint32_t value) {
    writeU16BE(stream, static_cast<std::uint16_t>(value >> 16));
    writeU16BE(stream, static_cast<std::uint16_t>(value));
}

void writeU16LE(std::FILE* stream, std::uint16_t value) {
    writeU8(stream, static_cast<std::uint8_t>(value));
    writeU8(stream, static_cast<std::uint8_t>(value >> 8));
}

void writeU32LE(std::FILE* stream, std::uint32_t value) {
    writeU16LE(stream, static_cast<std::uint16_t>(value));
    writeU16LE(stream, static_cast<std::uint16_t>(value >> 16));
}

std::size_t readBytes(std::FILE* stream, std::uint8_t* out, std::size_t count) {
    const std::size_t got = std::fread(out, 1, count, stream);
    if (got < count) std::memset(out + got, 0xFF, count - got);
    return got;
}

void seekTo(std::FILE* stream, std::uint64_t offset) {
    // Both targets fit an int64_t: offsets are at most the sum of two 32-bit fields.
    if (seek64(stream, static_cast<std::int64_t>(offset), SEEK_SET) != 0) {
        seek64(stream, 0, SEEK_END);
    }
}

void skipBytes(std::FILE* stream, std::uint64_t count) {
    if (count == 0) return;
    const std::int64_t here = tell64(stream);
    if (here < 0) return;
    seekTo(stream, static_cast<std::uint64_t>(here) + count);
}

std::int64_t streamSize(std::FILE* stream) {
    if (seek64(stream, 0, SEEK_END) != 0) return -1;
    return tell64(stream);
}

std::uint32_t loadU32BE(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

void storeU32BE(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 24);
    p[1] = static_cast<std::uint8_t>(value >> 16);
    p[2] = static_cast<std::uint8_t>(value >> 8);
    p[3] = static_cast<std::uint8_t>(value);
}

}  // namespace ferrovel
