// Helpers shared by the tests: a scratch folder per test process and small
// file utilities.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/RgbImage.h"

namespace ferrovel::testing {

// A path inside this process's scratch folder (created on first use).
std::string scratchPath(const std::string& name);

// An empty folder of that name in the scratch folder, with a trailing "/".
std::string freshFolder(const std::string& name);

// Writes bytes to a scratch file and returns its path.
std::string writeScratchFile(const std::string& name, const std::vector<std::uint8_t>& bytes);

// The three bytes of pixel (x, y), in the image's own channel order.
template <typename Image>
std::vector<int> pixelAt(const Image& image, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * image.width + x) * 3;
    return {image.pixels[at], image.pixels[at + 1], image.pixels[at + 2]};
}

// Red across, green down, blue along the diagonals: many different colours.
RgbImage gradient(int width, int height);

// The gradient written as a 24-bit bitmap to a scratch file; its path.
std::string gradientBitmap(const std::string& name, int width, int height);

// A binary PPM file (ImageMagick's and Ghostscript's output); width 0 when the
// file is missing or holds less than its whole picture.
struct Ppm {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
};
Ppm readPpm(const std::string& path);

}  // namespace ferrovel::testing
