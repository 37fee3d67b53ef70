#include "convert/Scale.h"

#include <cfloat>
#include <cmath>
#include <new>

#include "database/SizeMath.h"

// Every platform must store the same bytes for an import, which holds only
// when each step rounds to its declared type (SSE2 on 32-bit x86, not x87).
#if FLT_EVAL_METHOD != 0
#error "floating point is evaluated in a wider type than declared"
#endif

namespace ferrovel {
namespace {

// The span of source positions one output position covers, along one axis.
struct Window {
    float start = 0;
    float end = 0;
    std::int32_t first = 0;  // first source index taking part
    std::int32_t last = 0;   // one past the last
};

// Along the axis of the left edge, the start is the index times the rounded
// ratio; along the other, the same formula as the end.
Window windowAlong(std::int32_t i, std::int32_t dst, std::int32_t src, bool startFromRatio) {
    Window window;
    if (startFromRatio) {
        const float ratio = static_cast<float>(static_cast<double>(src) / dst);
        window.start = static_cast<float>(static_cast<double>(i) * ratio);
    } else {
        window.start = static_cast<float>(static_cast<double>(i) / dst * src);
    }
    window.end = static_cast<float>(static_cast<double>(i + 1) / dst * src);
    window.first = static_cast<std::int32_t>(std::floor(window.start));
    window.last = static_cast<std::int32_t>(std::ceil(window.end));
    if (window.last > src) window.last = src;  // rounding must not step past the source
    return window;
}

// The weight of source index i in a window: the fractional start for a
// partly covered first index, otherwise 1; the last index always counts whole.
float weightOf(const Window& window, std::int32_t i) {
    return static_cast<double>(i) < window.start
               ? static_cast<float>(static_cast<double>(window.start) - i)
               : 1.0f;
}

void scaleOnePixel(const Window& rows, const Window& columns, const std::uint8_t* source,
                   std::int32_t srcWidth, std::uint8_t* out) {
    double sums[3] = {0, 0, 0};
    double total = 0;
    for (std::int32_t iy = rows.first; iy < rows.last; ++iy) {
        const double rowWeight = weightOf(rows, iy);
        const std::uint8_t* pixel =
            source + (static_cast<std::size_t>(iy) * static_cast<std::size_t>(srcWidth) +
                      static_cast<std::size_t>(columns.first)) *
                         3;
        for (std::int32_t ix = columns.first; ix < columns.last; ++ix, pixel += 3) {
            const double weight = rowWeight * weightOf(columns, ix);
            sums[0] += weight * pixel[0];
            sums[1] += weight * pixel[1];
            sums[2] += weight * pixel[2];
            total += weight;
        }
    }
    const double reciprocal = 1.0 / static_cast<double>(static_cast<float>(total));
    for (int k = 0; k < 3; ++k) {
        const double value = static_cast<double>(static_cast<float>(sums[k])) * reciprocal;
        out[k] = static_cast<std::uint8_t>(value);
    }
}

}  // namespace

std::int16_t scaleImageRegion(std::vector<std::uint8_t>& result, std::int16_t dstWidth,
                              std::int16_t dstHeight, const std::uint8_t* source,
                              std::int16_t srcWidth, std::int16_t srcHeight, std::int32_t regionX,
                              std::int32_t regionY, std::int32_t regionWidth,
                              std::int32_t regionHeight) {
    if (dstWidth < 1 || dstHeight < 1 || srcWidth < 1 || srcHeight < 1) return kScaleFailed;
    if (regionX < 0 || regionY < 0 || regionWidth < 0 || regionHeight < 0 ||
        regionX + regionWidth > dstWidth || regionY + regionHeight > dstHeight) {
        return kScaleFailed;
    }
    const std::optional<std::size_t> bytes = pixelBufferBytes(regionWidth, regionHeight);
    if (!bytes) return kScaleFailed;
    std::vector<std::uint8_t> scaled;
    try {
        scaled.resize(*bytes);
    } catch (const std::bad_alloc&) {
        return kScaleFailed;
    }
    std::vector<Window> columns(static_cast<std::size_t>(regionWidth));
    for (std::int32_t x = 0; x < regionWidth; ++x) {
        columns[static_cast<std::size_t>(x)] = windowAlong(regionX + x, dstWidth, srcWidth, true);
    }
    std::uint8_t* out = scaled.data();
    for (std::int32_t y = 0; y < regionHeight; ++y) {
        const Window rows = windowAlong(regionY + y, dstHeight, srcHeight, false);
        for (const Window& column : columns) {
            scaleOnePixel(rows, column, source, srcWidth, out);
            out += 3;
        }
    }
    result = std::move(scaled);
    return 0;
}

std::int16_t scaleImage(std::vector<std::uint8_t>& result, std::int16_t dstWidth,
                        std::int16_t dstHeight, const std::uint8_t* source, std::int16_t srcWidth,
                        std::int16_t srcHeight) {
    return scaleImageRegion(result, dstWidth, dstHeight, source, srcWidth, srcHeight, 0, 0,
                            dstWidth, dstHeight);
}

}  // namespace ferrovel
