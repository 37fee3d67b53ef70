#include "app/ImportPreview.h"

#include <algorithm>

#include "convert/Adjust.h"
#include "convert/Reduce.h"
#include "convert/Scale.h"
#include "database/ShortDecimal.h"
#include "database/SizeMath.h"

namespace ferrovel {
namespace {

constexpr std::size_t kBoxCharsRead = 10;

}  // namespace

bool readBoxNumber(const std::string& text, std::int16_t& value) {
    std::size_t at = 0;
    return scanShortDecimal(text.substr(0, kBoxCharsRead), at, value);
}

std::int16_t proportionalSide(std::int16_t side, std::int16_t numerator, std::int16_t denominator) {
    if (denominator == 0) return 0;
    const std::int32_t product = std::int32_t{side} * numerator;
    return static_cast<std::int16_t>(
        static_cast<std::uint16_t>(static_cast<std::uint32_t>(product / denominator) & 0xFFFFu));
}

PreviewPlacement placePreview(std::int32_t innerWidth, std::int32_t innerHeight,
                              std::int16_t targetWidth, std::int16_t targetHeight) {
    PreviewPlacement placement;
    const std::int32_t spareX = innerWidth - targetWidth;
    const std::int32_t spareY = innerHeight - targetHeight;
    placement.drawWidth = std::max(std::min<std::int32_t>(targetWidth, innerWidth), 0);
    placement.drawHeight = std::max(std::min<std::int32_t>(targetHeight, innerHeight), 0);
    if (spareX < 0)
        placement.sourceX = -spareX / 2;
    else
        placement.offsetX = spareX / 2;
    if (spareY < 0)
        placement.sourceY = -spareY / 2;
    else
        placement.offsetY = spareY / 2;
    return placement;
}

bool renderImportPreview(const BgrImage& picture, const PreviewSettings& settings,
                         const PreviewPlacement& placement, std::vector<std::uint32_t>& pixels) {
    pixels.clear();
    // The whole scaled picture must be one that can be made, even though only
    // the drawn part of it is computed.
    if (!pixelBufferBytes(settings.targetWidth, settings.targetHeight)) return false;
    std::vector<std::uint8_t> scaled;
    if (scaleImageRegion(scaled, settings.targetWidth, settings.targetHeight, picture.pixels.data(),
                         picture.width, picture.height, placement.sourceX, placement.sourceY,
                         placement.drawWidth, placement.drawHeight) != 0) {
        return false;
    }
    pixels.resize(static_cast<std::size_t>(placement.drawWidth) *
                  static_cast<std::size_t>(placement.drawHeight));
    buildPaletteLookup();
    const std::uint8_t* in = scaled.data();
    std::uint32_t* out = pixels.data();
    for (std::int32_t r = 0; r < placement.drawHeight; ++r) {
        for (std::int32_t c = 0; c < placement.drawWidth; ++c, in += 3) {
            std::int16_t red = in[2], green = in[1], blue = in[0];
            adjustPixel(red, green, blue, settings.brightness, settings.contrast);
            reducePixel(red, green, blue, settings.formatBits, settings.dither, c, r);
            *out++ = static_cast<std::uint32_t>(red) << 16 |
                     static_cast<std::uint32_t>(green) << 8 | static_cast<std::uint32_t>(blue);
        }
    }
    return true;
}

}  // namespace ferrovel
