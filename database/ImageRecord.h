// One image record: a header, two icons, the pixel data of one 160 x 160
// tile of one layer, and a text label.
//
// Offsets from the record's first byte; integers big-endian.
//
//   0    u32  headerSize      below 28: no bitsPerPixel field, 1 bit per pixel
//   4    u32  iconBlockSize   (not read)
//   8    u32  pixelOffset     pixel data at record start + pixelOffset
//   12   u32  pixelSize       stored bytes (only summed by the catalogue)
//   16   u32  labelOffset     label at record start + labelOffset
//   20   u8   colorIcon       (not read)
//   21   u8   compressed      nonzero: run-length encoded pixel data
//   22   u16  width           signed
//   24   u16  height          signed
//   26   u16  bitsPerPixel    1, 2, 4, 16; any other value means 8
//   28.. icon fields and icons (not read)
//
// Rows are stored top first, pixels left to right, the leftmost pixel of a
// byte in its most significant bits, every row an even number of bytes:
//
//   bits  stored row
//   1     width rounded up to 16 pixels; set bit black, clear bit white
//   2     (width + 3) / 4 bytes, +1 padding byte when odd; gray map entries
//   4     (width + 1) / 2 bytes, +1 padding byte when odd; gray map entries
//   8     width rounded up to 2 pixels, one palette entry a byte
//   16    width rounded up to 2 pixels, 5-6-5 high byte first
//
// Decoding reads exactly the bytes the width, height and format need and
// never uses pixelSize to bound them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "database/RgbImage.h"

namespace ferrovel {

inline constexpr std::uint32_t kFullHeaderSize = 28;
inline constexpr std::size_t kMaxLabelChars = 998;

struct ImageRecordHeader {
    std::uint32_t headerSize = 0;
    std::uint32_t iconBlockSize = 0;
    std::uint32_t pixelOffset = 0;
    std::uint32_t pixelSize = 0;
    std::uint32_t labelOffset = 0;
    std::uint8_t colorIcon = 0;
    std::uint8_t compressed = 0;
    std::int16_t width = 0;
    std::int16_t height = 0;
    std::uint16_t bitsPerPixel = 0;
};

// What readRecordInfo tells of one record.
struct RecordInfo {
    std::string label;        // only when asked for
    std::uint64_t start = 0;  // the record's first byte
    std::int16_t width = 0;
    std::int16_t height = 0;
    std::int16_t bitsPerPixel = 1;  // 1 when headerSize < 28
    bool compressed = false;
    std::uint64_t pixelDataOffset = 0;  // record offset + pixelOffset, unwrapped
    std::uint32_t pixelSize = 0;
    std::uint64_t labelStart = 0;  // record offset + labelOffset, unwrapped
};

// Reads the 28 header bytes at an absolute record offset.
ImageRecordHeader readImageRecordHeader(std::FILE* stream, std::uint64_t recordStart);

// The record's fields; the label is read only when withLabel is set.
RecordInfo readRecordInfo(std::FILE* stream, std::int16_t recordIndex, bool withLabel);

// The same for the record that starts at an absolute offset.
RecordInfo readRecordInfoAt(std::FILE* stream, std::uint64_t recordStart, bool withLabel);

// Every record's fields and label in index order. The entry table is read
// once, in one piece (at most 32767 entries), and each record where it lies,
// so that a database whose records follow one another is read front to back
// once instead of going back to the table for every record.
std::vector<RecordInfo> readAllRecordInfo(std::FILE* stream);

// The offsets of every record from the entry table, read in one piece; empty
// when the record count is 0 or negative.
std::vector<std::uint32_t> readRecordOffsets(std::FILE* stream);

// Reads a label line at an absolute offset: at most 998 characters, up to and
// including the first line feed, ending at the first zero byte (where reading
// stops); the first tab, carriage return or line feed becomes a space.
std::string readLabel(std::FILE* stream, std::uint64_t labelStart);

// Bytes of one stored row of the given format and width (width >= 0).
std::uint32_t storedRowBytes(std::int16_t bitsPerPixel, std::int32_t width);

// Decodes a record into an RgbImage of its width x height (a negative
// dimension counts as 0). Empty when the pixel buffer cannot be allocated,
// the decoder's only failure.
std::optional<RgbImage> decodeRecord(std::FILE* stream, std::int16_t recordIndex);

// The same decode cut to at most maxWidth x maxHeight pixels from the
// top-left: the pixels kept are exactly those decodeRecord gives there, and
// rows below maxHeight are never read.
std::optional<RgbImage> decodeRecordClipped(std::FILE* stream, std::int16_t recordIndex,
                                            std::int32_t maxWidth, std::int32_t maxHeight);

}  // namespace ferrovel
