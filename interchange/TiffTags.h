// Single values from the first directory of a TIFF structure: a TIFF file, or
// the EXIF block of a JPEG file (which is a TIFF structure behind "Exif\0\0").
//
//   offset  width  field
//   0       2      byte order: "II" little-endian, "MM" big-endian
//   2       u16    42
//   4       u32    offset of the first directory, from the start of the structure
//
//   directory: u16 entry count, then 12 bytes an entry
//   0       u16    tag: 0x0100 width, 0x0101 height, 0x0112 orientation
//   2       u16    type: 3 a 16-bit SHORT, 4 a 32-bit LONG
//   4       u32    count of values
//   8       4      the value itself when it fits (a SHORT in the first 2 bytes)
//
// Every offset and count comes from the file, so each is checked against the
// block before it is followed; nothing else in the structure is read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace ferrovel {

// The tag's value when the first directory holds it as one SHORT or LONG;
// nothing when the structure, the directory or the entry lies outside the
// block or is not a single number.
std::optional<std::uint32_t> tiffTagValue(std::span<const std::uint8_t> tiff, std::uint16_t tag);

// The EXIF orientation (1 to 8) of a JPEG's EXIF block given without its
// "Exif\0\0" prefix; 1, as stored, when the block does not say or says
// something else.
int exifOrientation(std::span<const std::uint8_t> tiff);

}  // namespace ferrovel
