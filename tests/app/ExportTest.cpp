#include <gtest/gtest.h>

#include <set>

#include "app/Export.h"
#include "tests/TestSupport.h"

namespace ferrovel {
namespace {

using testing::scratchPath;
using Paths = std::vector<std::string>;

TEST(ExportPath, NumberedPathsDropABmpEndingNamedOnesTakeTheImageName) {
    EXPECT_EQ(numberedExportPath(R"(C:\Out\Pics)", 0), R"(C:\Out\Pics000.bmp)");
    EXPECT_EQ(numberedExportPath(R"(C:\Out\Pics.BMP)", 7), R"(C:\Out\Pics007.bmp)");
    EXPECT_EQ(numberedExportPath(R"(C:\Out\Pics.bmp)", 1000), R"(C:\Out\Pics1000.bmp)");
    EXPECT_EQ(numberedExportPath("Pics.png", 1), "Pics.png001.bmp");
    EXPECT_EQ(numberedExportPath(".bmp", 1), ".bmp001.bmp");  // nothing would be left
    // Named paths put the image name in the chosen folder; the hook's view of
    // the disk is that these files exist.
    std::set<std::string> disk;
    ExportHooks hooks{&disk};
    hooks.fileExists = [](void* c, const std::string& p) {
        return static_cast<std::set<std::string>*>(c)->count(p) > 0;
    };
    const auto named = [&hooks](const std::string& name) {
        return namedExportPath(R"(C:\Out\x.bmp)", name, hooks);
    };
    EXPECT_EQ(named("Tree/1"), R"(C:\Out\Tree_1.bmp)");
    EXPECT_EQ(named(""), R"(C:\Out\x.bmp)");
    EXPECT_EQ(named("Photo.BMP"), R"(C:\Out\Photo.BMP)");
    EXPECT_EQ(named(std::string(32, 'a') + "bbbbbbbb"),
              R"(C:\Out\)" + std::string(32, 'a') + ".bmp");
    EXPECT_EQ(namedExportPath("out/x.bmp", "ab", hooks), "out/ab.bmp");
    EXPECT_EQ(namedExportPath("x.bmp", "ab", hooks), "ab.bmp");

    const std::string unsafe = std::string("a\"*/:<>?\\`{|}b") + "\x01\x1f\x80\xe9 ~!";
    EXPECT_EQ(fileNameFromImageName(unsafe), "a____________b__\u20AC\u00E9 ~!");
    for (const char* name : {"CON", "con.txt", "PRN", "Aux.bmp", "NUL", "LPT1", "COM9", "nul "})
        EXPECT_EQ(fileNameFromImageName(name), std::string("_") + name);
    for (const char* name : {"CONSOLE", "COM0", "LPT10", "COM", "xNUL"})
        EXPECT_EQ(fileNameFromImageName(name), name);

    disk = {R"(C:\Out\Sunset.bmp)", R"(C:\Out\Photo.BMP)"};
    EXPECT_EQ(named("Sunset"), R"(C:\Out\Sunset [2].bmp)");
    EXPECT_EQ(named("Photo.BMP"), R"(C:\Out\Photo [2].bmp)");
    for (int n = 2; n <= 9; ++n)
        if (n != 5) disk.insert(R"(C:\Out\Sunset [)" + std::to_string(n) + "].bmp");
    EXPECT_EQ(named("Sunset"), R"(C:\Out\Sunset [5].bmp)");
    disk.insert(R"(C:\Out\Sunset [5].bmp)");
    EXPECT_EQ(named("Sunset"), R"(C:\Out\Sunset [9].bmp)");
}

// Writing, naming on disk and unwritable files are checked through imagedb,
// which runs this loop; a missing database it catches before the loop does.
TEST(ExportImages, ReportsAMissingDatabase) {
    Paths messages;
    ExportHooks hooks{&messages};
    hooks.showMessage = [](void* c, const char* text) { static_cast<Paths*>(c)->push_back(text); };
    EXPECT_EQ(exportImages({scratchPath("no-such.pdb"), "x.bmp", kExportNumbered, 3, 0}, hooks),
              kExportNoDatabase);
    EXPECT_EQ(messages, Paths{kMessageNoSourceDatabase});
}

}  // namespace
}  // namespace ferrovel
