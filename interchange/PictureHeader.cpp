#include "interchange/PictureHeader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "interchange/TiffTags.h"

namespace ferrovel {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::uint32_t kLargestPngChunk = 0x7FFFFFFF;
constexpr std::uint8_t kJpegEndOfImage = 0xD9;
constexpr std::uint8_t kJpegStartOfScan = 0xDA;
constexpr std::uint8_t kJpegApp1 = 0xE1;
constexpr std::uint8_t kGifExtension = 0x21;
constexpr std::uint8_t kGifImage = 0x2C;

bool startsWith(Bytes bytes, std::size_t at, std::string_view text) {
    return bytes.size() >= at + text.size() &&
           std::equal(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

std::uint32_t bigEndian(Bytes bytes, std::size_t at, unsigned width) {
    std::uint32_t value = 0;
    for (unsigned i = 0; i < width; ++i) value = value << 8 | bytes[at + i];
    return value;
}

std::uint32_t littleEndian16(Bytes bytes, std::size_t at) {
    return bytes[at] | static_cast<std::uint32_t>(bytes[at + 1]) << 8;
}

PictureFormat formatOf(Bytes b) {
    if (b.size() >= 8 && std::equal(std::begin(kPngSignature), std::end(kPngSignature), b.begin()))
        return PictureFormat::Png;
    if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return PictureFormat::Jpeg;
    if (startsWith(b, 0, "GIF87a") || startsWith(b, 0, "GIF89a")) return PictureFormat::Gif;
    if (startsWith(b, 0, "BM")) return PictureFormat::Bmp;
    if (startsWith(b, 0, std::string_view("II*\0", 4)) ||
        startsWith(b, 0, std::string_view("MM\0*", 4)))
        return PictureFormat::Tiff;
    if (startsWith(b, 0, "RIFF") && startsWith(b, 8, "WEBP")) return PictureFormat::WebP;
    if (startsWith(b, 4, "ftyp")) {
        for (const char* brand : {"heic", "heix", "hevc", "heim", "heis", "mif1", "msf1", "avif"})
            if (startsWith(b, 8, brand)) return PictureFormat::Heif;
    }
    return PictureFormat::Unknown;
}

// The CRC-32 of PNG chunks (polynomial 0xEDB88320, reflected), a byte at a
// time from a table.
constexpr auto kCrcTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320 ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}();

std::uint32_t crc32(Bytes bytes) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (const std::uint8_t byte : bytes) crc = kCrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

// A critical chunk (its type's first letter upper case) must match its CRC:
// not every platform's decoder checks it. Ancillary ones are never used, and
// the image data is checked by every decoder through the zlib stream's own
// Adler-32 checksum.
bool chunkIsSound(Bytes b, std::size_t at, std::uint32_t length) {
    if (b[at + 4] & 0x20 || startsWith(b, at + 4, "IDAT")) return true;
    return crc32(b.subspan(at + 4, std::size_t{4} + length)) == bigEndian(b, at + 8 + length, 4);
}

// Chunks: u32 big-endian length, 4-byte type, data, 4-byte CRC of type and
// data.
void walkPng(Bytes b, PictureHeader& header) {
    if (b.size() < 33) return void(header.layout = PictureLayout::Truncated);
    if (bigEndian(b, 8, 4) != 13 || !startsWith(b, 12, "IHDR"))
        return void(header.layout = PictureLayout::Damaged);
    header.width = bigEndian(b, 16, 4);
    header.height = bigEndian(b, 20, 4);
    // Every chunk moves on by at least 12 bytes, so the walk ends.
    for (std::size_t at = 8;;) {
        if (b.size() - at < 12) return void(header.layout = PictureLayout::Truncated);
        const std::uint32_t length = bigEndian(b, at, 4);
        if (length > kLargestPngChunk) return void(header.layout = PictureLayout::Damaged);
        if (b.size() - at - 12 < length) return void(header.layout = PictureLayout::Truncated);
        if (!chunkIsSound(b, at, length)) return void(header.layout = PictureLayout::Damaged);
        const bool last = startsWith(b, at + 4, "IEND");
        at += std::size_t{12} + length;
        if (last) return;
    }
}

bool isJpegFrame(std::uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The offset of the marker that ends the coded data starting at at, or the
// size when the data runs to the end of the file.
std::size_t endOfCodedData(Bytes b, std::size_t at) {
    while (at < b.size()) {
        const void* found = std::memchr(b.data() + at, 0xFF, b.size() - at);
        if (!found) return b.size();
        at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - b.data());
        if (at + 1 >= b.size()) return b.size();
        const std::uint8_t next = b[at + 1];
        if (next != 0x00 && (next < 0xD0 || next > 0xD7)) return at;
        at += 2;
    }
    return b.size();
}

void readJpegSegment(std::uint8_t marker, Bytes payload, PictureHeader& header) {
    if (isJpegFrame(marker) && header.width == 0 && payload.size() >= 5) {
        header.height = bigEndian(payload, 1, 2);
        header.width = bigEndian(payload, 3, 2);
    } else if (marker == kJpegApp1 && header.orientation == 1 &&
               startsWith(payload, 0, std::string_view("Exif\0\0", 6))) {
        header.orientation = exifOrientation(payload.subspan(6));
    }
}

void walkJpeg(Bytes b, PictureHeader& header) {
    // Every step moves on by at least one byte, so the walk ends.
    for (std::size_t at = 2;;) {
        // Stray bytes between segments are passed over, as the decoders do.
        if (at < b.size() && b[at] != 0xFF) at = endOfCodedData(b, at);
        if (at >= b.size()) return void(header.layout = PictureLayout::Truncated);
        while (at < b.size() && b[at] == 0xFF) ++at;  // fill bytes
        if (at >= b.size()) return void(header.layout = PictureLayout::Truncated);
        const std::uint8_t marker = b[at++];
        if (marker == kJpegEndOfImage) {
            if (header.width == 0) header.layout = PictureLayout::Damaged;
            return;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
        if (b.size() - at < 2) return void(header.layout = PictureLayout::Truncated);
        const std::size_t length = bigEndian(b, at, 2);
        if (length < 2 || marker == 0x00 || marker == 0xD8)
            return void(header.layout = PictureLayout::Damaged);
        if (b.size() - at < length) return void(header.layout = PictureLayout::Truncated);
        readJpegSegment(marker, b.subspan(at + 2, length - 2), header);
        at += length;
        if (marker == kJpegStartOfScan) at = endOfCodedData(b, at);
    }
}

// Skips data blocks; false when the file ends first.
bool skipGifBlocks(Bytes b, std::size_t& at) {
    while (at < b.size()) {
        const std::size_t length = b[at++];
        if (length == 0) return true;
        at += length;
    }
    return false;
}

std::size_t gifColourTableBytes(std::uint8_t flags) {
    return flags & 0x80 ? std::size_t{3} << ((flags & 7) + 1) : 0;
}

void walkGif(Bytes b, PictureHeader& header) {
    if (b.size() < 13) return void(header.layout = PictureLayout::Truncated);
    std::size_t at = 13 + gifColourTableBytes(b[10]);
    while (at < b.size()) {
        const std::uint8_t kind = b[at];
        if (kind == kGifExtension) {
            at += 2;
            if (!skipGifBlocks(b, at)) break;
        } else if (kind == kGifImage) {
            if (b.size() - at < 10) break;
            header.width = littleEndian16(b, at + 5);
            header.height = littleEndian16(b, at + 7);
            at += 10 + gifColourTableBytes(b[at + 9]) + 1;  // the code size byte
            if (!skipGifBlocks(b, at)) break;
            return;
        } else {
            // The trailer, or a block of no kind, before any image.
            return void(header.layout = PictureLayout::Damaged);
        }
    }
    header.layout = PictureLayout::Truncated;
}

void readTiffSize(Bytes b, PictureHeader& header) {
    header.width = tiffTagValue(b, 0x0100).value_or(0);
    header.height = tiffTagValue(b, 0x0101).value_or(0);
}

}  // namespace

PictureHeader readPictureHeader(Bytes bytes) {
    PictureHeader header;
    header.format = formatOf(bytes);
    switch (header.format) {
        case PictureFormat::Png:
            walkPng(bytes, header);
            break;
        case PictureFormat::Jpeg:
            walkJpeg(bytes, header);
            break;
        case PictureFormat::Gif:
            walkGif(bytes, header);
            break;
        case PictureFormat::Tiff:
            readTiffSize(bytes, header);
            break;
        default:
            break;
    }
    return header;
}

const char* pictureFormatName(PictureFormat format) {
    switch (format) {
        case PictureFormat::Bmp:
            return "BMP";
        case PictureFormat::Png:
            return "PNG";
        case PictureFormat::Jpeg:
            return "JPEG";
        case PictureFormat::Gif:
            return "GIF";
        case PictureFormat::Tiff:
            return "TIFF";
        case PictureFormat::WebP:
            return "WebP";
        case PictureFormat::Heif:
            return "HEIF";
        default:
            return "picture";
    }
}

}  // namespace ferrovel
