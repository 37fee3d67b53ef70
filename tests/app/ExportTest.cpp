#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "app/Export.h"
#include "interchange/Bmp.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DatabaseBuilder.h"

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
    const std::string chosen = R"(C:\Out\x.bmp)";
    EXPECT_EQ(namedExportPath(chosen, "Sunset", hooks), R"(C:\Out\Sunset.bmp)");
    EXPECT_EQ(namedExportPath(chosen, "Tree/1", hooks), R"(C:\Out\Tree_1.bmp)");
    EXPECT_EQ(namedExportPath(chosen, "", hooks), chosen);
    EXPECT_EQ(namedExportPath(chosen, "Photo.BMP", hooks), R"(C:\Out\Photo.BMP)");
    EXPECT_EQ(namedExportPath(chosen, std::string(32, 'a') + "bbbbbbbb", hooks),
              R"(C:\Out\)" + std::string(32, 'a') + ".bmp");
    EXPECT_EQ(namedExportPath("out/x.bmp", "ab", hooks), "out/ab.bmp");
    EXPECT_EQ(namedExportPath("x.bmp", "ab", hooks), "ab.bmp");

    const std::string unsafe = std::string("a\"*/:<>?\\`{|}b") + "\x01\x1f\x80\xff ~!";
    EXPECT_EQ(fileNameFromImageName(unsafe), "a____________b____ ~!");
    for (const char* name : {"CON", "con.txt", "PRN", "Aux.bmp", "NUL", "LPT1", "COM9", "nul "})
        EXPECT_EQ(fileNameFromImageName(name), std::string("_") + name) << name;
    for (const char* name : {"CONSOLE", "COM0", "LPT10", "COM", "xNUL"})
        EXPECT_EQ(fileNameFromImageName(name), name) << name;
    EXPECT_EQ(namedExportPath(chosen, "AUX.bmp", hooks), R"(C:\Out\_AUX.bmp)");

    recorder.existing = {R"(C:\Out\Sunset.bmp)", R"(C:\Out\Photo.BMP)"};
    EXPECT_EQ(namedExportPath(chosen, "Sunset", hooks), R"(C:\Out\Sunset [2].bmp)");
    EXPECT_EQ(namedExportPath(chosen, "Photo.BMP", hooks), R"(C:\Out\Photo [2].bmp)");
    for (int n = 2; n <= 9; ++n)
        recorder.existing.insert(R"(C:\Out\Sunset [)" + std::to_string(n) + "].bmp");
    recorder.existing.erase(R"(C:\Out\Sunset [5].bmp)");
    EXPECT_EQ(namedExportPath(chosen, "Sunset", hooks), R"(C:\Out\Sunset [5].bmp)");
    recorder.existing.insert(R"(C:\Out\Sunset [5].bmp)");
    EXPECT_EQ(namedExportPath(chosen, "Sunset", hooks), R"(C:\Out\Sunset [9].bmp)");
}

// One 160 x 160 tile each, in 16 bits, of one colour.
const struct {
    const char* name;
    int red, green, blue;
} kImages[] = {{"Red", 248, 0, 0}, {"Tree/1", 0, 252, 0}, {"", 0, 0, 248}};

std::string exportDatabase() {
    std::vector<fixtures::FixtureRecord> records;
    for (const auto& image : kImages) {
        fixtures::TiledImage tiled;
        tiled.name = image.name;
        tiled.valueAt = [&image](int, int, int) {
            return fixtures::rgb565(image.red, image.green, image.blue);
        };
        for (auto& record : fixtures::tiledImageRecords(tiled)) records.push_back(record);
    }
    return testing::writeScratchFile("export.pdb", fixtures::buildDatabase("Export", records));
}

void expectImageFile(const std::string& path, int index) {
    const BmpReadResult r = readBmp(path);
    ASSERT_EQ(r.status, 0) << path;
    const auto& image = kImages[index];
    const std::vector<int> bgr{image.blue, image.green, image.red};
    for (std::size_t at : {std::size_t{0}, std::size_t{(160 * 160 - 1) * 3}})
        EXPECT_EQ(std::vector<int>(&r.canvas.pixels[at], &r.canvas.pixels[at] + 3), bgr) << path;
}

std::string freshFolder(const std::string& name) {
    const std::string folder = scratchPath(name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder + "/";
}

Recorder exported(const ExportRequest& request) {
    Recorder recorder;
    recorder.status = exportImages(request, hooksFor(recorder));
    return recorder;
}

TEST(ExportImages, WritesNumberedSelectedAndNamedFiles) {
    const std::string database = exportDatabase();
    const std::string numberedFolder = freshFolder("numbered");
    const Recorder numbered = exported({database, numberedFolder + "P.bmp", kExportNumbered, 3, 1});
    EXPECT_EQ(numbered.status, 0);
    EXPECT_EQ(numbered.paths, (Paths{numberedFolder + "P000.bmp", numberedFolder + "P001.bmp",
                                     numberedFolder + "P002.bmp"}));
    EXPECT_EQ(numbered.written, (std::vector<int>{0, 1, 2}));
    for (int i = 0; i < 3; ++i) expectImageFile(numbered.paths[static_cast<std::size_t>(i)], i);

    const std::string single = freshFolder("single") + "one.bmp";
    const Recorder selected = exported({database, single, kExportSelected, 3, 1});
    EXPECT_EQ(selected.paths, Paths{single});
    EXPECT_EQ(selected.written, std::vector<int>{1});
    expectImageFile(single, 1);

    // Without a fileExists hook the loop looks at the disk, where Red.bmp is.
    const std::string namedFolder = freshFolder("named");
    fixtures::writeFileBytes(namedFolder + "Red.bmp", {1});
    const Recorder named = exported({database, namedFolder + "x.bmp", kExportByName, 3, 0});
    EXPECT_EQ(named.paths, (Paths{namedFolder + "Red [2].bmp", namedFolder + "Tree_1.bmp",
                                  namedFolder + "x.bmp"}));
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
