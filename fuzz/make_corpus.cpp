// Writes the seed corpus of the fuzz targets: small valid databases and
// bitmaps made by our own fixture code, and pictures: PNG by our own writer,
// JPEG and GIF by their libraries' encoders.
//
// usage: make_corpus FOLDER   (writes FOLDER/bmp, FOLDER/database, FOLDER/runlength,
//                              FOLDER/picture)
#include <cstdio>  // before jpeglib.h, which needs FILE
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gif_lib.h>
#include <jpeglib.h>

#include "interchange/Bmp.h"
#include "interchange/PictureFile.h"
#include "tests/fixtures/DemoDatabase.h"

namespace {

using namespace ferrovel;
using fixtures::Bytes;

void put(const std::filesystem::path& path, const Bytes& bytes) {
    fixtures::writeFileBytes(path.string(), bytes);
}

void putU16(Bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putU32(Bytes& out, std::uint32_t value) {
    putU16(out, value & 0xFFFF);
    putU16(out, value >> 16);
}

// An indexed bitmap of width x height at bits per pixel with a gray palette.
Bytes indexedBitmap(int width, int height, unsigned bits) {
    const std::uint32_t entries = 1u << bits;
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * bits + 31) / 32 * 4;
    const std::uint32_t offset = 54 + 4 * entries;
    Bytes out{'B', 'M'};
    putU32(out, offset + stride * static_cast<std::uint32_t>(height));
    putU32(out, 0);
    putU32(out, offset);
    putU32(out, 40);
    putU32(out, static_cast<std::uint32_t>(width));
    putU32(out, static_cast<std::uint32_t>(height));
    putU16(out, 1);
    putU16(out, bits);
    for (int i = 0; i < 6; ++i) putU32(out, 0);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const auto gray = static_cast<std::uint8_t>(i * 255 / (entries - 1));
        out.insert(out.end(), {gray, gray, gray, 0});
    }
    for (std::uint32_t i = 0; i < stride * static_cast<std::uint32_t>(height); ++i) {
        out.push_back(static_cast<std::uint8_t>(i * 37));
    }
    return out;
}

std::vector<fixtures::FixtureRecord> smallImage(std::uint16_t bits, bool compressed, int layers) {
    fixtures::TiledImage image;
    image.name = "Seed";
    image.width = 170;
    image.height = 30;
    image.bitsPerPixel = bits;
    image.compressed = compressed;
    image.layers = layers;
    image.valueAt = [](int layer, int x, int y) {
        return static_cast<std::uint32_t>(x * 7 + y * 3 + layer);
    };
    return fixtures::tiledImageRecords(image);
}

// A JPEG of colour space space (gray, RGB or CMYK), behind an EXIF block
// holding orientation when that is not 0.
Bytes jpegSeed(J_COLOR_SPACE space, int components, bool progressive, std::uint8_t orientation) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = 24;
    info.image_height = 16;
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    const Bytes exif{'E',  'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0,           0, 0, 8, 0, 1, 0x01,
                     0x12, 0,   3,   0,   0, 0, 0,   0,   1, 0,  orientation, 0, 0, 0, 0, 0, 0};
    if (orientation != 0)
        jpeg_write_marker(&info, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
    Bytes row(24 * static_cast<std::size_t>(components));
    for (int y = 0; y < 16; ++y) {
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<std::uint8_t>(i * 9 + static_cast<std::size_t>(y) * 13);
        JSAMPROW rows = row.data();
        jpeg_write_scanlines(&info, &rows, 1);
    }
    jpeg_finish_compress(&info);
    Bytes bytes(out, out + size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

int appendGif(GifFileType* gif, const GifByteType* bytes, int count) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + count);
    return count;
}

// A 24 x 16 GIF of 16 colours, frames images long.
Bytes gifSeed(bool interlaced, int frames, int transparent) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendGif, &error);
    ColorMapObject* map = GifMakeMapObject(16, nullptr);
    for (int i = 0; i < 16; ++i)
        map->Colors[i] = {static_cast<GifByteType>(i * 17), static_cast<GifByteType>(255 - i * 17),
                          static_cast<GifByteType>(i * 5)};
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, 24, 16, 4, 0, map);
    for (int frame = 0; frame < frames; ++frame) {
        if (transparent >= 0) {
            const GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 10, transparent};
            GifByteType extension[4];
            EGifGCBToExtension(&control, extension);
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension);
        }
        EGifPutImageDesc(gif, 0, 0, 24, 16, interlaced, nullptr);
        GifPixelType line[24];
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 24; ++x) line[x] = static_cast<GifPixelType>((x + y + frame) % 16);
            EGifPutLine(gif, line, 24);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

void putPictures(const std::filesystem::path& folder) {
    RgbImage picture;
    picture.width = 24;
    picture.height = 16;
    for (int i = 0; i < 24 * 16 * 3; ++i)
        picture.pixels.push_back(static_cast<std::uint8_t>(i * 7));
    writePng((folder / "rgb.png").string(), picture, 24, 16);
    writePng((folder / "cropped.png").string(), picture, 5, 3);
    put(folder / "gray.jpg", jpegSeed(JCS_GRAYSCALE, 1, false, 0));
    put(folder / "rgb.jpg", jpegSeed(JCS_RGB, 3, false, 6));
    put(folder / "progressive.jpg", jpegSeed(JCS_RGB, 3, true, 8));
    put(folder / "cmyk.jpg", jpegSeed(JCS_CMYK, 4, false, 0));
    put(folder / "plain.gif", gifSeed(false, 1, -1));
    put(folder / "interlaced.gif", gifSeed(true, 1, 3));
    put(folder / "animated.gif", gifSeed(false, 2, 0));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::filesystem::path root = argv[1];
    for (const char* folder : {"bmp", "database", "runlength", "picture"})
        std::filesystem::create_directories(root / folder);
    for (unsigned bits : {1u, 2u, 4u, 8u})
        put(root / "bmp" / ("indexed" + std::to_string(bits) + ".bmp"), indexedBitmap(13, 5, bits));
    RgbImage picture;
    picture.width = 7;
    picture.height = 3;
    picture.pixels.assign(7 * 3 * 3, 0x80);
    writeBmp((root / "bmp" / "rgb24.bmp").string(), picture);
    put(root / "database" / "empty.pdb", fixtures::buildDatabase("empty", {}));
    for (std::uint16_t bits : {1, 2, 4, 8, 16}) {
        put(root / "database" / ("small" + std::to_string(bits) + ".pdb"),
            fixtures::buildDatabase("small", smallImage(bits, bits != 16, bits == 16 ? 2 : 1)));
    }
    put(root / "runlength" / "runs.bin", Bytes{1, 2, 2, 2, 9, 9, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7});
    put(root / "runlength" / "zeros.bin", Bytes(300, 0));
    putPictures(root / "picture");
    return 0;
}
