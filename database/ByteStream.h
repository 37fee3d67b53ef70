// Integer reads and writes on an open buffered binary file stream.
//
//   readU32BE / writeU32BE   bits 31-24, 23-16, 15-8, 7-0   (database files)
//   readU16BE / writeU16BE   bits 15-8, 7-0
//   readU32LE / writeU32LE   bits 7-0, 15-8, 23-16, 31-24   (bitmap files)
//   readU16LE / writeU16LE   bits 7-0, 15-8
//
// A byte read at or past the end of the file is 0xFF, so a value read there is
// all ones (0xFFFFFFFF, 0xFFFF). Callers treat it as an ordinary value: a
// truncated file reads as a file padded with 0xFF bytes, never as an error.
// Writers put the low byte of each shifted value and report nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace ferrovel {

std::uint8_t readU8(std::FILE* stream);
std::uint16_t readU16BE(std::FILE* stream);
std::uint32_t readU32BE(std::FILE* stream);
std::uint16_t readU16LE(std::FILE* stream);
std::uint32_t readU32LE(std::FILE* stream);

void writeU8(std::FILE* stream, std::uint8_t value);
void writeU16BE(std::FILE* stream, std::uint16_t value);
void writeU32BE(std::FILE* stream, std::uint32_t value);
void writeU16LE(std::FILE* stream, std::uint16_t value);
void writeU32LE(std::FILE* stream, std::uint32_t value);

// The same integers in a buffer already read: p points at 4 bytes.
std::uint32_t loadU32BE(const std::uint8_t* p);
void storeU32BE(std::uint8_t* p, std::uint32_t value);

// Reads count bytes into out; the bytes past the end of the file become 0xFF.
// Returns how many bytes really came from the file.
std::size_t readBytes(std::FILE* stream, std::uint8_t* out, std::size_t count);

// Moves to an absolute offset. Offsets are 32-bit in the file formats but may
// be summed from two fields, so they are taken in 64 bits; an offset past the
// end of the file leaves the stream where every further read yields 0xFF.
void seekTo(std::FILE* stream, std::uint64_t offset);

// Skips count bytes forward from the current position.
void skipBytes(std::FILE* stream, std::uint64_t count);

// The file's size in bytes, or -1 when it cannot be told. Moves the position.
std::int64_t streamSize(std::FILE* stream);

}  // namespace ferrovel
