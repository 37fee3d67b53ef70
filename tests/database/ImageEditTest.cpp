// Deleting, renaming and moving images, against databases assembled here
// from the records in their expected order: every record that is not
// changed must come out byte for byte, with its attribute word.
#include <gtest/gtest.h>

#include <functional>

#include "database/Append.h"
#include "database/ImageEdit.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;
using fixtures::FixtureRecord;
using fixtures::readFileBytes;

// The scene's groups of records in this order: two stray continuation
// records, a picture of two tiles across, a picture of two layers and a
// one-tile picture (images 0, 1 and 2). Every entry has attributes of its own.
Bytes sceneOf(const std::vector<int>& order, const std::string& secondName = "Layers") {
    const auto value = [](int layer, int x, int y) {
        return fixtures::rgb565(x + layer * 9, y, 3);
    };
    std::vector<FixtureRecord> groups[] = {
        {testing::makeRecord(8, 160, 160), testing::makeRecord(8, 160, 160)},
        testing::tiles("Wide", 300, 100, value),
        fixtures::tiledImageRecords({secondName, 160, 160, 16, 2, true, true, value}),
        testing::tiles("Single", 40, 30, value, 1, true)};
    groups[0][0].label = groups[0][1].label = "#(1,0) - 320x160 Lost";
    std::uint32_t attributes = 0x40000001;
    for (auto& group : groups) {
        for (FixtureRecord& record : group) record.attributes = attributes++;
    }
    std::vector<FixtureRecord> records;
    for (const int g : order) records.insert(records.end(), groups[g].begin(), groups[g].end());
    return fixtures::buildDatabase("Edits", records);
}

// That a break at any step of the rewrite keeps the old database, the
// append tests show for the rewrite that edits share.
TEST(ImageEdit, KeepsEveryOtherRecordByteForByte) {
    const std::string path = testing::scratchPath("edits.pdb");
    const auto expectEdit = [&](const char* what, const std::function<std::int16_t()>& change,
                                const Bytes& expected) {
        fixtures::writeFileBytes(path, sceneOf({0, 1, 2, 3}));
        ASSERT_EQ(change(), 0) << what;
        EXPECT_EQ(readFileBytes(path), expected) << what;
    };
    expectEdit(
        "delete the middle", [&] { return deleteImages(path, {1}); }, sceneOf({0, 1, 3}));
    expectEdit(
        "delete the ends",
        [&] {
            return deleteImages(path, {2, 0, 2});
        },
        sceneOf({0, 2}));
    expectEdit(
        "move first to last", [&] { return moveImage(path, 0, 2); }, sceneOf({0, 2, 3, 1}));
    expectEdit(
        "move last to first", [&] { return moveImage(path, 2, 0); }, sceneOf({0, 3, 1, 2}));
    expectEdit(
        "rename the layers", [&] { return renameImage(path, 1, "Caf\xE9 au lait"); },
        sceneOf({0, 1, 2, 3}, "Caf\xE9 au lait"));
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
