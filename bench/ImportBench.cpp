// Importing a large picture, against its floor, and the preview path of the
// import dialog.
//
// The import takes a 2048 x 1536 24-bit bitmap at 16 bits (130 tiles) into
// databases of 0, 10 and 40 MB, and a 4096 x 3072 one (520 tiles) into an
// empty database. The floor is the conversion alone (reading the bitmap and
// making the records) plus one write of the final file, flushed to the disk
// as the import's own write is.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "cli/Imagedb.h"
#include "convert/Adjust.h"
#include "convert/Reduce.h"
#include "convert/Scale.h"
#include "database/Append.h"
#include "database/Container.h"
#include "interchange/Bmp.h"
#include "tests/fixtures/DatabaseBuilder.h"

namespace {

using namespace ferrovel;

constexpr std::size_t kMegabyte = 1024 * 1024;

std::string benchPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("ferrovel-bench-" + name)).string();
}

RgbImage largePicture(int width, int height) {
    RgbImage picture;
    picture.width = static_cast<std::int16_t>(width);
    picture.height = static_cast<std::int16_t>(height);
    picture.pixels.resize(std::size_t{1} * static_cast<std::size_t>(width) *
                          static_cast<std::size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p =
                &picture.pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                 static_cast<std::size_t>(x)) *
                                3];
            p[0] = static_cast<std::uint8_t>(x * 255 / width);
            p[1] = static_cast<std::uint8_t>(y * 255 / height);
            p[2] = static_cast<std::uint8_t>((x ^ y) & 255);
        }
    }
    return picture;
}

// The bitmap of a width x height picture, written once per run.
std::string largeBitmap(int width) {
    const std::string path = benchPath("large-" + std::to_string(width) + ".bmp");
    if (!std::filesystem::exists(path)) writeBmp(path, largePicture(width, width * 3 / 4));
    return path;
}

// A database of about megabytes MB of raw 16-bit tiles.
std::string databaseOf(std::size_t megabytes) {
    const std::string path = benchPath("db-" + std::to_string(megabytes) + "mb.pdb");
    if (std::filesystem::exists(path)) return path;
    fixtures::FixtureRecord tile;
    tile.label = "#(0,0) - 160x160 Filler";
    tile.rows.assign(51200, 0x42);
    const std::size_t count = megabytes * kMegabyte / (476 + 51200 + 24);
    fixtures::writeFileBytes(
        path, fixtures::buildDatabase("Filler", std::vector<fixtures::FixtureRecord>(count, tile)));
    return path;
}

void copyFile(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

// Import of a picture width pixels wide (3/4 as high) into a database of
// state.range(1) MB.
void BM_ImportAt16Bits(benchmark::State& state) {
    const std::string bitmap = largeBitmap(static_cast<int>(state.range(0)));
    const std::string source = databaseOf(static_cast<std::size_t>(state.range(1)));
    const std::string database = benchPath("import.pdb");
    std::FILE* quiet = std::fopen(benchPath("import.log").c_str(), "w");
    for (auto _ : state) {
        state.PauseTiming();
        copyFile(source, database);
        state.ResumeTiming();
        const int status =
            runImagedb({"import", database, bitmap, "--format", "16", "--no-dither"}, quiet, quiet);
        if (status != 0) state.SkipWithError("import failed");
    }
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(database)) / kMegabyte;
    std::fclose(quiet);
}

// The conversion alone: the bitmap read and made into tile records in memory.
void BM_ConversionAlone(benchmark::State& state) {
    const std::string bitmap = largeBitmap(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const BmpReadResult read = readBmp(bitmap);
        PendingRecords records;
        AppendOptions options{"large", read.canvas.width, read.canvas.height, 16, 0};
        if (prepareImageRecords(read.canvas, options, records) != 0) state.SkipWithError("failed");
        benchmark::DoNotOptimize(records.bytes.data());
    }
}

// One write of a file of the final database's size, flushed to the disk.
void BM_WriteFinalFile(benchmark::State& state) {
    const std::size_t tiles =
        static_cast<std::size_t>(state.range(0) / 160 * state.range(0) * 3 / 4 / 160);
    const std::size_t size =
        std::filesystem::file_size(databaseOf(static_cast<std::size_t>(state.range(1)))) +
        tiles * (8 + 476 + 51200 + 24);
    const std::vector<std::uint8_t> bytes(size, 0x5A);
    const std::string target = benchPath("floor-target.bin");
    for (auto _ : state) {
        std::FILE* out = std::fopen(target.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fflush(out);
        fsync(fileno(out));
        std::fclose(out);
    }
}

// One repaint of the import preview: scale to 320 x 320, adjust and reduce
// every pixel.
void BM_PreviewFrame(benchmark::State& state) {
    const RgbImage picture = largePicture(2048, 1536);
    buildPaletteLookup();
    for (auto _ : state) {
        std::vector<std::uint8_t> scaled;
        scaleImage(scaled, 320, 320, picture.pixels.data(), 2048, 1536);
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

// Arguments: picture width, database megabytes.
BENCHMARK(BM_ConversionAlone)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFinalFile)
    ->Args({2048, 0})
    ->Args({2048, 10})
    ->Args({2048, 40})
    ->Args({4096, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportAt16Bits)
    ->Args({2048, 0})
    ->Args({2048, 10})
    ->Args({2048, 40})
    ->Args({4096, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewFrame)->Unit(benchmark::kMillisecond);
