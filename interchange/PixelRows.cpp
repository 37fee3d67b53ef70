#include "interchange/PixelRows.h"

namespace ferrovel {
namespace {

// Levels between two 8-bit steps are taken down, composed and reduced alike.
std::uint8_t onWhite(unsigned channel, unsigned alpha) {
    return static_cast<std::uint8_t>((channel * alpha + 255 * (255 - alpha)) / 255);
}

std::uint8_t onWhite16(std::uint32_t channel, std::uint32_t alpha) {
    const std::uint64_t composed =
        (std::uint64_t{channel} * alpha + std::uint64_t{65535} * (65535 - alpha) + 32767) / 65535;
    return static_cast<std::uint8_t>(composed / 257);
}

}  // namespace

void rgbToBgr(const std::uint8_t* rgb, std::int32_t count, std::uint8_t* bgr) {
    for (std::int32_t i = 0; i < count; ++i, rgb += 3, bgr += 3) {
        bgr[0] = rgb[2];
        bgr[1] = rgb[1];
        bgr[2] = rgb[0];
    }
}

void rgbaToBgr(const std::uint8_t* rgba, std::int32_t count, std::uint8_t* bgr) {
    for (std::int32_t i = 0; i < count; ++i, rgba += 4, bgr += 3) {
        bgr[0] = onWhite(rgba[2], rgba[3]);
        bgr[1] = onWhite(rgba[1], rgba[3]);
        bgr[2] = onWhite(rgba[0], rgba[3]);
    }
}

void bgraToBgr(const std::uint8_t* bgra, std::int32_t count, std::uint8_t* bgr) {
    for (std::int32_t i = 0; i < count; ++i, bgra += 4, bgr += 3) {
        bgr[0] = onWhite(bgra[0], bgra[3]);
        bgr[1] = onWhite(bgra[1], bgra[3]);
        bgr[2] = onWhite(bgra[2], bgra[3]);
    }
}

void rgba16ToBgr(const std::uint16_t* rgba, std::int32_t count, std::uint8_t* bgr) {
    for (std::int32_t i = 0; i < count; ++i, rgba += 4, bgr += 3) {
        bgr[0] = onWhite16(rgba[2], rgba[3]);
        bgr[1] = onWhite16(rgba[1], rgba[3]);
        bgr[2] = onWhite16(rgba[0], rgba[3]);
    }
}

void invertedCmykToBgr(const std::uint8_t* cmyk, std::int32_t count, std::uint8_t* bgr) {
    for (std::int32_t i = 0; i < count; ++i, cmyk += 4, bgr += 3) {
        const unsigned black = cmyk[3];
        bgr[0] = static_cast<std::uint8_t>((cmyk[2] * black + 127) / 255);
        bgr[1] = static_cast<std::uint8_t>((cmyk[1] * black + 127) / 255);
        bgr[2] = static_cast<std::uint8_t>((cmyk[0] * black + 127) / 255);
    }
}

}  // namespace ferrovel
