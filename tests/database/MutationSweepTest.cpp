// Every byte of a few small valid inputs set to 0x00, 0xFF and its complement,
// then every shorter length: the database readers return a status and keep to
// their buffers (the sanitizer build watches the reads; under Wine the sizes
// do). They read each mutant as the database fuzz target reads its inputs;
// appending to such files is the append fuzz target's concern, clipboard
// blocks the picture fuzz target's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "fuzz/FuzzSupport.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;

// Reads every mutant of good: each byte set to 0x00, 0xFF and its
// complement, then every length from none up to the whole; stops at the
// first failure. One scratch file is changed in place a byte at a time, as
// writing thousands of files anew takes long under Wine.
void sweep(const Bytes& good) {
    const std::string path = testing::writeScratchFile("sweep.bin", good);
    testing::OpenFile file(std::fopen(path.c_str(), "r+b"));
    std::size_t size = good.size();
    const auto set = [&](std::size_t at, int value) {
        size = std::max(size, at + 1);
        std::fseek(file.get(), static_cast<long>(at), SEEK_SET);
        std::fputc(value, file.get());
        std::fflush(file.get());
    };
    const auto passes = [&](const std::string& what) {
        EXPECT_TRUE(file) << path;
        EXPECT_EQ(file ? fuzzing::readDatabase(file.get(), size) : "", "") << what;
        return !::testing::Test::HasFailure();
    };
    for (std::size_t at = 0; at < good.size(); ++at) {
        for (const int value : {0x00, 0xFF, ~good[at] & 0xFF}) {
            set(at, value);
            if (!passes("byte " + std::to_string(at) + " set to " + std::to_string(value))) return;
        }
        set(at, good[at]);
    }
    file.reset();
    file.reset(std::fopen(testing::writeScratchFile("sweep.bin", {}).c_str(), "r+b"));
    size = 0;
    for (std::size_t length = 0; passes("cut to " + std::to_string(length) + " bytes"); ++length) {
        if (length == good.size()) return;
        set(length, good[length]);
    }
}

fixtures::FixtureRecord tile(std::uint16_t bits, int width, int height, const std::string& label,
                             bool compressed, std::uint32_t seed) {
    fixtures::FixtureRecord record = testing::makeRecord(
        bits, width, height,
        fixtures::packRows(bits, width, height,
                           [&](int x, int y) { return (x / 3 + y * 7 + seed) % 5 * 0x3333u; }),
        compressed);
    record.label = label;
    return record;
}

TEST(MutationSweep, DatabasesListComposeAndCheckEveryMutant) {
    const Bytes databases[] = {
        fixtures::buildDatabase("Mono", {tile(1, 20, 10, "#(0,0) - 20x10 Mono", false, 0)}),
        fixtures::buildDatabase("Wide", {tile(8, 20, 10, "#(0,0) - 180x10 Wide", true, 0),
                                         tile(8, 20, 10, "#(1,0) - 180x10 Wide", true, 2)}),
        fixtures::buildDatabase("Layers", {tile(16, 6, 4, "#(0,0) - 6x4 {1/2} Two", false, 0),
                                           tile(16, 6, 4, "#(0,0) - 6x4 {2/2} Two", false, 1)}),
    };
    for (const Bytes& db : databases) {
        ASSERT_EQ(listCatalogue(testing::openScratch("sweep-good.pdb", db).get()).size(), 1u);
        sweep(db);
    }
}

}  // namespace
}  // namespace ferrovel
