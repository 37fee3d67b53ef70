// End-to-end tests of the window program: the real program, its real
// controls and dialogs, driven from this process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "FerrovelVersion.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DatabaseBuilder.h"
#include "tests/fixtures/DemoDatabase.h"
#include "tests/gui/AppDriver.h"
#include "tests/gui/Screenshot.h"

namespace ferrovel::gui {
namespace {

constexpr const char* kAppTitle = "Ferrovel Image Manager";
constexpr const char* kNeedsImages =
    "Please create or load a non-empty Brushwick-format database file and select an\n"
    "image before choosing this operation.";

// A folder whose name only the wide-character calls can spell.
std::string photoFolder() {
    const std::string path = testing::scratchPath("\u5199\u771F 1") + "\\";
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

// The preview as the program must draw it: the image fitted into the frame
// less 4 pixels a side, top-left, nearest neighbour, white elsewhere.
std::vector<std::uint32_t> expectedPreview(const std::string& database, int index, int width,
                                           int height) {
    const RgbImage image = composedImage(database, index);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width * height), 0xFFFFFF);
    const bool tall = height * image.width > width * image.height;
    const int drawnW = tall ? width : height * image.width / image.height,
              drawnH = tall ? width * image.height / image.width : height;
    for (int i = 0; i < drawnH; ++i)
        for (int j = 0; j < drawnW; ++j) {
            const std::vector<int> rgb =
                testing::pixelAt(image, j * image.width / drawnW, i * image.height / drawnH);
            pixels[static_cast<std::size_t>(i * width + j)] =
                static_cast<std::uint32_t>(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
        }
    return pixels;
}

// Presses Load and returns the folder its dialog starts in, as its "Look in"
// box shows it; the dialog stays open.
std::string loadStartFolder(const AppDriver& app, HWND& dialog) {
    dialog = app.openDialog(1003, "Load Database");
    return dialog ? AppDriver::textOf(GetDlgItem(dialog, 0x471)) : "<no dialog>";
}

void cancelDialog(const AppDriver& app, HWND dialog, const char* caption) {
    EXPECT_TRUE(dialog && PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0) && app.noDialog(caption));
}

// One run without a database: the empty window guards its commands, Load
// and New work, and the close through the system menu ends it with 0.
TEST(Window, StartsEmptyLoadsCreatesAndClosesWithZeroThroughItsSystemMenu) {
    deletePalmDesktopKeys();
    AppDriver app;
    ASSERT_TRUE(app.started());
    EXPECT_EQ(app.title() + ", " + app.text(1002) + std::to_string(app.listEntries().size()),
              "Ferrovel Image Manager, 0");
    // "No Images Loaded": white with a black outline and black text.
    const RECT preview = screenRectOf(app.mainWindow(), 1015, 4);
    const int width = preview.right - preview.left;
    std::vector<std::uint32_t> pixels;
    const auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; };
    EXPECT_TRUE(AppDriver::waitUntil(
        [&] { return (pixels = capturePixels(preview))[0] == 0 && at(5, 5) == 0xFFFFFF; }, 2000));
    int black = 0;
    for (int y = 10; y < 30; ++y)
        for (int x = 10; x < 100; ++x) black += at(x, y) == 0;
    EXPECT_GT(black, 20) << "no text drawn";

    const char* needsDatabase =
        "Please create or load a Brushwick-format database file before choosing this operation.";
    for (int command : {1008, 1017, 1007, 1014, 1006, 1016}) {
        app.press(command);
        EXPECT_EQ(app.takeMessage("Message"),
                  command == 1006 || command == 1016 ? needsDatabase : kNeedsImages)
            << "command " << command;
    }
    app.press(1011);
    EXPECT_EQ(app.takeMessage("Ferrovel Image Manager Help").substr(0, 40),
              "Use this utility to view add, print, or ");
    app.press(1010);
    const std::string about = app.takeMessage("About Ferrovel Image Manager");
    EXPECT_EQ(about.substr(0, about.find('\n')), "Ferrovel Image Manager " FERROVEL_VERSION);

    // Load starts in the Palm Desktop folder (which of its keys names it, the
    // install tests show), else at a drive's root; with a database current, at it.
    const std::string palm = testing::scratchPath("palm-a");
    CreateDirectoryA(palm.c_str(), nullptr);
    HWND dialog = nullptr;
    EXPECT_TRUE(loadStartFolder(app, dialog).ends_with(":)"));  // a drive's root
    cancelDialog(app, dialog, "Load Database");
    EXPECT_EQ(app.text(1002), "");  // cancelling leaves no database current

    setPalmDesktopFolder(false, palm);
    EXPECT_EQ(loadStartFolder(app, dialog), "palm-a");

    const std::string photo = photoFolder() + "\u5199\u771F.pdb";
    fixtures::writeFileBytes(photo, fixtures::demoDatabase());
    ASSERT_TRUE(AppDriver::answerFileDialog(dialog, photo));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 6; }));
    EXPECT_EQ(app.text(1002), photo);
    // With a database current, Load starts at it: a bare name opens from there.
    loadStartFolder(app, dialog);
    EXPECT_EQ(AppDriver::fileDialogField(dialog), "\u5199\u771F.pdb");
    fixtures::writeFileBytes(photoFolder() + "empty.pdb", fixtures::buildDatabase("Empty", {}));
    ASSERT_TRUE(AppDriver::answerFileDialog(dialog, "empty.pdb"));
    EXPECT_TRUE(AppDriver::waitUntil([&] { return app.text(1002) == photoFolder() + "empty.pdb"; }))
        << app.text(1002);
    EXPECT_TRUE(app.listEntries().empty());
    deletePalmDesktopKeys();

    // New creates an empty database, replacing a file there without a question,
    // and proposes its name next time.
    const std::string path = photoFolder() + "created \u65B0.pdb";
    fixtures::writeFileBytes(path, fixtures::demoDatabase());
    ASSERT_TRUE(AppDriver::answerFileDialog(app.openDialog(1005, "Create New Database"), path));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.text(1002) == path; }));
    // The name inside is the handheld's: "?" for what its character set lacks.
    EXPECT_EQ(fixtures::readFileBytes(path)[8], '?');
    EXPECT_TRUE(app.listEntries().empty());
    EXPECT_EQ(app.text(1009), "File Size: 80 bytes\r\nDatabase Records: 0\r\nImages: 0");

    ASSERT_NE(dialog = app.openDialog(1005, "Create New Database"), nullptr);
    EXPECT_NE(AppDriver::fileDialogField(dialog).find("created"), std::string::npos);
    cancelDialog(app, dialog, "Create New Database");
    EXPECT_EQ(app.text(1002), path);
    PostMessageA(app.mainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(AppDriver::waitUntil([&] { return !IsWindow(app.mainWindow()); }, 10000));
    EXPECT_EQ(app.close(), 0u);
}

// Files it cannot show: each reported with its messages and no other; a
// database's last copy left in its work file by an interrupted write is
// pointed out and left where it is.
TEST(Window, ReportsWhatItCannotOpenAndShowsWhatATruncatedDatabaseHolds) {
    using Messages = std::vector<std::pair<std::string, std::string>>;
    const std::string work = testing::writeScratchFile("lost$$$", fixtures::demoDatabase());
    const std::string cannotOpen = "Error opening database file.";
    const std::pair<std::string, Messages> files[] = {
        {testing::writeScratchFile("not-a-database.pdb", std::vector<std::uint8_t>(200, 'x')),
         {{"File Format Error", "File is not a valid Brushwick image database."},
          {"File I/O Error", cannotOpen}}},
        {testing::scratchPath("no-such-file.pdb"), {{"File I/O Error", cannotOpen}}},
        {testing::scratchPath("lost.pdb"),
         {{"Message", "The file " + work +
                          " may hold the last complete copy of this database, left by an "
                          "interrupted write.\nThe next import puts it back in place. Nothing has "
                          "been changed."},
          {"File I/O Error", cannotOpen}}},
    };
    for (const auto& [path, messages] : files) {
        AppDriver app(path);
        ASSERT_TRUE(app.started());
        for (const auto& [caption, text] : messages) EXPECT_EQ(app.takeMessage(caption), text);
        EXPECT_TRUE(app.noDialog("File Format Error") && app.noDialog("File I/O Error", 0) &&
                    app.listEntries().empty())
            << path;
    }
    EXPECT_FALSE(fileExists(testing::scratchPath("lost.pdb")));
    EXPECT_EQ(fixtures::readFileBytes(work), fixtures::demoDatabase());

    // Cut inside the sunset's tiles: the images still list, the cut pixels
    // read as missing, and nothing is reported.
    std::vector<std::uint8_t> bytes = fixtures::demoDatabase();
    bytes.resize(bytes.size() / 2);
    AppDriver app(testing::writeScratchFile("truncated.pdb", bytes));
    ASSERT_TRUE(app.started());
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() >= 5; }));
    app.selectListEntry(4);
    EXPECT_EQ(app.text(1013).substr(0, 24), "Image Size: 320 x 200 x ");
    EXPECT_TRUE(app.noDialog("File I/O Error"));
}

// The demo shown, its list, details and preview; then exported without a
// change to the database or to a file of the user's beside it under the name
// of its work file.
TEST(Window, ShowsTheDatabaseAndExportsNumberedNamedAndTheSelectedImage) {
    const std::string demo = demoDatabasePath();
    const fixtures::Bytes unrelated = {'m', 'i', 'n', 'e'};
    testing::writeScratchFile("demo$$$", unrelated);
    AppDriver app(demo, 6);
    ASSERT_TRUE(app.started());
    EXPECT_EQ(app.text(1002) + " #" + std::to_string(app.listSelection()), demo + " #0");
    EXPECT_EQ(app.listEntries(), (std::vector<std::string>{"Rings", "Four grays", "Gray ramp",
                                                           "Palette", "Sunset", "Balloon"}));
    EXPECT_EQ(app.text(1009), "File Size: " + std::to_string(fixtures::demoDatabase().size()) +
                                  " bytes\r\nDatabase Records: 10\r\nImages: 6");
    EXPECT_EQ(app.text(1013),
              "Image Size: 160 x 160 x 1 layer \r\nFormat: 1 bits\r\nFile Size: 3200 bytes");

    const RECT preview = screenRectOf(app.mainWindow(), 1015, 4);
    const int width = preview.right - preview.left, height = preview.bottom - preview.top;
    const std::pair<int, const char*> shown[] = {
        {4, "320 x 200 x 1 layer "}, {5, "160 x 160 x 2 layers"}, {0, "160 x 160 x 1 layer "}};
    for (const auto& [index, size] : shown) {
        app.selectListEntry(index);
        EXPECT_EQ(app.text(1013).substr(12, 20), size);
        const std::vector<std::uint32_t> expected = expectedPreview(demo, index, width, height);
        // The window system may still be repainting the frame: look again for a moment.
        EXPECT_TRUE(AppDriver::waitUntil([&] { return capturePixels(preview) == expected; }, 2000))
            << "image " << index;
        if (index == 4) saveScreenshot("screenshot", app.mainWindow());
    }

    // Export: numbered, named, the selected image alone, and the mode kept.
    const std::string folder = photoFolder();
    const char* numbered = "Save images starting with the base filename...";
    const char* named = "Save images without labels as the base filename...";
    const char* current = "Save current image as...";
    // Presses Export and ends the mode dialog with a button, or with its
    // close command for 0; the save dialog of that title follows.
    const auto saveDialog = [&](int button, const char* title) {
        HWND modes = app.openDialog(1007, "Export Image(s)");
        saveScreenshot("export-dialog", modes);
        button == 0 ? void(PostMessageA(modes, WM_CLOSE, 0, 0)) : AppDriver::press(modes, button);
        return app.waitForDialog(title);
    };
    ASSERT_TRUE(AppDriver::answerFileDialog(saveDialog(3, numbered), folder + "pics.bmp"));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return fileExists(folder + "pics005.bmp"); }));
    EXPECT_TRUE(AppDriver::waitUntil([&] { return app.title() == kAppTitle; }));
    // PNG where the chosen file type or the typed ending says so: the same pixels.
    HWND types = saveDialog(3, numbered);
    SendMessageW(GetDlgItem(types, cmb1), CB_SETCURSEL, 1, 0);  // as a user chooses it
    for (WORD notification : {CBN_SELENDOK, CBN_SELCHANGE})
        SendMessageW(types, WM_COMMAND, MAKEWPARAM(cmb1, notification),
                     reinterpret_cast<LPARAM>(GetDlgItem(types, cmb1)));
    EXPECT_EQ(AppDriver::fileType(types), "PNG Images (*.png)");
    ASSERT_TRUE(AppDriver::answerFileDialog(types, folder + "pics"));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return fileExists(folder + "pics005.png"); }));
    for (int i = 0; i < 6; ++i) {
        const std::string stem = folder + "pics00" + std::to_string(i);
        const int width = i == 4 ? 320 : 160, height = i == 4 ? 200 : 160;
        EXPECT_EQ(pngAgainstBitmap(stem + ".png", stem + ".bmp", width, height), "") << i;
    }
    ASSERT_TRUE(AppDriver::answerFileDialog(saveDialog(1026, current), folder + "one.PNG"));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return fileExists(folder + "one.PNG"); }));
    EXPECT_EQ(pngAgainstBitmap(folder + "one.PNG", folder + "pics000.bmp", 160, 160), "");
    ASSERT_TRUE(AppDriver::answerFileDialog(saveDialog(4, named), folder + "named.bmp"));
    EXPECT_TRUE(AppDriver::waitUntil([&] { return fileExists(folder + "Balloon.bmp"); }));
    // Closing the mode dialog goes on with the previous mode.
    cancelDialog(app, saveDialog(0, named), named);
    AppDriver::answerFileDialog(saveDialog(1026, current), folder + "no-such-folder\\one.bmp");
    EXPECT_EQ(app.takeMessage("Image Export"), "Could not open target image for write.");

    // Escape is ignored; Cancel asks for no file.
    HWND modes = app.openDialog(1007, "Export Image(s)");
    ASSERT_NE(modes, nullptr);
    PostMessageA(modes, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(app.noDialog("Export Image(s)"));
    AppDriver::press(modes, 1022);
    EXPECT_TRUE(app.noDialog(current));
    EXPECT_EQ(fixtures::readFileBytes(demo), fixtures::demoDatabase());
    EXPECT_EQ(fixtures::readFileBytes(testing::scratchPath("demo$$$")), unrelated);
}

}  // namespace
}  // namespace ferrovel::gui

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string folder(self);
    folder.resize(folder.find_last_of("\\/") + 1);
    // An installed copy instead of the build's, for the installer's test.
    const char* installed = std::getenv("FERROVEL_PROGRAM");
    ferrovel::gui::programPath = installed ? installed : folder + "ImageManager.exe";
    return RUN_ALL_TESTS();
}
