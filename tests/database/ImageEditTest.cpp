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
    for (const int g : order) records += groups[g];
    return fixtures::buildDatabase("Edits", records);
}

// Each change lands on the whole scene; an index that names no image, or a
// file that is no database, changes nothing. That a break at any step of the
// rewrite keeps the old database, the append tests show for the rewrite that
// edits share.
TEST(ImageEdit, KeepsEveryOtherRecordByteForByteAndRefusalsLeaveTheFileAlone) {
    const std::string path = testing::scratchPath("edits.pdb"), cafe = "Caf\xE9 au lait";
    const std::vector<int> all = {0, 1, 2, 3};
    const std::vector<std::int16_t> ends = {2, 0, 2};
    const struct {
        const char* what;
        std::int16_t status;
        std::vector<int> order;
        std::function<std::int16_t()> change;
        std::string name = "Layers";
    } cases[] = {
        {"delete the middle", 0, {0, 1, 3}, [&] { return deleteImages(path, {1}); }},
        {"delete the ends", 0, {0, 2}, [&] { return deleteImages(path, ends); }},
        {"move first to last", 0, {0, 2, 3, 1}, [&] { return moveImage(path, 0, 2); }},
        {"move last to first", 0, {0, 3, 1, 2}, [&] { return moveImage(path, 2, 0); }},
        {"rename", 0, all, [&] { return renameImage(path, 1, cafe); }, cafe},
        {"delete 3", kEditNoSuchImage, all, [&] { return deleteImages(path, {3}); }},
        {"delete none", kEditNoSuchImage, all, [&] { return deleteImages(path, {}); }},
        {"rename -1", kEditNoSuchImage, all, [&] { return renameImage(path, -1, "x"); }},
        {"move to 3", kEditNoSuchImage, all, [&] { return moveImage(path, 0, 3); }},
    };
    for (const auto& c : cases) {
        fixtures::writeFileBytes(path, sceneOf(all));
        ASSERT_EQ(c.change(), c.status) << c.what;
        EXPECT_EQ(readFileBytes(path), sceneOf(c.order, c.name)) << c.what;
    }
    Bytes notOurs = sceneOf(all);
    notOurs[64] = 'X';
    fixtures::writeFileBytes(path, notOurs);
    EXPECT_EQ(moveImage(path, 0, 1), kAppendNotImageDatabase);
    EXPECT_EQ(readFileBytes(path), notOurs);
}

}  // namespace
}  // namespace ferrovel
