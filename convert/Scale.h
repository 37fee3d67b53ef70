// Area-averaging resampling of a 3-byte-per-pixel picture to any size.
//
// Each output pixel averages the source pixels its window covers when the
// source is stretched over the output. Window coordinates, row and column
// weights are single precision; within a window the sums and the total are
// accumulated in double precision and rounded to single precision once, when
// the window is done; the output byte is sum * (1 / total) in double
// precision, truncated. The three bytes of a pixel are treated alike, so any
// byte order comes out as it went in.
#pragma once

#include <cstdint>
#include <vector>

namespace ferrovel {

inline constexpr std::int16_t kScaleFailed = -1;  // a size below 1, or no memory for the result

// Scales source (srcWidth x srcHeight pixels) to dstWidth x dstHeight into a
// new buffer stored in result: 0, or kScaleFailed with result unchanged.
std::int16_t scaleImage(std::vector<std::uint8_t>& result, std::int16_t dstWidth,
                        std::int16_t dstHeight, const std::uint8_t* source, std::int16_t srcWidth,
                        std::int16_t srcHeight);

// The part regionWidth x regionHeight from (regionX, regionY) of what
// scaleImage gives, pixel for pixel, computed without the rest of it.
std::int16_t scaleImageRegion(std::vector<std::uint8_t>& result, std::int16_t dstWidth,
                              std::int16_t dstHeight, const std::uint8_t* source,
                              std::int16_t srcWidth, std::int16_t srcHeight, std::int32_t regionX,
                              std::int32_t regionY, std::int32_t regionWidth,
                              std::int32_t regionHeight);

}  // namespace ferrovel
