#include "database/ImageRecord.h"

#include <algorithm>
#include <array>
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

// Entries of the record table read in one block.
constexpr std::size_t kEntriesPerBlock = 512;

// The longest step forward that is read through rather than sought: about
// one buffer of the stream.
constexpr std::size_t kReadThroughBytes = 4096;

// Moves to an absolute offset as seekTo does, but reads through a short step
// forward: a seek costs a system call even when its target already lies in
// the stream's buffer, and a walk over records that follow one another would
// make one for every header and every label.
void moveTo(std::FILE* stream, std::uint64_t offset) {
    // Where ftell cannot tell (its long has 32 bits on Windows), this is a seek.
    const long here = std::ftell(stream);
    const std::uint64_t from = static_cast<std::uint64_t>(here);
    if (here < 0 || offset < from || offset - from > kReadThroughBytes) {
        seekTo(stream, offset);
        return;
    }
    std::array<std::uint8_t, kReadThroughBytes> skipped;
    // Past the end of the file the stream stays at the end, where every read
    // yields 0xFF as after a seek there.
    std::fread(skipped.data(), 1, static_cast<std::size_t>(offset - from), stream);
}

std::uint16_t u16At(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

std::uint32_t u32At(const std::uint8_t* bytes) {
    return std::uint32_t{u16At(bytes)} << 16 | u16At(bytes + 2);
}

using RowConverter = void (*)(const std::uint8_t* row, std::int32_t columns, std::uint8_t* out);

void putColor(std::uint8_t* out, const PaletteColor& color) {
    out[0] = color.red;
    out[1] = color.green;
    out[2] = color.blue;
}

// The colour of a 1-, 2- or 4-bit pixel value.
PaletteColor packedColor(int bits, unsigned value) {
    if (bits == 1) return value != 0 ? PaletteColor{0, 0, 0} : PaletteColor{255, 255, 255};
    return handheldPalette()[bits == 2 ? kGray2Entries[value] : kGray4Entries[value]];
}

// Pixels in one stored byte of a 1-, 2- or 4-bit row.
template <int Bits>
constexpr std::size_t kPixelsPerByte = 8 / Bits;

// The pixels of every value of a stored byte of a 1-, 2- or 4-bit row,
// leftmost first, three bytes each: a row then converts one byte at a time.
template <int Bits>
using ByteColors = std::array<std::array<std::uint8_t, 3 * kPixelsPerByte<Bits>>, 256>;

template <int Bits>
ByteColors<Bits> makeByteColors() {
    ByteColors<Bits> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        for (std::size_t i = 0; i < kPixelsPerByte<Bits>; ++i) {
            const unsigned value = (byte >> (8 - Bits * (i + 1))) & ((1u << Bits) - 1);
            putColor(&table[byte][3 * i], packedColor(Bits, value));
        }
    }
    return table;
}

template <int Bits>
void convertPackedRow(const std::uint8_t* row, std::int32_t columns, std::uint8_t* out) {
    static const ByteColors<Bits> table = makeByteColors<Bits>();
    constexpr std::size_t kBytesOut = 3 * kPixelsPerByte<Bits>;
    const std::size_t pixels = static_cast<std::size_t>(columns);
    const std::size_t whole = pixels / kPixelsPerByte<Bits>;
    for (std::size_t b = 0; b < whole; ++b, out += kBytesOut) {
        std::memcpy(out, table[row[b]].data(), kBytesOut);
    }
    // Of the last byte only the pixels inside the width are kept.
    const std::size_t rest = pixels % kPixelsPerByte<Bits>;
    if (rest > 0) std::memcpy(out, table[row[whole]].data(), 3 * rest);
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
            return convertPackedRow<1>;
        case 2:
            return convertPackedRow<2>;
        case 4:
            return convertPackedRow<4>;
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
    moveTo(stream, recordStart);
    std::array<std::uint8_t, kFullHeaderSize> bytes;
    readBytes(stream, bytes.data(), bytes.size());
    ImageRecordHeader header;
    header.headerSize = u32At(&bytes[0]);
    header.iconBlockSize = u32At(&bytes[4]);
    header.pixelOffset = u32At(&bytes[8]);
    header.pixelSize = u32At(&bytes[12]);
    header.labelOffset = u32At(&bytes[16]);
    header.colorIcon = bytes[20];
    header.compressed = bytes[21];
    header.width = static_cast<std::int16_t>(u16At(&bytes[22]));
    header.height = static_cast<std::int16_t>(u16At(&bytes[24]));
    header.bitsPerPixel = u16At(&bytes[26]);
    return header;
}

std::string readLabel(std::FILE* stream, std::uint64_t labelStart) {
    moveTo(stream, labelStart);
    std::string line;
    // Nothing after the zero byte belongs to the label, so reading stops
    // there rather than running on into the next record.
    while (line.size() < kMaxLabelChars) {
        const int c = std::getc(stream);
        if (c == EOF || c == 0) break;
        line.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    const std::size_t breakChar = line.find_first_of("\t\r\n");
    if (breakChar != std::string::npos) line[breakChar] = ' ';
    return line;
}

RecordInfo readRecordInfoAt(std::FILE* stream, std::uint64_t recordStart, bool withLabel) {
    const ImageRecordHeader header = readImageRecordHeader(stream, recordStart);
    RecordInfo info;
    info.start = recordStart;
    info.width = header.width;
    info.height = header.height;
    info.bitsPerPixel = header.headerSize < kFullHeaderSize
                            ? std::int16_t{1}
                            : static_cast<std::int16_t>(header.bitsPerPixel);
    info.compressed = header.compressed != 0;
    info.pixelDataOffset = recordStart + header.pixelOffset;
    info.pixelSize = header.pixelSize;
    info.labelStart = recordStart + header.labelOffset;
    if (withLabel) info.label = readLabel(stream, info.labelStart);
    return info;
}

RecordInfo readRecordInfo(std::FILE* stream, std::int16_t recordIndex, bool withLabel) {
    return readRecordInfoAt(stream, recordOffset(stream, recordIndex), withLabel);
}

std::vector<std::uint32_t> readRecordOffsets(std::FILE* stream) {
    const std::int16_t count = readRecordCount(stream);
    std::vector<std::uint32_t> offsets;
    if (count <= 0) return offsets;
    const std::size_t total = static_cast<std::size_t>(count);
    offsets.reserve(total);
    seekTo(stream, kHeaderBytes);
    std::array<std::uint8_t, kEntriesPerBlock * kRecordEntryBytes> block;
    while (offsets.size() < total) {
        const std::size_t entries = std::min(kEntriesPerBlock, total - offsets.size());
        readBytes(stream, block.data(), entries * kRecordEntryBytes);
        for (std::size_t e = 0; e < entries; ++e) {
            offsets.push_back(u32At(&block[e * kRecordEntryBytes]));
        }
    }
    return offsets;
}

std::vector<RecordInfo> readAllRecordInfo(std::FILE* stream) {
    const std::vector<std::uint32_t> offsets = readRecordOffsets(stream);
    std::vector<RecordInfo> records;
    records.reserve(offsets.size());
    for (const std::uint32_t offset : offsets) {
        records.push_back(readRecordInfoAt(stream, offset, true));
    }
    return records;
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
