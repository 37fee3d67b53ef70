// The rules of the Import Image dialog that decide without windows: reading
// the size boxes, the proportional side, where the preview goes, and the
// preview's pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "interchange/BgrImage.h"

namespace ferrovel {

// A size box's number as "%hd" reads the box's first 10 characters (leading
// blanks, a sign, digits; the value wraps to 16 bits). False when no number
// starts the text: the caller keeps its previous value.
bool readBoxNumber(const std::string& text, std::int16_t& value);

// side * numerator / denominator in 32-bit integers, truncated, kept as 16 bits.
std::int16_t proportionalSide(std::int16_t side, std::int16_t numerator, std::int16_t denominator);

// Where the scaled picture goes in the preview's inner rectangle: centred
// when smaller, its centre shown when larger.
struct PreviewPlacement {
    std::int32_t drawWidth = 0;
    std::int32_t drawHeight = 0;
    std::int32_t sourceX = 0;  // first drawn column of the scaled picture
    std::int32_t sourceY = 0;
    std::int32_t offsetX = 0;  // from the inner rectangle's left edge
    std::int32_t offsetY = 0;
};

PreviewPlacement placePreview(std::int32_t innerWidth, std::int32_t innerHeight,
                              std::int16_t targetWidth, std::int16_t targetHeight);

struct PreviewSettings {
    std::int16_t targetWidth = 2;
    std::int16_t targetHeight = 2;
    std::int16_t formatBits = 1;
    std::int16_t dither = 1;
    std::int16_t brightness = 0;
    std::int16_t contrast = 0;
};

// The drawn part of the preview as 32-bit blue-green-red-x words, rows
// top-down: the picture scaled, each pixel adjusted and reduced with its
// position in the drawn part. False, with nothing drawn, when the scaled
// picture could not be made.
bool renderImportPreview(const BgrImage& picture, const PreviewSettings& settings,
                         const PreviewPlacement& placement, std::vector<std::uint32_t>& pixels);

}  // namespace ferrovel
