#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "database/Catalogue.h"
#include "interchange/Bmp.h"
#include "tests/cli/ToolRun.h"
#include "tests/database/DatabaseTestSupport.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;
using fixtures::readFileBytes;
using testing::run;
using testing::scratchPath;
using testing::ToolRun;
using Args = std::vector<std::string>;

// A command line split at blanks, with each key of files replaced by its file.
Args words(const std::string& line, const std::map<std::string, std::string>& files) {
    Args args;
    std::istringstream in(line);
    for (std::string w; in >> w;) args.push_back(files.contains(w) ? files.at(w) : w);
    return args;
}

// Four 16-bit images: one tile, two tiles across, and two whose names hold
// bytes of the handheld's character set and control characters (the first
// tab of a label reads as a blank).
std::string toolDatabase() {
    testing::Records records;
    for (const auto& [name, width] : {std::pair<std::string, int>{"Sunset", 20},
                                      {"Two tiles", 200},
                                      {"Say \"hi\" caf\xE9\x81\x7F\x01", 20},
                                      {"Tab\tand\tbreak\r\\", 20}})
        records += testing::tiles(name, width, 10,
                                  [](int, int x, int) { return fixtures::rgb565(x, 0, 0); });
    return testing::writeScratchFile("tool.pdb", fixtures::buildDatabase("Tool", records));
}

// "name WxH; " for every image of the database.
std::string images(const std::string& database) {
    std::string text;
    for (const CatalogueEntry& e :
         listCatalogue(testing::OpenFile(std::fopen(database.c_str(), "rb")).get()))
        text += e.name + " " + std::to_string(e.info.width) + "x" + std::to_string(e.info.height) +
                "; ";
    return text;
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Imagedb, CommandLinesExitAsTheConventionsSay) {
    const std::map<std::string, std::string> files = {
        {"DB", toolDatabase()},
        {"OUT", scratchPath("usage.bmp")},
        {"IN", testing::gradientBitmap("usage-in.bmp", 20, 20)},
        {"EMPTY", testing::emptyDatabase("empty.pdb")},
        {"NOWHERE", scratchPath("no-such-folder/pic.bmp")}};
    const Bytes before = readFileBytes(files.at("DB"));
    // Each line with the status it exits with and a piece of what it prints,
    // on the output when it succeeds and on the error output when it fails;
    // "!" first runs it with an output that takes no write.
    const std::tuple<const char*, int, const char*> cases[] = {
        {"help", kExitOk, "check "},
        {"help export", kExitOk, "usage: imagedb export [options] DB.pdb OUT.bmp"},
        {"import --help", kExitOk, "usage: imagedb import [options] DB.pdb PICTURE..."},
        {"delete DB 1 9", kExitFailed, "there is no image 9; the database holds 4"},
        {"rename DB 2 Dusk --dry-run", kExitOk, "would rename image 2"},
        {"move DB 0 1 --dry-run", kExitOk, "would move image 0 \"Sunset\" (1 record) to index 1"},
        {"move DB 0", kExitUsage, "TO is required"},
        {"list DB -h", kExitOk, "usage: imagedb list"},
        {"--version", kExitOk, "imagedb "},
        {"help bogus", kExitUsage, "there is no command \"bogus\""},
        {"", kExitUsage, "no command given"},
        {"frobnicate DB", kExitUsage, "there is no command \"frobnicate\""},
        {"list DB --bogus", kExitUsage, "unknown option --bogus"},
        {"info DB DB", kExitUsage, "too many arguments: "},
        {"info", kExitUsage, "DB.pdb is required"},
        {"list -", kExitUsage, "\"-\" (standard input or output) cannot hold a database"},
        {"export DB OUT --index", kExitUsage, "--index needs a value"},
        {"export DB OUT --index 40000", kExitUsage, "from 0 to 32767, not \"40000\""},
        {"export DB OUT --all sideways", kExitUsage, "takes numbered or names"},
        {"export DB OUT --index 1 --all names", kExitUsage, "--index excludes --all"},
        {"export DB - --all numbered", kExitUsage, "takes a single image"},
        {"import DB IN IN --name Twice", kExitUsage, "--name names one picture"},
        {"import DB - - ", kExitUsage, "can be read once only"},
        {"import DB IN --format 3", kExitUsage, "takes 1, 2, 4, 8 or 16"},
        {"import DB IN --brightness -101", kExitUsage, "from -100 to 100"},
        {"import DB IN --size 0x5", kExitUsage, "or WIDTHxHEIGHT, not \"0x5\""},
        {"import DB IN --stretch --keep-proportions", kExitUsage, "excludes"},
        {"import DB -- -missing.bmp", kExitFailed, "-missing.bmp cannot be opened"},
        {"info DB", kExitOk, "Database Records: 5\nImages: 4\n"},
        {"list DB", kExitOk, "1\tTwo tiles\t200 x 10\t16 bits\t1 layer\t102400 bytes\n"},
        {"list DB", kExitOk, "3\tTab and\\tbreak\\r\\\\\t20 x 10"},
        {"list DB --json", kExitOk,
         "{\"index\":1,\"name\":\"Two tiles\",\"nameHex\":\"54776f2074696c6573\",\"width\":200,"
         "\"height\":10,\"bits\":16,\"layers\":1,\"bytes\":102400,\"firstRecord\":1,"
         "\"tilesAcross\":2,\"tilesDown\":1},\n"},
        {"list DB --json", kExitOk,
         "\"name\":\"Say \\\"hi\\\" caf\xC3\xA9\\u0081\\u007f\\u0001\",\"nameHex\":"
         "\"536179202268692220636166e9817f01\""},
        {"list DB --json", kExitOk, "\"name\":\"Tab and\\tbreak\\r\\\\\""},
        {"check DB", kExitOk, "5 records, 4 images, no damage found\n"},
        {"export EMPTY OUT", kExitFailed, "the database holds no images"},
        {"export DB OUT --index 4", kExitFailed, "there is no image 4; the database holds 4"},
        {"export DB NOWHERE", kExitFailed, "Could not open target image for write."},
        {"! list DB", kExitFailed, "the output could not be written"},
        {"! --help", kExitFailed, "the output could not be written"},
        {"! export DB - --index 1", kExitFailed, "the output could not be written"},
    };
    for (const auto& [line, status, part] : cases) {
        const Args args = words(line, files);
        const bool failing = !args.empty() && args[0] == "!";
        const ToolRun r = run(Args(args.begin() + failing, args.end()), "", failing);
        EXPECT_EQ(r.status, status) << line << "\n" << r.err;
        EXPECT_TRUE(has(status == kExitOk ? r.out : r.err, part)) << line << ":\n"
                                                                  << r.out << r.err;
        EXPECT_TRUE(status != kExitUsage || has(r.err, "imagedb: ")) << r.err;
    }
    EXPECT_EQ(readFileBytes(files.at("DB")), before);
    EXPECT_FALSE(std::filesystem::exists(files.at("OUT")));
}

TEST(Imagedb, ExportWritesEachImageAndNeverReplacesAFileByName) {
    const std::string path = toolDatabase(), folder = testing::freshFolder("tool-out");
    const std::string out = folder + "pic.bmp";
    EXPECT_EQ(run({"export", path, out, "--index", "2"}).out, "wrote image 2 to " + out + "\n");
    const ToolRun piped = run({"export", path, "-", "--index", "2"});
    EXPECT_EQ(piped.status, kExitOk) << piped.err;
    EXPECT_EQ(Bytes(piped.out.begin(), piped.out.end()), readFileBytes(out));
    // Every image of a whole export is the file a single export of it gives.
    const std::string numbered = run({"export", path, out, "--all", "numbered"}).out;
    for (const std::string i : {"0", "1", "2", "3"}) {
        EXPECT_TRUE(has(numbered, "wrote image " + i + " to " + folder + "pic00" + i + ".bmp\n"));
        EXPECT_EQ(run({"export", path, out, "--index", i}).status, kExitOk);
        EXPECT_EQ(readFileBytes(folder + "pic00" + i + ".bmp"), readFileBytes(out)) << i;
    }
    // The window stops numbering at [9]; the tool goes on.
    for (int n = 2; n <= 9; ++n)
        fixtures::writeFileBytes(folder + "Sunset [" + std::to_string(n) + "].bmp", {'x'});
    for (const char* expected : {"Sunset.bmp", "Sunset [10].bmp"}) {
        const ToolRun named = run({"export", path, out, "--all", "names"});
        EXPECT_EQ(named.status, kExitOk) << named.err;
        EXPECT_TRUE(has(named.out, "wrote image 0 to " + folder + expected + "\n")) << named.out;
        EXPECT_TRUE(has(named.out, "wrote image 2 to " + folder + "Say _hi_ caf\u00E9"));
    }
    EXPECT_EQ(readFileBytes(folder + "Sunset [9].bmp"), Bytes{'x'});
}

TEST(Imagedb, DamageIsWarnedOfWhereItIsMetAndCheckReportsIt) {
    // Record 0 starts far past the end; the last record's pixel rows are cut off.
    Bytes bytes = readFileBytes(toolDatabase());
    bytes[78] = 0x7F;  // high byte of the first record entry's offset
    bytes.resize(bytes.size() - 1000);
    const std::string db = testing::writeScratchFile("damaged.pdb", bytes);
    const std::string out = scratchPath("damaged.bmp");
    const std::string at = "imagedb: warning: " + db + ": ";
    const std::string record0 = "record 0 starts past the end of the file\n";
    const std::string record4 = "the pixel rows of record 4 run past the end of the file\n";
    const std::string check = "'imagedb check " + db + "' ";
    const auto warnings = [&](const char* line) {
        const ToolRun r = run(words(line, {{"DB", db}, {"OUT", out}}));
        EXPECT_EQ(r.status, kExitOk) << line;
        return r.err;
    };
    for (const char* line : {"info DB", "list DB --json", "export DB OUT --all numbered"})
        EXPECT_EQ(warnings(line), at + record0 + at + record4 + at +
                                      "damaged records are read as far as they go; " + check +
                                      "examines every record\n")
            << line;
    EXPECT_EQ(warnings("export DB OUT --index 1"),
              at + "2 records of other images are damaged; " + check + "lists them\n");
    EXPECT_EQ(warnings("export DB OUT --index 3"),
              at + record4 + at + "image 3 is exported as far as its records can be read\n" + at +
                  "1 record of other images is damaged; " + check + "lists them\n");
    const ToolRun r = run({"check", db});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(r.out, record0 + record4 + db + ": 5 records, 4 images, 2 problems found\n");
}

TEST(Imagedb, CheckFindsLabelsThatDoNotTieRecordsIntoImages) {
    testing::Records records;
    for (const char* label :
         {"#(1,0) - 320x160 Orphan", "Plain words", "#(0,0) - 320x320 Big", "#(1,0) - 320x320 Big",
          "#(1,1) - 320x320 Big", "#(0,0) - 160x160 Next", "#(0,1) - 160x999 Next",
          "#(0,0) - 0x10 Flat", "#(1,0) - 160x160 Extra"}) {
        records.push_back(testing::makeRecord(16, 160, 160));
        records.back().label = label;
    }
    const std::string db =
        testing::writeScratchFile("labels.pdb", fixtures::buildDatabase("Labels", records));
    const ToolRun r = run({"check", db});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(r.out,
              "record 0 continues an image, but none starts before it; it is never shown\n"
              "the label of record 1 (\"Plain words\") does not read as \"#(column,row) - "
              "WIDTHxHEIGHT name\"; the record is shown as an image of its own\n"
              "the label of record 4 names tile (1,1) of layer 1, but the record's place makes "
              "it tile (0,1) of layer 1 of image 1, where it is shown\n"
              "record 6 lies past the last tile of image 2; it is never shown\n"
              "the label of record 7 gives the image a size of 0 x 10; the record is shown as "
              "an image of its own\n"
              "record 8 lies past the last tile of image 3; it is never shown\n"
              "image 1 needs 4 records (2 x 2 tiles in 1 layer), but only 3 come before the next "
              "image\n" +
                  db + ": 9 records, 4 images, 7 problems found\n");
    const ToolRun verbose = run({"check", "--verbose", db});
    for (const char* part :
         {"  creator             \"Qvrl\"\n  uniqueIdSeed        0\n", "  recordCount         9\n",
          "  record 3  offset ", "  image 1, layer 1, tile (1,0)\n",
          "    colorIcon 4  compressed 0  width 160  height 160  bitsPerPixel 16\n"
          "    label \"#(1,0) - 320x320 Big\"\n",
          "  image 2, past its last tile\n", "9 records, 4 images, 7 problems found\n"})
        EXPECT_TRUE(has(verbose.out, part)) << part << " not in\n" << verbose.out;
}

TEST(ImagedbImport, SixteenBitRoundTripStaysWithinQuantisation) {
    const RgbImage picture = testing::gradient(160, 144);
    const std::string db = testing::emptyDatabase("trip.pdb"), out = scratchPath("trip-out.bmp");
    const ToolRun imported = run({"import", db, testing::gradientBitmap("trip.bmp", 160, 144),
                                  "--format", "16", "--no-dither"});
    ASSERT_EQ(imported.status, kExitOk) << imported.err;
    ASSERT_EQ(run({"export", db, out}).status, kExitOk);
    const BmpReadResult back = readBmp(out);
    // A one-tile image comes out as its whole tile (a failed read has none).
    ASSERT_EQ(std::to_string(back.canvas.width) + "x" + std::to_string(back.canvas.height),
              "160x160");
    // The neutral adjustment's integer HLS round trip moves a channel by -7
    // to +6 (red by at most +3 up), then 5-6-5 drops up to 7 of red and blue
    // and 3 of green. Over all 2^24 colours that gives the bounds below; this
    // picture reaches red -12..1, green -9..4 and blue -12..5.
    const int lowest[3] = {-14, -10, -14}, highest[3] = {3, 6, 6};
    // Both are 160 wide: the picture's 144 rows line up with the top of the tile.
    for (std::size_t at = 0; at < picture.pixels.size(); ++at) {
        const std::size_t c = at % 3;
        const int sent = picture.pixels[at], got = back.canvas.pixels[at - c + 2 - c];
        ASSERT_TRUE(got - sent >= lowest[c] && got - sent <= highest[c])
            << "pixel " << at / 3 << " channel " << c << ": " << sent << " came back as " << got;
    }
}

// TIFF is read on Windows alone.
const std::string kFormats = std::filesystem::path::preferred_separator == '\\'
                                 ? "PNG, JPEG, GIF and TIFF"
                                 : "PNG, JPEG and GIF";

TEST(ImagedbImport, SizeBoxesNamesAndStandardInput) {
    const std::map<std::string, std::string> files = {
        {"DB", testing::emptyDatabase("sizes.pdb")},
        {"WIDE", testing::gradientBitmap("wide.bmp", 320, 240)},
        {"TALL", testing::gradientBitmap("tall.bmp", 240, 320)},
        {"SMALL", testing::gradientBitmap("small.bmp", 100, 50)}};
    const Bytes piped = readFileBytes(files.at("SMALL"));
    const std::pair<const char*, const char*> imports[] = {
        {"WIDE --size 160x160", "as \"wide\": 160 x 120, 1 bit per pixel\n"},
        {"TALL --size 160x160 --keep-proportions", ""},
        {"WIDE --size 160x160 --stretch", ""},
        {"WIDE --size 200x100", ""},
        {"SMALL --size original --name -h",
         "as \"-h\": 160 x 144, 1 bit per pixel (the 100 x 50 picture was placed on a white "
         "handheld canvas of 160 x 144)\n"},
        {"- --format 8 --contrast 100 --brightness -100 --name Caf\xC3\xA9",
         "imported standard input as \"Caf\xC3\xA9\": 160 x 144, 8 bits per pixel"},
        {"-", "as \"stdin\""},
    };
    for (const auto& [line, said] : imports) {
        const ToolRun r = run(words("import DB " + std::string(line), files),
                              std::string(piped.begin(), piped.end()));
        EXPECT_EQ(r.status, kExitOk) << r.err;
        EXPECT_TRUE(has(r.out, said)) << r.out;
    }
    // Names are stored in the handheld's character set.
    EXPECT_EQ(images(files.at("DB")),
              "wide 160x120; tall 120x160; wide 160x160; wide 133x100; -h 160x144; "
              "Caf\xE9 160x144; stdin 160x144; ");
}

// Pictures are told by their content: a PNG named .bmp is imported, a cut
// JPEG and a text file are named for what they are and skipped.
TEST(ImagedbImport, PicturesAreToldByContentAndRefusalsSaySo) {
    const std::string db = testing::emptyDatabase("skip.pdb"), png = scratchPath("png.bmp");
    ASSERT_EQ(run({"export", toolDatabase(), png, "--format", "png"}).status, kExitOk);
    const std::string photo = testing::writeScratchFile("photo.bmp", {0xFF, 0xD8, 0xFF, 0xE0});
    const std::string text = testing::writeScratchFile("notes.bmp", {'h', 'i', '\n'});
    const ToolRun r =
        run({"import", db, testing::gradientBitmap("first.bmp", 20, 20), photo, text, png});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(r.err,
              "imagedb: " + photo +
                  " was not imported: The JPEG file ends before its picture does.\nimagedb: " +
                  text + " is no picture imagedb knows; imagedb imports " + kFormats +
                  " pictures and uncompressed Windows bitmaps of 1, 2, 4, 8 or 24 bits per "
                  "pixel\n");
    EXPECT_EQ(images(db), "first 160x144; png 160x144; ");
}

}  // namespace
}  // namespace ferrovel
