// Appending a picture to a database as one new image of 160 x 160 tiles.
//
// The picture is scaled to the target size and adjusted, two 20 x 18 icons
// are made from it (monochrome always, colour for 8 and 16 bits), it is
// reduced to the target format and cut into tiles from the top-left, row of
// tiles by row of tiles. Each tile becomes one record, run-length encoded
// when that is smaller, labelled "#(column,row) - WIDTHxHEIGHT name".
//
// Record written for each tile (offsets from the record start, big-endian):
//   0   u32 headerSize 28        4   u32 iconBlockSize 88
//   8   u32 pixelOffset 116, or 476 with the colour icon
//   12  u32 pixelSize (as stored) 16  u32 labelOffset = pixelOffset + pixelSize
//   20  u8  colorIcon 4 or 0     21  u8  compressed 1 or 0
//   22  u16 width 160            24  u16 height 160      26  u16 bitsPerPixel
//   28  u16 iconWidth 20         30  u16 iconHeight 18   32  u16 iconRowBytes 4
//   34  u16, 36 u32, 40 u32 reserved 0
//   44  monochrome icon, 72 bytes;  116  colour icon, 360 bytes (8 and 16 bits)
//   then the tile data, then the label and one zero byte
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/WorkFile.h"
#include "interchange/BgrImage.h"

namespace ferrovel {

inline constexpr std::int16_t kAppendNotImageDatabase = -26;  // the file is not an image database
inline constexpr std::int16_t kAppendDatabaseFull = -25;  // no room for the tiles in 32767 records
inline constexpr std::int16_t kAppendScaleFailed = -24;
inline constexpr std::int16_t kAppendMonoIconScaleFailed = -23;
inline constexpr std::int16_t kAppendColorIconScaleFailed = -22;
inline constexpr std::int16_t kAppendMonoIconConvertFailed = -21;
inline constexpr std::int16_t kAppendColorIconConvertFailed = -20;
inline constexpr std::int16_t kAppendConvertFailed = -19;
inline constexpr std::int16_t kAppendNoWorkBuffer = -18;
// -17 and -16, the failures of writing a record, are declared in WorkFile.h.

inline constexpr std::size_t kMaxImageNameChars = 255;

struct AppendOptions {
    std::string name;  // written into every tile's label, at most 255 characters
    std::int16_t targetWidth = 160;
    std::int16_t targetHeight = 160;
    std::int16_t bits = 1;  // 1, 2, 4, 8 or 16
    std::int16_t dither = 1;
    std::int16_t brightness = 0;  // -100 ... 100
    std::int16_t contrast = 0;    // -100 ... 100
};

// Records waiting to be appended: their bytes one after another, and each
// record's length.
struct PendingRecords {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint32_t> sizes;
};

// Scales, adjusts and converts picture and adds its tile records to records:
// 0 or a negative status of preparing, with records as they were.
std::int16_t prepareImageRecords(const BgrImage& picture, const AppendOptions& options,
                                 PendingRecords& records);

// Appends the records in one rewrite of the database: 0, or a negative
// status with the database as it was. The bytes are those of appending the
// records one at a time.
std::int16_t appendRecords(const std::string& databasePath, const PendingRecords& records,
                           RewriteReport* report = nullptr);

// Appends picture as one new image, whole or not at all: 0 or a negative
// status, and on failure the database is as it was.
std::int16_t appendImage(const std::string& databasePath, const BgrImage& picture,
                         const AppendOptions& options, RewriteReport* report = nullptr);

// The label of tile (column, row).
std::string tileLabel(std::int32_t column, std::int32_t row, std::int32_t width,
                      std::int32_t height, const std::string& name);

// Adds one tile record to out: header, icons, tile data and label.
void appendTileRecord(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& monoIcon,
                      const std::vector<std::uint8_t>& colorIcon, const std::uint8_t* tileData,
                      std::uint32_t tileBytes, bool compressed, std::int16_t bits,
                      const std::string& label);

}  // namespace ferrovel
