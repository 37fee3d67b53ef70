#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "interchange/PictureFile.h"
#include "interchange/TiffTags.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DatabaseBuilder.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;
using fixtures::readFileBytes;

constexpr bool kWindows = std::filesystem::path::preferred_separator == '\\';

#ifndef FERROVEL_TEST_PICTURES
#define FERROVEL_TEST_PICTURES "."
#endif

// The pictures ImageMagick made at build time (make_pictures.sh), each with
// its own decode beside it as FILE.ppm.
const std::string kPictures = FERROVEL_TEST_PICTURES "/";

// The largest difference of a channel between the canvas and the picture's
// top-left width x height (the whole picture unless given) in its top-left
// corner on white.
int largestDifference(const BgrImage& canvas, const testing::Ppm& picture, int width = 0,
                      int height = 0) {
    width = width ? width : picture.width, height = height ? height : picture.height;
    int largest = 0;
    for (std::size_t i = 0; i < canvas.pixels.size(); ++i) {
        const int x = static_cast<int>(i / 3) % canvas.width,
                  y = static_cast<int>(i / 3) / canvas.width;
        const std::size_t at = (static_cast<std::size_t>(y) * picture.width + x) * 3 + 2 - i % 3;
        const int expected = x < width && y < height ? picture.rgb[at] : 255;
        largest = std::max(largest, std::abs(canvas.pixels[i] - expected));
    }
    return largest;
}

// 203 x 150 pictures, on a canvas of 208 x 150, or of 160 x 203 where the
// EXIF orientation turns them upright.
// clang-format off
constexpr const char* kTable[] = {
    "png-palette.png", "png-palette-alpha.png", "png-rgba.png", "png-16bit.png",
    "png-16bit-alpha.png", "png-interlaced.png", "png-gray.png", "png-1bit.png",
    "jpeg-baseline.jpg", "jpeg-progressive.jpg", "jpeg-cmyk.jpg", "jpeg-gray.jpg",
    "jpeg-orientation-3.jpg", "jpeg-orientation-6.jpg", "jpeg-orientation-8.jpg",
    "gif-plain.gif", "gif-interlaced.gif", "gif-animated.gif", "gif-transparent.gif",
    "tiff-lzw.tif", "tiff-16bit-alpha.tif", "bmp-24.bmp", "bmp-8.bmp", "bmp-4.bmp", "bmp-1.bmp",
};
// clang-format on

TEST(PictureRead, EveryFormatGivesTheCanvasOfImageMagicksDecode) {
    if (!std::filesystem::exists(kPictures + "done")) GTEST_SKIP() << "built without ImageMagick";
    for (const std::string file : kTable) {
        const std::string path = kPictures + file;
        const PictureReadResult read = readPicture(path);
        if (file.starts_with("tiff") && !kWindows) {
            EXPECT_EQ(read.problem, PictureProblem::NotInThisBuild) << file;
            continue;
        }
        ASSERT_EQ(read.status, 0) << file << ": " << pictureProblemText(read);
        const bool upright = file.ends_with("-6.jpg") || file.ends_with("-8.jpg");
        EXPECT_EQ(std::to_string(read.canvas.width) + "x" + std::to_string(read.canvas.height),
                  upright ? "160x203" : "208x150")
            << file;
        // JPEG decoders may round their transforms differently.
        EXPECT_LE(largestDifference(read.canvas, testing::readPpm(path + ".ppm")),
                  file.starts_with("jpeg") ? 2 : 0)
            << file;
        // A block of bytes (a clipboard's) reads as the file does.
        EXPECT_EQ(readPictureBytes(readFileBytes(path)).canvas.pixels, read.canvas.pixels) << file;
    }
}

std::uint32_t crc32(const std::uint8_t* bytes, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int k = 0; k < 8; ++k) crc = crc >> 1 ^ (crc & 1 ? 0xEDB88320 : 0);
    }
    return ~crc;
}

void putU32(Bytes& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void putChunk(Bytes& png, const char* type, const Bytes& data) {
    putU32(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    putU32(png, crc32(&png[start], png.size() - start));
}

// A zlib stream of one literal and then copies of 258 bytes at distance 1,
// in fixed Huffman codes: 13 bits for every 258 bytes it expands to.
Bytes zlibBomb(std::uint8_t literal, std::uint32_t copies) {
    Bytes out{0x78, 0x01};
    std::uint32_t bits = 0, count = 0;
    const auto put = [&](std::uint32_t value, int width, bool codeOrder) {
        for (int i = 0; i < width; ++i) {
            const int bit = codeOrder ? width - 1 - i : i;  // Huffman codes go high bit first
            bits |= (value >> bit & 1) << count;
            if (++count == 8) out.push_back(static_cast<std::uint8_t>(bits)), bits = 0, count = 0;
        }
    };
    put(0b011, 3, false);           // final block, fixed codes
    put(0x30u + literal, 8, true);  // the literal
    for (std::uint32_t i = 0; i < copies; ++i) {
        put(0b11000101, 8, true);  // length 258
        put(0, 5, true);           // distance 1
    }
    put(0, 7, true);                      // end of block
    while (count != 0) put(0, 1, false);  // to the byte boundary
    // Adler-32 of n bytes c: a = 1 + n c, b = n + c n (n + 1) / 2, modulo 65521.
    const std::uint64_t n = 1 + std::uint64_t{258} * copies;
    const auto a = static_cast<std::uint32_t>((1 + n * literal) % 65521);
    const auto b = static_cast<std::uint32_t>((n + literal * (n * (n + 1) / 2 % 65521)) % 65521);
    putU32(out, b << 16 | a);
    return out;
}

// An 8-bit gray PNG of the given size and pixel stream, with a zTXt chunk of
// the given data before the pixels when there is one.
Bytes pngOf(std::uint32_t width, std::uint32_t height, const Bytes& zlib, const Bytes& text = {}) {
    Bytes png{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    putU32(ihdr, width);
    putU32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});  // 8-bit gray
    putChunk(png, "IHDR", ihdr);
    if (!text.empty()) putChunk(png, "zTXt", text);
    putChunk(png, "IDAT", zlib);
    putChunk(png, "IEND", {});
    return png;
}

Bytes patched(Bytes bytes, std::size_t at, std::initializer_list<std::uint8_t> values) {
    std::copy(values.begin(), values.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return bytes;
}

std::size_t offsetOf(const Bytes& bytes, std::initializer_list<std::uint8_t> pattern) {
    return static_cast<std::size_t>(
        std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end()) - bytes.begin());
}

TEST(PictureRead, RefusesHostileFilesClearlyAndAtOnce) {
    if (!std::filesystem::exists(kPictures + "done")) GTEST_SKIP() << "built without ImageMagick";
    const Bytes jpeg = readFileBytes(kPictures + "jpeg-orientation-6.jpg");
    const Bytes gif = readFileBytes(kPictures + "gif-plain.gif");
    const Bytes png = readFileBytes(kPictures + "png-rgba.png");
    const std::size_t frame = offsetOf(jpeg, {0xFF, 0xC0});
    const std::size_t idat = offsetOf(png, {'I', 'D', 'A', 'T'}),
                      gama = offsetOf(png, {'g', 'A', 'M', 'A'});
    const std::size_t palette = 13 + (3u << ((gif[10] & 7) + 1));
    const std::size_t gifImage =
        palette + offsetOf(Bytes(gif.begin() + palette, gif.end()), {0x2C, 0, 0, 0, 0});
    Bytes zTxt = zlibBomb('A', 400000);  // 100 MB of text behind its keyword and method
    zTxt.insert(zTxt.begin(), {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0});
    const auto flipped = [](Bytes bytes, std::size_t at) { return (bytes[at] ^= 1), bytes; };
    using enum PictureProblem;
    // Each problem comes with one status.
    std::vector<std::tuple<std::string, Bytes, PictureProblem>> table = {
        {"png 65535 x 65535", pngOf(65535, 65535, zlibBomb(0, 10)), TooLarge},
        {"jpeg 65500 x 65500", patched(jpeg, frame + 5, {0xFF, 0xDC, 0xFF, 0xDC}), TooLarge},
        {"gif 65535 x 65535", patched(gif, gifImage + 5, {0xFF, 0xFF, 0xFF, 0xFF}), TooLarge},
        {"png of 64 MB of zeros for 1 MB of pixels", pngOf(1000, 1000, zlibBomb(0, 250000)), None},
        // libpng drops the text; libspng refuses the file.
        {"png with 100 MB of text", pngOf(16, 16, zlibBomb(0, 2), zTxt),
         kWindows ? None : Unsupported},
        {"png idat crc", flipped(png, idat + 10), Damaged},
        {"png ihdr crc", flipped(png, 29), Damaged},
        {"png gama crc, an ancillary chunk", flipped(png, gama + 8), None},
        {"exif block longer than the file", patched(jpeg, 4, {0xFF, 0xF0}), Truncated},
        {"text", Bytes{'h', 'e', 'l', 'l', 'o'}, NotAPicture},
        {"webp", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'}, NeverRead},
    };
    // Cut in the header, the data and the end marker (a GIF's last data block).
    for (const Bytes* whole : {&jpeg, &gif, &png}) {
        const std::size_t end = whole->size() - (whole == &gif ? 2 : 1);
        for (const std::size_t cut :
             {std::size_t{9}, whole->size() / 3, whole->size() * 2 / 3, end})
            table.emplace_back("cut to " + std::to_string(cut),
                               Bytes(whole->begin(), whole->begin() + cut), Truncated);
    }
    for (const auto& [name, bytes, problem] : table) {
        const PictureReadResult read = readPictureBytes(bytes);
        EXPECT_EQ(read.problem, problem) << name << ": " << pictureProblemText(read);
        const int status = problem == TooLarge ? kPictureNoMemory : kPictureBadFormat;
        EXPECT_EQ(read.status, problem == None ? 0 : status) << name;
    }
}

TEST(PictureRead, TakesTheOrientationOnlyFromInsideTheExifBlock) {
    // A TIFF header, one directory entry and the next directory's offset.
    const Bytes motorola{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0,
                         3,   0,   0, 0,  1, 0, 6, 0, 0, 0, 0,    0,    0};
    const Bytes intel{'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3,
                      0,   1,   0,  0, 0, 8, 0, 0, 0, 0, 0,    0,    0};
    const std::pair<Bytes, int> cases[] = {
        {motorola, 6},
        {intel, 8},
        {patched(intel, 18, {9}), 1},                      // no orientation
        {patched(intel, 12, {4}), 8},                      // a LONG holds it as well
        {patched(intel, 12, {2}), 1},                      // text does not
        {patched(intel, 14, {2}), 1},                      // two values
        {patched(intel, 4, {0xF8, 0xFF, 0xFF, 0xFF}), 1},  // the directory past the block
        {patched(intel, 8, {0xFF, 0xFF, 0x13}), 1},        // more entries than the block holds
        {patched(intel, 2, {43}), 1},                      // not TIFF
        {Bytes(intel.begin(), intel.begin() + 19), 1},     // cut inside the value
    };
    // Each block exactly as long as it is, so that a read past it is caught.
    for (const auto& [block, orientation] : cases)
        EXPECT_EQ(exifOrientation(block), orientation) << ::testing::PrintToString(block);
}

// Every byte of small pictures inverted in turn: always a status, and on
// success a whole canvas.
TEST(PictureRead, MutatedPicturesGiveAStatusAndAWholeCanvas) {
    if (!std::filesystem::exists(kPictures + "done")) GTEST_SKIP() << "built without ImageMagick";
    for (const char* file :
         {"png-1bit.png", "png-interlaced.png", "jpeg-progressive.jpg", "gif-interlaced.gif"}) {
        const Bytes original = readFileBytes(kPictures + file);
        for (std::size_t at = 0; at < original.size(); at += at < 600 ? 1 : 101) {
            Bytes mutant = original;
            mutant[at] = static_cast<std::uint8_t>(~mutant[at]);
            const PictureReadResult read = readPictureBytes(mutant);
            ASSERT_TRUE(read.status == 0 || read.status == kPictureBadFormat ||
                        read.status == kPictureNoMemory)
                << file << " byte " << at << ": " << read.status;
            ASSERT_EQ(read.canvas.pixels.size(),
                      read.status == 0 ? 3u * read.canvas.width * read.canvas.height : 0);
        }
    }
}

TEST(PngWrite, TheExportIsThePictureCroppedToTheImageSize) {
    const testing::Ppm picture{203, 150, testing::gradient(203, 150).pixels};
    const RgbImage image{203, 150, picture.rgb};
    const std::string png = testing::scratchPath("export.png");
    for (const auto& [width, height] :
         {std::pair<std::int16_t, std::int16_t>{160, 120}, {203, 150}, {1, 1}}) {
        const std::string what = std::to_string(width) + " x " + std::to_string(height);
        ASSERT_EQ(writePng(png, image, width, height), 0) << what;
        const PictureReadResult read = readPicture(png);
        ASSERT_EQ(read.status, 0) << what << ": " << pictureProblemText(read);
        EXPECT_EQ(largestDifference(read.canvas, picture, width, height), 0) << what;
    }
    EXPECT_EQ(writePng(png, image, 0, 10), kPngWriteFailed);
    EXPECT_EQ(writePng(png, image, 204, 10), kPngWriteFailed);
    EXPECT_EQ(writePng(testing::scratchPath("no-such-folder/x.png"), image, 10, 10),
              kPngWriteOpenFailed);
}

}  // namespace
}  // namespace ferrovel
