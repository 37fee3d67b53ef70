// What the tool does when the disk says no: a full file system, a read-only
// one, a work file that cannot be removed. Each time the user is told, and
// the database is still there, whole, as it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "cli/Imagedb.h"
#include "database/WorkFile.h"
#include "interchange/Bmp.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DemoDatabase.h"

namespace ferrovel {
namespace {

namespace fs = std::filesystem;

std::string runImport(const std::vector<std::string>& args, int& status) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    status = runImagedb(args, out, err);
    std::string text;
    std::rewind(err);
    for (int c; (c = std::fgetc(err)) != EOF;) text += static_cast<char>(c);
    std::fclose(out);
    std::fclose(err);
    return text;
}

std::string picture(int width, int height) {
    RgbImage image;
    image.width = static_cast<std::int16_t>(width);
    image.height = static_cast<std::int16_t>(height);
    image.pixels.resize(static_cast<std::size_t>(width * height * 3));
    for (std::size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = static_cast<std::uint8_t>(i * 13 + i / 7);
    const std::string path = testing::scratchPath("failure-picture.bmp");
    writeBmp(path, image);
    return path;
}

#ifndef _WIN32
// A small file system of its own, so that the disk really fills or refuses writes.
class SmallFileSystem : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = testing::scratchPath("small-fs");
        fs::create_directories(folder_);
        const std::string mount = "mount -t tmpfs -o size=400k tmpfs '" + folder_ + "' 2>/dev/null";
        if (std::system(mount.c_str()) != 0)
            GTEST_SKIP() << "cannot mount a small file system here";
        mounted_ = true;
        database_ = folder_ + "/pictures.pdb";
        fixtures::writeFileBytes(database_, fixtures::demoDatabase());  // about 210 KB
        before_ = fixtures::readFileBytes(database_);
    }
    void TearDown() override {
        if (mounted_) std::system(("umount '" + folder_ + "'").c_str());
    }
    void expectUnchanged() {
        EXPECT_EQ(fixtures::readFileBytes(database_), before_) << "the database changed";
        EXPECT_FALSE(fs::exists(workFilePath(database_))) << "a work file was left behind";
    }
    std::string folder_, database_;
    fixtures::Bytes before_;
    bool mounted_ = false;
};

TEST_F(SmallFileSystem, AFullDiskFailsTheImportAndKeepsTheDatabase) {
    int status = 0;
    // The rewrite needs a second copy of the database: it cannot fit.
    const std::string err =
        runImport({"import", database_, picture(320, 320), "--format", "16"}, status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.find("Could not open target database file for write."), std::string::npos) << err;
    expectUnchanged();
}

TEST_F(SmallFileSystem, AReadOnlyDatabaseIsRefusedUnchanged) {
    ASSERT_EQ(std::system(("mount -o remount,ro '" + folder_ + "'").c_str()), 0);
    int status = 0;
    const std::string err = runImport({"import", database_, picture(40, 40)}, status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.find("Could not open temporary work file."), std::string::npos) << err;
    expectUnchanged();
}
#endif

TEST(FailurePaths, AWorkFileThatCannotBeRemovedStopsTheAppendBeforeAnythingIsWritten) {
    const std::string database = testing::writeScratchFile("stuck.pdb", fixtures::demoDatabase());
    const fixtures::Bytes before = fixtures::readFileBytes(database);
    // A folder in the work file's place: neither deleted nor replaced by a rename.
    fs::create_directories(workFilePath(database));
    fs::create_directories(workFilePath(database) + "/inside");
    int status = 0;
    const std::string err = runImport({"import", database, picture(40, 40)}, status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.find("Could not open temporary work file."), std::string::npos) << err;
    EXPECT_EQ(fixtures::readFileBytes(database), before);
    fs::remove_all(workFilePath(database));
}

}  // namespace
}  // namespace ferrovel
