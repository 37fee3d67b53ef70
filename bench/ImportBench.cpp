// Importing a large picture, against the floor of its per-tile rewrite, and
// the preview path of the import dialog.
//
// The import takes a 2048 x 1536 24-bit bitmap into an empty database at 16
// bits: 130 tiles, each appended by rewriting the whole database. The floor
// copies the same database sizes, one file per tile, with block I/O.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/Imagedb.h"
#include "convert/Adjust.h"
#include "convert/Reduce.h"
#include "convert/Scale.h"
#include "database/Container.h"
#include "interchange/Bmp.h"
#include "tests/fixtures/DatabaseBuilder.h"

namespace {

using namespace ferrovel;

constexpr int kWidth = 2048;
constexpr int kHeight = 1536;
constexpr int kTiles = 13 * 10;
constexpr std::size_t kRecordBytes = 476 + 51200 + 32;  // header and icons, raw tile, label

std::string benchPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("ferrovel-bench-" + name)).string();
}

RgbImage largePicture() {
    RgbImage picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.pixels.resize(std::size_t{kWidth} * kHeight * 3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            std::uint8_t* p = &picture.pixels[(std::size_t{1} * y * kWidth + x) * 3];
            p[0] = static_cast<std::uint8_t>(x * 255 / kWidth);
            p[1] = static_cast<std::uint8_t>(y * 255 / kHeight);
            p[2] = static_cast<std::uint8_t>((x ^ y) & 255);
        }
    }
    return picture;
}

const std::string& largeBitmap() {
    static const std::string path = [] {
        const std::string p = benchPath("large-24.bmp");
        writeBmp(p, largePicture());
        return p;
    }();
    return path;
}

void BM_ImportLargeAt16Bits(benchmark::State& state) {
    const std::string database = benchPath("import.pdb");
    std::FILE* quiet = std::fopen(benchPath("import.log").c_str(), "w");
    for (auto _ : state) {
        state.PauseTiming();
        createEmptyDatabase(database);
        state.ResumeTiming();
        const int status = runImagedb(
            {"import", database, largeBitmap(), "--format", "16", "--no-dither"}, quiet, quiet);
        if (status != 0) state.SkipWithError("import failed");
    }
    std::fclose(quiet);
}

// The same database sizes copied once per tile with block I/O: each size
// read from one file and written to another in one call each.
void BM_PerTileRewriteFloor(benchmark::State& state) {
    const std::string source = benchPath("floor-source.bin");
    const std::string target = benchPath("floor-target.bin");
    std::vector<std::uint8_t> bytes(80 + kTiles * (8 + kRecordBytes), 0x5A);
    fixtures::writeFileBytes(source, bytes);
    for (auto _ : state) {
        for (int tile = 0; tile < kTiles; ++tile) {
            const std::size_t size = 80 + static_cast<std::size_t>(tile) * (8 + kRecordBytes);
            std::FILE* in = std::fopen(source.c_str(), "rb");
            std::FILE* out = std::fopen(target.c_str(), "wb");
            const std::size_t got = std::fread(bytes.data(), 1, size, in);
            std::fwrite(bytes.data(), 1, got, out);
            std::fclose(out);
            std::fclose(in);
        }
    }
}

// One repaint of the import preview: scale to 320 x 320, adjust and reduce
// every pixel.
void BM_PreviewFrame(benchmark::State& state) {
    const RgbImage picture = largePicture();
    buildPaletteLookup();
    for (auto _ : state) {
        std::vector<std::uint8_t> scaled;
        scaleImage(scaled, 320, 320, picture.pixels.data(), kWidth, kHeight);
        for (std::size_t i = 0; i < scaled.size(); i += 3) {
            std::int16_t b = scaled[i], g = scaled[i + 1], r = scaled[i + 2];
            adjustPixel(r, g, b, 20, 10);
            const std::int32_t pixel = static_cast<std::int32_t>(i / 3);
            reducePixel(r, g, b, 8, 1, pixel % 320, pixel / 320);
            scaled[i] = static_cast<std::uint8_t>(b);
        }
        benchmark::DoNotOptimize(scaled.data());
    }
}

}  // namespace

BENCHMARK(BM_PerTileRewriteFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportLargeAt16Bits)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewFrame)->Unit(benchmark::kMillisecond);
