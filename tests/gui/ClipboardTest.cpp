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

constexpr const char* kWorkFile = "ClipboardImage.BMP";  // in the program's current directory
constexpr const char* kSettings = "Software\\Ferrovel\\ImageManager\\5.0";
constexpr const char* kValues[] = {"ImportFormat", "ImportProportional", "ImportDither"};
// The largest channel difference after 5-6-5 bits and the HLS round trip:
// measured 8 for a copied 16-bit image and 10 for the 24-bit test colours.
constexpr int kBound = 12;

const UINT kPng = RegisterClipboardFormatA("PNG");

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

// Blue, green, red of pixel i of the test pictures; all different.
std::array<std::uint8_t, 3> colorOf(int i) {
    return {std::uint8_t(i * 37 + 11), std::uint8_t(200 - i * 13), std::uint8_t(i * 71 + 90)};
}

// A bottom-up block of 5 x 3 pixels with an info header of headerSize bytes,
// colours used 0, and for 8 bits a palette of 256 entries.
Bytes dibBlock(std::uint16_t bits, std::uint32_t headerSize) {
    Bytes block;
    const auto put = [&block](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            block.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    for (std::uint32_t v : {headerSize, 5u, 3u}) put(v, 4);
    put(1, 2);
    put(bits, 2);
    block.resize(headerSize, 0);  // no compression, colours used 0, no masks
    for (int i = 0; i < 256 && bits == 8; ++i) {
        for (std::uint8_t c : colorOf(i)) put(c, 1);
        put(0, 1);
    }
    for (int y = 2; y >= 0; --y) {
        for (int x = 0; x < 5; ++x) {
            const int index = y * 5 + x;
            if (bits == 8) {
                put(static_cast<std::uint32_t>(index), 1);
            } else {
                for (std::uint8_t c : colorOf(index)) put(c, 1);
            }
        }
        block.resize((block.size() + 3) / 4 * 4, 0);
    }
    return block;
}

// The largest channel difference between expected and the same-sized
// top-left part of actual (one stored tile composes as its whole record).
int maxDifference(const RgbImage& actual, const RgbImage& expected) {
    if (actual.width != expected.width || actual.height < expected.height) return 256;
    int most = 0;
    for (std::size_t i = 0; i < expected.pixels.size(); ++i)
        most = std::max(most, std::abs(actual.pixels[i] - expected.pixels[i]));
    return most;
}

// Answers the Import Image dialog as it opens, which the settings stored at
// the start make 16 bits undithered at the proposed (original) size; returns
// the proposed name.
std::string importAsProposed(const AppDriver& app) {
    HWND dialog = app.waitForDialog("Import Image");
    if (!dialog) return "<no Import Image dialog>";
    const std::string name = AppDriver::textOf(GetDlgItem(dialog, 1025));
    AppDriver::press(dialog, 1023);
    return name;
}

// Copy and Paste against the clipboard as other programs use it. Without an
// image Copy leaves the clipboard as it is, and Paste finds no bitmap in
// blocks too short for one. Held by another program, Copy and Paste say so
// and change nothing; the selected image copied and pasted back comes out as
// itself; the bitmaps others put there are pasted as new images.
TEST(Clipboard, CopyAndPasteWithOtherPrograms) {
    DeleteFileA(kWorkFile);
    const std::int16_t settings[] = {4, 1, 0};  // 16 bits, proportions kept, no dither
    for (std::size_t i = 0; i < 3; ++i)
        RegSetKeyValueA(HKEY_CURRENT_USER, kSettings, kValues[i], REG_BINARY, &settings[i], 2);
    {
        AppDriver app(
            "\"" +
            testing::writeScratchFile("clip-empty.pdb", fixtures::buildDatabase("Empty", {})) +
            "\"");
        ASSERT_TRUE(app.started());
        ASSERT_TRUE(AppDriver::waitUntil([&] { return !app.text(1002).empty(); }));
        const Bytes picture = dibBlock(24, 40);
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
        EXPECT_FALSE(fileExists(kWorkFile));
    }
    const std::string database =
        testing::writeScratchFile("clip-demo.pdb", fixtures::demoDatabase());
    AppDriver app("\"" + database + "\"");
    ASSERT_TRUE(app.started());
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 6; }));
    ASSERT_TRUE(OpenClipboard(nullptr));
    for (int command : {1014, 1016}) {
        app.press(command);
        EXPECT_EQ(app.takeMessage("Message"),
                  "The clipboard is in use by another program. Please try again.")
            << command;
    }
    CloseClipboard();
    EXPECT_EQ(fixtures::readFileBytes(database), fixtures::demoDatabase());

    app.selectListEntry(4);  // Sunset, 320 x 200 at 16 bits
    putOnClipboard({});
    app.press(1014);
    // The exported file less its file header, then 14 zero bytes.
    const std::size_t blockSize = 40 + 960 * 200 + 14;
    Bytes dib;
    EXPECT_TRUE(AppDriver::waitUntil([&] { return (dib = clipboardBlock()).size() == blockSize; }))
        << dib.size();
    // A 40-byte header: 320 x 200, one plane, 24 bits.
    EXPECT_EQ(Bytes(dib.begin(), dib.begin() + std::min<std::size_t>(dib.size(), 16)),
              (Bytes{40, 0, 0, 0, 64, 1, 0, 0, 200, 0, 0, 0, 1, 0, 24, 0}));
    EXPECT_EQ(app.title(), "Ferrovel Image Manager");
    EXPECT_FALSE(fileExists(kWorkFile));
    // Beside it the same pixels as a PNG, which Paste takes first.
    const PictureReadResult png = readPictureBytes(clipboardBlock(kPng));
    EXPECT_EQ(png.format, PictureFormat::Png);
    EXPECT_EQ(png.pictureWidth * png.pictureHeight, 320 * 200);
    RgbImage shown{png.canvas.width, png.canvas.height, png.canvas.pixels};  // red first
    for (std::size_t i = 0; i < shown.pixels.size(); i += 3)
        std::swap(shown.pixels[i], shown.pixels[i + 2]);
    EXPECT_EQ(maxDifference(composedImage(database, 4), shown), 0);
    EXPECT_FALSE(fileExists("ClipboardImage.PNG"));
    app.press(1016);
    EXPECT_EQ(importAsProposed(app), "ClipboardImage");
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 7; }));
    EXPECT_EQ(app.listEntries()[6], "ClipboardImage");
    EXPECT_EQ(app.listSelection(), 6);
    EXPECT_LE(maxDifference(composedImage(database, 6), composedImage(database, 4)), kBound);
    EXPECT_EQ(app.title(), "Ferrovel Image Manager");
    EXPECT_FALSE(fileExists(kWorkFile));

    // Others' bitmaps: the picture in the top-left corner of a white 160 x 144 canvas.
    RgbImage expected{160, 144, Bytes(160 * 144 * 3, 0xFF)};
    for (int i = 0; i < 15; ++i) {
        const auto bgr = colorOf(i);
        std::copy(bgr.rbegin(), bgr.rend(), expected.pixels.begin() + ((i / 5) * 160 + i % 5) * 3);
    }
    const std::pair<std::uint16_t, std::uint32_t> blocks[] = {
        {24, 40}, {8, 40}, {8, 124}, {24, 124}};
    std::size_t count = 7;
    for (const auto& [bits, headerSize] : blocks) {
        SCOPED_TRACE(::testing::Message() << bits << " bits, " << headerSize << "-byte header");
        putOnClipboard(dibBlock(bits, headerSize));
        app.press(1016);
        EXPECT_EQ(importAsProposed(app), "ClipboardImage");
        ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == count + 1; }));
        EXPECT_LE(maxDifference(composedImage(database, static_cast<int>(count)), expected),
                  kBound);
        EXPECT_FALSE(fileExists(kWorkFile));
        ++count;
    }
    // A PNG beside a bitmap: the PNG is pasted, a picture of its own size.
    const std::string file = testing::scratchPath("clip.png");
    ASSERT_EQ(writePng(file, testing::gradient(170, 150), 170, 150), 0);
    putOnClipboard(dibBlock(24, 40), fixtures::readFileBytes(file));
    app.press(1016);
    EXPECT_EQ(importAsProposed(app), "ClipboardImage");
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == count + 1; }));
    RgbImage canvas{176, 150, Bytes(176 * 150 * 3, 0xFF)};  // 16 columns each
    const RgbImage picture = testing::gradient(170, 150);
    for (int y = 0; y < 150; ++y) {
        std::copy_n(picture.pixels.begin() + y * 170 * 3, 170 * 3,
                    canvas.pixels.begin() + y * 176 * 3);
    }
    EXPECT_LE(maxDifference(composedImage(database, static_cast<int>(count)), canvas), kBound);
    EXPECT_FALSE(fileExists("ClipboardImage.PNG"));
    // The import settings this test wrote go, so the next run starts alike.
    for (const char* value : kValues) RegDeleteKeyValueA(HKEY_CURRENT_USER, kSettings, value);
}

}  // namespace
}  // namespace ferrovel::gui
