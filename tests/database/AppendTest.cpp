#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>

#include "database/Append.h"
#include "database/Catalogue.h"
#include "database/ImageRecord.h"
#include "tests/database/DatabaseTestSupport.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace ferrovel {
namespace {

using fixtures::Bytes;
using fixtures::readFileBytes;
using fixtures::writeFileBytes;
using testing::emptyDatabase;

// Appends a 160 x 160 picture of one gray value, stored at width x height.
std::int16_t append(const std::string& path, int width = 160, int height = 160, int bits = 1,
                    std::uint8_t value = 255, RewriteReport* report = nullptr) {
    AppendOptions options{"Pic", static_cast<std::int16_t>(width),
                          static_cast<std::int16_t>(height), static_cast<std::int16_t>(bits), 0};
    return appendImage(path, {160, 160, Bytes(160 * 160 * 3, value)}, options, report);
}

// A white tile as the fixture builder stores it, icons all zero. White is
// value 0 below 16 bits and palette entry 0.
fixtures::FixtureRecord whiteTile(int bits) {
    fixtures::FixtureRecord tile =
        testing::makeRecord(static_cast<std::uint16_t>(bits), 160, 160,
                            bits == 16 ? Bytes(51200, 0xFF) : Bytes{}, bits != 16);
    tile.label = "#(0,0) - 160x160 Pic";
    return tile;
}

TEST(AppendImage, WhiteTileRecordsMatchTheFixtureByteForByte) {
    // The record starts at 88, after the one entry. Blank tiles below 16 bits
    // are 25 repeat packets per 3200 bytes; 16-bit tiles are too long for the
    // encoder and stay raw. The label with its zero byte takes 21 bytes.
    const int cases[][3] = {
        {1, 116, 50}, {2, 116, 100}, {4, 116, 200}, {8, 476, 400}, {16, 476, 51200}};
    for (const auto& [bits, pixelOffset, pixelSize] : cases) {
        const std::string path = emptyDatabase("white.pdb");
        ASSERT_EQ(append(path, 160, 160, bits), 0);
        const Bytes db = readFileBytes(path);
        ASSERT_EQ(db.size(), 88u + pixelOffset + pixelSize + 21) << bits;
        Bytes expected = fixtures::buildDatabase("white", {whiteTile(bits)});
        // Not the colour icon: scaling down to 20 x 18 leaves rows of it at
        // 254, which the palette's checkerboard offset turns partly gray.
        if (pixelOffset == 476)
            std::copy(db.begin() + 204, db.begin() + 564, expected.begin() + 204);
        EXPECT_EQ(db, expected) << bits;
    }
}

TEST(AppendImage, ExistingEntriesAndInfoBlocksMoveByEight) {
    const std::string path = emptyDatabase("entries.pdb");
    fixtures::FixtureRecord marked = whiteTile(1);
    marked.attributes = 0x40ABCDEF;
    writeFileBytes(path, fixtures::buildDatabase("entries", {marked}));
    ASSERT_EQ(append(path), 0);
    EXPECT_EQ(readFileBytes(path), fixtures::buildDatabase("entries", {marked, whiteTile(1)}));

    // Application and sort info blocks behind the entries move with the records.
    Bytes withInfo = readFileBytes(emptyDatabase("info.pdb"));
    withInfo[55] = 80;  // the application and sort info offsets
    withInfo[59] = 84;
    withInfo.insert(withInfo.end(), {1, 2, 3, 4, 5, 6, 7, 8});
    writeFileBytes(path, withInfo);
    ASSERT_EQ(append(path), 0);
    const Bytes moved = readFileBytes(path);
    // The info offsets at 52 and 56, the record's offset in its entry at 78.
    EXPECT_EQ(Bytes(moved.begin() + 52, moved.begin() + 60), (Bytes{0, 0, 0, 88, 0, 0, 0, 92}));
    EXPECT_EQ(Bytes(moved.begin() + 78, moved.begin() + 82), (Bytes{0, 0, 0, 96}));
    EXPECT_EQ(Bytes(moved.begin() + 88, moved.begin() + 96), Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(AppendImage, TilesGoRowByRowWithBlankEdges) {
    const std::string path = emptyDatabase("tiles.pdb");
    ASSERT_EQ(append(path, 161, 100, 1, 0), 0);
    ASSERT_EQ(append(path, 100, 300, 1, 0), 0);
    const testing::OpenFile file(std::fopen(path.c_str(), "rb"));
    ASSERT_EQ(readRecordCount(file.get()), 4);
    const char* const labels[] = {"#(0,0) - 161x100 Pic", "#(1,0) - 161x100 Pic",
                                  "#(0,0) - 100x300 Pic", "#(0,1) - 100x300 Pic"};
    for (std::int16_t i = 0; i < 4; ++i)
        EXPECT_EQ(readRecordInfo(file.get(), i, true).label, labels[i]);
    // Only column 160 reaches the second tile; its row padding and the rest are blank.
    EXPECT_EQ(testing::firstMismatch(
                  *decodeRecord(file.get(), 1),
                  [](int x, int y) { return testing::colourOf(1, x == 0 && y < 100 ? 1 : 0); }),
              "");
    RgbImage composed;
    ASSERT_EQ(composeImage(file.get(), 1, composed), 0);
    EXPECT_EQ(composed.width, 100);
    EXPECT_EQ(composed.pixels, Bytes(100 * 300 * 3, 0));
}

TEST(AppendImage, RefusalsLeaveTheFileAlone) {
    const std::string path = emptyDatabase("refused.pdb");
    const Bytes empty = readFileBytes(path);
    EXPECT_EQ(append(path, 0, 160), kAppendScaleFailed);
    EXPECT_EQ(append(path, 160, 160, 3), kAppendConvertFailed);
    EXPECT_EQ(readFileBytes(path), empty);
    // Each file is written, refused, and must still be there as it was.
    const auto refused = [&](const Bytes& bytes, std::int16_t status, int width = 160) {
        writeFileBytes(path, bytes);
        EXPECT_EQ(append(path, width), status);
        EXPECT_EQ(readFileBytes(path), bytes);
    };
    Bytes notOurs = empty, negative = empty, nearlyFull = empty;
    notOurs[64] = 'X';
    negative[76] = 0x80;
    refused(notOurs, kAppendNotImageDatabase);
    refused(negative, kAppendDatabaseFull);
    // Room for one more record: two tiles are refused, one fits, then nothing does.
    nearlyFull.insert(nearlyFull.begin() + 78, 32766 * 8, 0);
    std::copy_n("\x7F\xFE", 2, nearlyFull.begin() + 76);
    refused(nearlyFull, kAppendDatabaseFull, 161);
    ASSERT_EQ(append(path), 0);
    const Bytes full = readFileBytes(path);
    EXPECT_EQ(full[76] << 8 | full[77], 32767);
    refused(full, kAppendDatabaseFull);
}

TEST(WorkFile, PathReplacesOnlyTheExtension) {
    EXPECT_EQ(workFilePath("C:\\Images\\Pics.pdb"), "C:\\Images\\Pics$$$");
    EXPECT_EQ(workFilePath("C:\\my.images\\Pics"), "C:\\my.images\\Pics$$$");
    EXPECT_EQ(workFilePath("/tmp/v1.2/pics"), "/tmp/v1.2/pics$$$");
    EXPECT_EQ(workFilePath("pics.old.pdb"), "pics.old$$$");
}

// The rename-first appends of older writers leave, when they die, the
// database missing or cut short and its last complete copy in the work file.
// The next write puts the copy back, and removes what is mere debris (that
// readers leave it alone, the tool's write-path tests show).
TEST(WorkFile, ALeftOverWorkFileIsSettledByTheNextWriteAndNeverByAReader) {
    const std::string path = emptyDatabase("settle.pdb"), work = workFilePath(path);
    ASSERT_EQ(append(path), 0);
    const Bytes old = readFileBytes(path);
    ASSERT_EQ(append(path, 160, 160, 1, 0), 0);
    const Bytes oneMore = readFileBytes(path);  // old with one record appended
    ASSERT_EQ(append(path, 160, 160, 1, 0), 0);
    const Bytes twoMore = readFileBytes(path);
    const Bytes cutShort(oneMore.begin(), oneMore.begin() + static_cast<long>(oneMore.size()) - 5);
    struct Case {
        const char* what;
        std::optional<Bytes> database;
        Bytes workFile;
        WorkFileState state;
        Bytes afterAppend;
    };
    const Case cases[] = {
        {"database missing", std::nullopt, old, WorkFileState::LastCopy, oneMore},
        {"database cut in its last record", cutShort, old, WorkFileState::LastCopy, oneMore},
        {"database cut in its entries", Bytes(oneMore.begin(), oneMore.begin() + 90), old,
         WorkFileState::LastCopy, oneMore},
        {"stale work file of an older state", oneMore, old, WorkFileState::Debris, twoMore},
        {"unfinished rewrite of ours", oneMore, Bytes(twoMore.begin(), twoMore.begin() + 300),
         WorkFileState::Debris, twoMore},
        {"a file that is no database", oneMore, Bytes(10, 'x'), WorkFileState::Debris, twoMore},
    };
    for (const Case& c : cases) {
        std::remove(path.c_str());
        if (c.database) writeFileBytes(path, *c.database);
        writeFileBytes(work, c.workFile);
        EXPECT_EQ(inspectWorkFile(path), c.state) << c.what;
        RewriteReport report;
        ASSERT_EQ(append(path, 160, 160, 1, 0, &report), 0) << c.what;
        EXPECT_EQ(readFileBytes(path), c.afterAppend) << c.what;
        EXPECT_EQ(report.restoredFromWork, c.state == WorkFileState::LastCopy) << c.what;
        EXPECT_FALSE(std::filesystem::exists(work)) << c.what;
    }
    std::remove(path.c_str());
    EXPECT_EQ(append(path), kAppendWorkFileUnreadable) << "no database and no copy of it";
    EXPECT_FALSE(std::filesystem::exists(path));
}

constexpr int kTiles = 10;

// A clean append of ten 1-bit tiles in one row onto about 1 MB of records, so
// that the rewrite copies the database in several chunks. The picture is 8
// rows high, so preparing it costs next to nothing.
struct Scene {
    std::string path;
    Bytes initial, appended;
    int steps = 0;  // hook calls of the whole append
};

std::int16_t appendPicture(const Scene& s) {
    return append(s.path, kTiles * 160 - 159, 8);
}

// Puts the database back as it was before the append, without a work file.
void reset(const Scene& s) {
    fixtures::writeFileBytes(s.path, s.initial);
    std::remove(workFilePath(s.path).c_str());
}

const Scene& scene() {
    static const Scene built = [] {
        Scene s;
        s.path = testing::scratchPath("fault.pdb");
        s.initial = fixtures::buildDatabase(
            "Fault", std::vector<fixtures::FixtureRecord>(20, testing::makeRecord(16, 160, 160)));
        reset(s);
        setWriteFaultHook([](void* steps, int) { return ++*static_cast<int*>(steps), false; },
                          &s.steps);
        EXPECT_EQ(appendPicture(s), 0);
        setWriteFaultHook(nullptr, nullptr);
        s.appended = readFileBytes(s.path);
        return s;
    }();
    EXPECT_GE(built.steps, 8);
    return built;
}

// Breaks the append at each step k in turn. After each the database holds
// the complete old or the complete new database, the new one only from the
// last step on; a left-over work file does not change what readers see, and
// the next append removes it and lands.
void expectEveryBreakLeavesOldOrNew(const std::function<void(const Scene&, int)>& breakAt) {
    const Scene& s = scene();
    for (int k = 0; k <= s.steps; ++k) {
        reset(s);
        breakAt(s, k);
        if (::testing::Test::HasFatalFailure()) return;
        ASSERT_EQ(readFileBytes(s.path), k < s.steps ? s.initial : s.appended) << "step " << k;
        EXPECT_NE(inspectWorkFile(s.path), WorkFileState::LastCopy) << "step " << k;
        ASSERT_EQ(appendPicture(s), 0) << "step " << k;
        const testing::OpenFile file(std::fopen(s.path.c_str(), "rb"));
        EXPECT_EQ(readRecordCount(file.get()), 20 + kTiles * (k < s.steps ? 1 : 2)) << k;
        EXPECT_FALSE(std::filesystem::exists(workFilePath(s.path))) << "step " << k;
    }
}

TEST(AppendFault, AFailedStepLeavesTheOldDatabaseAndNoWorkFile) {
    expectEveryBreakLeavesOldOrNew([](const Scene& s, int k) {
        setWriteFaultHook([](void* step, int now) { return now == *static_cast<int*>(step); }, &k);
        const std::int16_t status = appendPicture(s);
        setWriteFaultHook(nullptr, nullptr);
        const bool failed =
            status == kAppendWorkFileUnreadable || status == kAppendDatabaseUnwritable;
        ASSERT_TRUE(k < s.steps ? failed : status == 0) << "step " << k << ": " << status;
        EXPECT_FALSE(std::filesystem::exists(workFilePath(s.path))) << "step " << k;
    });
}

#ifndef _WIN32
// _exit drops what the stdio buffers of the open files hold, as a kill would.
TEST(AppendFault, ADeathAtAnyStepLeavesTheOldOrTheNewDatabase) {
    expectEveryBreakLeavesOldOrNew([](const Scene& s, int k) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const auto die = [](void* step, int now) {
                if (now == *static_cast<int*>(step)) _exit(3);
                return false;
            };
            setWriteFaultHook(die, &k);
            _exit(appendPicture(s) == 0 ? 0 : 4);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), k < s.steps ? 3 : 0) << "step " << k;
    });
}
#endif

}  // namespace
}  // namespace ferrovel
