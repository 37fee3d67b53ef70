#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/Imagedb.h"
#include "database/Catalogue.h"
#include "interchange/Bmp.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;
using fixtures::readFileBytes;
using testing::scratchPath;
using Args = std::vector<std::string>;

struct ToolRun {
    int status = -1;
    std::string out, err;
};

// Runs the tool in-process, its output and errors caught in temporary files.
ToolRun run(const Args& args) {
    std::FILE* files[] = {std::tmpfile(), std::tmpfile()};
    if (!files[0] || !files[1]) return {};
    ToolRun r{runImagedb(args, files[0], files[1]), "", ""};
    for (std::FILE* file : files) {
        std::rewind(file);
        for (int c; (c = std::fgetc(file)) != EOF;) (file == files[0] ? r.out : r.err) += char(c);
        std::fclose(file);
    }
    return r;
}

// A command line split at blanks; DB, OUT and IN stand for the given files.
Args words(const std::string& line, const std::string& db = "", const std::string& out = "",
           const std::string& in = "") {
    Args args;
    std::istringstream words(line);
    for (std::string w; words >> w;)
        args.push_back(w == "DB" ? db : w == "OUT" ? out : w == "IN" ? in : w);
    return args;
}

// Three 16-bit images: one tile, two tiles across, one tile with an awkward name.
std::string toolDatabase() {
    testing::Records records;
    for (const auto& [name, width] : {std::pair<std::string, int>{"Sunset", 20},
                                      {"Two tiles", 200},
                                      {"Say \"hi\" caf\xE9", 20}})
        records += testing::tiles(name, width, 10,
                                  [](int, int x, int) { return fixtures::rgb565(x, 0, 0); });
    return testing::writeScratchFile("tool.pdb", fixtures::buildDatabase("Tool", records));
}

// A bitmap of a gradient picture.
std::string bitmap(const std::string& name, int width, int height) {
    const std::string path = scratchPath(name);
    EXPECT_EQ(writeBmp(path, testing::gradient(width, height)), 0);
    return path;
}

// "name WxH; " for every image of the database.
std::string images(const std::string& database) {
    const testing::OpenFile file(std::fopen(database.c_str(), "rb"));
    std::string text;
    for (const CatalogueEntry& entry : listCatalogue(file.get())) {
        text += entry.name + " " + std::to_string(entry.info.width) + "x" +
                std::to_string(entry.info.height) + "; ";
    }
    return text;
}

TEST(Imagedb, NewCreatesAnEmptyDatabaseAndInfoDescribesIt) {
    const std::string path = scratchPath("new.pdb");
    std::remove(path.c_str());
    EXPECT_EQ(run({"new", path}).status, kExitOk);
    EXPECT_EQ(readFileBytes(path).size(), 80u);
    fixtures::writeFileBytes(path, Bytes(10, 'x'));
    const ToolRun refused = run({"new", path});
    EXPECT_EQ(refused.status, kExitFailed);
    EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
    EXPECT_EQ(readFileBytes(path), Bytes(10, 'x'));
    EXPECT_EQ(run({"new", "--force", path}).status, kExitOk);
    EXPECT_EQ(run({"info", path}).out, "File Size: 80 bytes\nDatabase Records: 0\nImages: 0\n");

    const std::string tool = toolDatabase();
    const ToolRun info = run({"info", tool});
    EXPECT_EQ(info.status, kExitOk) << info.err;
    EXPECT_EQ(info.out, "File Size: " + std::to_string(readFileBytes(tool).size()) +
                            " bytes\nDatabase Records: 4\nImages: 3\n");
}

TEST(Imagedb, ListShowsEveryImageAsTextAndAsJson) {
    const std::string path = toolDatabase();
    ToolRun r = run({"list", path});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("1\tTwo tiles\t200 x 10\t16 bits\t1 layer\t102400 bytes\n"),
              std::string::npos)
        << r.out;
    r = run({"list", "--json", path});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out.substr(0, 5) + r.out.substr(r.out.size() - 4), "[\n  {}\n]\n") << r.out;
    EXPECT_NE(r.out.find("{\"index\": 1, \"name\": \"Two tiles\", \"width\": 200, \"height\": 10, "
                         "\"bits\": 16, \"layers\": 1, \"bytes\": 102400, \"firstRecord\": 1, "
                         "\"tilesAcross\": 2, \"tilesDown\": 1},\n"),
              std::string::npos)
        << r.out;
    // Label bytes are not UTF-8: each goes out as the Latin-1 character of its code.
    EXPECT_NE(r.out.find("\"name\": \"Say \\\"hi\\\" caf\\u00e9\""), std::string::npos) << r.out;
}

TEST(Imagedb, ExportPrintsWhatItWrote) {
    const std::string path = toolDatabase(), folder = testing::freshFolder("tool-out");
    const std::string out = folder + "pic.bmp";
    EXPECT_EQ(run({"export", path, out, "--index", "2"}).out, "wrote image 2 to " + out + "\n");
    EXPECT_TRUE(std::filesystem::exists(out));
    EXPECT_EQ(run({"export", path, out, "--all", "numbered"}).out,
              "wrote image 0 to " + folder + "pic000.bmp\nwrote image 1 to " + folder +
                  "pic001.bmp\nwrote image 2 to " + folder + "pic002.bmp\n");
    // Every image of a whole export is the file a single export of it gives.
    for (const std::string index : {"0", "1", "2"}) {
        EXPECT_EQ(run({"export", path, out, "--index", index}).status, kExitOk);
        EXPECT_EQ(readFileBytes(folder + "pic00" + index + ".bmp"), readFileBytes(out)) << index;
    }
    const ToolRun named = run({"export", path, out, "--all", "names"});
    EXPECT_EQ(named.status, kExitOk) << named.err;
    EXPECT_EQ(named.out, "wrote image 0 to " + folder + "Sunset.bmp\nwrote image 1 to " + folder +
                             "Two tiles.bmp\nwrote image 2 to " + folder +
                             "Say _hi_ caf\u00E9.bmp\n");

    ToolRun r = run({"export", path, out, "--index", "3"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("there is no image 3"), std::string::npos) << r.err;
    r = run({"export", path, folder + "no-such-folder/pic.bmp"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("Could not open target image for write."), std::string::npos) << r.err;
}

TEST(Imagedb, RefusesFilesThatAreNotSoundDatabases) {
    const std::string junk = testing::writeScratchFile("junk.pdb", Bytes(100, 'j'));
    for (const char* line : {"list DB", "import DB IN"}) {
        const ToolRun r = run(words(line, junk, "", bitmap("junk.bmp", 20, 20)));
        EXPECT_EQ(r.status, kExitFailed);
        EXPECT_EQ(r.err, "imagedb: " + junk + ": File is not a valid Brushwick image database.\n");
    }
    EXPECT_EQ(readFileBytes(junk), Bytes(100, 'j'));
    EXPECT_EQ(run({"info", scratchPath("no-such.pdb")}).status, kExitFailed);

    // Record 0 starts far past the end and the last record's pixel rows are
    // cut off by the end of the file; what can be read is still read.
    Bytes bytes = readFileBytes(toolDatabase());
    bytes[78] = 0x7F;  // high byte of the first record entry's offset
    bytes.resize(bytes.size() - 1000);
    const std::string broken = testing::writeScratchFile("broken.pdb", bytes);
    for (const char* line : {"info DB", "list DB --json", "export DB OUT --all numbered"}) {
        const ToolRun r = run(words(line, broken, scratchPath("broken.bmp")));
        EXPECT_EQ(r.status, kExitFailed) << line;
        const std::string at = "imagedb: " + broken + ": record ";
        EXPECT_EQ(r.err, at + "0 starts past the end of the file\n" + at +
                             "3 its pixel data run past the end of the file\n");
    }
}

TEST(Imagedb, UsageErrorsExitWithTwoAndChangeNothingAndHelpWithZero) {
    const std::string db = testing::emptyDatabase("usage.pdb"), out = scratchPath("usage.bmp");
    const std::string in = bitmap("usage-in.bmp", 20, 20);
    for (const char* line :
         {"", "frobnicate", "list DB --bogus", "info", "info DB DB", "new a.pdb b.pdb", "export DB",
          "export DB OUT --index", "export DB OUT --index 1 --all names", "export DB OUT --index x",
          "export DB OUT --index -1", "export DB OUT --index 40000", "export DB OUT --all sideways",
          "import DB IN IN --name Twice", "import DB IN --contrast 101",
          "import DB IN --brightness -101", "import DB IN --format 3"}) {
        const ToolRun r = run(words(line, db, out, in));
        EXPECT_EQ(r.status, kExitUsage) << line;
        EXPECT_EQ(r.err.rfind("imagedb: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("usage: imagedb"), std::string::npos) << r.err;
    }
    EXPECT_EQ(readFileBytes(db).size(), 80u);
    for (const char* line : {"--help", "help", "-h", "help frobnicate"})
        EXPECT_EQ(run(words(line)).out.rfind("usage: imagedb <command>", 0), 0u) << line;
    for (const std::string command : {"new", "info", "list", "import", "export"}) {
        for (const Args& args :
             std::vector<Args>{{command, "--help"}, {"help", command}, {command, db, "-h"}}) {
            const ToolRun r = run(args);
            EXPECT_EQ(r.status, kExitOk) << command;
            EXPECT_EQ(r.out.rfind("usage: imagedb " + command + " ", 0), 0u) << r.out;
        }
    }
}

TEST(ImagedbImport, SixteenBitRoundTripStaysWithinQuantisation) {
    const RgbImage picture = testing::gradient(160, 144);
    const std::string db = testing::emptyDatabase("trip.pdb"), in = bitmap("trip.bmp", 160, 144);
    const std::string out = scratchPath("trip-out.bmp");
    const ToolRun imported = run({"import", db, in, "--format", "16", "--no-dither"});
    ASSERT_EQ(imported.status, kExitOk) << imported.err;
    ASSERT_EQ(run({"export", db, out}).status, kExitOk);
    const BmpReadResult back = readBmp(out);
    ASSERT_EQ(back.status, 0);
    ASSERT_EQ(back.canvas.width, 160);
    ASSERT_EQ(back.canvas.height, 160);  // a one-tile image comes out as its whole tile
    // The neutral adjustment's integer HLS round trip moves a channel by -7
    // to +6 (red by at most +3 up), then 5-6-5 drops up to 7 of red and blue
    // and 3 of green. Over all 2^24 colours that gives the bounds below; this
    // picture reaches red -12..1, green -9..4 and blue -12..5.
    const int lowest[3] = {-14, -10, -14}, highest[3] = {3, 6, 6};
    // Both are 160 wide: the picture's 144 rows line up with the top of the tile.
    for (std::size_t pixel = 0; pixel < picture.pixels.size(); pixel += 3) {
        for (int c = 0; c < 3; ++c) {
            const int sent = picture.pixels[pixel + static_cast<std::size_t>(c)];
            const int got = back.canvas.pixels[pixel + 2 - static_cast<std::size_t>(c)];
            ASSERT_TRUE(got - sent >= lowest[c] && got - sent <= highest[c])
                << "pixel " << pixel / 3 << " channel " << c << ": " << sent << " came back as "
                << got;
        }
    }
}

TEST(ImagedbImport, SizeBoxesFitTheCanvasAndNamesComeFromTheFile) {
    const std::string db = testing::emptyDatabase("sizes.pdb");
    const std::string wide = bitmap("wide.bmp", 320, 240), tall = bitmap("tall.bmp", 240, 320);
    const std::string small = bitmap("small.bmp", 100, 50);
    for (const Args& options :
         std::vector<Args>{{wide, "--size", "160x160"},
                           {tall, "--size", "160x160", "--keep-proportions"},
                           {wide, "--size", "160x160", "--stretch"},
                           {wide, "--size", "200x100"},
                           {small, "--size", "original"},
                           {small, "--format", "8", "--contrast", "100", "--brightness", "-100"}}) {
        Args args = {"import", db};
        args.insert(args.end(), options.begin(), options.end());
        const ToolRun r = run(args);
        EXPECT_EQ(r.status, kExitOk) << r.err;
    }
    // A 100 x 50 bitmap lies on a canvas of 160 x 144.
    EXPECT_EQ(images(db),
              "wide 160x120; tall 120x160; wide 160x160; wide 133x100; small 160x144; "
              "small 160x144; ");
}

TEST(ImagedbImport, AFileThatIsNoBitmapIsReportedAndSkipped) {
    const std::string db = testing::emptyDatabase("skip.pdb");
    const std::string first = bitmap("first.bmp", 20, 20), last = bitmap("last.bmp", 20, 20);
    const std::string notes = testing::writeScratchFile("notes.bmp", Bytes(60, 'n'));
    const ToolRun r = run({"import", db, first, notes, last});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(r.err.rfind("imagedb: " + notes + ": ", 0), 0u) << r.err;
    EXPECT_EQ(images(db), "first 160x144; last 160x144; ");
}

}  // namespace
}  // namespace ferrovel
