// Fixture databases opened from scratch files, and pixel checks against the
// colours the record formats define.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "database/Palette.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DatabaseBuilder.h"

namespace ferrovel::testing {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

// Writes bytes to a scratch file of that name and opens it "rb".
inline OpenFile openScratch(const std::string& name, const fixtures::Bytes& bytes) {
    return OpenFile(std::fopen(writeScratchFile(name, bytes).c_str(), "rb"));
}

// A record of the given format; without rows its pixel data is all zero bytes.
inline fixtures::FixtureRecord makeRecord(std::uint16_t bits, int width, int height,
                                          fixtures::Bytes rows = {}, bool compressed = false) {
    fixtures::FixtureRecord record;
    record.bitsPerPixel = bits;
    record.width = static_cast<std::int16_t>(width);
    record.height = static_cast<std::int16_t>(height);
    if (rows.empty() && width > 0 && height > 0) {
        rows.resize(fixtures::fixtureRowBytes(bits, width) * static_cast<std::size_t>(height));
    }
    record.rows = std::move(rows);
    record.compressed = compressed;
    return record;
}

// The colour of a stored pixel value of a format.
inline std::vector<int> colourOf(int bits, std::uint32_t value) {
    const int v = static_cast<int>(value);
    if (bits == 1) return std::vector<int>(3, v != 0 ? 0 : 255);
    if (bits == 2) return std::vector<int>(3, 255 - 85 * v);
    if (bits == 4) return std::vector<int>(3, 255 - 17 * v);
    if (bits == 16) return {(v >> 11) * 8, ((v >> 5) & 63) * 4, (v & 31) * 8};
    const PaletteColor& c = handheldPalette()[value & 0xFF];
    return {c.red, c.green, c.blue};
}

// The first pixel of image that differs from want(x, y), or "".
inline std::string firstMismatch(const RgbImage& image,
                                 const std::function<std::vector<int>(int, int)>& want) {
    const auto text = [](const std::vector<int>& c) {
        return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
    };
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::vector<int> got = pixelAt(image, x, y), expected = want(x, y);
            if (got != expected) {
                return "pixel " + std::to_string(x) + "," + std::to_string(y) + " is " + text(got) +
                       ", expected " + text(expected);
            }
        }
    }
    return "";
}

}  // namespace ferrovel::testing
