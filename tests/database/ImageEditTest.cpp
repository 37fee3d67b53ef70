// Deleting, renaming and moving images, against databases assembled here
// from the records in their expected order: every record that is not
// changed must come out byte for byte, with its attribute word.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "database/Append.h"
#include "database/ImageEdit.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;
using fixtures::FixtureRecord;
using fixtures::readFileBytes;

// One record of the scene and the attribute word its entry carries.
struct Placed {
    FixtureRecord record;
    std::uint32_t attributes;
};

// The database of the records in this order, each entry with its attributes.
Bytes assemble(const std::vector<Placed>& placed) {
    std::vector<FixtureRecord> records;
    for (const Placed& p : placed) records.push_back(p.record);
    Bytes bytes = fixtures::buildDatabase("Edits", records);
    for (std::size_t i = 0; i < placed.size(); ++i) {
        for (int b = 0; b < 4; ++b) {
            bytes[78 + 8 * i + 4 + static_cast<std::size_t>(b)] =
                static_cast<std::uint8_t>(placed[i].attributes >> (24 - 8 * b));
        }
    }
    return bytes;
}

// Two stray continuation records, a picture of two tiles across, a picture
// of two layers and a one-tile picture: images 0, 1 and 2.
std::vector<std::vector<Placed>> sceneGroups(const std::string& secondName = "Layers") {
    const auto value = [](int layer, int x, int y) {
        return fixtures::rgb565(x + layer * 9, y, 3);
    };
    std::vector<std::vector<Placed>> groups(4);
    std::uint32_t attributes = 0x40000001;
    const auto add = [&](std::size_t group, const std::vector<FixtureRecord>& records) {
        for (const FixtureRecord& record : records) groups[group].push_back({record, attributes++});
    };
    FixtureRecord stray = testing::makeRecord(8, 160, 160);
    stray.label = "#(1,0) - 320x160 Lost";
    add(0, {stray, stray});
    add(1, testing::tiles("Wide", 300, 100, value));
    fixtures::TiledImage layered{secondName, 160, 160, 16, 2, true, true, value};
    add(2, fixtures::tiledImageRecords(layered));
    add(3, testing::tiles("Single", 40, 30, value, 1, true));
    return groups;
}

// The scene's groups of records in this order.
Bytes sceneOf(const std::vector<int>& order, const std::string& secondName = "Layers") {
    const std::vector<std::vector<Placed>> groups = sceneGroups(secondName);
    std::vector<Placed> placed;
    for (const int g : order)
        placed.insert(placed.end(), groups[static_cast<std::size_t>(g)].begin(),
                      groups[static_cast<std::size_t>(g)].end());
    return assemble(placed);
}

struct EditCase {
    const char* what;
    std::function<std::int16_t(const std::string&)> change;
    Bytes expected;
};

std::vector<EditCase> editCases() {
    return {
        {"delete the middle", [](auto& p) { return deleteImages(p, {1}); }, sceneOf({0, 1, 3})},
        {"delete the ends",
         [](auto& p) {
             return deleteImages(p, {2, 0, 2});
         },
         sceneOf({0, 2})},
        {"move first to last", [](auto& p) { return moveImage(p, 0, 2); }, sceneOf({0, 2, 3, 1})},
        {"move last to first", [](auto& p) { return moveImage(p, 2, 0); }, sceneOf({0, 3, 1, 2})},
        {"rename the layers", [](auto& p) { return renameImage(p, 1, "Caf\xE9 au lait"); },
         sceneOf({0, 1, 2, 3}, "Caf\xE9 au lait")},
    };
}

// Each change is then broken at every step of its writer in turn: the
// database stays the old one and no work file is left. What a kill leaves,
// and that the next write lands, is the shared rewrite's concern, which
// AppendFault checks at every step.
TEST(ImageEdit, KeepsEveryOtherRecordByteForByteAndABreakKeepsTheOldDatabase) {
    const Bytes original = sceneOf({0, 1, 2, 3});
    const std::string path = testing::scratchPath("edits.pdb");
    for (const EditCase& c : editCases()) {
        int steps = 0;
        fixtures::writeFileBytes(path, original);
        setWriteFaultHook([](void* count, int) { return ++*static_cast<int*>(count), false; },
                          &steps);
        ASSERT_EQ(c.change(path), 0) << c.what;
        EXPECT_EQ(readFileBytes(path), c.expected) << c.what;
        for (int k = 0; k < steps; ++k) {
            fixtures::writeFileBytes(path, original);
            setWriteFaultHook([](void* step, int now) { return now == *static_cast<int*>(step); },
                              &k);
            EXPECT_NE(c.change(path), 0) << c.what << ", step " << k;
            EXPECT_EQ(readFileBytes(path), original) << c.what << ", step " << k;
            EXPECT_FALSE(std::filesystem::exists(workFilePath(path)));
        }
        setWriteFaultHook(nullptr, nullptr);
    }
}

// An index that names no image, or a file that is no database, changes nothing.
TEST(ImageEdit, RefusalsLeaveTheFileAlone) {
    const Bytes original = sceneOf({0, 1, 2, 3});
    const std::string path = testing::scratchPath("edits.pdb");
    const std::function<std::int16_t()> refusals[] = {
        [&] { return deleteImages(path, {3}); }, [&] { return deleteImages(path, {}); },
        [&] { return renameImage(path, -1, "x"); }, [&] { return moveImage(path, 0, 3); }};
    for (const auto& refused : refusals) {
        fixtures::writeFileBytes(path, original);
        EXPECT_EQ(refused(), kEditNoSuchImage);
        EXPECT_EQ(readFileBytes(path), original);
    }
    Bytes notOurs = original;
    notOurs[64] = 'X';
    fixtures::writeFileBytes(path, notOurs);
    EXPECT_EQ(moveImage(path, 0, 1), kAppendNotImageDatabase);
    EXPECT_EQ(readFileBytes(path), notOurs);
}

}  // namespace
}  // namespace ferrovel
