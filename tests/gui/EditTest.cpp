// End-to-end tests of changing a database in the window: the image list's
// context menu and keys, given as real input through the window system, and
// files and pictures dropped on the window by a real X drag and drop. That
// every other record stays byte for byte is the edit tests' concern.
#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/fixtures/DemoDatabase.h"
#include "tests/gui/AppDriver.h"
#include "tests/gui/Screenshot.h"
#include "tests/gui/TestPrinter.h"

namespace ferrovel::gui {

namespace {

using V = std::vector<std::string>;
constexpr int kImageList = 1012;

// Real input through the window system's queue: the keys pressed in turn and
// let go in reverse, so that {VK_SHIFT, VK_F10} is Shift+F10.
void keys(std::initializer_list<WORD> held) {
    for (WORD key : held) keybd_event(static_cast<BYTE>(key), 0, 0, 0);
    for (auto key = std::rbegin(held); key != std::rend(held); ++key)
        keybd_event(static_cast<BYTE>(*key), 0, KEYEVENTF_KEYUP, 0);
    Sleep(50);
}

// Clicks list entry index with the left or right button; either selects it.
bool clickEntry(const AppDriver& app, int index, bool right) {
    HWND list = GetDlgItem(app.mainWindow(), kImageList);
    const int height = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    POINT at{10, height * index + height / 2};
    ClientToScreen(list, &at);
    SetCursorPos(at.x, at.y);
    mouse_event(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    Sleep(50);
    return AppDriver::waitUntil([&] { return app.listSelection() == index; });
}

// Chooses an item of the program's popup menu, once it shows, with the arrow
// keys: from no highlighted item, Down goes to Rename... and Delete, Up to
// Move Down and Move Up. The window with its menu is saved first when named.
bool chooseFromMenu(const AppDriver& app, std::initializer_list<WORD> arrows,
                    const char* screenshot = nullptr) {
    HWND menu = nullptr;
    AppDriver::waitUntil(
        [&] { return (menu = FindWindowA("#32768", nullptr)) && IsWindowVisible(menu); });
    if (screenshot) saveScreenshot(screenshot, app.mainWindow(), menu);
    for (WORD arrow : arrows) keys({arrow});
    keys({VK_RETURN});
    return menu && AppDriver::waitUntil([&] { return !IsWindowVisible(menu); });
}

// Every way in: Delete (answered Yes) and F2 on the keyboard, the menu by
// right click (Delete answered No), by the menu key and by Shift+F10. Each
// change is checked in the file, image by image, and in the list.
TEST(EditImages, DeleteRenameAndMoveThroughTheContextMenuAndKeys) {
    const std::string path = testing::writeScratchFile("edit.pdb", fixtures::demoDatabase());
    const V demo = storedImages(path, 0);
    const auto demoIn = [&](std::initializer_list<int> order) {
        V images;
        for (int i : order) images.push_back(demo[static_cast<std::size_t>(i)]);
        return images;
    };
    AppDriver app(path, 6);
    ASSERT_TRUE(app.started());

    ASSERT_TRUE(clickEntry(app, 1, false));
    keys({VK_DELETE});
    EXPECT_EQ(app.takeMessage("Delete Image", IDYES),
              "Delete the image \"Four grays\" from the database?");
    // The next image selected.
    ASSERT_TRUE(AppDriver::waitUntil(
        [&] { return app.listEntries().size() == 5 && app.listSelection() == 1; }));
    EXPECT_EQ(storedImages(path, 0), demoIn({0, 2, 3, 4, 5}));

    ASSERT_TRUE(clickEntry(app, 0, true));
    ASSERT_TRUE(chooseFromMenu(app, {VK_DOWN, VK_DOWN}, "context-menu"));
    EXPECT_EQ(app.takeMessage("Delete Image", IDNO),
              "Delete the image \"Rings\" from the database?");
    EXPECT_TRUE(app.noDialog("Delete Image"));
    EXPECT_EQ(storedImages(path, 0), demoIn({0, 2, 3, 4, 5}));

    keys({VK_APPS});
    ASSERT_TRUE(chooseFromMenu(app, {VK_UP}));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listSelection() == 1; }));
    EXPECT_EQ(storedImages(path, 0), demoIn({2, 0, 3, 4, 5}));

    ASSERT_TRUE(clickEntry(app, 4, false));
    keys({VK_SHIFT, VK_F10});
    ASSERT_TRUE(chooseFromMenu(app, {VK_UP, VK_UP}));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listSelection() == 3; }));
    EXPECT_EQ(storedImages(path, 0), demoIn({2, 0, 3, 5, 4}));
    EXPECT_EQ(app.listEntries(), (V{"Gray ramp", "Rings", "Palette", "Balloon", "Sunset"}));

    keys({VK_F2});
    HWND rename = app.waitForDialog("Rename Image");
    ASSERT_TRUE(rename);
    EXPECT_EQ(AppDriver::textOf(GetDlgItem(rename, 1044)), "Balloon");
    SendMessageW(GetDlgItem(rename, 1044), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Zo\u00eb"));
    AppDriver::press(rename, IDOK);
    ASSERT_TRUE(AppDriver::waitUntil([&] {
        return app.listSelection() == 3 &&
               app.listEntries() == V{"Gray ramp", "Rings", "Palette", "Zo\u00eb", "Sunset"};
    }));
    EXPECT_EQ(storedImages(path, 0)[3], "Zo\xEB 160x160 16");
    EXPECT_EQ(app.close(), 0u);
}

// Drops on the middle of the image list from an X client, as a file manager
// or a browser drops: true when the window took the drop. Wine does not
// follow a Unix process it starts, so the client leaves its exit status in
// a file for us to wait for.
bool dropOnList(const AppDriver& app, const std::string& what, const V& paths) {
    const std::string status = testing::scratchPath("drop-status");
    DeleteFileA(status.c_str());
    const RECT list = screenRectOf(app.mainWindow(), kImageList);
    std::string command = "/usr/bin/python3 \"" FERROVEL_XDND_DROP "\" \"" + unixPath(status) +
                          "\" " + std::to_string((list.left + list.right) / 2) + " " +
                          std::to_string((list.top + list.bottom) / 2) + " " + what;
    for (const std::string& path : paths) command += " \"" + unixPath(path) + "\"";
    return WinExec(command.c_str(), SW_HIDE) > 31 &&
           AppDriver::waitUntil([&] { return fileExists(status); }, 30000) &&
           fixtures::readFileBytes(status) == fixtures::Bytes{'0'};
}

// Pictures without a database meet the guard; a database loads; three
// pictures go through the Import Image dialog with Import All offered; a
// PNG that comes without a file is imported as a pasted one is.
TEST(DropOnWindow, DatabasesPicturesAndABrowsersPicture) {
    const V pictures = {testing::gradientBitmap("drop 0.bmp", 20, 10),
                        testing::gradientBitmap("drop 1.bmp", 21, 10),
                        testing::gradientBitmap("drop 2.bmp", 22, 10)};
    const std::string png = FERROVEL_TEST_PICTURES "/png-rgba.png";
    const std::string path = testing::writeScratchFile("drop.pdb", fixtures::demoDatabase());
    storeImportSettings({});  // 1 bit
    AppDriver app;
    ASSERT_TRUE(app.started());

    ASSERT_TRUE(dropOnList(app, "--files", pictures));
    EXPECT_EQ(app.takeMessage("Message"),
              "Please create or load a Brushwick-format database file before choosing this "
              "operation.");

    ASSERT_TRUE(dropOnList(app, "--files", {path}));
    ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == 6; }));
    EXPECT_TRUE(app.text(1002).ends_with("drop.pdb")) << app.text(1002);

    // Import All offered for the three, which come in on the canvas of at
    // least 160 x 144; the PNG alone.
    for (const auto& [what, paths, button, count] :
         {std::tuple{"--files", pictures, 1026, 9u}, std::tuple{"--png", V{png}, 1023, 10u}}) {
        ASSERT_TRUE(dropOnList(app, what, paths));
        HWND dialog = app.waitForDialog("Import Image");
        ASSERT_TRUE(dialog);
        EXPECT_EQ(IsWindowVisible(GetDlgItem(dialog, 1026)), paths.size() > 1) << what;
        AppDriver::press(dialog, button);
        ASSERT_TRUE(AppDriver::waitUntil([&] { return app.listEntries().size() == count; }));
    }
    EXPECT_EQ(storedImages(path, 6), (V{"drop 0.bmp 160x144 1", "drop 1.bmp 160x144 1",
                                        "drop 2.bmp 160x144 1", "ClipboardImage 208x150 1"}));
    EXPECT_EQ(app.listSelection(), 9);
    EXPECT_EQ(app.close(), 0u);
}

}  // namespace
}  // namespace ferrovel::gui
