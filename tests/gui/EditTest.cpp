// End-to-end tests of changing a database in the window: the image list's
// context menu and keys, given as real input through the window system, and
// files and pictures dropped on the window by a real X drag and drop.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "database/Catalogue.h"
#include "interchange/Bmp.h"
#include "interchange/PictureFile.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DemoDatabase.h"
#include "tests/gui/AppDriver.h"
#include "tests/gui/Screenshot.h"
#include "tests/gui/TestPrinter.h"

namespace ferrovel::gui {
namespace {

using fixtures::Bytes;

constexpr int kImageList = 1012;

// One record as the file holds it: its entry's attribute word, then its bytes.
struct Record {
    Bytes attributes;
    Bytes data;
    bool operator==(const Record&) const = default;
};

std::uint32_t bigEndian32(const Bytes& bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 |
           bytes[at + 3];
}

// The records of a database file, cut out at the offsets of its record list.
std::vector<Record> recordsOf(const Bytes& file) {
    const std::size_t count = std::size_t(file[76]) << 8 | file[77];
    std::vector<Record> records;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 78 + 8 * i;
        const std::size_t end = i + 1 < count ? bigEndian32(file, entry + 8) : file.size();
        records.push_back({Bytes(file.begin() + entry + 4, file.begin() + entry + 8),
                           Bytes(file.begin() + bigEndian32(file, entry), file.begin() + end)});
    }
    return records;
}

// The demo's records image by image in the given order of its images: Rings
// to Palette one record each, Sunset four tiles, Balloon two layers.
std::vector<Record> demoImagesInOrder(const std::vector<int>& images) {
    const std::vector<std::vector<int>> recordsOfImage = {{0}, {1}, {2}, {3}, {4, 5, 6, 7}, {8, 9}};
    const std::vector<Record> demo = recordsOf(fixtures::demoDatabase());
    std::vector<Record> records;
    for (int image : images)
        for (int record : recordsOfImage[image]) records.push_back(demo[record]);
    return records;
}

// Real input through the window system's queue, as a user gives it.
void send(std::initializer_list<INPUT> inputs) {
    std::vector<INPUT> all(inputs);
    SendInput(static_cast<UINT>(all.size()), all.data(), sizeof(INPUT));
    Sleep(50);
}

INPUT key(WORD virtualKey, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

INPUT button(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return input;
}

void typeKeys(std::initializer_list<WORD> keys) {
    for (WORD virtualKey : keys) send({key(virtualKey, false), key(virtualKey, true)});
}

void typeShifted(WORD virtualKey) {
    send(
        {key(VK_SHIFT, false), key(virtualKey, false), key(virtualKey, true), key(VK_SHIFT, true)});
}

// Clicks list entry index with the left or right button; either selects it.
bool clickEntry(const AppDriver& app, int index, bool right) {
    HWND list = GetDlgItem(app.mainWindow(), kImageList);
    const int height = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    POINT at{10, height * index + height / 2};
    ClientToScreen(list, &at);
    SetCursorPos(at.x, at.y);
    send({button(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN),
          button(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP)});
    return AppDriver::waitUntil([&] { return app.listSelection() == index; });
}

// The program's popup menu, once it shows.
HWND waitForMenu() {
    HWND menu = nullptr;
    AppDriver::waitUntil([&] {
        menu = FindWindowA("#32768", nullptr);
        return menu && IsWindowVisible(menu);
    });
    return menu;
}

// Chooses a menu item with the arrow keys: from no highlighted item, Down
// goes to Rename... and Delete, Up to Move Down and Move Up.
bool chooseFromMenu(std::initializer_list<WORD> keys) {
    HWND menu = waitForMenu();
    if (!menu) return false;
    typeKeys(keys);
    typeKeys({VK_RETURN});
    return AppDriver::waitUntil([&] { return !IsWindowVisible(menu); });
}

std::vector<std::string> namesStored(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::vector<std::string> names;
    for (const CatalogueEntry& entry : listCatalogue(file)) names.push_back(entry.name);
    std::fclose(file);
    return names;
}

// Every way in: Delete (answered Yes) and F2 on the keyboard, the menu by
// right click (Delete answered No), by the menu key and by Shift+F10. Each
// change is checked in the file, record by record, and in the list.
TEST(EditImages, DeleteRenameAndMoveThroughTheContextMenuAndKeys) {
    const Bytes demo = fixtures::demoDatabase();
    const std::string path = testing::writeScratchFile("edit.pdb", demo);
    const Bytes header(demo.begin(), demo.begin() + 76);
    AppDriver app("\"" + path + "\"");
    ASSERT_TRUE(app.started());
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 6; }));
    auto fileHolds = [&](const std::vector<int>& images) {
        const Bytes file = fixtures::readFileBytes(path);
        return Bytes(file.begin(), file.begin() + 76) == header &&
               recordsOf(file) == demoImagesInOrder(images);
    };

    ASSERT_TRUE(clickEntry(app, 1, false));
    typeKeys({VK_DELETE});
    HWND confirm = app.waitForDialog("Delete Image");
    ASSERT_TRUE(confirm);
    EXPECT_EQ(AppDriver::textOf(GetDlgItem(confirm, 0xFFFF)),
              "Delete the image \"Four grays\" from the database?");
    AppDriver::press(confirm, IDYES);
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 5; }));
    EXPECT_TRUE(fileHolds({0, 2, 3, 4, 5}));
    EXPECT_EQ(app.listSelection(), 1);  // the next image

    ASSERT_TRUE(clickEntry(app, 0, true));
    saveScreenshot("context-menu", app.mainWindow(), waitForMenu());
    ASSERT_TRUE(chooseFromMenu({VK_DOWN, VK_DOWN}));
    confirm = app.waitForDialog("Delete Image");
    ASSERT_TRUE(confirm);
    EXPECT_EQ(AppDriver::textOf(GetDlgItem(confirm, 0xFFFF)),
              "Delete the image \"Rings\" from the database?");
    AppDriver::press(confirm, IDNO);
    EXPECT_TRUE(app.noDialog("Delete Image"));
    EXPECT_TRUE(fileHolds({0, 2, 3, 4, 5}));
    EXPECT_EQ(app.listSelection(), 0);  // the right click selected it

    typeKeys({VK_APPS});
    ASSERT_TRUE(chooseFromMenu({VK_UP}));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listSelection() == 1; }));
    EXPECT_TRUE(fileHolds({2, 0, 3, 4, 5}));

    ASSERT_TRUE(clickEntry(app, 4, false));
    typeShifted(VK_F10);
    ASSERT_TRUE(chooseFromMenu({VK_UP, VK_UP}));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listSelection() == 3; }));
    EXPECT_TRUE(fileHolds({2, 0, 3, 5, 4}));
    EXPECT_EQ(app.listEntries(),
              (std::vector<std::string>{"Gray ramp", "Rings", "Palette", "Balloon", "Sunset"}));

    typeKeys({VK_F2});
    HWND rename = app.waitForDialog("Rename Image");
    ASSERT_TRUE(rename);
    EXPECT_EQ(AppDriver::textOf(GetDlgItem(rename, 1044)), "Balloon");
    SendMessageW(GetDlgItem(rename, 1044), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Zo\u00eb"));
    AppDriver::press(rename, IDOK);
    ASSERT_TRUE(AppDriver::waitUntil([&] { return namesStored(path)[3] == "Zo\xEB"; }));
    EXPECT_EQ(namesStored(path),
              (std::vector<std::string>{"Gray ramp", "Rings", "Palette", "Zo\xEB", "Sunset"}));
    const std::vector<Record> renamed = recordsOf(fixtures::readFileBytes(path));
    const std::vector<Record> before = demoImagesInOrder({2, 0, 3, 5, 4});
    ASSERT_EQ(renamed.size(), before.size());
    for (std::size_t i : {0u, 1u, 2u, 5u, 6u, 7u, 8u}) EXPECT_EQ(renamed[i], before[i]) << i;
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 5; }));
    char shown[8] = {};  // the list is read in this process's code page
    WideCharToMultiByte(CP_ACP, 0, L"Zo\u00eb", -1, shown, sizeof shown, nullptr, nullptr);
    EXPECT_EQ(app.listEntries()[3], shown);
    EXPECT_EQ(app.listSelection(), 3);
    EXPECT_EQ(app.close(), 0u);
}

// Drops on the middle of the image list from an X client, as a file manager
// or a browser drops: true when the window took the drop. Wine does not
// follow a Unix process it starts, so the client leaves its exit status in
// a file for us to wait for.
bool dropOnList(const AppDriver& app, const std::string& what,
                const std::vector<std::string>& paths) {
    const std::string status = testing::scratchPath("drop-status");
    std::remove(status.c_str());
    const RECT list = screenRectOf(app.mainWindow(), kImageList);
    std::string command = "/usr/bin/python3 \"" FERROVEL_XDND_DROP "\" \"" + unixPath(status) +
                          "\" " + std::to_string((list.left + list.right) / 2) + " " +
                          std::to_string((list.top + list.bottom) / 2) + " " + what;
    for (const std::string& path : paths) command += " \"" + unixPath(path) + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!AppDriver::waitUntil([&] { return std::filesystem::exists(status); }, 30000)) return false;
    return fixtures::readFileBytes(status) == Bytes{'0'};
}

// The stored images from index first on, as "name WxH".
std::vector<std::string> storedFrom(const std::string& path, std::size_t first) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    const std::vector<CatalogueEntry> entries = listCatalogue(file);
    std::fclose(file);
    std::vector<std::string> images;
    for (std::size_t i = first; i < entries.size(); ++i)
        images.push_back(entries[i].name + " " + std::to_string(entries[i].info.width) + "x" +
                         std::to_string(entries[i].info.height));
    return images;
}

// Pictures without a database meet the guard; a database loads; three
// pictures go through the Import Image dialog with Import All offered; a
// PNG that comes without a file is imported as a pasted one is.
TEST(DropOnWindow, DatabasesPicturesAndABrowsersPicture) {
    std::vector<std::string> pictures;
    for (int i = 0; i < 3; ++i) {
        pictures.push_back(testing::scratchPath("drop " + std::to_string(i) + ".bmp"));
        writeBmp(pictures.back(), testing::gradient(20 + i, 10));
    }
    const std::string png = testing::scratchPath("browser.png");
    ASSERT_EQ(writePng(png, testing::gradient(33, 17), 33, 17), 0);
    const std::string path = testing::writeScratchFile("drop.pdb", fixtures::demoDatabase());
    AppDriver app;
    ASSERT_TRUE(app.started());

    ASSERT_TRUE(dropOnList(app, "--files", pictures));
    EXPECT_EQ(app.takeMessage("Message"),
              "Please create or load a Brushwick-format database file before choosing this "
              "operation.");

    ASSERT_TRUE(dropOnList(app, "--files", {path}));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 6; }));
    EXPECT_TRUE(app.text(1002).ends_with("drop.pdb")) << app.text(1002);

    ASSERT_TRUE(dropOnList(app, "--files", pictures));
    HWND dialog = app.waitForDialog("Import Image");
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, 1026)));  // Import All
    EXPECT_EQ(AppDriver::textOf(GetDlgItem(dialog, 1025)), "drop 0.bmp");
    AppDriver::press(dialog, 1026);
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 9; }));
    // Small pictures come in on the canvas of at least 160 x 144.
    EXPECT_EQ(storedFrom(path, 6),
              (std::vector<std::string>{"drop 0.bmp 160x144", "drop 1.bmp 160x144",
                                        "drop 2.bmp 160x144"}));

    ASSERT_TRUE(dropOnList(app, "--png", {png}));
    dialog = app.waitForDialog("Import Image");
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 1026)));
    AppDriver::press(dialog, 1023);
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 10; }));
    EXPECT_EQ(storedFrom(path, 9), (std::vector<std::string>{"ClipboardImage 160x144"}));
    EXPECT_EQ(app.listSelection(), 9);
    EXPECT_EQ(app.close(), 0u);
}

}  // namespace
}  // namespace ferrovel::gui
