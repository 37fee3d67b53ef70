#include "database/ImageRecord.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "database/ByteStream.h"
#include "database/Container.h"
#include "database/Palette.h"
#include "database/RunLengthCodec.h"
#include "database/SizeMath.h"

namespace ferrovel {
namespace {

using RowConverter = void (*)(const std::uint8_t* row, std::int32_t columns, std::uint8_t* out);

void putColor(std::uint8_t* out, const PaletteColor& color) {
    out[0] = color.red;
    out[1] = color.green;
    out[2] = color.blue;
}

void convertRow1(const std::uint8_t* row, std::int32_t columns, std::uint8_t* out) {
    for (std::int32_t x = 0; x < columns; ++x, out += 3) {
        const bool set = (row[x >> 3] >> (7 - (x & 7))) & 1;
        std::memset(out, set ? 0x00 : 0xFF, 3);
    }
}

void convertRow2(const std::uint8_t* row, std::int32_t columns, std::uint8_t* out) {
    const Palette& palette = handheldPalette();
    for (std::int32_t x = 0; x < columns; ++x, out += 3) {
        const unsigned value = static_cast<unsigned>(row[x >> 2] >> (6 - 2 * (x & 3))) & 3u;
        putColor(out, palette[kGray2Entries[value]]);
    }
}

void convertRow4(const std::uint8_t* row, std::int32_t columns, std::uint8_t* out) {
    const Palette& palette = handheldPalette();
    for (std::int32_t x = 0; x < columns; ++x, out += 3) {
        const unsigned value = static_cast<unsigned>(row[x >> 1] >> (4 - 4 * (x & 1))) & 15u;
        putColor(out, palette[kGray4Entries[value]]);
    }
}

void convertRow8(const std::uint8_t* row, std::int32_t columns, std::uint8_t* out) {
    const Palette& palette = handheldPalette();
    for (std::int32_t x = 0; x < columns; ++x, out += 3) putColor(out, palette[row[x]]);
}

void convertRow16(const std::uint8_t* row, std::int32_t columns, std::uint8_t* out) {
    for (std::int32_t x = 0; x < columns; ++x, out += 3) {
        const unsigned value = static_cast<unsigned>(row[2 * x]) << 8 | row[2 * x + 1];
        out[0] = static_cast<std::uint8_t>((value >> 11) * 8);
        out[1] = static_cast<std::uint8_t>(((value >> 5) & 63) * 4);
        out[2] = static_cast<std::uint8_t>((value & 31) * 8);
    }
}

RowConverter rowConverter(std::int16_t bitsPerPixel) {
    switch (bitsPerPixel) {
        case 1:
            return convertRow1;
        case 2:
            return convertRow2;
        case 4:
            return convertRow4;
        case 16:
            return convertRow16;
        default:
            return convertRow8;
    }
}

// Where the stored bytes of the pixel rows come from: the file itself, or the
// run-length decoder over it.
struct PixelSource {
    std::FILE* stream = nullptr;
    bool compressed = false;
    RunLengthDecoder decoder;
    bool rawEnded = false;
};

void readStoredRow(PixelSource& source, std::vector<std::uint8_t>& row) {
    if (source.compressed) {
        decodeBytes(source.decoder, row.data(), row.size());
    } else if (readBytes(source.stream, row.data(), row.size()) < row.size()) {
        source.rawEnded = true;
    }
}

// Past this point every stored byte is 0xFF, so every further row decodes
// the same.
bool sourceExhausted(const PixelSource& source) {
    return source.compressed ? decoderExhausted(source.decoder) : source.rawEnded;
}

void decodeRows(PixelSource& source, const RecordInfo& info, RgbImage& image) {
    const RowConverter convert = rowConverter(info.bitsPerPixel);
    std::vector<std::uint8_t> row(
        storedRowBytes(info.bitsPerPixel, std::max<std::int16_t>(info.width, 0)));
    const std::size_t outRowBytes = static_cast<std::size_t>(image.width) * 3;
    std::uint8_t* out = image.pixels.data();
    bool onlyFillLeft = false;
    for (std::int32_t y = 0; y < image.height; ++y, out += outRowBytes) {
        if (onlyFillLeft) {
            // The row above came from 0xFF bytes alone, as every row below does.
            std::memcpy(out, out - outRowBytes, outRowBytes);
            continue;
        }
        onlyFillLeft = sourceExhausted(source);
        readStoredRow(source, row);
        convert(row.data(), image.width, out);
    }
}

}  // namespace

ImageRecordHeader readImageRecordHeader(std::FILE* stream, std::uint64_t recordStart) {
    seekTo(stream, recordStart);
    ImageRecordHeader header;
    header.headerSize = readU32BE(stream);
    header.iconBlockSize = readU32BE(stream);
    header.pixelOffset = readU32BE(stream);
    header.pixelSize = readU32BE(stream);
    header.labelOffset = readU32BE(stream);
    header.colorIcon = readU8(stream);
    header.compressed = readU8(stream);
    header.width = static_cast<std::int16_t>(readU16BE(stream));
    header.height = static_cast<std::int16_t>(readU16BE(stream));
    header.bitsPerPixel = readU16BE(stream);
    return header;
}

std::string readLabel(std::FILE* stream, std::uint64_t labelStart) {
    seekTo(stream, labelStart);
    std::string line;
    while (line.size() < kMaxLabelChars) {
        const int c = std::getc(stream);
        if (c == EOF) break;
        line.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    const std::size_t zero = line.find('\0');
    if (zero != std::string::npos) line.resize(zero);
    const std::size_t breakChar = line.find_first_of("\t\r\n");
    if (breakChar != std::string::npos) line[breakChar] = ' ';
    return line;
}

RecordInfo readRecordInfo(std::FILE* stream, std::int16_t recordIndex, bool withLabel) {
    const std::uint64_t start = recordOffset(stream, recordIndex);
    const ImageRecordHeader header = readImageRecordHeader(stream, start);
    RecordInfo info;
    info.width = header.width;
    info.height = header.height;
    info.bitsPerPixel = header.headerSize < kFullHeaderSize
                            ? std::int16_t{1}
                            : static_cast<std::int16_t>(header.bitsPerPixel);
    info.compressed = header.compressed != 0;
    info.pixelDataOffset = start + header.pixelOffset;
    info.pixelSize = header.pixelSize;
    if (withLabel) info.label = readLabel(stream, start + header.labelOffset);
    return info;
}

std::uint32_t storedRowBytes(std::int16_t bitsPerPixel, std::int32_t width) {
    const std::uint32_t w = static_cast<std::uint32_t>(std::max(width, 0));
    const auto evenUp = [](std::uint32_t bytes) { return bytes + (bytes & 1u); };
    switch (bitsPerPixel) {
        case 1:
            return (w + 15) / 16 * 2;
        case 2:
            return evenUp((w + 3) / 4);
        case 4:
            return evenUp((w + 1) / 2);
        case 16:
            return (w + 1) / 2 * 4;
        default:
            return (w + 1) / 2 * 2;
    }
}

std::optional<RgbImage> decodeRecordClipped(std::FILE* stream, std::int16_t recordIndex,
                                            std::int32_t maxWidth, std::int32_t maxHeight) {
    const RecordInfo info = readRecordInfo(stream, recordIndex, false);
    RgbImage image;
    image.width =
        static_cast<std::int16_t>(std::clamp<std::int32_t>(info.width, 0, std::max(maxWidth, 0)));
    image.height =
        static_cast<std::int16_t>(std::clamp<std::int32_t>(info.height, 0, std::max(maxHeight, 0)));
    const std::optional<std::size_t> bytes = pixelBufferBytes(image.width, image.height);
    if (!bytes) return std::nullopt;
    try {
        image.pixels.resize(*bytes);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (image.height == 0 || image.width == 0) return image;

    PixelSource source;
    source.stream = stream;
    source.compressed = info.compressed;
    seekTo(stream, info.pixelDataOffset);
    if (source.compressed) beginDecode(source.decoder, stream);
    decodeRows(source, info, image);
    if (source.compressed) endDecode(source.decoder);
    return image;
}

std::optional<RgbImage> decodeRecord(std::FILE* stream, std::int16_t recordIndex) {
    return decodeRecordClipped(stream, recordIndex, INT16_MAX, INT16_MAX);
}

}  // namespace ferrovel
