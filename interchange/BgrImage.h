// The import side's picture: 3 bytes a pixel in the order blue, green, red
// (the byte order of a 24-bit bitmap row), rows top-down without padding.
#pragma once

#include <cstdint>
#include <vector>

namespace ferrovel {

struct BgrImage {
    std::int16_t width = 0;
    std::int16_t height = 0;
    std::vector<std::uint8_t> pixels;  // width * height * 3 bytes
};

}  // namespace ferrovel
