// Windows bitmap files, read (uncompressed 1, 2, 4, 8, 24 bits) and written
// (24 bits). Integers little-endian.
//
//   offset  width  field               reader            writer
//   0       2      "BM"                required          "BM"
//   2       u32    file size           ignored           54 + stride * height
//   6       u32    reserved            ignored           0
//   10      u32    pixel data offset   used              54
//   14      u32    info header size    palette place     40
//   18      u32    width               used, signed      width
//   22      u32    height              used, signed      height
//   26      u16    planes              ignored           1
//   28      u16    bits per pixel      used              24
//   30      u32    compression         ignored           0
//   34      u32    image size          ignored           0
//   38      u32    x pixels per metre  ignored           2667
//   42      u32    y pixels per metre  ignored           2667
//   46      u32    colours used        used              0
//   50      u32    important colours   ignored           0
//   54      4 each palette: blue, green, red, reserved; behind the info
//                  header instead when that is a V4 or V5 one (41 to 124 bytes)
//
// Rows are stored bottom row first, each padded to a multiple of 4 bytes.
// The reader places the picture in the top-left corner of an all-white canvas
// of at least 160 x 144 pixels, its width a multiple of 16 when wider.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "database/RgbImage.h"
#include "interchange/BgrImage.h"

namespace ferrovel {

inline constexpr std::int16_t kBmpWriteOpenFailed = -32;  // the file cannot be created
inline constexpr std::int16_t kBmpWriteFailed = -33;      // a write to the file failed
inline constexpr std::int16_t kBmpOpenFailed = -48;       // the file cannot be opened
inline constexpr std::int16_t kBmpBadFormat = -49;  // not "BM", an unread depth, a negative width
inline constexpr std::int16_t kBmpNoMemory = -50;   // the canvas cannot be allocated

struct BmpReadResult {
    std::int16_t status = 0;
    std::int16_t fileBitsPerPixel = 0;
    BgrImage canvas;  // its width and height are the canvas size
};

BmpReadResult readBmp(const std::string& path);

// As readBmp, on a whole bitmap file held in memory; never reads outside it.
BmpReadResult readBmpBytes(std::span<const std::uint8_t> bytes);

// Writes picture as a 24-bit bitmap: 0, kBmpWriteOpenFailed or kBmpWriteFailed.
std::int16_t writeBmp(const std::string& path, const RgbImage& picture);

// A short text for a bitmap status, for messages of the tools.
const char* bmpStatusText(std::int16_t status);

}  // namespace ferrovel
