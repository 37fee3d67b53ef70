// Contrast and brightness through the HLS colour model, in integers.
//
// HLS values are on 0-255 scales: hue 0-254 (a full turn is 255 units; red 0,
// green 85, blue 170), lightness 0-255, saturation 0-255. Only the lightness
// moves: it is stretched about 128 by the contrast and shifted by the
// brightness; hue and saturation pass through the integer round trip.
#pragma once

#include <cstdint>

namespace ferrovel {

struct Hls {
    std::int16_t hue = 0;
    std::int16_t lightness = 0;
    std::int16_t saturation = 0;
};

inline constexpr std::int16_t kMinAdjustment = -100;
inline constexpr std::int16_t kMaxAdjustment = 100;

Hls rgbToHls(std::int16_t red, std::int16_t green, std::int16_t blue);
void hlsToRgb(const Hls& hls, std::int16_t& red, std::int16_t& green, std::int16_t& blue);

// One channel of hlsToRgb, scaled by 255.
std::int32_t hueRamp(std::int32_t m1, std::int32_t m2, std::int32_t hue);

// Adjusts one pixel in place; brightness and contrast run from -100 to 100,
// 0 neutral. The first value plays red, the second green, the third blue.
// Returns 0.
std::int16_t adjustPixel(std::int16_t& red, std::int16_t& green, std::int16_t& blue,
                         std::int16_t brightness, std::int16_t contrast);

}  // namespace ferrovel
