// End-to-end tests of importing in the window: the open dialog, the Import
// Image dialog and the import flow, against the database file they write.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "convert/Adjust.h"
#include "convert/Reduce.h"
#include "convert/Scale.h"
#include "database/Catalogue.h"
#include "database/TextEncoding.h"
#include "interchange/Bmp.h"
#include "interchange/PictureFile.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DemoDatabase.h"
#include "tests/gui/AppDriver.h"
#include "tests/gui/Screenshot.h"

namespace ferrovel::gui {
namespace {

constexpr const char* kSettings = "Software\\Ferrovel\\ImageManager\\5.0";
constexpr const char* kValues[] = {"ImportFormat", "ImportProportional", "ImportDither"};
constexpr const char* kAppTitle = "Ferrovel Image Manager";
constexpr const char* kDialog = "Import Image";
constexpr int kPreview = 1015, kName = 1025, kFormat = 1020, kSize = 1027, kWidth = 1018,
              kHeight = 1019, kProportions = 1021, kDither = 1024, kContrast = 1016,
              kBrightness = 1017, kImportAll = 1026, kImport = 1023, kCancel = 1022;

void storeSettings(std::int16_t format, std::int16_t proportional, std::int16_t dither) {
    const std::int16_t values[] = {format, proportional, dither};
    for (int i = 0; i < 3; ++i)
        RegSetKeyValueA(HKEY_CURRENT_USER, kSettings, kValues[i], REG_BINARY, &values[i], 2);
}

// The three stored settings, each as "type/size/value" or "-" when missing.
std::string storedSettings() {
    std::string all;
    for (const char* name : kValues) {
        BYTE bytes[8] = {};
        DWORD type = 0, size = sizeof bytes;
        const bool found = RegGetValueA(HKEY_CURRENT_USER, kSettings, name, RRF_RT_ANY, &type,
                                        bytes, &size) == ERROR_SUCCESS;
        all += std::string(all.empty() ? "" : " ") +
               (found ? std::to_string(type) + "/" + std::to_string(size) + "/" +
                            std::to_string(bytes[0] | bytes[1] << 8)
                      : "-");
    }
    return all;
}

// The count of images in the database file, then its last ones as "name WxH bits".
std::vector<std::string> lastStored(const std::string& database, std::size_t last) {
    std::FILE* file = std::fopen(database.c_str(), "rb");
    const std::vector<CatalogueEntry> entries = listCatalogue(file);
    std::fclose(file);
    std::vector<std::string> images{std::to_string(entries.size())};
    for (std::size_t i = entries.size() - std::min(last, entries.size()); i < entries.size(); ++i) {
        const ImageInfo& info = entries[i].info;
        images.push_back(entries[i].name + " " + std::to_string(info.width) + "x" +
                         std::to_string(info.height) + " " + std::to_string(info.bitsPerPixel));
    }
    return images;
}

// Presses Import and chooses files the way a user types them into the open
// dialog: the folder first, then each name in double quotes.
HWND importDialogFor(const AppDriver& app, const std::vector<std::string>& names,
                     const std::string& folder = testing::scratchPath("")) {
    app.press(1006);
    HWND open = app.waitForDialog("Import one or more image(s)...");
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

LRESULT ask(HWND dialog, int id, UINT message, WPARAM wParam = 0) {
    return SendMessageW(GetDlgItem(dialog, id), message, wParam, 0);
}

// Width box, height box and size list selection, as "W x H #index".
std::string sizeState(HWND dialog) {
    return AppDriver::textOf(GetDlgItem(dialog, kWidth)) + " x " +
           AppDriver::textOf(GetDlgItem(dialog, kHeight)) + " #" +
           std::to_string(ask(dialog, kSize, CB_GETCURSEL));
}

// The other choices in one line: format, check boxes, sliders, Import All shown.
std::string choices(HWND dialog) {
    return AppDriver::itemText(GetDlgItem(dialog, kFormat), CB_GETLBTEXT,
                               static_cast<WPARAM>(ask(dialog, kFormat, CB_GETCURSEL))) +
           ", proportions " + std::to_string(ask(dialog, kProportions, BM_GETCHECK)) + ", dither " +
           std::to_string(ask(dialog, kDither, BM_GETCHECK)) + ", contrast " +
           std::to_string(ask(dialog, kContrast, TBM_GETPOS)) + ", brightness " +
           std::to_string(ask(dialog, kBrightness, TBM_GETPOS)) + ", all " +
           std::to_string(IsWindowVisible(GetDlgItem(dialog, kImportAll)));
}

// The user's actions, each with the notification the real control sends.
void choose(HWND dialog, int id, int index, int notification) {
    ask(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index));
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, notification),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void type(HWND dialog, int id, const std::string& text) {
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void tick(HWND dialog, int id, bool checked) {
    ask(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void slide(HWND dialog, int id, int position) {
    SendMessageW(GetDlgItem(dialog, id), TBM_SETPOS, TRUE, position);
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
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

// Both thumbs are drawn at 0 when the dialog opens: centred on their
// channels, and drawn as after a move away and a Reset back to 0.
void expectThumbsAtZero(const AppDriver& app, HWND dialog) {
    for (const auto& [slider, reset] : {std::pair{kContrast, 3}, std::pair{kBrightness, 4}}) {
        const RECT thumb = app.askRect(GetDlgItem(dialog, slider), TBM_GETTHUMBRECT);
        const RECT channel = app.askRect(GetDlgItem(dialog, slider), TBM_GETCHANNELRECT);
        EXPECT_NEAR(thumb.left + thumb.right, channel.left + channel.right, 2) << slider;
        const std::vector<std::uint32_t> opened = repainted(dialog, slider);
        slide(dialog, slider, 60);
        SendMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(reset), 0);
        EXPECT_TRUE(repainted(dialog, slider) == opened)
            << "slider " << slider << " drawn elsewhere";
    }
}

// Files of any name, alone and in batches: Import All stores the picture it
// was pressed on as its dialog left it and fits only the later ones, a file
// that is no bitmap is passed over, and a cancelled batch keeps and shows
// what it appended.
TEST(ImportDialog, BatchesOfAnyFileNamesImportAllAndCancel) {
    using V = std::vector<std::string>;
    const std::string database = testing::writeScratchFile("batch.pdb", fixtures::demoDatabase());
    const std::string folder = testing::scratchPath("\u5199\u771F 1") + "\\";
    const std::string photo = "\u5199\u771F 1.bmp";  // stored as "?? 1.bmp"
    const std::string summer = "\u00E9t\u00E9.bmp";  // stored as "\xE9t\xE9.bmp"
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    writeBmp(folder + "a b.bmp", testing::gradient(100, 50));
    writeBmp(folder + photo, testing::gradient(320, 240));
    writeBmp(folder + summer, testing::gradient(240, 320));
    fixtures::writeFileBytes(folder + "junk.bmp", std::vector<std::uint8_t>(300, 'x'));
    ASSERT_EQ(writePng(folder + "shot.png", testing::gradient(120, 90), 120, 90), 0);
    std::vector<std::uint8_t> cut = fixtures::readFileBytes(folder + "shot.png");
    cut.resize(cut.size() / 2);
    fixtures::writeFileBytes(folder + "cut.png", cut);
    ASSERT_TRUE(CopyFileA(FERROVEL_TEST_PICTURES "/jpeg-baseline.jpg",
                          (folder + "camera.jpg").c_str(), FALSE));
    storeSettings(4, 1, 1);
    AppDriver app("\"" + database + "\"");
    ASSERT_TRUE(app.started());

    // A typed width with the proportions kept: 101 x 90, as the boxes show.
    HWND dialog = nullptr;
    ASSERT_NE(dialog = importDialogFor(app, {"a b.bmp", photo, summer}, folder), nullptr);
    EXPECT_EQ(AppDriver::textOf(GetDlgItem(dialog, kName)), "a b.bmp");
    type(dialog, kWidth, "101");
    EXPECT_EQ(sizeState(dialog), "101 x 90 #5");
    ASSERT_TRUE(finish(dialog, kImportAll));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 9; }));
    EXPECT_EQ(lastStored(database, 3),
              (V{"9", "a b.bmp 101x90 16", "?? 1.bmp 101x75 16", "\xE9t\xE9.bmp 67x90 16"}));
    EXPECT_EQ(app.listEntries()[7], "?? 1.bmp");
    EXPECT_EQ(app.listEntries()[8], summer);
    EXPECT_EQ(app.listSelection(), 8);

    // Proportions off, and a typed size that leaves the list at "Keep
    // original size": that size for this picture, their own for the others.
    // No picture at all is passed over in silence, a cut PNG is named.
    ASSERT_NE(dialog = importDialogFor(
                  app, {"a b.bmp", "junk.bmp", "cut.png", photo, "shot.png", "camera.jpg"}, folder),
              nullptr);
    tick(dialog, kProportions, false);
    type(dialog, kWidth, "50");
    type(dialog, kHeight, "40");
    EXPECT_EQ(sizeState(dialog), "50 x 40 #0");
    ASSERT_TRUE(finish(dialog, kImportAll));
    EXPECT_EQ(app.takeMessage("Image Import"),
              "cut.png: The PNG file ends before its picture does.");
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 13; }));
    EXPECT_TRUE(app.noDialog("Image Import", 0));
    EXPECT_EQ(lastStored(database, 4), (V{"13", "a b.bmp 50x40 16", "?? 1.bmp 320x240 16",
                                          "shot.png 160x144 16", "camera.jpg 208x150 16"}));

    // Cancel on the second file keeps the first, never offers the third,
    // and the list shows what was kept.
    ASSERT_NE(dialog = importDialogFor(app, {summer, photo, "a b.bmp"}, folder), nullptr);
    ASSERT_TRUE(finish(dialog, kImport));
    ASSERT_NE(dialog = app.waitForDialog(kDialog), nullptr);
    EXPECT_EQ(AppDriver::textOf(GetDlgItem(dialog, kName)), photo);
    EXPECT_EQ(app.title(), photo);
    ASSERT_TRUE(finish(dialog, kCancel));
    EXPECT_TRUE(app.noDialog(kDialog));
    EXPECT_EQ(lastStored(database, 1), (V{"14", "\xE9t\xE9.bmp 240x320 16"}));
    EXPECT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 14; }));
    EXPECT_EQ(app.listSelection(), 13);
    EXPECT_EQ(app.title(), kAppTitle);

    // The open dialog left the program in that folder, where Copy and Paste
    // keep their work file while they need it.
    const std::string workFile = folder + "ClipboardImage.PNG";
    app.press(1014);
    app.press(1016);
    ASSERT_NE(dialog = app.waitForDialog(kDialog), nullptr);
    EXPECT_TRUE(fileExists(workFile));
    ASSERT_TRUE(finish(dialog, kImport));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 15; }));
    EXPECT_EQ(lastStored(database, 1), (V{"15", "ClipboardImage 240x320 16"}));
    EXPECT_FALSE(fileExists(workFile));

    // Export by name, the file names of labels left to the naming tests: as
    // PNG each at its own size, where the bitmap holds the whole record.
    const std::string out = folder + "out\\";
    ASSERT_TRUE(CreateDirectoryA(out.c_str(), nullptr));
    for (const std::string ending : {".bmp", ".png"}) {
        app.press(1007);
        AppDriver::press(app.waitForDialog("Export Image(s)"), 4);
        ASSERT_TRUE(AppDriver::answerFileDialog(
            app.waitForDialog("Save images without labels as the base filename..."),
            out + "x" + ending));
        ASSERT_TRUE(
            AppDriver::waitUntil([&] { return fileExists(out + "ClipboardImage" + ending); }));
    }
    EXPECT_EQ(pngAgainstBitmap(out + "a b.bmp [2].png", out + "a b [2].bmp", 50, 40), "");
    EXPECT_EQ(pngAgainstBitmap(out + "shot.png", out + "shot.png.bmp", 160, 144), "");
}

// The preview as it must look, 0xRRGGBB over the inner rectangle (the
// frame's rectangle less 4 pixels a side, right and bottom edges included):
// the canvas scaled, adjusted and reduced by the position in the drawn part,
// centred when smaller and cropped to its centre when larger, the dialog's
// face colour around it.
struct Look {
    int width, height;
    std::int16_t bits, dither, brightness, contrast;
};

std::vector<std::uint32_t> expectedPreview(const BgrImage& canvas, int innerW, int innerH,
                                           const Look& look, std::uint32_t face) {
    std::vector<std::uint8_t> scaled;
    scaleImage(scaled, static_cast<std::int16_t>(look.width),
               static_cast<std::int16_t>(look.height), canvas.pixels.data(), canvas.width,
               canvas.height);
    buildPaletteLookup();
    const int spareX = innerW - look.width, spareY = innerH - look.height;
    const int fromX = spareX < 0 ? -spareX / 2 : 0, fromY = spareY < 0 ? -spareY / 2 : 0;
    const int atX = spareX > 0 ? spareX / 2 : 0, atY = spareY > 0 ? spareY / 2 : 0;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(innerW * innerH), face);
    for (int r = 0; r < std::min(look.height, innerH); ++r) {
        for (int c = 0; c < std::min(look.width, innerW); ++c) {
            const std::uint8_t* in =
                &scaled[static_cast<std::size_t>(((fromY + r) * look.width + fromX + c) * 3)];
            std::int16_t red = in[2], green = in[1], blue = in[0];
            adjustPixel(red, green, blue, look.brightness, look.contrast);
            reducePixel(red, green, blue, look.bits, look.dither, c, r);
            pixels[static_cast<std::size_t>((atY + r) * innerW + atX + c)] =
                static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
        }
    }
    return pixels;
}

std::uint32_t systemColour(int index) {
    const COLORREF c = GetSysColor(index);
    return static_cast<std::uint32_t>(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
}

// Pixels on screen that differ from the expected preview, looking again for
// up to 2 s while the window system repaints. The last column and row lie on
// the frame's inner line, which the frame may have drawn over the picture:
// the frame's colour counts there too.
int previewDifferences(HWND dialog, const BgrImage& canvas, const Look& look) {
    RECT inner = screenRectOf(dialog, kPreview);
    InflateRect(&inner, -4, -4);
    ++inner.right;
    ++inner.bottom;
    const int innerW = inner.right - inner.left, innerH = inner.bottom - inner.top;
    const std::vector<std::uint32_t> expected =
        expectedPreview(canvas, innerW, innerH, look, systemColour(COLOR_3DFACE));
    const std::uint32_t frame = systemColour(COLOR_3DDKSHADOW);
    int differences = -1;
    AppDriver::waitUntil(
        [&] {
            const std::vector<std::uint32_t> shown = capturePixels(inner);
            differences = 0;
            for (int i = 0; i < innerW * innerH; ++i) {
                const bool edge = i % innerW == innerW - 1 || i / innerW == innerH - 1;
                const std::size_t at = static_cast<std::size_t>(i);
                differences += shown[at] != expected[at] && !(edge && shown[at] == frame);
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
    testing::gradientBitmap("other.bmp", 100, 50);
    testing::gradientBitmap("landscape.bmp", 640, 480);
    testing::gradientBitmap("tall.bmp", 208, 400);
    testing::gradientBitmap("portrait.bmp", 300, 400);  // a 304 x 400 canvas
    storeSettings(3, 0, 0);
    AppDriver app("\"" + database + "\"");
    ASSERT_TRUE(app.started());
    HWND dialog = nullptr;
    ASSERT_NE(dialog = importDialogFor(app, {"small one.bmp"}), nullptr);
    EXPECT_EQ(choices(dialog),
              "8-bit (256 colors), proportions 0, dither 0, contrast 0, brightness 0, all 0");
    EXPECT_EQ(sizeState(dialog), "160 x 144 #0");  // the padded canvas
    EXPECT_EQ(AppDriver::textOf(GetDlgItem(dialog, kName)), "small one");
    EXPECT_EQ(app.title(), "small one");
    expectThumbsAtZero(app, dialog);

    // The preview larger than its area: its centre, in 8 bits dithered and
    // adjusted. Smaller: centred, in 16 bits undithered; an odd spare width
    // and an even spare height, so that a rounded offset or a preview one
    // pixel smaller would land elsewhere.
    const BmpReadResult source = readBmp(testing::scratchPath("small one.bmp"));
    tick(dialog, kDither, true);
    type(dialog, kWidth, "320");
    type(dialog, kHeight, "320");
    slide(dialog, kContrast, 40);
    slide(dialog, kBrightness, -25);
    EXPECT_EQ(previewDifferences(dialog, source.canvas, {320, 320, 8, 1, -25, 40}), 0);
    saveScreenshot("import-dialog", dialog);
    choose(dialog, kFormat, 4, CBN_SELENDOK);
    tick(dialog, kDither, false);
    type(dialog, kWidth, "90");
    type(dialog, kHeight, "71");
    EXPECT_EQ(previewDifferences(dialog, source.canvas, {90, 71, 16, 0, -25, 40}), 0);
    // Escape arrives as IDCANCEL and is ignored; Cancel ends without a trace.
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(IsWindowVisible(dialog));
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
    ASSERT_TRUE(finish(dialog, kCancel));
    EXPECT_TRUE(AppDriver::waitUntil([&] { return app.title() == kAppTitle; }));
    EXPECT_EQ(storedSettings(), "- - -");
    EXPECT_EQ(lastStored(database, 0), std::vector<std::string>{"6"});

    // Nothing stored: the defaults. Two files offer Import All; closing the
    // dialog drops the whole batch.
    ASSERT_NE(dialog = importDialogFor(app, {"small one.bmp", "other.bmp"}), nullptr);
    EXPECT_EQ(choices(dialog),
              "1-bit (b & w), proportions 1, dither 1, contrast 0, brightness 0, all 1");
    EXPECT_EQ(AppDriver::textOf(GetDlgItem(dialog, kName)), "small one.bmp");
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(AppDriver::waitUntil([&] { return !IsWindow(dialog); }));
    EXPECT_EQ(storedSettings(), "- - -");
    EXPECT_EQ(lastStored(database, 0), std::vector<std::string>{"6"});
    EXPECT_EQ(app.title(), kAppTitle);

    // Presets and typed sizes follow the proportions.
    ASSERT_NE(dialog = importDialogFor(app, {"landscape.bmp"}), nullptr);
    choose(dialog, kSize, 1, CBN_SELCHANGE);
    EXPECT_EQ(sizeState(dialog), "160 x 120 #1");
    // A typed width rewrites the height once: 333 * 480 / 640 = 249, which
    // does not come back as a width of 332.
    type(dialog, kWidth, "333");
    EXPECT_EQ(sizeState(dialog), "333 x 249 #5");
    tick(dialog, kProportions, false);
    choose(dialog, kSize, 1, CBN_SELCHANGE);
    EXPECT_EQ(sizeState(dialog), "160 x 160 #1");
    type(dialog, kWidth, "200");
    EXPECT_EQ(sizeState(dialog), "200 x 160 #5");
    tick(dialog, kProportions, true);
    EXPECT_EQ(sizeState(dialog), "200 x 150 #5");
    // Each Reset returns its own slider only.
    slide(dialog, kContrast, 60);
    slide(dialog, kBrightness, -40);
    EXPECT_EQ(choices(dialog),
              "1-bit (b & w), proportions 1, dither 1, contrast 60, brightness -40, all 0");
    SendMessageW(dialog, WM_COMMAND, 3, 0);
    EXPECT_EQ(choices(dialog),
              "1-bit (b & w), proportions 1, dither 1, contrast 0, brightness -40, all 0");
    SendMessageW(dialog, WM_COMMAND, 4, 0);
    EXPECT_EQ(ask(dialog, kBrightness, TBM_GETPOS), 0);
    ASSERT_TRUE(finish(dialog, kCancel));

    // Pinned height: 480 * 208 / 400 = 249; a typed height rewrites the width.
    ASSERT_NE(dialog = importDialogFor(app, {"tall.bmp"}), nullptr);
    EXPECT_EQ(sizeState(dialog), "208 x 400 #0");
    choose(dialog, kSize, 3, CBN_SELCHANGE);
    EXPECT_EQ(sizeState(dialog), "249 x 480 #3");
    type(dialog, kHeight, "99");
    EXPECT_EQ(sizeState(dialog), "51 x 99 #5");
    tick(dialog, kProportions, false);
    choose(dialog, kSize, 3, CBN_SELCHANGE);
    EXPECT_EQ(sizeState(dialog), "320 x 480 #3");
    ASSERT_TRUE(finish(dialog, kCancel));

    // The choices come back as stored (nothing: the defaults), not as the
    // cancelled dialogs left them; Import stores them with the edited name, in the handheld's
    // character set ("?" for what it lacks) and cut to 255 stored bytes.
    ASSERT_NE(dialog = importDialogFor(app, {"portrait.bmp"}), nullptr);
    EXPECT_EQ(ask(dialog, kProportions, BM_GETCHECK), BST_CHECKED);
    choose(dialog, kSize, 2, CBN_SELCHANGE);
    EXPECT_EQ(sizeState(dialog), "243 x 320 #2");  // 320 * 304 / 400
    tick(dialog, kProportions, false);
    choose(dialog, kSize, 2, CBN_SELCHANGE);
    EXPECT_EQ(sizeState(dialog), "320 x 320 #2");
    choose(dialog, kFormat, 3, CBN_SELENDOK);
    tick(dialog, kDither, false);
    std::string accents;
    for (int i = 0; i < 250; ++i) accents += "\u00E9";
    type(dialog, kName, "Caf\u00E9 \u5199\u771F" + accents);
    ASSERT_TRUE(finish(dialog, kImport));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 7; }));
    const std::string label = "Caf\xE9 ??" + std::string(248, '\xE9');
    EXPECT_EQ(app.listEntries().back(), handheldToUtf8(label));
    EXPECT_EQ(app.listSelection(), 6);
    EXPECT_EQ(lastStored(database, 1), (std::vector<std::string>{"7", label + " 320x320 8"}));
    EXPECT_EQ(storedSettings(), "3/2/3 3/2/0 3/2/0");  // REG_BINARY, 2 bytes each

    // The database gone since it was loaded: the append says it cannot
    // work, and no file appears in its place.
    ASSERT_TRUE(DeleteFileA(database.c_str()));
    ASSERT_NE(dialog = importDialogFor(app, {"portrait.bmp"}), nullptr);
    ASSERT_TRUE(finish(dialog, kImport));
    EXPECT_EQ(app.takeMessage("Image Import"), "Could not open temporary work file.");
    EXPECT_FALSE(fileExists(database));
}

}  // namespace
}  // namespace ferrovel::gui
