#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/Imagedb.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DatabaseBuilder.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;
using testing::scratchPath;
using Args = std::vector<std::string>;

struct ToolRun {
    int status = -1;
    std::string out, err;
};

std::string readBack(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, got);
    std::fclose(file);
    return text;
}

ToolRun run(const Args& args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (!out || !err) return {};
    const int status = runImagedb(args, out, err);
    return {status, readBack(out), readBack(err)};
}

// A command line split at blanks; DB and OUT stand for the given files.
Args words(const std::string& line, const std::string& db = "", const std::string& out = "") {
    Args args;
    std::istringstream in(line);
    for (std::string w; in >> w;) args.push_back(w == "DB" ? db : w == "OUT" ? out : w);
    return args;
}

// Three 16-bit images: one tile, two tiles across, one tile with an awkward name.
std::string toolDatabase() {
    std::vector<fixtures::FixtureRecord> records;
    const std::pair<std::string, int> images[] = {
        {"Sunset", 20}, {"Two tiles", 200}, {"Say \"hi\" caf\xE9", 20}};
    for (const auto& [name, width] : images) {
        fixtures::TiledImage tiled;
        tiled.name = name;
        tiled.width = width;
        tiled.height = 10;
        tiled.valueAt = [](int, int x, int) { return fixtures::rgb565(x, 0, 0); };
        for (auto& record : fixtures::tiledImageRecords(tiled)) records.push_back(record);
    }
    return testing::writeScratchFile("tool.pdb", fixtures::buildDatabase("Tool", records));
}

TEST(Imagedb, NewCreatesAnEmptyDatabaseAndInfoDescribesIt) {
    const std::string path = scratchPath("new.pdb");
    std::remove(path.c_str());
    EXPECT_EQ(run({"new", path}).status, kExitOk);
    EXPECT_EQ(fixtures::readFileBytes(path).size(), 80u);
    fixtures::writeFileBytes(path, Bytes(10, 'x'));
    const ToolRun refused = run({"new", path});
    EXPECT_EQ(refused.status, kExitFailed);
    EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
    EXPECT_EQ(fixtures::readFileBytes(path), Bytes(10, 'x'));
    EXPECT_EQ(run({"new", "--force", path}).status, kExitOk);
    EXPECT_EQ(run({"info", path}).out, "File Size: 80 bytes\nDatabase Records: 0\nImages: 0\n");

    const std::string tool = toolDatabase();
    const ToolRun info = run({"info", tool});
    EXPECT_EQ(info.status, kExitOk) << info.err;
    EXPECT_EQ(info.out, "File Size: " + std::to_string(fixtures::readFileBytes(tool).size()) +
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
    const std::string path = toolDatabase(), folder = scratchPath("tool-out") + "/";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string out = folder + "pic.bmp";
    EXPECT_EQ(run({"export", path, out, "--index", "2"}).out, "wrote image 2 to " + out + "\n");
    EXPECT_TRUE(std::filesystem::exists(out));
    EXPECT_EQ(run({"export", path, out, "--all", "numbered"}).out,
              "wrote image 0 to " + folder + "pic000.bmp\nwrote image 1 to " + folder +
                  "pic001.bmp\nwrote image 2 to " + folder + "pic002.bmp\n");
    const ToolRun named = run({"export", path, out, "--all", "names"});
    EXPECT_EQ(named.status, kExitOk) << named.err;
    EXPECT_EQ(named.out, "wrote image 0 to " + folder + "Sunset.bmp\nwrote image 1 to " + folder +
                             "Two tiles.bmp\nwrote image 2 to " + folder + "Say _hi_ caf_.bmp\n");

    ToolRun r = run({"export", path, out, "--index", "3"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("there is no image 3"), std::string::npos) << r.err;
    r = run({"export", path, folder + "no-such-folder/pic.bmp"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("Could not open target image for write."), std::string::npos) << r.err;
}

TEST(Imagedb, RefusesFilesThatAreNotSoundDatabases) {
    const std::string junk = testing::writeScratchFile("junk.pdb", Bytes(100, 'j'));
    const ToolRun notOurs = run({"list", junk});
    EXPECT_EQ(notOurs.status, kExitFailed);
    EXPECT_EQ(notOurs.err,
              "imagedb: " + junk + ": File is not a valid Brushwick image database.\n");
    EXPECT_EQ(run({"info", scratchPath("no-such.pdb")}).status, kExitFailed);

    // Record 0 starts far past the end, record 1 has a negative width and
    // record 2's pixel rows are cut off by the end of the file.
    std::vector<fixtures::FixtureRecord> records(3);
    for (auto& record : records) {
        record.label = "#(0,0) - 160x160 Broken";
        record.rows = Bytes(320 * 160, 0x12);
    }
    records[1].width = -5;
    Bytes bytes = fixtures::buildDatabase("Broken", records);
    bytes[78] = 0x7F;  // high byte of the first record entry's offset
    bytes.resize(bytes.size() - 1000);
    const std::string broken = testing::writeScratchFile("broken.pdb", bytes);
    for (const char* line : {"info DB", "list DB --json", "export DB OUT --all numbered"}) {
        const ToolRun r = run(words(line, broken, scratchPath("broken.bmp")));
        const std::string& err = r.err;
        EXPECT_EQ(r.status, kExitFailed) << line;
        EXPECT_NE(err.find("record 0 starts past the end of the file"), std::string::npos) << err;
        EXPECT_NE(err.find("record 1 has a negative width or height"), std::string::npos) << err;
        EXPECT_NE(err.find("record 2 its pixel data run past the end"), std::string::npos) << err;
    }
}

TEST(Imagedb, UsageErrorsExitWithTwoAndHelpWithZero) {
    const std::string db = toolDatabase(), out = scratchPath("usage.bmp");
    for (const char* line :
         {"", "frobnicate", "list DB --bogus", "info", "info DB DB", "new a.pdb b.pdb", "export DB",
          "export DB OUT --index", "export DB OUT --index 1 --all names", "export DB OUT --index x",
          "export DB OUT --index -1", "export DB OUT --index 40000",
          "export DB OUT --all sideways"}) {
        const ToolRun r = run(words(line, db, out));
        EXPECT_EQ(r.status, kExitUsage) << line;
        EXPECT_EQ(r.err.rfind("imagedb: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("usage: imagedb"), std::string::npos) << r.err;
    }
    for (const char* line : {"--help", "help", "-h", "help frobnicate"})
        EXPECT_EQ(run(words(line)).out.rfind("usage: imagedb <command>", 0), 0u) << line;
    for (const std::string command : {"new", "info", "list", "export"}) {
        for (const Args& args :
             std::vector<Args>{{command, "--help"}, {"help", command}, {command, db, "-h"}}) {
            const ToolRun r = run(args);
            EXPECT_EQ(r.status, kExitOk) << command;
            EXPECT_EQ(r.out.rfind("usage: imagedb " + command + " ", 0), 0u) << r.out;
        }
    }
}

}  // namespace
}  // namespace ferrovel
