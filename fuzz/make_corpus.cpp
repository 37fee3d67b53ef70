// Writes the seed corpus of the fuzz targets: small valid databases and
// bitmaps made by our own fixture code.
//
// usage: make_corpus FOLDER   (writes FOLDER/bmp, FOLDER/database, FOLDER/runlength)
#include <filesystem>
#include <string>

#include "interchange/Bmp.h"
#include "tests/fixtures/DemoDatabase.h"

namespace {

using namespace ferrovel;
using fixtures::Bytes;

void put(const std::filesystem::path& path, const Bytes& bytes) { fixtures::writeFileBytes(path.string(), bytes); }

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
    image.valueAt = [](int layer, int x, int y) { return static_cast<std::uint32_t>(x * 7 + y * 3 + layer); };
    return fixtures::tiledImageRecords(image);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::filesystem::path root = argv[1];
    for (const char* folder : {"bmp", "database", "runlength"}) std::filesystem::create_directories(root / folder);
    for (unsigned bits : {1u, 2u, 4u, 8u}) put(root / "bmp" / ("indexed" + std::to_string(bits) + ".bmp"), indexedBitmap(13, 5, bits));
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
    return 0;
}
