// The Install command end to end: a Palm Desktop tree built in the scratch
// folder, its registry keys set here, the real program and its chooser.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/fixtures/DatabaseBuilder.h"
#include "tests/fixtures/DemoDatabase.h"
#include "tests/gui/AppDriver.h"
#include "tests/gui/Screenshot.h"

namespace ferrovel::gui {
namespace {

using namespace std::string_literals;

constexpr const char* kChooser = "Install Database to Handheld";
constexpr const char* kCaption = "Install Database";
constexpr const char* kInstalled =
    "Installation sucessful.  HotSync to complete transfer of the image database.";
constexpr const char* kCopyFailed =
    "Could not copy source file to destination install folder.\n"
    "Please use the PalmOS install tool instead to install this image database.";
constexpr const char* kFirstPath = "Software\\U.S. Robotics\\Pilot Desktop\\Core";
constexpr const char* kHotSync = "Software\\U.S. Robotics\\Pilot Desktop\\HotSync Manager";
constexpr const char* kTarget = "My_Paint__2_.pdb";  // of the database "My Paint (2).pdb"

// The main tree's "users.dat": each user's number, four bytes low first, then
// name and folder, each after its length; names in the handheld's character
// set. The first "Carol" is carol2.
const std::string kUserList =
    "\x10\0\xFF\x7F"
    "\x16\0\0\0\5Carol\6carol2"
    "\7\0\0\0\13Alice Smith\5alice"
    "\x15\0\0\0\5Carol\6carol1"
    "\xE8\3\0\0\3Zo\xEB\3zoe"s;
const std::map<std::string, std::string> kNames = {
    {"carol2", "Carol"}, {"alice", "Alice Smith"}, {"carol1", "Carol"}, {"zoe", "Zo\u00EB"}};

// HotSync Manager's install conduit of that number, with the values given.
void setConduit(int number, const char* module, const char* directory) {
    const std::string key = std::string(kHotSync) + "\\InstallConduit" + std::to_string(number);
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    const char* values[][2] = {{"Module", module}, {"Directory", directory}};
    for (const auto& [name, text] : values)
        if (text)
            RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, text,
                            static_cast<DWORD>(std::strlen(text) + 1));
}

// The install marks of the main tree's users, "InstallN=value " each, then cleared.
std::string takeMarks() {
    std::string marks;
    for (int number : {22, 7, 21, 1000}) {
        const std::string name = "Install" + std::to_string(number);
        DWORD value = 0, size = sizeof value;
        if (RegGetValueA(HKEY_CURRENT_USER, kHotSync, name.c_str(), RRF_RT_REG_DWORD, nullptr,
                         &value, &size) == ERROR_SUCCESS)
            marks += name + "=" + std::to_string(value) + " ";
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kHotSync, name.c_str());
    }
    return marks;
}

// Makes the folder, and those above it that are missing.
std::string folder(const std::string& path) {
    SHCreateDirectoryExA(nullptr, path.c_str(), nullptr);
    return path;
}

// A folder's entries that have the subfolder (all, without one), in the file system's order.
std::vector<std::string> entriesOf(const std::string& path, const std::string& subfolder = "") {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry{};
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &entry)) {
        const std::string name = entry.cFileName;
        if (name != "." && name != ".." &&
            (subfolder.empty() || fileExists(path + "\\" + name + "\\" + subfolder)))
            names.push_back(name);
    }
    FindClose(find);
    return names;
}

// The program on "My Paint (2).pdb" in a folder named in another script, like
// the Palm folder. Without Palm Desktop keys Install says it finds no Palm
// folder; the chooser lists the users of the first key's folder, else the
// second's, and ends without a message; an install copies to the chosen
// user's folder and marks their number. One that cannot complete leaves what
// lies at the destination as it was, and no copy of its own beside it; the
// installed copy itself, opened and installed again, stays.
TEST(Install, ListsTheUsersOfThePalmFolderCopiesToTheChosenOneAndNeverDestroysWhatLiesThere) {
    deletePalmDesktopKeys();
    const std::string database =
        folder(testing::scratchPath("\u5199\u771F 1")) + "\\My Paint (2).pdb";
    fixtures::writeFileBytes(database, fixtures::demoDatabase());
    // The users above with an "Inbox", and folders not listed with it: one
    // with "Install", one with "Wrong", an empty one; and a file.
    const std::string tree = testing::scratchPath("palm \u5199\u771F");
    for (const char* sub : {"carol2\\Inbox", "alice\\Inbox", "carol1\\Inbox", "zoe\\Inbox",
                            "plain\\Install", "wrong\\Wrong", "empty"})
        folder(tree + "\\" + sub);
    fixtures::writeFileBytes(tree + "\\users.dat",
                             fixtures::Bytes(kUserList.begin(), kUserList.end()));
    fixtures::writeFileBytes(tree + "\\notes", {1, 2, 3});
    std::optional<AppDriver> app;
    const auto start = [&](const std::string& path) {
        app.emplace(path, 6);
        return app->started();
    };
    ASSERT_TRUE(start(database));
    // Shows the chooser's entries and ends it with Cancel.
    const auto entriesThenCancel = [&] {
        HWND chooser = app->openDialog(1017, kChooser);
        const auto entries = AppDriver::listBoxEntries(GetDlgItem(chooser, 1024));
        AppDriver::press(chooser, 1022);
        EXPECT_TRUE(app->noDialog(kChooser) && app->noDialog(kCaption, 0));
        return entries;
    };
    // Installs for the chooser's entry index; the message shown.
    const auto installFor = [&](std::size_t index) {
        HWND chooser = app->openDialog(1017, kChooser);
        SendMessageW(GetDlgItem(chooser, 1024), LB_SETCURSEL, index, 0);
        AppDriver::press(chooser, 1023);
        app->waitForDialog(kCaption, 10000);  // a held destination is retried for seconds
        return app->takeMessage(kCaption);
    };

    app->press(1017);
    EXPECT_EQ(app->takeMessage("Registry Error"), "Cannot locate a path to the Palm folder");
    EXPECT_EQ(app->takeMessage(kCaption),
              "Cannot locate a valid Palm installation folder or user list on this PC.\n"
              "Please use the PalmOS install tool instead to install this image database.");

    const std::string many = folder(testing::scratchPath("palm-many"));
    for (int i = 0; i < 55; ++i) folder(many + "\\u" + std::to_string(i) + "\\Install");
    setPalmDesktopFolder(false, many);
    setPalmDesktopFolder(true, tree);
    setConduit(1, "Inscn.dll", "Wrong");  // not the install conduit: case matters
    setConduit(2, "inscn20.dll", "Inbox");
    const std::vector<std::string> folders = entriesOf(tree, "Inbox");
    std::vector<std::string> names;
    for (const std::string& user : folders) names.push_back(kNames.at(user));
    ASSERT_EQ(names.size(), 4u);
    HWND chooser = app->openDialog(1017, kChooser);
    EXPECT_EQ(AppDriver::listBoxEntries(GetDlgItem(chooser, 1024)), names);  // "Carol" twice
    saveScreenshot("install-dialog", chooser);
    EXPECT_EQ(SendMessageW(GetDlgItem(chooser, 1024), LB_GETCURSEL, 0, 0), 0);
    PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);  // Escape is ignored
    EXPECT_FALSE(app->noDialog(kChooser));
    PostMessageA(chooser, WM_CLOSE, 0, 0);
    EXPECT_TRUE(app->noDialog(kChooser) && app->noDialog(kCaption, 0));

    // Zoë, listed in the handheld's character set, and the later Carol: a
    // name installs to the folder of its first user in the list and marks
    // the first number of that name in the user file.
    const auto indexOf = [&](const std::string& name) {
        return static_cast<std::size_t>(std::find(folders.begin(), folders.end(), name) -
                                        folders.begin());
    };
    const auto target = [&](const std::string& user) {
        return tree + "\\" + user + "\\Inbox\\" + kTarget;
    };
    EXPECT_EQ(installFor(indexOf("zoe")), kInstalled);
    EXPECT_TRUE(fileExists(target("zoe")));
    EXPECT_EQ(takeMarks(), "Install1000=1 ");
    EXPECT_EQ(installFor(std::max(indexOf("carol1"), indexOf("carol2"))), kInstalled);
    EXPECT_TRUE(fileExists(target(folders[std::min(indexOf("carol1"), indexOf("carol2"))])));
    EXPECT_EQ(takeMarks(), "Install22=1 ");

    // Alice's folder already holds a file of the target's name, which a
    // failed install leaves as it was, alone, and Alice unmarked.
    const std::string inbox = tree + "\\alice\\Inbox";
    const std::string installed = target("alice");
    const fixtures::Bytes earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    const auto expectOnly = [&](const fixtures::Bytes& bytes, const char* marks) {
        EXPECT_EQ(fixtures::readFileBytes(installed), bytes);
        EXPECT_EQ(entriesOf(inbox), std::vector<std::string>{kTarget});
        EXPECT_EQ(takeMarks(), marks);
    };
    fixtures::writeFileBytes(installed, earlier);

    // A reader that holds the destination: the copy is made but cannot take its place.
    HANDLE reader = CreateFileA(installed.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(installFor(indexOf("alice")), kCopyFailed);
    CloseHandle(reader);
    expectOnly(earlier, "");

    // The database moved away since it was loaded: nothing to copy.
    ASSERT_TRUE(MoveFileA(database.c_str(), (database + ".away").c_str()));
    EXPECT_EQ(installFor(indexOf("alice")), kCopyFailed);
    expectOnly(earlier, "");

    // The installed copy under another spelling of its path: the same file,
    // kept byte for byte, and its user marked.
    fixtures::writeFileBytes(installed, fixtures::demoDatabase());
    std::string spelling = inbox;
    CharUpperA(spelling.data());
    ASSERT_TRUE(start(spelling + "\\my_paint__2_.pdb"));
    EXPECT_EQ(installFor(indexOf("alice")), kInstalled);
    expectOnly(fixtures::demoDatabase(), "Install7=1 ");

    // A conduit without a directory is ignored too: the subfolder is "Install".
    setConduit(1, "inscn1.dll", nullptr);
    setConduit(2, nullptr, nullptr);
    EXPECT_EQ(entriesThenCancel(), std::vector<std::string>{"plain"});

    // Without the first key the second: 55 users and no user list, the first
    // 50 found are listed, named by their folders.
    RegDeleteTreeA(HKEY_CURRENT_USER, kFirstPath);
    std::vector<std::string> first50 = entriesOf(many, "Install");
    first50.resize(50);
    EXPECT_EQ(entriesThenCancel(), first50);
    EXPECT_EQ(installFor(49), kInstalled);
    EXPECT_TRUE(fileExists(many + "\\" + first50[49] + "\\Install\\" + kTarget));
    deletePalmDesktopKeys();
}

}  // namespace
}  // namespace ferrovel::gui
