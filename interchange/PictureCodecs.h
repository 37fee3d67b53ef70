// The platform's picture libraries behind PictureFile: one decoder per format
// and the PNG encoder. Linux: PngSpng.cpp, JpegTurbo.cpp, GifLib.cpp;
// Windows: PictureWic.cpp; the browser build: PictureBrowser.cpp.
//
// A decoder is handed a whole file whose structure PictureHeader has walked
// (complete, and of a declared size within the cap). It opens the canvas
// itself once its library has read the size, with the canvas's orientation
// already set, and places the rows as they come: beside the canvas it holds
// a band of rows at most, whatever the library holds inside.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "database/RgbImage.h"
#include "interchange/Canvas.h"
#include "interchange/PictureFile.h"

namespace ferrovel {

#ifdef _WIN32
inline constexpr bool kReadsTiff = true;
#else
inline constexpr bool kReadsTiff = false;
#endif

PictureProblem decodePng(std::span<const std::uint8_t> bytes, PictureCanvas& canvas);
PictureProblem decodeJpeg(std::span<const std::uint8_t> bytes, PictureCanvas& canvas);
PictureProblem decodeGif(std::span<const std::uint8_t> bytes, PictureCanvas& canvas);
PictureProblem decodeTiff(std::span<const std::uint8_t> bytes, PictureCanvas& canvas);

// The bytes of an 8-bit RGB PNG file of the top-left width x height pixels of
// picture (both within it and above 0); empty when the encoder fails.
std::vector<std::uint8_t> encodePng(const RgbImage& picture, std::int32_t width,
                                    std::int32_t height);

inline PictureProblem problemOf(CanvasOpen open) {
    switch (open) {
        case CanvasOpen::TooLarge:
            return PictureProblem::TooLarge;
        case CanvasOpen::NoMemory:
            return PictureProblem::NoMemory;
        default:
            return PictureProblem::None;
    }
}

}  // namespace ferrovel
