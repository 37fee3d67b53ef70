// The in-memory picture read out of a database: 3 bytes a pixel, red, green,
// blue, rows top-down without padding, pixel (x, y) at byte (y * width + x) * 3.
#pragma once

#include <cstdint>
#include <vector>

namespace ferrovel {

struct RgbImage {
    std::int16_t width = 0;
    std::int16_t height = 0;
    std::vector<std::uint8_t> pixels;  // width * height * 3 bytes
};

}  // namespace ferrovel
