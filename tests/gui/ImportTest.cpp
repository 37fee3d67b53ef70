// End-to-end tests of importing in the window: the open dialog, the Import
// Image dialog and the import flow, against the database file they write.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "convert/Adjust.h"
#include "convert/Reduce.h"
#include "convert/Scale.h"
#include "database/TextEncoding.h"
#include "interchange/Bmp.h"
#include "interchange/PictureFile.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DemoDatabase.h"
#include "tests/gui/AppDriver.h"
#include "tests/gui/Screenshot.h"

namespace ferrovel::gui {

namespace {
constexpr const char* kAppTitle = "Ferrovel Image Manager";
constexpr const char* kDialog = "Import Image";
constexpr int kPreview = 1015, kName = 1025, kFormat = 1020, kSize = 1027, kWidth = 1018,
              kHeight = 1019, kProportions = 1021, kDither = 1024, kContrast = 1016,
              kBrightness = 1017, kImportAll = 1026, kImport = 1023, kCancel = 1022;
using V = std::vector<std::string>;

// The three stored settings, "-" for one missing or not a 2-byte binary.
std::string storedSettings() {
    std::string all;
    for (const char* name : kImportSettingValues) {
        std::uint16_t value = 0;
        DWORD size = sizeof value;
        const LSTATUS read = RegGetValueA(HKEY_CURRENT_USER, kImportSettingsKey, name,
                                          RRF_RT_REG_BINARY, nullptr, &value, &size);
        all += read == ERROR_SUCCESS && size == 2 ? std::to_string(value) + " " : "- ";
    }
    return all;
}

// Presses Import and chooses files the way a user types them into the open
// dialog: the folder first, then each name in double quotes.
HWND importDialogFor(const AppDriver& app, const std::vector<std::string>& names,
                     const std::string& folder = testing::scratchPath("")) {
    HWND open = app.openDialog(1006, "Import one or more image(s)...");
    if (!open) return nullptr;
    EXPECT_EQ(AppDriver::fileType(open), "Pictures (*.bmp;*.png;*.jpg;*.jpeg;*.gif;*.tif;*.tiff)");
    AppDriver::typeFileName(open, folder);
    SendMessageA(open, WM_COMMAND, IDOK, 0);  // changes folder and stays open
    std::string typed;
    for (const std::string& name : names) typed += (typed.empty() ? "\"" : " \"") + name + "\"";
    if (!AppDriver::answerFileDialog(open, typed)) return nullptr;
    return app.waitForDialog(kDialog);
}

bool finish(HWND dialog, int button) {
    AppDriver::press(dialog, button);
    return AppDriver::waitUntil([&] { return !IsWindow(dialog); });
}

std::string ask(HWND dialog, int id, UINT message) {
    return std::to_string(SendMessageW(GetDlgItem(dialog, id), message, 0, 0));
}

std::string sizeState(HWND dialog) {
    return AppDriver::textOf(GetDlgItem(dialog, kWidth)) + " x " +
           AppDriver::textOf(GetDlgItem(dialog, kHeight)) + " #" + ask(dialog, kSize, CB_GETCURSEL);
}

// The dialog in one line: name, format, check boxes, sliders, Import All
// shown, then width box, height box and size list entry ("W x H #index").
std::string choices(HWND dialog) {
    return AppDriver::textOf(GetDlgItem(dialog, kName)) + ": " +
           AppDriver::textOf(GetDlgItem(dialog, kFormat)) + ", proportions " +
           ask(dialog, kProportions, BM_GETCHECK) + ", dither " +
           ask(dialog, kDither, BM_GETCHECK) + ", contrast " + ask(dialog, kContrast, TBM_GETPOS) +
           ", brightness " + ask(dialog, kBrightness, TBM_GETPOS) + ", all " +
           std::to_string(IsWindowVisible(GetDlgItem(dialog, kImportAll))) + ", " +
           sizeState(dialog);
}

// Sets controls as a user does, each followed by what the real control sends:
// a box's text, a list's entry, a check box's state, a slider's position.
void set(HWND dialog, std::initializer_list<std::pair<int, std::string>> changes) {
    for (const auto& [id, value] : changes) {
        HWND control = GetDlgItem(dialog, id);
        const auto number = static_cast<WPARAM>(std::atoi(value.c_str()));
        const auto send = [&](UINT message, WPARAM wParam) {
            SendMessageW(dialog, message, wParam, reinterpret_cast<LPARAM>(control));
        };
        if (id == kWidth || id == kHeight || id == kName) {
            SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
        } else if (id == kFormat || id == kSize) {
            SendMessageW(control, CB_SETCURSEL, number, 0);
            for (int code : {CBN_SELCHANGE, CBN_SELENDOK}) send(WM_COMMAND, MAKEWPARAM(id, code));
        } else if (id == kProportions || id == kDither) {
            SendMessageW(control, BM_SETCHECK, number, 0);
            send(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED));
        } else {
            SendMessageW(control, TBM_SETPOS, TRUE, static_cast<LPARAM>(number));
            send(WM_HSCROLL, TB_THUMBPOSITION);
        }
    }
}

// A control's pixels once a repaint of it has settled on screen.
std::vector<std::uint32_t> repainted(HWND dialog, int id) {
    RedrawWindow(GetDlgItem(dialog, id), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    std::vector<std::uint32_t> last, now;
    AppDriver::waitUntil([&] {
        last = std::exchange(now, capturePixels(screenRectOf(dialog, id)));
        return last == now;
    });
    return now;
}

// Files of any name, alone and in batches: Import All stores the picture it
// was pressed on as its dialog left it and fits only the later ones, a file
// that is no bitmap is passed over, and a cancelled batch keeps and shows
// what it appended.
TEST(ImportDialog, BatchesOfAnyFileNamesImportAllAndCancel) {
    const std::string database = testing::writeScratchFile("batch.pdb", fixtures::demoDatabase());
    const std::string folder = testing::scratchPath("\u5199\u771F 1") + "\\";
    const std::string photo = "\u5199\u771F 1.bmp";  // stored as "?? 1.bmp"
    const std::string summer = "\u00E9t\u00E9.bmp";  // stored as "\xE9t\xE9.bmp"
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    writeBmp(folder + "a b.bmp", testing::gradient(100, 50));
    writeBmp(folder + photo, testing::gradient(320, 240));
    writeBmp(folder + summer, testing::gradient(240, 320));
    fixtures::writeFileBytes(folder + "junk.bmp", std::vector<std::uint8_t>(300, 'x'));
    const auto png = fixtures::readFileBytes(FERROVEL_TEST_PICTURES "/png-rgba.png");
    fixtures::writeFileBytes(folder + "cut.png", {png.begin(), png.begin() + png.size() / 2});
    ASSERT_TRUE(CopyFileA(FERROVEL_TEST_PICTURES "/jpeg-baseline.jpg",
                          (folder + "camera.jpg").c_str(), FALSE));
    storeImportSettings({4, 1, 1});
    AppDriver app(database);
    ASSERT_TRUE(app.started());

    // A typed width with the proportions kept: 101 x 90, as the boxes show.
    HWND dialog = nullptr;
    ASSERT_NE(dialog = importDialogFor(app, {"a b.bmp", photo, summer}, folder), nullptr);
    set(dialog, {{kWidth, "101"}});
    EXPECT_EQ(choices(dialog),
              "a b.bmp: 16-bit (truecolor), proportions 1, dither 1, contrast 0, "
              "brightness 0, all 1, 101 x 90 #5");
    ASSERT_TRUE(finish(dialog, kImportAll));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 9; }));
    EXPECT_EQ(storedImages(database, 6),
              (V{"a b.bmp 101x90 16", "?? 1.bmp 101x75 16", "\xE9t\xE9.bmp 67x90 16"}));
    EXPECT_EQ(app.listEntries().back() + " #" + std::to_string(app.listSelection()),
              summer + " #8");

    // Proportions off, and a typed size that leaves the list at "Keep
    // original size": that size for this picture, their own for the others.
    // No picture at all is passed over in silence, a cut PNG is named.
    ASSERT_NE(dialog = importDialogFor(app, {"a b.bmp", "junk.bmp", "cut.png", photo, "camera.jpg"},
                                       folder),
              nullptr);
    set(dialog, {{kProportions, "0"}, {kWidth, "50"}, {kHeight, "40"}});
    EXPECT_EQ(sizeState(dialog), "50 x 40 #0");
    ASSERT_TRUE(finish(dialog, kImportAll));
    EXPECT_EQ(app.takeMessage("Image Import"),
              "cut.png: The PNG file ends before its picture does.");
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 12; }));
    EXPECT_TRUE(app.noDialog("Image Import", 0));
    EXPECT_EQ(storedImages(database, 9),
              (V{"a b.bmp 50x40 16", "?? 1.bmp 320x240 16", "camera.jpg 208x150 16"}));

    // Cancel on the second file keeps the first, never offers the third,
    // and the list shows what was kept.
    ASSERT_NE(dialog = importDialogFor(app, {summer, photo, "a b.bmp"}, folder), nullptr);
    ASSERT_TRUE(finish(dialog, kImport));
    ASSERT_NE(dialog = app.waitForDialog(kDialog), nullptr);
    EXPECT_EQ(app.title(), photo);
    ASSERT_TRUE(finish(dialog, kCancel));
    EXPECT_TRUE(app.noDialog(kDialog));
    EXPECT_EQ(storedImages(database, 12), V{"\xE9t\xE9.bmp 240x320 16"});
    EXPECT_TRUE(AppDriver::waitUntil(
        [&] { return app.listEntries().size() == 13 && app.listSelection() == 12; }));
    EXPECT_EQ(app.title(), kAppTitle);

    // The open dialog left the program in that folder, where Paste keeps its
    // work file while it needs it.
    app.press(1014);
    ASSERT_NE(dialog = app.openDialog(1016, kDialog), nullptr);
    EXPECT_TRUE(fileExists(folder + "ClipboardImage.PNG"));
    ASSERT_TRUE(finish(dialog, kCancel));

    // Export by name as PNG, the file names of labels left to the naming
    // tests: each image at its own size, not its record's.
    AppDriver::press(app.openDialog(1007, "Export Image(s)"), 4);
    ASSERT_TRUE(AppDriver::answerFileDialog(
        app.waitForDialog("Save images without labels as the base filename..."), folder + "x.png"));
    PictureReadResult out;
    EXPECT_TRUE(AppDriver::waitUntil(
        [&] { return (out = readPicture(folder + "a b.bmp [2].png")).status == 0; }));
    EXPECT_EQ(std::to_string(out.pictureWidth) + "x" + std::to_string(out.pictureHeight), "50x40");
}

// Pixels of the preview on screen that differ from how it must look, looking
// again for up to 2 s while the window system repaints. Over the inner
// rectangle (the frame's less 4 pixels a side, right and bottom edges
// included): the canvas scaled, adjusted and reduced by the position in the
// drawn part, centred when smaller and cropped to its centre when larger, the
// dialog's face colour around it. The last column and row lie on the frame's
// inner line, which the frame may have drawn over the picture: the frame's
// colour counts there too.
int previewDifferences(HWND dialog, const BgrImage& canvas, int width, int height,
                       std::int16_t bits, std::int16_t dither, std::int16_t brightness,
                       std::int16_t contrast) {
    const auto colour = [](int index) {
        const COLORREF c = GetSysColor(index);
        return static_cast<std::uint32_t>(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
    };
    RECT inner = screenRectOf(dialog, kPreview, 4);
    const int innerW = ++inner.right - inner.left, innerH = ++inner.bottom - inner.top;
    std::vector<std::uint8_t> scaled;
    scaleImage(scaled, static_cast<std::int16_t>(width), static_cast<std::int16_t>(height),
               canvas.pixels.data(), canvas.width, canvas.height);
    buildPaletteLookup();
    const int spareX = innerW - width, spareY = innerH - height;
    const int fromX = std::max(-spareX / 2, 0), fromY = std::max(-spareY / 2, 0);
    const int atX = std::max(spareX / 2, 0), atY = std::max(spareY / 2, 0);
    std::vector<std::uint32_t> expected(static_cast<std::size_t>(innerW * innerH),
                                        colour(COLOR_3DFACE));
    for (int r = 0; r < std::min(height, innerH); ++r)
        for (int c = 0; c < std::min(width, innerW); ++c) {
            const std::uint8_t* in =
                &scaled[static_cast<std::size_t>(((fromY + r) * width + fromX + c) * 3)];
            std::int16_t red = in[2], green = in[1], blue = in[0];
            adjustPixel(red, green, blue, brightness, contrast);
            reducePixel(red, green, blue, bits, dither, c, r);
            expected[static_cast<std::size_t>((atY + r) * innerW + atX + c)] =
                static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
        }
    int differences = -1;
    AppDriver::waitUntil(
        [&] {
            const std::vector<std::uint32_t> shown = capturePixels(inner);
            differences = 0;
            for (std::size_t i = 0; i < expected.size(); ++i) {
                const bool edge = int(i) % innerW == innerW - 1 || int(i) / innerW == innerH - 1;
                differences +=
                    shown[i] != expected[i] && !(edge && shown[i] == colour(COLOR_3DDKSHADOW));
            }
            return differences == 0;
        },
        2000);
    return differences;
}

// One picture after another through the dialog: the stored choices come
// up, the preview shows the result, Cancel and the close command write
// nothing, presets and typed sizes follow the proportions, Import stores.
TEST(ImportDialog, OpensPreviewsSizesAndStoresTheChoices) {
    const std::string database = testing::writeScratchFile("open.pdb", fixtures::demoDatabase());
    testing::gradientBitmap("small one.bmp", 100, 50);
    testing::gradientBitmap("landscape.bmp", 640, 480);
    testing::gradientBitmap("portrait.bmp", 300, 400);  // a 304 x 400 canvas
    storeImportSettings({3, 0, 0});
    AppDriver app(database);
    ASSERT_TRUE(app.started());
    HWND dialog = nullptr;
    ASSERT_NE(dialog = importDialogFor(app, {"small one.bmp"}), nullptr);
    EXPECT_EQ(choices(dialog),
              "small one: 8-bit (256 colors), proportions 0, dither 0, contrast "
              "0, brightness 0, all 0, 160 x 144 #0");  // the padded canvas
    EXPECT_EQ(app.title(), "small one");

    // Both thumbs are drawn at 0 when the dialog opens: centred on their
    // channels, and drawn as after a move away and a Reset back to 0. Each
    // Reset (commands 3 and 4) returns its own slider only.
    std::vector<std::uint32_t> opened[2];
    for (int i : {0, 1}) {
        const RECT thumb = app.askRect(GetDlgItem(dialog, kContrast + i), TBM_GETTHUMBRECT);
        const RECT channel = app.askRect(GetDlgItem(dialog, kContrast + i), TBM_GETCHANNELRECT);
        EXPECT_NEAR(thumb.left + thumb.right, channel.left + channel.right, 2) << i;
        opened[i] = repainted(dialog, kContrast + i);
        set(dialog, {{kContrast + i, "60"}});
    }
    for (int i : {0, 1}) {
        SendMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(3 + i), 0);
        EXPECT_EQ(ask(dialog, kContrast, TBM_GETPOS) + " " + ask(dialog, kBrightness, TBM_GETPOS),
                  i == 0 ? "0 60" : "0 0");
        EXPECT_TRUE(repainted(dialog, kContrast + i) == opened[i]) << "slider " << i << " moved";
    }

    // The preview larger than its area: its centre, in 8 bits dithered and
    // adjusted. Smaller: centred, in 16 bits undithered; an odd spare width
    // and an even spare height, so that a rounded offset or a preview one
    // pixel smaller would land elsewhere.
    const BmpReadResult source = readBmp(testing::scratchPath("small one.bmp"));
    set(dialog, {{kDither, "1"}, {kWidth, "320"}, {kHeight, "320"}});
    set(dialog, {{kContrast, "40"}, {kBrightness, "-25"}});
    EXPECT_EQ(previewDifferences(dialog, source.canvas, 320, 320, 8, 1, -25, 40), 0);
    saveScreenshot("import-dialog", dialog);
    set(dialog, {{kFormat, "4"}, {kDither, "0"}, {kWidth, "90"}, {kHeight, "71"}});
    EXPECT_EQ(previewDifferences(dialog, source.canvas, 90, 71, 16, 0, -25, 40), 0);
    // Escape arrives as IDCANCEL and is ignored; Cancel ends without a trace.
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(IsWindowVisible(dialog));
    storeImportSettings({});
    ASSERT_TRUE(finish(dialog, kCancel));

    // Nothing stored: the defaults, not what the cancelled dialog left. Two
    // files offer Import All; closing the dialog drops the whole batch.
    ASSERT_NE(dialog = importDialogFor(app, {"small one.bmp", "landscape.bmp"}), nullptr);
    EXPECT_EQ(choices(dialog),
              "small one.bmp: 1-bit (b & w), proportions 1, dither 1, contrast "
              "0, brightness 0, all 1, 160 x 144 #0");
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(AppDriver::waitUntil([&] { return !IsWindow(dialog); }));
    EXPECT_EQ(storedSettings(), "- - - ");
    EXPECT_EQ(app.title(), kAppTitle);

    // Presets and typed sizes follow the proportions, in a dialog for each
    // picture (id 0). A typed width rewrites the height once: 333 * 480 / 640
    // = 249, which does not come back as a width of 332. A tall canvas pins
    // the height: 320 * 304 / 400 = 243, and a typed height rewrites the width.
    struct Step {
        int id;
        const char* value;
        const char* sizes;
    };
    const Step steps[] = {{0, "landscape.bmp", "640 x 480 #0"}, {kSize, "1", "160 x 120 #1"},
                          {kWidth, "333", "333 x 249 #5"},      {kProportions, "0", "333 x 249 #5"},
                          {kSize, "1", "160 x 160 #1"},         {kWidth, "200", "200 x 160 #5"},
                          {kProportions, "1", "200 x 150 #5"},  {0, "portrait.bmp", "304 x 400 #0"},
                          {kSize, "2", "243 x 320 #2"},         {kHeight, "99", "75 x 99 #5"},
                          {kProportions, "0", "75 x 99 #5"},    {kSize, "3", "320 x 480 #3"},
                          {0, "small one.bmp", "160 x 144 #0"}};
    for (const auto& [id, value, sizes] : steps) {
        if (id != 0)
            set(dialog, {{id, value}});
        else
            ASSERT_TRUE((!IsWindow(dialog) || finish(dialog, kCancel)) &&
                        (dialog = importDialogFor(app, {value})));
        EXPECT_EQ(sizeState(dialog), sizes) << id << " " << value;
    }

    // Import stores the choices and the edited name, and only this picture
    // of all those the dialogs were shown for, in the handheld's
    // character set ("?" for what it lacks) and cut to 255 stored bytes.
    std::string accents;
    for (int i = 0; i < 250; ++i) accents += "\u00E9";
    set(dialog, {{kFormat, "3"}, {kDither, "0"}, {kProportions, "0"}});
    set(dialog, {{kName, "Caf\u00E9 \u5199\u771F" + accents}});
    ASSERT_TRUE(finish(dialog, kImport));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 7; }));
    const std::string label = "Caf\xE9 ??" + std::string(248, '\xE9');
    EXPECT_EQ(app.listEntries().back() + " #" + std::to_string(app.listSelection()),
              handheldToUtf8(label) + " #6");
    EXPECT_EQ(storedImages(database, 6), V{label + " 160x144 8"});
    EXPECT_EQ(storedSettings(), "3 0 0 ");

    // The database gone since it was loaded: the append says it cannot
    // work, and no file appears in its place.
    ASSERT_TRUE(DeleteFileA(database.c_str()));
    ASSERT_NE(dialog = importDialogFor(app, {"small one.bmp"}), nullptr);
    ASSERT_TRUE(finish(dialog, kImport));
    EXPECT_EQ(app.takeMessage("Image Import"), "Could not open temporary work file.");
    EXPECT_FALSE(fileExists(database));
}

}  // namespace
}  // namespace ferrovel::gui
