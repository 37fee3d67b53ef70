#include "convert/Reduce.h"

#include <algorithm>
#include <cstdlib>

namespace ferrovel {
namespace {

constexpr std::array<int, 6> kBlueBase = {0, 6, 12, 108, 114, 120};

std::array<std::uint8_t, 256> cubeLevelOf{};
std::array<std::uint8_t, 256> grayStepOf{};

bool patternBit(int pattern, std::int32_t x, std::int32_t y) {
    const std::uint8_t row =
        kDitherPatterns[static_cast<std::size_t>(pattern)][static_cast<std::size_t>(y & 7)];
    return (row & (0x80 >> (x & 7))) != 0;
}

void setGray(std::int16_t& red, std::int16_t& green, std::int16_t& blue, int value) {
    red = green = blue = static_cast<std::int16_t>(value);
}

void reduce1(std::int16_t& r, std::int16_t& g, std::int16_t& b, bool dither, std::int32_t x,
             std::int32_t y) {
    if (!dither) return setGray(r, g, b, (r + g + b) / 3 > 127 ? 255 : 0);
    const int luma = (r + 2 * g + b) >> 2;
    setGray(r, g, b, patternBit(luma / 32, x, y) ? 0 : 255);
}

// Shared by the dithered 2- and 4-bit grays: levels of width step.
int ditheredGrayLevel(int luma, int step, int maxLevel, std::int32_t x, std::int32_t y) {
    const int t = luma + step / 2;
    int level = t / step;
    if (level > 0 && patternBit((t % step) / (step / 8), x, y)) --level;
    return std::min(level, maxLevel);
}

void reduce2(std::int16_t& r, std::int16_t& g, std::int16_t& b, bool dither, std::int32_t x,
             std::int32_t y) {
    if (!dither) return setGray(r, g, b, (r + g + b) / 3 / 85 * 85);
    setGray(r, g, b, 64 * ditheredGrayLevel((r + 2 * g + b) >> 2, 64, 3, x, y));
}

void reduce4(std::int16_t& r, std::int16_t& g, std::int16_t& b, bool dither, std::int32_t x,
             std::int32_t y) {
    if (!dither) return setGray(r, g, b, (r + g + b) / 3 / 36 * 36);
    setGray(r, g, b, 16 * ditheredGrayLevel((r + 2 * g + b) >> 2, 16, 15, x, y));
}

std::int16_t ditheredLatticeChannel(int c, std::int32_t x, std::int32_t y) {
    const int t = c + 21;
    int level = t / 43;
    if (level > 0 && patternBit((t % 43) * 8 / 43, x, y)) --level;
    return static_cast<std::int16_t>(43 * std::min(level, 5));
}

void reduce8(std::int16_t& r, std::int16_t& g, std::int16_t& b, bool dither, std::int32_t x,
             std::int32_t y) {
    const bool gray = (r >> 4) == (g >> 4) && (g >> 4) == (b >> 4);
    if (gray) {
        if (!dither) return setGray(r, g, b, g - g % 17);
        int v = (g + 16) / 17 * 17;
        if (v > 0 && patternBit((g % 17) * 8 / 17, x, y)) --v;
        return setGray(r, g, b, v);
    }
    if (!dither) {
        r = static_cast<std::int16_t>(r / 43 * 43);
        g = static_cast<std::int16_t>(g / 43 * 43);
        b = static_cast<std::int16_t>(b / 43 * 43);
        return;
    }
    r = ditheredLatticeChannel(r, x, y);
    g = ditheredLatticeChannel(g, x, y);
    b = ditheredLatticeChannel(b, x, y);
}

// One channel of 5 or 6 bits: keepMask the bits kept, step the next level up.
std::int16_t ditheredHighColorChannel(int c, int keepMask, int step, int patternFor, std::int32_t x,
                                      std::int32_t y) {
    int v = c & keepMask;
    if (v < keepMask && !patternBit(patternFor, x, y)) v += step;
    return static_cast<std::int16_t>(v);
}

void reduce16(std::int16_t& r, std::int16_t& g, std::int16_t& b, bool dither, std::int32_t x,
              std::int32_t y) {
    if (!dither) {
        r = static_cast<std::int16_t>(r & 0xF8);
        g = static_cast<std::int16_t>(g & 0xFC);
        b = static_cast<std::int16_t>(b & 0xF8);
        return;
    }
    r = ditheredHighColorChannel(r, 0xF8, 8, r & 7, x, y);
    g = ditheredHighColorChannel(g, 0xFC, 4, 2 * (g & 3), x, y);
    b = ditheredHighColorChannel(b, 0xF8, 8, b & 7, x, y);
}

// Appends packed pixels of fewer than 8 bits to a row, most significant first.
struct BitPacker {
    std::uint8_t* out;
    int bitsUsed = 0;
    std::uint8_t current = 0;

    void put(unsigned value, int bits) {
        current = static_cast<std::uint8_t>(current | value << (8 - bits - bitsUsed));
        bitsUsed += bits;
        if (bitsUsed == 8) flush();
    }
    void flush() {
        *out++ = current;
        current = 0;
        bitsUsed = 0;
    }
};

unsigned packedValue(std::int16_t depth, int r, int g, int b, std::int32_t x, std::int32_t y) {
    switch (depth) {
        case 1:
            return g < 127 ? 1u : 0u;
        case 2:
            return static_cast<unsigned>((1020 - r - 2 * g - b) >> 8);
        case 4:
            return static_cast<unsigned>((1020 - r - 2 * g - b) >> 6);
        case 8:
            return paletteIndex(x, y, static_cast<std::int16_t>(r), static_cast<std::int16_t>(g),
                                static_cast<std::int16_t>(b));
        default:
            return static_cast<unsigned>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
    }
}

// Reduces and packs one row; returns the write position after it. Reading
// position in never falls behind out, so the row can be packed in place.
std::uint8_t* packRow(const std::uint8_t* in, std::uint8_t* out, std::int16_t width,
                      std::int16_t depth, bool dither, std::int32_t y) {
    std::uint8_t* const rowStart = out;
    BitPacker packer{out};
    for (std::int32_t x = 0; x < width; ++x, in += 3) {
        std::int16_t b = in[0], g = in[1], r = in[2];
        reducePixel(r, g, b, depth, dither ? 1 : 0, x, y);
        const unsigned value = packedValue(depth, r, g, b, x, y);
        if (depth == 16) {
            *packer.out++ = static_cast<std::uint8_t>(value >> 8);
            *packer.out++ = static_cast<std::uint8_t>(value);
        } else if (depth == 8) {
            *packer.out++ = static_cast<std::uint8_t>(value);
        } else {
            packer.put(value, depth);
        }
    }
    if (packer.bitsUsed > 0) packer.flush();
    if ((packer.out - rowStart) & 1) *packer.out++ = 0;
    return packer.out;
}

}  // namespace

std::int16_t reducePixel(std::int16_t& red, std::int16_t& green, std::int16_t& blue,
                         std::int16_t depth, std::int16_t dither, std::int32_t x, std::int32_t y) {
    const bool on = dither != 0;
    switch (depth) {
        case 1:
            reduce1(red, green, blue, on, x, y);
            break;
        case 2:
            reduce2(red, green, blue, on, x, y);
            break;
        case 4:
            reduce4(red, green, blue, on, x, y);
            break;
        case 8:
            reduce8(red, green, blue, on, x, y);
            break;
        case 16:
            reduce16(red, green, blue, on, x, y);
            break;
        default:
            break;
    }
    return 0;
}

void buildPaletteLookup() {
    for (int v = 0; v < 256; ++v) {
        const std::size_t i = static_cast<std::size_t>(v);
        cubeLevelOf[i] = v < 34 ? 5 : v < 76 ? 4 : v < 127 ? 3 : v < 178 ? 2 : v < 229 ? 1 : 0;
        grayStepOf[i] = v < 51    ? 0
                        : v < 76  ? 1
                        : v < 102 ? 2
                        : v < 127 ? 3
                        : v < 153 ? 4
                        : v < 178 ? 5
                        : v < 204 ? 6
                                  : 7;
    }
}

std::uint8_t paletteIndex(std::int32_t x, std::int32_t y, std::int16_t red, std::int16_t green,
                          std::int16_t blue) {
    // A checkerboard offset of 3 breaks up flat areas between two levels.
    const int offset = ((x + y) & 1) ? 3 : -3;
    const auto shift = [offset](int c) {
        return static_cast<std::size_t>(std::clamp(c + offset, 0, 255));
    };
    const std::size_t r = shift(red), g = shift(green), b = shift(blue);
    if (r < 8 && g < 8 && b < 8) return 255;
    const std::size_t rl = cubeLevelOf[r], gl = cubeLevelOf[g], bl = cubeLevelOf[b];
    if (rl == gl && gl == bl) {
        const std::size_t a = (r + g + b) / 3;
        const int dc = std::abs(static_cast<int>(a) - kCubeLevels[cubeLevelOf[a]]);
        const int dg = std::abs(static_cast<int>(a) - kGrayRampLevels[grayStepOf[a]]);
        if (dc > dg) return static_cast<std::uint8_t>(216 + grayStepOf[a]);
    }
    return static_cast<std::uint8_t>(18 * rl + gl + static_cast<std::size_t>(kBlueBase[bl]));
}

std::uint32_t packedRowBytes(std::int16_t depth, std::int32_t width) {
    const std::uint32_t bytes =
        (static_cast<std::uint32_t>(std::max(width, 0)) * static_cast<std::uint32_t>(depth) + 7) /
        8;
    return bytes + (bytes & 1u);
}

std::int16_t reduceImage(std::uint8_t* pixels, std::int16_t width, std::int16_t height,
                         std::int16_t depth, std::int16_t dither) {
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) return 0;
    buildPaletteLookup();
    const std::size_t inRowBytes = static_cast<std::size_t>(std::max<std::int16_t>(width, 0)) * 3;
    std::uint8_t* out = pixels;
    for (std::int32_t y = 0; y < height; ++y) {
        out = packRow(pixels + static_cast<std::size_t>(y) * inRowBytes, out, width, depth,
                      dither != 0, y);
    }
    return 0;
}

}  // namespace ferrovel
