// Rows in the decoders' output layouts turned into canvas rows: 3 bytes a
// pixel, blue, green, red. Transparency is composed onto the canvas white
// (alpha is straight, never premultiplied), and a 16-bit level v becomes the
// 8-bit level v / 257 rounded down, so that every platform's decoder and
// ImageMagick's reduction give the same bytes.
#pragma once

#include <cstdint>

namespace ferrovel {

void rgbToBgr(const std::uint8_t* rgb, std::int32_t count, std::uint8_t* bgr);
void rgbaToBgr(const std::uint8_t* rgba, std::int32_t count, std::uint8_t* bgr);
void bgraToBgr(const std::uint8_t* bgra, std::int32_t count, std::uint8_t* bgr);

// Four 16-bit channels a pixel in the host's byte order.
void rgba16ToBgr(const std::uint16_t* rgba, std::int32_t count, std::uint8_t* bgr);

// CMYK stored inverted (0 full ink), as Adobe's JPEG files hold it.
void invertedCmykToBgr(const std::uint8_t* cmyk, std::int32_t count, std::uint8_t* bgr);

}  // namespace ferrovel
