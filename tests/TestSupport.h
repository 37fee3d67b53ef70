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

// Writes bytes to a scratch file and returns its path.
std::string writeScratchFile(const std::string& name, const std::vector<std::uint8_t>& bytes);

// The red, green and blue bytes of pixel (x, y).
std::vector<int> pixelAt(const RgbImage& image, int x, int y);

}  // namespace ferrovel::testing
