// The database container. Its byte orders and the ones read past its end
// are pinned by the byte-exact and the cut database and bitmap files.
#include <gtest/gtest.h>

#include "database/Catalogue.h"
#include "database/Container.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;
using testing::OpenFile;
using testing::openScratch;

TEST(ContainerCreate, EmptyDatabaseIsByteExact) {
    const std::string longName = testing::scratchPath(std::string(40, 'n') + ".x.pdb");
    ASSERT_EQ(createEmptyDatabase(longName), 0);
    EXPECT_EQ(fixtures::readFileBytes(longName), fixtures::buildDatabase(std::string(29, 'n'), {}));
    EXPECT_EQ(pathBaseName("C:\\pics.old\\archive.tar.pdb"), "archive.tar");
    EXPECT_EQ(createEmptyDatabase(testing::scratchPath("no-such-folder/x.pdb")), kCreateFailed);
}

TEST(ContainerValidation, OnlyTheCreatorDecides) {
    Bytes bytes = fixtures::buildDatabase("Valid", {});
    EXPECT_TRUE(isImageDatabase(openScratch("valid.pdb", bytes).get()));
    std::copy_n("Junk", 4, bytes.begin() + 60);
    EXPECT_TRUE(isImageDatabase(openScratch("other-type.pdb", bytes).get()));
    bytes.resize(68);
    EXPECT_TRUE(isImageDatabase(openScratch("68-bytes.pdb", bytes).get()));
    bytes.resize(67);
    EXPECT_FALSE(isImageDatabase(openScratch("67-bytes.pdb", bytes).get()));
    bytes = fixtures::buildDatabase("Valid", {});
    bytes[67] = 'L';
    EXPECT_FALSE(isImageDatabase(openScratch("other-creator.pdb", bytes).get()));
}

TEST(ContainerRecords, CountIsSignedAndMissingEntriesReadOnes) {
    Bytes bytes = fixtures::buildDatabase("Two", {fixtures::FixtureRecord{}, {}});
    bytes[76] = 0x80;
    bytes[77] = 0x00;
    const OpenFile negative = openScratch("negative-count.pdb", bytes);
    EXPECT_EQ(readRecordCount(negative.get()), -32768);
    std::int16_t images = -1;
    EXPECT_EQ(queryCatalogue(negative.get(), 0, {&images, nullptr, nullptr}), kImageNotFound);
    EXPECT_EQ(images, 0);
    EXPECT_TRUE(listCatalogue(negative.get()).empty());

    // Cut after the first entry: the second entry's offset reads as ones.
    bytes[76] = 0x00;
    bytes[77] = 0x02;
    bytes.resize(kHeaderBytes + kRecordEntryBytes);
    const OpenFile cut = openScratch("cut-entries.pdb", bytes);
    EXPECT_EQ(readRecordCount(cut.get()), 2);
    EXPECT_EQ(recordOffset(cut.get(), 0), kHeaderBytes + 2 * kRecordEntryBytes + 2);
    EXPECT_EQ(recordOffset(cut.get(), 1), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace ferrovel
