// End-to-end tests of Copy and Paste: the real program and the real
// clipboard, which this process fills and reads like any other program.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "interchange/PictureFile.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DemoDatabase.h"
#include "tests/gui/AppDriver.h"

namespace ferrovel::gui {

namespace {

using fixtures::Bytes;

// In the program's current directory, as long as they are needed.
constexpr const char* kWorkFiles[] = {"ClipboardImage.BMP", "ClipboardImage.PNG"};
// The largest channel difference after 5-6-5 bits and the HLS round trip:
// measured 8 for a copied 16-bit image and 13 for the 24-bit test picture.
constexpr int kBound = 14;

const UINT kPng = RegisterClipboardFormatA("PNG");

bool workFileLeft() {
    return fileExists(kWorkFiles[0]) || fileExists(kWorkFiles[1]);
}

// Puts a CF_DIB block and a "PNG" block on the clipboard (an empty one:
// none). The owner window is destroyed at once, so the program never waits
// for this thread.
void putOnClipboard(const Bytes& block, const Bytes& png = {}) {
    HWND owner =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(OpenClipboard(owner));
    EmptyClipboard();
    for (const auto& [format, bytes] : {std::pair{UINT{CF_DIB}, &block}, std::pair{kPng, &png}}) {
        if (bytes->empty()) continue;
        HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, bytes->size());
        std::memcpy(GlobalLock(handle), bytes->data(), bytes->size());
        GlobalUnlock(handle);
        EXPECT_NE(SetClipboardData(format, handle), nullptr);
    }
    CloseClipboard();
    DestroyWindow(owner);
}

Bytes clipboardBlock(UINT format = CF_DIB) {
    Bytes bytes;
    if (!OpenClipboard(nullptr)) return bytes;
    if (HANDLE data = GetClipboardData(format)) {
        const auto* begin = static_cast<const std::uint8_t*>(GlobalLock(data));
        if (begin) bytes.assign(begin, begin + GlobalSize(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return bytes;
}

// A test picture as other programs put it on the clipboard: a bitmap less
// its file header, a PNG whole.
Bytes blockOf(const std::string& name) {
    const Bytes file = fixtures::readFileBytes(FERROVEL_TEST_PICTURES "/" + name);
    return Bytes(file.begin() + (name.ends_with(".bmp") ? 14 : 0), file.end());
}

// The test picture as ImageMagick decoded it.
RgbImage decoded(const std::string& name) {
    const testing::Ppm ppm = testing::readPpm(FERROVEL_TEST_PICTURES "/" + name + ".ppm");
    return {std::int16_t(ppm.width), std::int16_t(ppm.height), ppm.rgb};
}

// The largest channel difference between expected and the same-sized
// top-left part of actual (a picture is imported in the top-left corner of
// its canvas, and one stored tile composes as its whole record).
int maxDifference(const RgbImage& actual, const RgbImage& expected) {
    if (actual.width < expected.width || actual.height < expected.height) return 256;
    int most = 0;
    const std::size_t row = std::size_t(expected.width) * 3;
    for (std::size_t i = 0; i < expected.pixels.size(); ++i) {
        const std::size_t at = i / row * std::size_t(actual.width) * 3 + i % row;
        most = std::max(most, std::abs(actual.pixels[at] - expected.pixels[i]));
    }
    return most;
}

// Copy and Paste against the clipboard as other programs use it. Without an
// image Copy leaves the clipboard as it is, and Paste finds no bitmap in
// blocks too short for one. Held by another program, Copy and Paste say so
// and change nothing; the selected image copied and pasted back comes out as
// itself; the bitmaps others put there are pasted as new images.
TEST(Clipboard, CopyAndPasteWithOtherPrograms) {
    for (const char* file : kWorkFiles) DeleteFileA(file);
    storeImportSettings({4, 1, 0});  // 16 bits at the original size, no dither
    {
        const Bytes empty = fixtures::buildDatabase("Empty", {});
        AppDriver app(testing::writeScratchFile("clip-empty.pdb", empty));
        ASSERT_TRUE(app.started());
        ASSERT_TRUE(AppDriver::waitUntil([&] { return !app.text(1002).empty(); }));
        const Bytes picture = blockOf("bmp-24.bmp");
        putOnClipboard(picture);
        app.press(1014);
        app.takeMessage("Message");  // the guard the window tests pin
        EXPECT_EQ(clipboardBlock(), picture);
        // No bitmap, and a block shorter than a header (the short blocks the block tests pin).
        for (const Bytes& block : {Bytes{}, Bytes(picture.begin(), picture.begin() + 20)}) {
            putOnClipboard(block);
            app.press(1016);
            EXPECT_EQ(app.takeMessage("Message"), "The clipboard is empty.") << block.size();
        }
        EXPECT_TRUE(app.listEntries().empty());
        EXPECT_FALSE(workFileLeft());
    }
    const std::string database =
        testing::writeScratchFile("clip-demo.pdb", fixtures::demoDatabase());
    AppDriver app(database, 6);
    ASSERT_TRUE(app.started());
    ASSERT_TRUE(OpenClipboard(nullptr));
    for (int command : {1014, 1016}) {
        app.press(command);
        EXPECT_EQ(app.takeMessage("Message"),
                  "The clipboard is in use by another program. Please try again.")
            << command;
    }
    CloseClipboard();
    EXPECT_EQ(fixtures::readFileBytes(database), fixtures::demoDatabase());

    // Copy puts the exported bitmap less its file header, then 14 zero
    // bytes, and beside it the same pixels as a PNG, which Paste takes first.
    app.selectListEntry(4);  // Sunset, 320 x 200 at 16 bits
    putOnClipboard({});
    app.press(1014);
    Bytes dib;
    EXPECT_TRUE(AppDriver::waitUntil([&] {
        return (dib = clipboardBlock()).size() == 40 + 960 * 200 + 14;
    })) << dib.size();
    EXPECT_EQ(Bytes(dib.begin(), dib.begin() + std::min<std::size_t>(dib.size(), 16)),
              (Bytes{40, 0, 0, 0, 64, 1, 0, 0, 200, 0, 0, 0, 1, 0, 24, 0}));  // 320 x 200, 24 bits
    EXPECT_EQ(app.title(), "Ferrovel Image Manager");
    EXPECT_FALSE(workFileLeft());
    const PictureReadResult copied = readPictureBytes(clipboardBlock(kPng));
    EXPECT_EQ(copied.format, PictureFormat::Png);
    EXPECT_EQ(copied.pictureWidth * copied.pictureHeight, 320 * 200);  // the export's pixels

    // Pasted: what Copy left there; others' bitmaps of each kind; a PNG beside
    // a bitmap, of its own size.
    const std::pair<std::string, std::string> pastes[] = {
        {"", ""},          {"bmp-24.bmp", ""}, {"bmp-8.bmp", ""},
        {"bmp-4.bmp", ""}, {"bmp-1.bmp", ""},  {"bmp-24.bmp", "png-palette-alpha.png"}};
    for (int index = 6; const auto& [dib, png] : pastes) {
        if (!dib.empty()) putOnClipboard(blockOf(dib), png.empty() ? Bytes{} : blockOf(png));
        AppDriver::press(app.openDialog(1016, "Import Image"), 1023);  // as proposed
        ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listSelection() == index; }));
        const RgbImage expected =
            dib.empty() ? composedImage(database, 4) : decoded(png.empty() ? dib : png);
        EXPECT_LE(maxDifference(composedImage(database, index), expected), kBound) << dib << png;
        EXPECT_EQ(app.listEntries()[index] + " " + app.title(),
                  "ClipboardImage Ferrovel Image Manager");
        EXPECT_FALSE(workFileLeft()) << index;
        ++index;
    }
    storeImportSettings({});  // so that the next run starts alike
}

}  // namespace
}  // namespace ferrovel::gui
