#include "convert/Adjust.h"

#include <algorithm>

namespace ferrovel {

Hls rgbToHls(std::int16_t red, std::int16_t green, std::int16_t blue) {
    const std::int32_t high = std::max({red, green, blue});
    const std::int32_t low = std::min({red, green, blue});
    Hls hls;
    hls.lightness = static_cast<std::int16_t>((high + low) / 2);
    if (high == low) return hls;
    const std::int32_t d = high - low;
    hls.saturation = static_cast<std::int16_t>(hls.lightness <= 127 ? d * 255 / (high + low)
                                                                    : d * 255 / (510 - high - low));
    const std::int32_t rc = (high - red) * 255 / d;
    const std::int32_t gc = (high - green) * 255 / d;
    const std::int32_t bc = (high - blue) * 255 / d;
    std::int32_t h;
    if (red == high) {
        h = bc - gc;
    } else if (green == high) {
        h = 510 + rc - bc;
    } else {
        h = 1020 + gc - rc;
    }
    std::int32_t hue = h / 6;
    if (hue < 0) hue += 255;
    hls.hue = static_cast<std::int16_t>(hue);
    return hls;
}

std::int32_t hueRamp(std::int32_t m1, std::int32_t m2, std::int32_t hue) {
    if (hue > 255) hue -= 255;
    if (hue < 0) hue += 255;
    if (hue < 42) return m1 + (m2 - m1) * hue * 6 / 255;
    if (hue < 127) return m2;
    if (hue < 170) return m1 + (m2 - m1) * (170 - hue) * 6 / 255;
    return m1;
}

void hlsToRgb(const Hls& hls, std::int16_t& red, std::int16_t& green, std::int16_t& blue) {
    if (hls.saturation == 0) {
        red = green = blue = hls.lightness;
        return;
    }
    const std::int32_t l = hls.lightness;
    const std::int32_t s = hls.saturation;
    const std::int32_t m2 = l <= 127 ? (255 + s) * l : (255 - s) * l + 255 * s;
    const std::int32_t m1 = 510 * l - m2;
    const auto channel = [&](std::int32_t hue) {
        return static_cast<std::int16_t>(std::min<std::int32_t>(hueRamp(m1, m2, hue) / 255, 255));
    };
    red = channel(hls.hue + 85);
    green = channel(hls.hue);
    blue = channel(hls.hue - 85);
}

std::int16_t adjustPixel(std::int16_t& red, std::int16_t& green, std::int16_t& blue,
                         std::int16_t brightness, std::int16_t contrast) {
    Hls hls = rgbToHls(red, green, blue);
    const std::int32_t factor = (contrast + 100) * 65536 / 100;  // 16.16 fixed point
    const std::int32_t offset = (brightness + 100) * 128 / 100;
    // 64-bit product: an arithmetic shift of a negative value rounds down.
    const std::int64_t stretched = (std::int64_t{hls.lightness - 128} * factor) >> 16;
    hls.lightness = static_cast<std::int16_t>(std::clamp<std::int64_t>(stretched + offset, 0, 255));
    hlsToRgb(hls, red, green, blue);
    return 0;
}

}  // namespace ferrovel
