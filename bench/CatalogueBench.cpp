// The commands that walk a whole catalogue, against the I/O they cannot do
// without:
//
// - `imagedb export --all numbered` of 1000 and 4000 one-tile images, against
//   writing the same number of bitmap files of the same size with one block
//   write each;
// - `imagedb list` of 4000 and 16000 records, against one sequential read of
//   the database file in 64 KiB blocks.
//
// The images are 160 x 160 tiles in 1, 2 and 4 bits, run-length compressed,
// with a pattern of rings and stripes (3.3 to 9.5 KiB a record), named
// "Image N". Both commands must grow linearly with the count.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/Imagedb.h"
#include "tests/fixtures/DatabaseBuilder.h"

namespace {

using namespace ferrovel;

constexpr int kTile = 160;
constexpr std::size_t kBitmapBytes = 54 + std::size_t{kTile} * kTile * 3;

std::string benchPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("ferrovel-bench-" + name)).string();
}

// One record of each of the three gray formats, cycled through the database.
std::vector<fixtures::FixtureRecord> prototypes() {
    std::vector<fixtures::FixtureRecord> records;
    for (const std::uint16_t bits : {1, 2, 4}) {
        fixtures::FixtureRecord record;
        record.bitsPerPixel = bits;
        record.compressed = true;
        record.rows = fixtures::packRows(bits, kTile, kTile, [bits](int x, int y) {
            const int dx = x - 80, dy = y - 70;
            const int ring = (dx * dx + dy * dy) / (40 * bits);
            return static_cast<std::uint32_t>(y < 40 ? x / 20 : ring) & ((1u << bits) - 1);
        });
        records.push_back(std::move(record));
    }
    return records;
}

// A database of count one-tile images, written once per count.
const std::string& smallImages(int count) {
    static std::map<int, std::string> paths;
    std::string& path = paths[count];
    if (path.empty()) {
        const std::vector<fixtures::FixtureRecord> kinds = prototypes();
        std::vector<fixtures::FixtureRecord> records;
        records.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            records.push_back(kinds[static_cast<std::size_t>(i) % kinds.size()]);
            records.back().label = "#(0,0) - 160x160 Image " + std::to_string(i);
        }
        path = benchPath("small-" + std::to_string(count) + ".pdb");
        fixtures::writeFileBytes(path, fixtures::buildDatabase("Small", records));
    }
    return path;
}

// The bitmaps go to a file system in memory where there is one: hundreds of
// megabytes a run would otherwise wait for the disk's write-back, which
// drowns the comparison in noise.
std::string exportFolder() {
    std::error_code error;
    const bool inMemory = std::filesystem::is_directory("/dev/shm", error);
    const std::filesystem::path folder =
        inMemory ? std::filesystem::path("/dev/shm/ferrovel-bench-export")
                 : std::filesystem::path(benchPath("export"));
    std::filesystem::create_directories(folder);
    return (folder / "Out.bmp").string();
}

struct Quiet {
    std::FILE* sink = std::fopen("/dev/null", "w");
    ~Quiet() {
        if (sink) std::fclose(sink);
    }
};

void BM_ExportAllNumbered(benchmark::State& state) {
    const std::string& database = smallImages(static_cast<int>(state.range(0)));
    const std::string out = exportFolder();
    const Quiet quiet;
    for (auto _ : state) {
        const int status =
            runImagedb({"export", database, out, "--all", "numbered"}, quiet.sink, quiet.sink);
        if (status != kExitOk) state.SkipWithError("export failed");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The floor of the export: the same files, each written whole in one call.
void BM_WriteBitmapsBlockIo(benchmark::State& state) {
    const std::string out = exportFolder();
    const std::string stem = out.substr(0, out.size() - 4);
    const std::vector<std::uint8_t> bitmap(kBitmapBytes, 0x5A);
    for (auto _ : state) {
        for (int i = 0; i < state.range(0); ++i) {
            char number[16];
            std::snprintf(number, sizeof number, "%03d.bmp", i);
            std::FILE* file = std::fopen((stem + number).c_str(), "wb");
            if (!file || std::fwrite(bitmap.data(), 1, bitmap.size(), file) != bitmap.size())
                state.SkipWithError("write failed");
            if (file) std::fclose(file);
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_List(benchmark::State& state) {
    const std::string& database = smallImages(static_cast<int>(state.range(0)));
    const Quiet quiet;
    for (auto _ : state) {
        if (runImagedb({"list", database}, quiet.sink, quiet.sink) != kExitOk)
            state.SkipWithError("list failed");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The floor of a listing: the database file read once from start to end.
void BM_ReadFileSequentially(benchmark::State& state) {
    const std::string& database = smallImages(static_cast<int>(state.range(0)));
    std::vector<std::uint8_t> block(65536);
    for (auto _ : state) {
        std::FILE* file = std::fopen(database.c_str(), "rb");
        std::size_t total = 0, got = 0;
        while (file && (got = std::fread(block.data(), 1, block.size(), file)) > 0) total += got;
        if (file) std::fclose(file);
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_WriteBitmapsBlockIo)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportAllNumbered)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFileSequentially)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_List)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);
