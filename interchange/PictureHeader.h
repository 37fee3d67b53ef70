// What a picture file's own structure tells before any decoder sees it: its
// format (by content, never by file name), the size it declares, whether the
// stream reaches its end, and a JPEG's EXIF orientation. The size is checked
// against the canvas cap before a decoder allocates anything, and a stream
// cut short is refused whichever platform library would decode it.
//
//   format  starts with               walked to, checking       size from
//   BMP     "BM"                      (read by readBmp)
//   PNG     89 "PNG" 0D 0A 1A 0A      the IEND chunk, and the   IHDR: bytes 16-23, two u32
//                                     critical chunks' CRCs     big-endian
//   JPEG    FF D8 FF                  the EOI marker (FF D9)    the first SOFn segment
//   GIF     "GIF87a" or "GIF89a"      the end of the first      the first image descriptor,
//                                     image's data blocks       two u16 little-endian
//   TIFF    "II" 2A 00 or "MM" 00 2A  (not walked)              tags 0x100 and 0x101
//   WebP    "RIFF" ? ? ? ? "WEBP"                 recognised, never read
//   HEIF    ? ? ? ? "ftyp", a HEIF or AVIF brand  recognised, never read
//
// JPEG segments: FF, a marker byte, a u16 big-endian length that counts
// itself, the payload. After a start-of-scan segment the coded data runs to
// the next FF not followed by 00 or a restart marker (D0-D7). An APP1 (E1)
// payload that starts "Exif\0\0" holds the EXIF block.
//
// GIF: a 13-byte header whose byte 10 announces a global colour table of
// 3 x 2^(n+1) bytes; then extensions (21, a label, data blocks) and images
// (2C, 9 descriptor bytes, an optional local colour table, one byte, data
// blocks); data blocks are a length byte and as many bytes, up to a 0 length.
#pragma once

#include <cstdint>
#include <span>

namespace ferrovel {

enum class PictureFormat : std::uint8_t { Unknown, Bmp, Png, Jpeg, Gif, Tiff, WebP, Heif };

enum class PictureLayout : std::uint8_t {
    Complete,   // the stream reaches its end marker, or is not walked
    Truncated,  // the file ends inside the stream
    Damaged,    // the structure contradicts itself
};

struct PictureHeader {
    PictureFormat format = PictureFormat::Unknown;
    PictureLayout layout = PictureLayout::Complete;
    std::int64_t width = 0, height = 0;  // as stored; 0 when the header does not tell
    int orientation = 1;                 // EXIF, 1 to 8
};

PictureHeader readPictureHeader(std::span<const std::uint8_t> bytes);

// "PNG", "JPEG" and so on, for messages.
const char* pictureFormatName(PictureFormat format);

}  // namespace ferrovel
