#include "interchange/Bmp.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "database/ByteStream.h"
#include "database/FileOpen.h"
#include "interchange/Canvas.h"
#include "interchange/MemoryStream.h"

namespace ferrovel {
namespace {

constexpr std::uint32_t kFileHeaderBytes = 54;
constexpr std::uint32_t kBitmapFileHeaderBytes = 14;
constexpr std::uint32_t kLargestInfoHeaderBytes = 124;  // the V5 header
constexpr std::uint32_t kPixelsPerMetre = 2667;

struct BmpHeader {
    std::uint32_t pixelOffset = 0;
    std::uint32_t infoHeaderSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitsPerPixel = 0;
    std::uint32_t colorsUsed = 0;
};

struct BgrColor {
    std::uint8_t blue = 0, green = 0, red = 0;
};

// Entries an index can reach but the file did not define stay black.
using BmpPalette = std::array<BgrColor, 256>;

struct FileCloser {
    std::FILE* file;
    ~FileCloser() {
        if (file) std::fclose(file);
    }
};

// The readers take a file or a block of bytes (MemoryStream) alike.
template <typename Stream>
BmpHeader readHeaderFields(Stream& file) {
    BmpHeader header;
    readU32LE(file);  // file size
    readU32LE(file);  // reserved
    header.pixelOffset = readU32LE(file);
    header.infoHeaderSize = readU32LE(file);  // the fields are read as the 40-byte header's
    header.width = static_cast<std::int32_t>(readU32LE(file));
    header.height = static_cast<std::int32_t>(readU32LE(file));
    readU16LE(file);  // planes
    header.bitsPerPixel = readU16LE(file);
    readU32LE(file);  // compression: the rows are always read uncompressed
    readU32LE(file);  // image size
    readU32LE(file);  // horizontal resolution
    readU32LE(file);  // vertical resolution
    header.colorsUsed = readU32LE(file);
    readU32LE(file);  // important colours
    return header;
}

bool depthIsRead(std::uint16_t bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 24;
}

// The palette follows the info header. A V4 or V5 header (41 to 124 bytes)
// says where that is; any other size is taken as the 40-byte header's.
std::uint32_t paletteOffset(const BmpHeader& header) {
    const std::uint32_t size = header.infoHeaderSize;
    return size > 40 && size <= kLargestInfoHeaderBytes ? kBitmapFileHeaderBytes + size
                                                        : kFileHeaderBytes;
}

template <typename Stream>
BmpPalette readPalette(Stream& file, const BmpHeader& header) {
    BmpPalette palette{};
    std::uint32_t entries = 0;
    if (header.colorsUsed != 0) {
        entries = std::min<std::uint32_t>(header.colorsUsed, 256);
    } else if (header.bitsPerPixel <= 8) {
        entries = 1u << header.bitsPerPixel;
    }
    seekTo(file, paletteOffset(header));
    for (std::uint32_t i = 0; i < entries; ++i) {
        palette[i].blue = readU8(file);
        palette[i].green = readU8(file);
        palette[i].red = readU8(file);
        readU8(file);  // reserved
    }
    return palette;
}

void convertIndexedRow(const std::uint8_t* row, const BmpHeader& header, const BmpPalette& palette,
                       std::uint8_t* out) {
    const unsigned bits = header.bitsPerPixel;
    const unsigned perByte = 8 / bits;
    const unsigned mask = (1u << bits) - 1;
    unsigned current = 0;
    for (std::int32_t x = 0; x < header.width; ++x, out += 3) {
        if (static_cast<unsigned>(x) % perByte == 0) {
            current = *row++;
        } else {
            current = (current << bits) & 0xFFu;
        }
        const BgrColor& color = palette[(current >> (8 - bits)) & mask];
        out[0] = color.blue;
        out[1] = color.green;
        out[2] = color.red;
    }
}

template <typename Stream>
void readPixelRows(Stream& file, const BmpHeader& header, const BmpPalette& palette,
                   BgrImage& canvas) {
    // Both factors are below 2^31, so neither the product nor the stride wraps.
    const std::uint64_t stride =
        (static_cast<std::uint64_t>(header.width) * header.bitsPerPixel + 31) / 32 * 4;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(stride));
    const std::size_t canvasRowBytes = static_cast<std::size_t>(canvas.width) * 3;
    seekTo(file, header.pixelOffset);
    for (std::int32_t k = 0; k < header.height; ++k) {
        readBytes(file, row.data(), row.size());
        std::uint8_t* out =
            canvas.pixels.data() + static_cast<std::size_t>(header.height - 1 - k) * canvasRowBytes;
        if (header.bitsPerPixel == 24) {
            std::memcpy(out, row.data(), static_cast<std::size_t>(header.width) * 3);
        } else {
            convertIndexedRow(row.data(), header, palette, out);
        }
    }
}

template <typename Stream>
BmpReadResult readBmpFrom(Stream& file) {
    BmpReadResult result;
    const std::uint8_t b = readU8(file);
    const std::uint8_t m = readU8(file);
    if (b != 'B' || m != 'M') return {kBmpBadFormat, 0, {}};
    const BmpHeader header = readHeaderFields(file);
    // A negative width has no rows to place; refuse it as a malformed file.
    if (!depthIsRead(header.bitsPerPixel) || header.width < 0) return {kBmpBadFormat, 0, {}};

    if (allocateCanvas(header.width, header.height, result.canvas) != 0)
        return {kBmpNoMemory, 0, {}};
    result.fileBitsPerPixel = static_cast<std::int16_t>(header.bitsPerPixel);

    const BmpPalette palette = readPalette(file, header);
    // A picture without columns has nothing to place on the canvas.
    if (header.height > 0 && header.width > 0) readPixelRows(file, header, palette, result.canvas);
    return result;
}

}  // namespace

BmpReadResult readBmp(const std::string& path) {
    FileCloser closer{openFile(path, "rb")};
    std::FILE* file = closer.file;
    if (!file) return {kBmpOpenFailed, 0, {}};
    return readBmpFrom(file);
}

BmpReadResult readBmpBytes(std::span<const std::uint8_t> bytes) {
    MemoryStream stream{bytes};
    return readBmpFrom(stream);
}

std::int16_t writeBmp(const std::string& path, const RgbImage& picture) {
    const std::int32_t width = std::max<std::int32_t>(picture.width, 0);
    const std::int32_t height = std::max<std::int32_t>(picture.height, 0);
    if (picture.pixels.size() <
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3)
        return kBmpWriteFailed;
    std::FILE* file = openFile(path, "wb");
    if (!file) return kBmpWriteOpenFailed;
    const std::uint32_t stride = (3u * static_cast<std::uint32_t>(width) + 3) / 4 * 4;
    writeU8(file, 'B');
    writeU8(file, 'M');
    writeU32LE(file, kFileHeaderBytes + stride * static_cast<std::uint32_t>(height));
    writeU32LE(file, 0);
    writeU32LE(file, kFileHeaderBytes);
    writeU32LE(file, 40);
    writeU32LE(file, static_cast<std::uint32_t>(width));
    writeU32LE(file, static_cast<std::uint32_t>(height));
    writeU16LE(file, 1);
    writeU16LE(file, 24);
    writeU32LE(file, 0);
    writeU32LE(file, 0);
    writeU32LE(file, kPixelsPerMetre);
    writeU32LE(file, kPixelsPerMetre);
    writeU32LE(file, 0);
    writeU32LE(file, 0);

    // Row padding is 0xFF bytes.
    std::vector<std::uint8_t> row(stride, 0xFF);
    // A picture without columns has rows of no bytes: only the header is written.
    for (std::int32_t k = 0; k < height && stride > 0; ++k) {
        const std::uint8_t* in = picture.pixels.data() + static_cast<std::size_t>(height - 1 - k) *
                                                             static_cast<std::size_t>(width) * 3;
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x, in += 3) {
            row[3 * x] = in[2];
            row[3 * x + 1] = in[1];
            row[3 * x + 2] = in[0];
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
    // A full disk must not pass for a written picture.
    const bool writeFailed = std::ferror(file) != 0;
    const bool closeFailed = std::fclose(file) != 0;
    return writeFailed || closeFailed ? kBmpWriteFailed : 0;
}

const char* bmpStatusText(std::int16_t status) {
    switch (status) {
        case 0:
            return "ok";
        case kBmpWriteOpenFailed:
            return "cannot create the file";
        case kBmpWriteFailed:
            return "cannot write the file";
        case kBmpOpenFailed:
            return "cannot open the file";
        case kBmpBadFormat:
            return "not a bitmap of 1, 2, 4, 8 or 24 bits per pixel";
        case kBmpNoMemory:
            return "the picture is too large";
        default:
            return "unknown bitmap error";
    }
}

}  // namespace ferrovel
