// The canvas a picture enters the import on, whatever file it came from: at
// least 160 x 144 pixels, a picture wider than 160 rounded up to a multiple of
// 16 columns, all white, the picture in its top-left corner.
//
// A decoder opens the canvas for the picture as the file stores it and hands
// over its rows one at a time; the canvas turns them upright by the picture's
// orientation (the EXIF values 1 to 8) as they arrive, so that no second copy
// of the picture is ever held.
//
//   orientation  stored pixel (x, y) of a W x H picture goes to
//   1            (x, y)                  as stored
//   2            (W - 1 - x, y)          mirrored left to right
//   3            (W - 1 - x, H - 1 - y)  turned half round
//   4            (x, H - 1 - y)          mirrored top to bottom
//   5            (y, x)                  mirrored along the main diagonal
//   6            (H - 1 - y, x)          turned a quarter clockwise
//   7            (H - 1 - y, W - 1 - x)  mirrored along the other diagonal
//   8            (y, W - 1 - x)          turned a quarter anticlockwise
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "interchange/BgrImage.h"

namespace ferrovel {

// Bytes of the canvas for a width x height picture, or nothing when the canvas
// passes the pixel buffer cap or a side that 16-bit sizes cannot carry. A
// height of 0 or less gives the canvas its least height.
std::optional<std::size_t> canvasBytesFor(std::int64_t width, std::int64_t height);

// The white canvas for a width x height picture: 0, or kBmpNoMemory when it is
// too large (canvasBytesFor) or cannot be allocated.
std::int16_t allocateCanvas(std::int64_t width, std::int64_t height, BgrImage& canvas);

// A canvas being filled by a decoder.
struct PictureCanvas {
    BgrImage image;
    int orientation = 1;                              // set before opening
    std::int32_t width = 0, height = 0;               // the picture as stored
    std::ptrdiff_t origin = 0, across = 0, down = 0;  // byte steps of the orientation
};

enum class CanvasOpen : std::uint8_t { Opened, TooLarge, NoMemory };

// Allocates the canvas for a width x height picture as stored, upright by its
// orientation.
CanvasOpen openPictureCanvas(PictureCanvas& canvas, std::int64_t width, std::int64_t height);

// Puts count pixels (3 bytes each: blue, green, red) of the stored row y on
// the canvas, the i-th at stored column x0 + i * step. Pixels outside the
// stored picture are dropped.
void placeRow(PictureCanvas& canvas, std::int32_t y, std::int32_t x0, std::int32_t step,
              const std::uint8_t* bgr, std::int32_t count);

}  // namespace ferrovel
