// Fixture databases opened from scratch files, and pixel checks against the
// colours the record formats define.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "database/Container.h"
#include "database/Palette.h"
#include "database/WorkFile.h"
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

using Records = std::vector<fixtures::FixtureRecord>;

inline OpenFile openDatabase(const std::string& name, const Records& records) {
    return openScratch(name, fixtures::buildDatabase("Test", records));
}

// An empty database at a scratch path, with no work file beside it.
inline std::string emptyDatabase(const std::string& name) {
    const std::string path = scratchPath(name);
    std::remove(workFilePath(path).c_str());
    EXPECT_EQ(createEmptyDatabase(path), 0);
    return path;
}

// The records of one picture cut into tiles and layers.
inline Records tiles(const std::string& name, int width, int height,
                     std::function<std::uint32_t(int layer, int x, int y)> valueAt, int layers = 1,
                     bool compressed = false) {
    return fixtures::tiledImageRecords(
        {name, width, height, 16, layers, compressed, false, valueAt});
}

// A record of the given format; without rows its pixel data is all zero bytes.
inline fixtures::FixtureRecord makeRecord(std::uint16_t bits, int width, int height,
                                          fixtures::Bytes rows = {}, bool compressed = false) {
    fixtures::FixtureRecord record;
    record.bitsPerPixel = bits;
    record.width = static_cast<std::int16_t>(width);
    record.height = static_cast<std::int16_t>(height);
    if (rows.empty() && width > 0 && height > 0)
        rows.resize(fixtures::fixtureRowBytes(bits, width) * static_cast<std::size_t>(height));
    record.rows = std::move(rows);
    record.compressed = compressed;
    return record;
}

// The colour of a stored pixel value of a format.
inline std::vector<int> colourOf(int bits, std::uint32_t value) {
    const int v = static_cast<int>(value);
    if (bits < 8) return std::vector<int>(3, 255 - 255 * v / ((1 << bits) - 1));
    if (bits == 16) return {(v >> 11) * 8, ((v >> 5) & 63) * 4, (v & 31) * 8};
    const PaletteColor& c = handheldPalette()[value & 0xFF];
    return {c.red, c.green, c.blue};
}

// The first pixel of image that differs from want(x, y), or "".
inline std::string firstMismatch(const RgbImage& image,
                                 const std::function<std::vector<int>(int, int)>& want) {
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::vector<int> got = pixelAt(image, x, y), expected = want(x, y);
            if (got != expected) {
                return "pixel " + std::to_string(x) + "," + std::to_string(y) + " is " +
                       ::testing::PrintToString(got) + ", expected " +
                       ::testing::PrintToString(expected);
            }
        }
    }
    return "";
}

}  // namespace ferrovel::testing
