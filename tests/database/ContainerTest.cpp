#include <gtest/gtest.h>

#include "database/ByteStream.h"
#include "database/Catalogue.h"
#include "database/Container.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;
using testing::OpenFile;
using testing::openScratch;

TEST(ContainerByteStream, WritesBothByteOrdersAndReadsOnesPastTheEnd) {
    const std::string path = testing::scratchPath("stream.bin");
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    writeU32BE(out, 0x12345678);
    writeU16BE(out, 0xABCD);
    writeU32LE(out, 0x12345678);
    writeU16LE(out, 0xABCD);
    writeU8(out, 0x5A);
    std::fclose(out);
    EXPECT_EQ(fixtures::readFileBytes(path), (Bytes{0x12, 0x34, 0x56, 0x78, 0xAB, 0xCD, 0x78, 0x56,
                                                    0x34, 0x12, 0xCD, 0xAB, 0x5A}));

    OpenFile in(std::fopen(path.c_str(), "rb"));
    ASSERT_TRUE(in);
    EXPECT_EQ(streamSize(in.get()), 13);
    seekTo(in.get(), 0);
    EXPECT_EQ(readU32BE(in.get()), 0x12345678u);
    EXPECT_EQ(readU16BE(in.get()), 0xABCDu);
    EXPECT_EQ(readU32LE(in.get()), 0x12345678u);
    EXPECT_EQ(readU16LE(in.get()), 0xABCDu);
    // Only the last byte is left: the rest of the value is ones.
    EXPECT_EQ(readU16BE(in.get()), 0x5AFFu);
    EXPECT_EQ(readU32LE(in.get()), 0xFFFFFFFFu);
    seekTo(in.get(), 0x1FFFFFFFEull);
    EXPECT_EQ(readU32BE(in.get()), 0xFFFFFFFFu);
    // A seek back after the end was hit reads real bytes again.
    seekTo(in.get(), 4);
    EXPECT_EQ(readU8(in.get()), 0xABu);
}

TEST(ContainerCreate, EmptyDatabaseIsByteExact) {
    const std::string path = testing::scratchPath("Sunsets.pdb");
    ASSERT_EQ(createEmptyDatabase(path), 0);
    Bytes expected = {'S', 'u', 'n', 's', 'e', 't', 's'};
    expected.resize(32, 0);
    const Bytes rest = {0x00, 0x08, 0x00, 0x00, 0x33, 0xB8, 0xBD, 0xA5, 0x33, 0xB8, 0xBD, 0xA5,
                        0x33, 0xB8, 0xBD, 0xA5, 0x00, 0x00, 0x00, 0x01, 0,    0,    0,    0,
                        0,    0,    0,    0,    'D',  'a',  't',  'a',  'Q',  'v',  'r',  'l',
                        0,    0,    0,    0,    0,    0,    0,    0,    0x00, 0x00, 0x00, 0x00};
    expected.insert(expected.end(), rest.begin(), rest.end());
    ASSERT_EQ(expected.size(), kEmptyDatabaseBytes);
    EXPECT_EQ(fixtures::readFileBytes(path), expected);

    const std::string longName(40, 'n');
    ASSERT_EQ(createEmptyDatabase(testing::scratchPath(longName + ".x.pdb")), 0);
    const Bytes cut = fixtures::readFileBytes(testing::scratchPath(longName + ".x.pdb"));
    ASSERT_EQ(cut.size(), kEmptyDatabaseBytes);
    EXPECT_EQ(std::string(cut.begin(), cut.begin() + 32),
              std::string(29, 'n') + '\0' + '\0' + '\0');

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
    OpenFile negative = openScratch("negative-count.pdb", bytes);
    EXPECT_EQ(readRecordCount(negative.get()), -32768);
    std::int16_t images = -1;
    EXPECT_EQ(queryCatalogue(negative.get(), 0, {&images, nullptr, nullptr}), kImageNotFound);
    EXPECT_EQ(images, 0);
    EXPECT_TRUE(listCatalogue(negative.get()).empty());

    // Cut after the first entry: the second entry's offset reads as ones.
    bytes[76] = 0x00;
    bytes[77] = 0x02;
    bytes.resize(kHeaderBytes + kRecordEntryBytes);
    OpenFile cut = openScratch("cut-entries.pdb", bytes);
    EXPECT_EQ(readRecordCount(cut.get()), 2);
    EXPECT_EQ(recordOffset(cut.get(), 0), kHeaderBytes + 2 * kRecordEntryBytes + 2);
    EXPECT_EQ(recordOffset(cut.get(), 1), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace ferrovel
