// Picture files for the import side, whatever their format, and PNG files
// for the export side.
//
// The reader tells the format by the file's content, never by its name.
// Bitmaps go through readBmp unchanged. PNG, JPEG and GIF (and TIFF in the
// Windows build) are decoded by the platform's libraries and delivered on the
// canvas readBmp delivers: at least 160 x 144 pixels, wider pictures rounded
// up to a multiple of 16 columns, white around the picture. Transparency is
// composed onto that white, 16-bit channels are reduced to 8, gray is
// expanded, only a GIF's first frame is taken, and a JPEG is turned upright
// by its EXIF orientation.
//
// Platform libraries:
//   Linux    libspng (PNG in and out), libjpeg-turbo (JPEG), giflib (GIF)
//   Windows  the Windows Imaging Component (PNG, JPEG, GIF, TIFF in; PNG out)
//   browser  none: the web page decodes with the browser and hands over RGBA
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "database/RgbImage.h"
#include "interchange/BgrImage.h"
#include "interchange/Bmp.h"
#include "interchange/PictureHeader.h"

namespace ferrovel {

// The statuses of readBmp, for every format.
inline constexpr std::int16_t kPictureOpenFailed = kBmpOpenFailed;  // -48
inline constexpr std::int16_t kPictureBadFormat = kBmpBadFormat;    // -49
inline constexpr std::int16_t kPictureNoMemory = kBmpNoMemory;      // -50

// The statuses of writeBmp, for PNG.
inline constexpr std::int16_t kPngWriteOpenFailed = kBmpWriteOpenFailed;  // -32
inline constexpr std::int16_t kPngWriteFailed = kBmpWriteFailed;          // -33

// Why a file was refused, for the user; each maps to one status.
enum class PictureProblem : std::uint8_t {
    None,
    OpenFailed,      // kPictureOpenFailed
    NotAPicture,     // kPictureBadFormat: no format this program reads
    BitmapDepth,     // kPictureBadFormat: a bitmap readBmp refuses
    Truncated,       // kPictureBadFormat: the file ends inside the picture
    Damaged,         // kPictureBadFormat: a checksum or the coded data is wrong
    Unsupported,     // kPictureBadFormat: a variant of the format no decoder here reads
    NotInThisBuild,  // kPictureBadFormat: TIFF outside the Windows build
    NeverRead,       // kPictureBadFormat: WebP, HEIF
    TooLarge,        // kPictureNoMemory: the canvas would pass the size cap
    NoMemory,        // kPictureNoMemory: the memory cannot be had
};

struct PictureReadResult {
    std::int16_t status = 0;  // 0, kPictureOpenFailed, kPictureBadFormat or kPictureNoMemory
    PictureProblem problem = PictureProblem::None;
    PictureFormat format = PictureFormat::Unknown;
    std::int64_t pictureWidth = 0, pictureHeight = 0;  // upright, as far as known
    BgrImage canvas;                                   // its width and height are the canvas size
};

// Reads the picture file at path.
PictureReadResult readPicture(const std::string& path);

// Reads a whole picture file held in memory (a clipboard or drag-and-drop
// block); never reads outside it.
PictureReadResult readPictureBytes(std::span<const std::uint8_t> bytes);

// One sentence for the user on why the file could not be read, naming the
// format where it was recognised; empty for a picture that was read.
std::string pictureProblemText(const PictureReadResult& result);

// Writes the top-left width x height pixels of picture as an 8-bit RGB PNG
// file: 0, kPngWriteOpenFailed, or kPngWriteFailed (also when the size is
// empty or larger than the picture).
std::int16_t writePng(const std::string& path, const RgbImage& picture, std::int16_t width,
                      std::int16_t height);

}  // namespace ferrovel
