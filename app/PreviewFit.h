// How an image is fitted into the preview: scaled to fit with its aspect
// kept (enlarged as well as reduced), anchored top-left, nearest neighbour.
#pragma once

#include <cstdint>
#include <vector>

#include "database/RgbImage.h"

namespace ferrovel {

struct FittedSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The drawn size of a w x h image in a width x height box, in truncating
// integer arithmetic. An image with no pixels draws nothing.
FittedSize fitIntoBox(std::int32_t width, std::int32_t height, std::int32_t imageWidth,
                      std::int32_t imageHeight);

// The fitted pixels that lie inside the limits, as 32-bit blue-green-red-x
// words, rows top-down: visible.width x visible.height of them. Pixel (j, i)
// shows source pixel (j * w / drawnWidth, i * h / drawnHeight).
struct FittedPixels {
    FittedSize visible;
    std::vector<std::uint32_t> bgrx;
};

FittedPixels renderFitted(const RgbImage& image, std::int32_t width, std::int32_t height,
                          std::int32_t maxWidth, std::int32_t maxHeight);

}  // namespace ferrovel
