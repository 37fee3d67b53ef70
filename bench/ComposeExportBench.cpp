// Composing a large image from its tiles and exporting it, against plain
// block I/O of the same bytes: reading the database file whole and writing a
// file of the bitmap's size in one call.
//
// The image is 2048 x 1536 at 16 bits: 13 x 10 = 130 tiles.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "database/Catalogue.h"
#include "interchange/Bmp.h"
#include "tests/fixtures/DatabaseBuilder.h"

namespace {

using namespace ferrovel;

constexpr int kWidth = 2048;
constexpr int kHeight = 1536;

std::string benchPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("ferrovel-bench-" + name)).string();
}

const std::string& largeDatabase(bool compressed) {
    static std::string paths[2];
    std::string& path = paths[compressed ? 1 : 0];
    if (path.empty()) {
        fixtures::TiledImage image;
        image.name = "Large";
        image.width = kWidth;
        image.height = kHeight;
        image.bitsPerPixel = 16;
        image.compressed = compressed;
        image.valueAt = [](int, int x, int y) {
            return static_cast<std::uint32_t>(fixtures::rgb565(x & 255, y & 255, (x ^ y) & 255));
        };
        path = benchPath(compressed ? "large-rle.pdb" : "large.pdb");
        fixtures::writeFileBytes(
            path, fixtures::buildDatabase("Large", fixtures::tiledImageRecords(image)));
    }
    return path;
}

void composeAndExport(benchmark::State& state, bool compressed) {
    const std::string& database = largeDatabase(compressed);
    const std::string output = benchPath("large.bmp");
    for (auto _ : state) {
        std::FILE* file = std::fopen(database.c_str(), "rb");
        RgbImage image;
        const std::int16_t status = composeImage(file, 0, image);
        std::fclose(file);
        if (status != 0 || writeBmp(output, image) != 0) state.SkipWithError("export failed");
        benchmark::DoNotOptimize(image.pixels.data());
    }
}

void BM_ComposeAndExportRaw(benchmark::State& state) {
    composeAndExport(state, false);
}
void BM_ComposeAndExportCompressed(benchmark::State& state) {
    composeAndExport(state, true);
}

// The floor: the same database bytes read, the same number of bitmap bytes written.
void BM_BlockIoBaseline(benchmark::State& state) {
    const std::string& database = largeDatabase(false);
    const std::string output = benchPath("baseline.bin");
    const std::size_t bitmapBytes = 54 + std::size_t{kWidth} * 3 * kHeight;
    std::vector<std::uint8_t> out(bitmapBytes, 0x80);
    for (auto _ : state) {
        const std::vector<std::uint8_t> in = fixtures::readFileBytes(database);
        std::FILE* file = std::fopen(output.c_str(), "wb");
        std::fwrite(out.data(), 1, out.size(), file);
        std::fclose(file);
        benchmark::DoNotOptimize(in.data());
    }
}

}  // namespace

BENCHMARK(BM_BlockIoBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeAndExportRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeAndExportCompressed)->Unit(benchmark::kMillisecond);
