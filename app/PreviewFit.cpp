#include "app/PreviewFit.h"

#include <algorithm>

namespace ferrovel {

FittedSize fitIntoBox(std::int32_t width, std::int32_t height, std::int32_t imageWidth,
                      std::int32_t imageHeight) {
    if (imageWidth <= 0 || imageHeight <= 0 || width <= 0 || height <= 0) return {};
    FittedSize drawn{width, height};
    // 64-bit products: a box and an image of 16-bit sides cannot overflow them.
    if (std::int64_t{height} * imageWidth > std::int64_t{width} * imageHeight) {
        drawn.height = static_cast<std::int32_t>(std::int64_t{width} * imageHeight / imageWidth);
    } else {
        drawn.width = static_cast<std::int32_t>(std::int64_t{height} * imageWidth / imageHeight);
    }
    return drawn;
}

FittedPixels renderFitted(const RgbImage& image, std::int32_t width, std::int32_t height,
                          std::int32_t maxWidth, std::int32_t maxHeight) {
    FittedPixels out;
    const FittedSize drawn = fitIntoBox(width, height, image.width, image.height);
    if (drawn.width <= 0 || drawn.height <= 0) return out;
    out.visible.width = std::clamp(drawn.width, 0, std::max(maxWidth, 0));
    out.visible.height = std::clamp(drawn.height, 0, std::max(maxHeight, 0));
    out.bgrx.resize(static_cast<std::size_t>(out.visible.width) *
                    static_cast<std::size_t>(out.visible.height));
    std::uint32_t* pixel = out.bgrx.data();
    for (std::int32_t i = 0; i < out.visible.height; ++i) {
        const std::int64_t sy = std::int64_t{i} * image.height / drawn.height;
        for (std::int32_t j = 0; j < out.visible.width; ++j) {
            const std::int64_t sx = std::int64_t{j} * image.width / drawn.width;
            const std::uint8_t* rgb =
                image.pixels.data() +
                (static_cast<std::size_t>(sy) * static_cast<std::size_t>(image.width) +
                 static_cast<std::size_t>(sx)) *
                    3;
            *pixel++ = std::uint32_t{rgb[0]} << 16 | std::uint32_t{rgb[1]} << 8 | rgb[2];
        }
    }
    return out;
}

}  // namespace ferrovel
