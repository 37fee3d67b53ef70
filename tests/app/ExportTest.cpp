#include <gtest/gtest.h>

#include <set>

#include "app/Export.h"
#include "interchange/Bmp.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using testing::scratchPath;
using Paths = std::vector<std::string>;

// What the export loop told its caller, and the files the hook says exist.
struct Recorder {
    std::set<std::string> existing;
    Paths paths, messages;
    std::vector<int> written;
    std::int16_t status = 0;
};

Recorder& of(void* context) {
    return *static_cast<Recorder*>(context);
}

ExportHooks hooksFor(Recorder& recorder, bool askRecorderForFiles = false) {
    ExportHooks hooks{&recorder};
    hooks.showOutputPath = [](void* c, const std::string& p) { of(c).paths.push_back(p); };
    hooks.showMessage = [](void* c, const char* text) { of(c).messages.push_back(text); };
    hooks.imageWritten = [](void* c, std::int16_t i, const std::string&) {
        of(c).written.push_back(i);
    };
    if (askRecorderForFiles)
        hooks.fileExists = [](void* c, const std::string& p) {
            return of(c).existing.count(p) > 0;
        };
    return hooks;
}

TEST(ExportPath, NumberedPathsDropABmpEndingAndAddTheIndex) {
    EXPECT_EQ(numberedExportPath(R"(C:\Out\Pics.bmp)", 2), R"(C:\Out\Pics002.bmp)");
    EXPECT_EQ(numberedExportPath(R"(C:\Out\Pics)", 0), R"(C:\Out\Pics000.bmp)");
    EXPECT_EQ(numberedExportPath(R"(C:\Out\Pics.BMP)", 7), R"(C:\Out\Pics007.bmp)");
    EXPECT_EQ(numberedExportPath(R"(C:\Out\Pics.bmp)", 1000), R"(C:\Out\Pics1000.bmp)");
    EXPECT_EQ(numberedExportPath("Pics.png", 1), "Pics.png001.bmp");
    EXPECT_EQ(numberedExportPath(".bmp", 1), ".bmp001.bmp");  // nothing would be left
}

TEST(ExportPath, NamedPathsPutTheImageNameInTheChosenFolder) {
    Recorder recorder;
    const ExportHooks hooks = hooksFor(recorder, true);
    const auto named = [&hooks](const std::string& name) {
        return namedExportPath(R"(C:\Out\x.bmp)", name, hooks);
    };
    EXPECT_EQ(named("Sunset"), R"(C:\Out\Sunset.bmp)");
    EXPECT_EQ(named("Tree/1"), R"(C:\Out\Tree_1.bmp)");
    EXPECT_EQ(named(""), R"(C:\Out\x.bmp)");
    EXPECT_EQ(named("Photo.BMP"), R"(C:\Out\Photo.BMP)");
    EXPECT_EQ(named(std::string(32, 'a') + "bbbbbbbb"),
              R"(C:\Out\)" + std::string(32, 'a') + ".bmp");
    EXPECT_EQ(named("AUX.bmp"), R"(C:\Out\_AUX.bmp)");
    EXPECT_EQ(namedExportPath("out/x.bmp", "ab", hooks), "out/ab.bmp");
    EXPECT_EQ(namedExportPath("x.bmp", "ab", hooks), "ab.bmp");

    const std::string unsafe = std::string("a\"*/:<>?\\`{|}b") + "\x01\x1f\x80\xe9 ~!";
    EXPECT_EQ(fileNameFromImageName(unsafe), "a____________b__\u20AC\u00E9 ~!");
    for (const char* name : {"CON", "con.txt", "PRN", "Aux.bmp", "NUL", "LPT1", "COM9", "nul "})
        EXPECT_EQ(fileNameFromImageName(name), std::string("_") + name);
    for (const char* name : {"CONSOLE", "COM0", "LPT10", "COM", "xNUL"})
        EXPECT_EQ(fileNameFromImageName(name), name);

    recorder.existing = {R"(C:\Out\Sunset.bmp)", R"(C:\Out\Photo.BMP)"};
    EXPECT_EQ(named("Sunset"), R"(C:\Out\Sunset [2].bmp)");
    EXPECT_EQ(named("Photo.BMP"), R"(C:\Out\Photo [2].bmp)");
    for (int n = 2; n <= 9; ++n)
        if (n != 5) recorder.existing.insert(R"(C:\Out\Sunset [)" + std::to_string(n) + "].bmp");
    EXPECT_EQ(named("Sunset"), R"(C:\Out\Sunset [5].bmp)");
    recorder.existing.insert(R"(C:\Out\Sunset [5].bmp)");
    EXPECT_EQ(named("Sunset"), R"(C:\Out\Sunset [9].bmp)");
}

// One 160 x 160 tile each, in 16 bits, of one colour.
const struct {
    const char* name;
    int red, green, blue;
} kImages[] = {{"Red", 248, 0, 0}, {"Tree/1", 0, 252, 0}, {"", 0, 0, 248}};

std::string exportDatabase() {
    testing::Records records;
    for (const auto& image : kImages) {
        records += testing::tiles(image.name, 160, 160, [&image](int, int, int) {
            return fixtures::rgb565(image.red, image.green, image.blue);
        });
    }
    return testing::writeScratchFile("export.pdb", fixtures::buildDatabase("Export", records));
}

Recorder exported(const ExportRequest& request) {
    Recorder recorder;
    recorder.status = exportImages(request, hooksFor(recorder));
    return recorder;
}

// The file holds image index of kImages, corner to corner.
void expectImageFile(const std::string& path, int index) {
    const BmpReadResult r = readBmp(path);
    ASSERT_EQ(r.status, 0) << path;
    const std::vector<int> bgr{kImages[index].blue, kImages[index].green, kImages[index].red};
    EXPECT_EQ(testing::pixelAt(r.canvas, 0, 0), bgr) << path;
    EXPECT_EQ(testing::pixelAt(r.canvas, 159, 159), bgr) << path;
}

TEST(ExportImages, WritesTheSelectedImageAndNamedFilesBesideExistingOnes) {
    const std::string database = exportDatabase();
    const std::string single = testing::freshFolder("single") + "one.bmp";
    const Recorder selected = exported({database, single, kExportSelected, 3, 1});
    EXPECT_EQ(selected.paths, Paths{single});
    EXPECT_EQ(selected.written, std::vector<int>{1});
    expectImageFile(single, 1);

    // Without a fileExists hook the loop looks at the disk, where Red.bmp is.
    const std::string folder = testing::freshFolder("named");
    fixtures::writeFileBytes(folder + "Red.bmp", {1});
    const Recorder named = exported({database, folder + "x.bmp", kExportByName, 3, 0});
    EXPECT_EQ(named.status, 0);
    EXPECT_EQ(named.paths,
              (Paths{folder + "Red [2].bmp", folder + "Tree_1.bmp", folder + "x.bmp"}));
    EXPECT_EQ(named.written, (std::vector<int>{0, 1, 2}));
    for (int i = 0; i < 3; ++i) expectImageFile(named.paths[static_cast<std::size_t>(i)], i);
}

TEST(ExportImages, ReportsAMissingDatabaseAndStopsAtTheFirstUnwritableFile) {
    const Recorder missing = exported({scratchPath("no-such.pdb"), "x.bmp", kExportNumbered, 3, 0});
    EXPECT_EQ(missing.status, kExportNoDatabase);
    EXPECT_EQ(missing.messages, Paths{kMessageNoSourceDatabase});
    EXPECT_TRUE(missing.paths.empty());

    const std::string base = scratchPath("no-such-folder/P.bmp");
    const Recorder unwritable = exported({exportDatabase(), base, kExportNumbered, 3, 0});
    EXPECT_EQ(unwritable.status, kBmpWriteOpenFailed);
    EXPECT_EQ(unwritable.messages, Paths{kMessageNoTargetFile});
    EXPECT_EQ(unwritable.paths, Paths{numberedExportPath(base, 0)});
    EXPECT_TRUE(unwritable.written.empty());
}

}  // namespace
}  // namespace ferrovel
