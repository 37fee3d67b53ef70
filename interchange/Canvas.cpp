#include "interchange/Canvas.h"

#include <cstring>
#include <new>

#include "database/SizeMath.h"
#include "interchange/Bmp.h"

namespace ferrovel {
namespace {

constexpr std::int64_t kMinCanvasWidth = 160;
constexpr std::int64_t kMinCanvasHeight = 144;

std::int64_t canvasWidthFor(std::int64_t width) {
    return width < kMinCanvasWidth ? kMinCanvasWidth : (width + 15) / 16 * 16;
}

std::int64_t canvasHeightFor(std::int64_t height) {
    return height < kMinCanvasHeight ? kMinCanvasHeight : height;
}

struct Point {
    std::int64_t x, y;
};

// Where stored pixel (x, y) of a width x height picture stands upright.
Point upright(int orientation, std::int64_t x, std::int64_t y, std::int64_t width,
              std::int64_t height) {
    switch (orientation) {
        case 2:
            return {width - 1 - x, y};
        case 3:
            return {width - 1 - x, height - 1 - y};
        case 4:
            return {x, height - 1 - y};
        case 5:
            return {y, x};
        case 6:
            return {height - 1 - y, x};
        case 7:
            return {height - 1 - y, width - 1 - x};
        case 8:
            return {y, width - 1 - x};
        default:
            return {x, y};
    }
}

bool turnsSideways(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

}  // namespace

std::optional<std::size_t> canvasBytesFor(std::int64_t width, std::int64_t height) {
    // Sides beyond 2^31 cannot come from any file format read here; refusing
    // them first keeps the rounding below from wrapping.
    if (width < 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
    const std::int64_t canvasWidth = canvasWidthFor(width);
    const std::int64_t canvasHeight = canvasHeightFor(height);
    // The canvas travels with 16-bit sizes; a larger one cannot be handed on.
    if (canvasWidth > INT16_MAX || canvasHeight > INT16_MAX) return std::nullopt;
    return pixelBufferBytes(canvasWidth, canvasHeight);
}

std::int16_t allocateCanvas(std::int64_t width, std::int64_t height, BgrImage& canvas) {
    const std::optional<std::size_t> bytes = canvasBytesFor(width, height);
    if (!bytes) return kBmpNoMemory;
    try {
        canvas.pixels.assign(*bytes, 0xFF);
    } catch (const std::bad_alloc&) {
        return kBmpNoMemory;
    }
    canvas.width = static_cast<std::int16_t>(canvasWidthFor(width));
    canvas.height = static_cast<std::int16_t>(canvasHeightFor(height));
    return 0;
}

CanvasOpen openPictureCanvas(PictureCanvas& canvas, std::int64_t width, std::int64_t height) {
    const bool sideways = turnsSideways(canvas.orientation);
    const std::int64_t uprightWidth = sideways ? height : width;
    const std::int64_t uprightHeight = sideways ? width : height;
    if (width < 0 || height < 0 || !canvasBytesFor(uprightWidth, uprightHeight))
        return CanvasOpen::TooLarge;
    if (allocateCanvas(uprightWidth, uprightHeight, canvas.image) != 0) return CanvasOpen::NoMemory;
    canvas.width = static_cast<std::int32_t>(width);
    canvas.height = static_cast<std::int32_t>(height);
    const auto offset = [&](std::int64_t x, std::int64_t y) {
        const Point p = upright(canvas.orientation, x, y, width, height);
        return static_cast<std::ptrdiff_t>((p.y * canvas.image.width + p.x) * 3);
    };
    canvas.origin = offset(0, 0);
    canvas.across = offset(1, 0) - canvas.origin;
    canvas.down = offset(0, 1) - canvas.origin;
    return CanvasOpen::Opened;
}

void placeRow(PictureCanvas& canvas, std::int32_t y, std::int32_t x0, std::int32_t step,
              const std::uint8_t* bgr, std::int32_t count) {
    if (y < 0 || y >= canvas.height || x0 < 0 || step < 1 || x0 >= canvas.width) return;
    const std::int32_t fitting = (canvas.width - x0 + step - 1) / step;
    if (count > fitting) count = fitting;
    std::uint8_t* out =
        canvas.image.pixels.data() + canvas.origin + canvas.down * y + canvas.across * x0;
    if (canvas.across == 3 && step == 1) {
        std::memcpy(out, bgr, static_cast<std::size_t>(count) * 3);
        return;
    }
    const std::ptrdiff_t next = canvas.across * step;
    for (std::int32_t i = 0; i < count; ++i, out += next, bgr += 3) {
        out[0] = bgr[0];
        out[1] = bgr[1];
        out[2] = bgr[2];
    }
}

}  // namespace ferrovel
