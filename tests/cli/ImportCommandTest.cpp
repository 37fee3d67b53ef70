#include <gtest/gtest.h>

#include <cstdio>

#include "cli/Imagedb.h"
#include "database/Catalogue.h"
#include "database/Container.h"
#include "database/WorkFile.h"
#include "interchange/Bmp.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DatabaseBuilder.h"

namespace ferrovel {
namespace {

using fixtures::Bytes;
using fixtures::readFileBytes;
using testing::scratchPath;
using Args = std::vector<std::string>;

// Runs the tool in-process: its exit status and what it wrote to stderr.
std::pair<int, std::string> run(const Args& args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (!out || !err) return {-1, "no temporary file"};
    const int status = runImagedb(args, out, err);
    std::string text(4096, '\0');
    std::rewind(err);
    text.resize(std::fread(text.data(), 1, text.size(), err));
    std::fclose(out);
    std::fclose(err);
    return {status, text};
}

// Red across, green down, blue along the diagonals: many different colours.
RgbImage pattern(int width, int height) {
    RgbImage image{static_cast<std::int16_t>(width), static_cast<std::int16_t>(height),
                   Bytes(static_cast<std::size_t>(width * height * 3))};
    for (int i = 0; i < width * height; ++i) {
        const int x = i % width, y = i / width;
        image.pixels[static_cast<std::size_t>(i) * 3] = static_cast<std::uint8_t>(x * 255 / width);
        image.pixels[static_cast<std::size_t>(i) * 3 + 1] =
            static_cast<std::uint8_t>(y * 255 / height);
        image.pixels[static_cast<std::size_t>(i) * 3 + 2] =
            static_cast<std::uint8_t>((x + 3 * y) * 5);
    }
    return image;
}

std::string bitmap(const std::string& name, int width, int height) {
    const std::string path = scratchPath(name);
    EXPECT_EQ(writeBmp(path, pattern(width, height)), 0);
    return path;
}

std::string newDatabase(const std::string& name) {
    const std::string path = scratchPath(name);
    std::remove(workFilePath(path).c_str());
    EXPECT_EQ(createEmptyDatabase(path), 0);
    return path;
}

// "name WxH; " for every image of the database.
std::string images(const std::string& database) {
    std::FILE* file = std::fopen(database.c_str(), "rb");
    if (!file) return "no database";
    std::string text;
    for (const CatalogueEntry& entry : listCatalogue(file)) {
        text += entry.name + " " + std::to_string(entry.info.width) + "x" +
                std::to_string(entry.info.height) + "; ";
    }
    std::fclose(file);
    return text;
}

TEST(ImportCommand, SixteenBitRoundTripStaysWithinQuantisation) {
    const RgbImage picture = pattern(160, 144);
    const std::string db = newDatabase("trip.pdb"), in = scratchPath("trip.bmp");
    const std::string out = scratchPath("trip-out.bmp");
    ASSERT_EQ(writeBmp(in, picture), 0);
    const auto [status, err] = run({"import", db, in, "--format", "16", "--no-dither"});
    ASSERT_EQ(status, kExitOk) << err;
    ASSERT_EQ(run({"export", db, out}).first, kExitOk);
    const BmpReadResult back = readBmp(out);
    ASSERT_EQ(back.status, 0);
    ASSERT_EQ(back.canvas.width, 160);
    ASSERT_EQ(back.canvas.height, 160);  // a one-tile image comes out as its whole tile
    // The neutral adjustment's integer HLS round trip moves a channel by -7
    // to +6 (red by at most +3 up), then 5-6-5 drops up to 7 of red and blue
    // and 3 of green. Over all 2^24 colours that gives the bounds below; this
    // pattern reaches red -12..1, green -9..4 and blue -12..5.
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

TEST(ImportCommand, SizeBoxesFitTheCanvasAndNamesComeFromTheFile) {
    const std::string db = newDatabase("sizes.pdb");
    const std::string wide = bitmap("wide.bmp", 320, 240), tall = bitmap("tall.bmp", 240, 320);
    const std::string small = bitmap("small.bmp", 100, 50);
    const Args lines[] = {{wide, "--size", "160x160"},
                          {tall, "--size", "160x160", "--keep-proportions"},
                          {wide, "--size", "160x160", "--stretch"},
                          {wide, "--size", "200x100"},
                          {small, "--size", "original"},
                          {small, "--format", "8", "--contrast", "100", "--brightness", "-100"}};
    for (const Args& line : lines) {
        Args args = {"import", db};
        args.insert(args.end(), line.begin(), line.end());
        const auto [status, err] = run(args);
        EXPECT_EQ(status, kExitOk) << err;
    }
    // A 100 x 50 bitmap lies on a canvas of 160 x 144.
    EXPECT_EQ(images(db),
              "wide 160x120; tall 120x160; wide 160x160; wide 133x100; small 160x144; "
              "small 160x144; ");
}

TEST(ImportCommand, BadCommandLinesAndNonDatabasesChangeNothing) {
    const std::string db = newDatabase("refuse.pdb"), in = bitmap("refuse.bmp", 20, 20);
    const Bytes empty = readFileBytes(db);
    const Args lines[] = {{"import", db, in, in, "--name", "Twice"},
                          {"import", db, in, "--contrast", "101"},
                          {"import", db, in, "--brightness", "-101"},
                          {"import", db, in, "--format", "3"}};
    for (const Args& line : lines) EXPECT_EQ(run(line).first, kExitUsage) << line.back();
    EXPECT_EQ(readFileBytes(db), empty);

    const std::string plain = testing::writeScratchFile("plain.pdb", Bytes(100, 'x'));
    const auto [status, err] = run({"import", plain, in});
    EXPECT_EQ(status, kExitFailed);
    EXPECT_NE(err.find("File is not a valid Brushwick image database."), std::string::npos) << err;
    EXPECT_EQ(readFileBytes(plain), Bytes(100, 'x'));
}

TEST(ImportCommand, AFileThatIsNoBitmapIsReportedAndSkipped) {
    const std::string db = newDatabase("skip.pdb");
    const std::string first = bitmap("first.bmp", 20, 20), last = bitmap("last.bmp", 20, 20);
    const std::string notes = testing::writeScratchFile("notes.bmp", Bytes(60, 'n'));
    const auto [status, err] = run({"import", db, first, notes, last});
    EXPECT_EQ(status, kExitFailed);
    EXPECT_EQ(err.rfind("imagedb: " + notes + ": ", 0), 0u) << err;
    EXPECT_EQ(images(db), "first 160x144; last 160x144; ");
}

}  // namespace
}  // namespace ferrovel
