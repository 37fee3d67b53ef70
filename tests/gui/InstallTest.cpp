// The Install command end to end: a Palm Desktop tree built in the scratch
// folder, its registry keys set here, the real program and its chooser.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "database/TextEncoding.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/DatabaseBuilder.h"
#include "tests/fixtures/DemoDatabase.h"
#include "tests/gui/AppDriver.h"
#include "tests/gui/Screenshot.h"

namespace ferrovel::gui {
namespace {

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

// The users of the main tree in the order of its "users.dat", whose first
// "Carol" is carol2.
struct User {
    const char* folder;
    const char* name;
    int number;
};
constexpr User kUsers[] = {{"carol2", "Carol", 22},
                           {"alice", "Alice Smith", 7},
                           {"carol1", "Carol", 21},
                           {"zoe", "Zo\u00EB", 1000}};

void setText(const std::string& key, const char* name, const char* text) {
    RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, text,
                    static_cast<DWORD>(std::strlen(text) + 1));
}

void setConduit(int number, const char* module, const char* directory) {
    const std::string key = std::string(kHotSync) + "\\InstallConduit" + std::to_string(number);
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    if (module) setText(key, "Module", module);
    if (directory) setText(key, "Directory", directory);
}

// A user number's install mark, or -1 when there is no REG_DWORD of its name.
long installMark(int number) {
    DWORD value = 0, size = sizeof value;
    const std::string name = "Install" + std::to_string(number);
    return RegGetValueA(HKEY_CURRENT_USER, kHotSync, name.c_str(), RRF_RT_REG_DWORD, nullptr,
                        &value, &size) == ERROR_SUCCESS
               ? static_cast<long>(value)
               : -1;
}

void clearMarks() {
    for (const User& user : kUsers)
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kHotSync,
                           ("Install" + std::to_string(user.number)).c_str());
}

std::string folder(const std::string& path) {
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

// A folder's entries, in the file system's order.
std::vector<std::string> entriesOf(const std::string& path) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry{};
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    while (find != INVALID_HANDLE_VALUE) {
        if (std::strcmp(entry.cFileName, ".") != 0 && std::strcmp(entry.cFileName, "..") != 0)
            names.push_back(entry.cFileName);
        if (!FindNextFileA(find, &entry)) break;
    }
    FindClose(find);
    return names;
}

std::vector<std::string> userFolders(const std::string& palm, const std::string& subfolder) {
    std::vector<std::string> folders;
    for (const std::string& name : entriesOf(palm))
        if (fileExists(palm + "\\" + name + "\\" + subfolder)) folders.push_back(name);
    return folders;
}

const User& userOf(const std::string& name) {
    return *std::find_if(std::begin(kUsers), std::end(kUsers), [&](const User& u) {
        return name == u.folder || name == u.name;  // by folder, or the first of a name
    });
}

// The users above with an "Inbox", and folders not listed with it: one with
// "Install", one with "Wrong", an empty one; and a file.
const std::string& mainTree() {
    static const std::string palm = [] {
        const std::string path = folder(testing::scratchPath("palm \u5199\u771F"));
        std::vector<std::uint8_t> list = {0x10, 0x00, 0xFF, 0x7F};
        for (const User& user : kUsers) {
            folder(folder(path + "\\" + user.folder) + "\\Inbox");
            for (int shift = 0; shift < 32; shift += 8)
                list.push_back(static_cast<std::uint8_t>(user.number >> shift));
            // Names in the handheld's character set: "Zo\xEB".
            for (const std::string& text : {utf8ToHandheld(user.name), std::string(user.folder)}) {
                list.push_back(static_cast<std::uint8_t>(text.size()));
                list.insert(list.end(), text.begin(), text.end());
            }
        }
        testing::writeScratchFile("palm \u5199\u771F\\users.dat", list);
        folder(folder(path + "\\plain") + "\\Install");
        folder(folder(path + "\\wrong") + "\\Wrong");
        folder(path + "\\empty");
        testing::writeScratchFile("palm \u5199\u771F\\notes", {1, 2, 3});
        return path;
    }();
    return palm;
}

class Install : public ::testing::Test {
protected:
    // The program on "My Paint (2).pdb" in a folder named in another
    // script, like the Palm folder; no Palm Desktop keys.
    void SetUp() override {
        TearDown();
        database_ = folder(testing::scratchPath("\u5199\u771F 1")) + "\\My Paint (2).pdb";
        fixtures::writeFileBytes(database_, fixtures::demoDatabase());
        ASSERT_NO_FATAL_FAILURE(start(database_));
    }
    void start(const std::string& database) {
        app_.emplace("\"" + database + "\"");
        ASSERT_TRUE(app_->started());
        ASSERT_TRUE(AppDriver::waitUntil([&] { return app_->listEntries().size() == 6; }));
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\U.S. Robotics");
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\3Com");
    }
    HWND openChooser() {
        app_->press(1017);
        return app_->waitForDialog(kChooser);
    }
    // Shows the chooser's entries and ends it with Cancel.
    std::vector<std::string> entriesThenCancel() {
        HWND chooser = openChooser();
        const std::vector<std::string> entries =
            AppDriver::listBoxEntries(GetDlgItem(chooser, 1024));
        AppDriver::press(chooser, 1022);
        EXPECT_TRUE(app_->noDialog(kChooser) && app_->noDialog(kCaption, 0));
        return entries;
    }
    // Installs for the chooser's entry index; the message shown.
    std::string installFor(std::size_t index) {
        HWND chooser = openChooser();
        SendMessageW(GetDlgItem(chooser, 1024), LB_SETCURSEL, index, 0);
        AppDriver::press(chooser, 1023);
        app_->waitForDialog(kCaption, 10000);  // a held destination is retried for seconds
        return app_->takeMessage(kCaption);
    }
    std::string database_;
    std::optional<AppDriver> app_;
};

TEST_F(Install, ListsTheUsersOfTheFirstPalmFolderAndCancelsWithoutAMessage) {
    app_->press(1017);
    EXPECT_EQ(app_->takeMessage("Registry Error"), "Cannot locate a path to the Palm folder");
    EXPECT_EQ(app_->takeMessage(kCaption),
              "Cannot locate a valid Palm installation folder or user list on this PC.\n"
              "Please use the PalmOS install tool instead to install this image database.");

    const std::string many = folder(testing::scratchPath("palm-many"));
    for (int i = 0; i < 55; ++i) folder(folder(many + "\\u" + std::to_string(i)) + "\\Install");
    setText("Software\\3Com\\Palm Desktop\\Core", "Path", many.c_str());
    setText(kFirstPath, "Path", mainTree().c_str());
    setConduit(1, "Inscn.dll", "Wrong");  // not the install conduit: case matters
    setConduit(2, "inscn20.dll", "Inbox");
    std::vector<std::string> names;
    for (const std::string& user : userFolders(mainTree(), "Inbox"))
        names.push_back(userOf(user).name);
    ASSERT_EQ(names.size(), 4u);
    HWND chooser = openChooser();
    EXPECT_EQ(AppDriver::listBoxEntries(GetDlgItem(chooser, 1024)), names);  // "Carol" twice
    saveScreenshot("install-dialog", chooser);
    EXPECT_EQ(SendMessageW(GetDlgItem(chooser, 1024), LB_GETCURSEL, 0, 0), 0);
    PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);  // Escape is ignored
    EXPECT_FALSE(app_->noDialog(kChooser));
    PostMessageA(chooser, WM_CLOSE, 0, 0);
    EXPECT_TRUE(app_->noDialog(kChooser));
    EXPECT_TRUE(app_->noDialog(kCaption, 0));
    for (const User& user : kUsers)
        EXPECT_FALSE(fileExists(mainTree() + "\\" + user.folder + "\\Inbox\\" + kTarget));

    // A conduit without a directory is ignored too: the subfolder is "Install".
    setConduit(1, "inscn1.dll", nullptr);
    setConduit(2, nullptr, nullptr);
    EXPECT_EQ(entriesThenCancel(), std::vector<std::string>{"plain"});

    // Without the first key the second: 55 users and no user list, the first
    // 50 found are listed, named by their folders.
    RegDeleteTreeA(HKEY_CURRENT_USER, kFirstPath);
    std::vector<std::string> first50 = userFolders(many, "Install");
    first50.resize(50);
    EXPECT_EQ(entriesThenCancel(), first50);
    EXPECT_EQ(installFor(49), kInstalled);
    EXPECT_TRUE(fileExists(many + "\\" + first50[49] + "\\Install\\" + kTarget));
}

// Installs to the chosen user's folder and marks their number. An install
// that cannot complete leaves what lies at the destination as it was, and no
// copy of its own beside it; the installed copy itself, opened and installed
// again, stays.
TEST_F(Install, CopiesToTheChosenUsersFolderAndNeverDestroysWhatLiesThere) {
    setText(kFirstPath, "Path", mainTree().c_str());
    setConduit(1, "inscn20.dll", "Inbox");
    const std::vector<std::string> folders = userFolders(mainTree(), "Inbox");
    ASSERT_EQ(folders.size(), 4u);
    const auto target = [&](const std::string& user) {
        return mainTree() + "\\" + user + "\\Inbox\\" + kTarget;
    };
    // Zoë, listed in the handheld's character set, and the later Carol: a
    // name installs to the folder of its first user and marks the first
    // number of that name in the list.
    std::size_t laterCarol = 0, zoe = 0;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (std::string(userOf(folders[i]).name) == "Carol") laterCarol = i;
        if (folders[i] == "zoe") zoe = i;
    }
    for (std::size_t index : {zoe, laterCarol}) {
        const std::string name = userOf(folders[index]).name;
        const std::string firstOfName = *std::find_if(
            folders.begin(), folders.end(), [&](const auto& f) { return userOf(f).name == name; });
        clearMarks();
        EXPECT_EQ(installFor(index), kInstalled);
        EXPECT_TRUE(fileExists(target(firstOfName))) << folders[index];
        for (const User& user : kUsers)
            EXPECT_EQ(installMark(user.number), user.number == userOf(name).number ? 1 : -1)
                << folders[index] << " " << user.number;
    }

    // Alice's folder already holds a file of the target's name.
    const std::size_t alice = static_cast<std::size_t>(
        std::find(folders.begin(), folders.end(), "alice") - folders.begin());
    ASSERT_LT(alice, folders.size());
    const std::string inbox = mainTree() + "\\alice\\Inbox";
    const std::string installed = inbox + "\\" + kTarget;
    const fixtures::Bytes earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    const auto expectUntouched = [&](const char* why) {
        EXPECT_EQ(fixtures::readFileBytes(installed), earlier) << why;
        EXPECT_EQ(entriesOf(inbox), std::vector<std::string>{kTarget}) << why;
        EXPECT_EQ(installMark(userOf("alice").number), -1) << why;
    };
    clearMarks();
    fixtures::writeFileBytes(installed, earlier);

    // A reader that holds the destination: the copy is made but cannot take its place.
    HANDLE reader = CreateFileA(installed.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(installFor(alice), kCopyFailed);
    CloseHandle(reader);
    expectUntouched("held destination");

    // The database moved away since it was loaded: nothing to copy.
    const std::string away = database_ + ".away";
    ASSERT_TRUE(MoveFileA(database_.c_str(), away.c_str()));
    EXPECT_EQ(installFor(alice), kCopyFailed);
    expectUntouched("database gone");

    // The installed copy under another spelling of its path: the same file,
    // kept byte for byte, and its user marked.
    fixtures::writeFileBytes(installed, fixtures::demoDatabase());
    std::string spelling = inbox;
    CharUpperA(spelling.data());
    ASSERT_NO_FATAL_FAILURE(start(spelling + "\\my_paint__2_.pdb"));
    EXPECT_EQ(installFor(alice), kInstalled);
    EXPECT_EQ(fixtures::readFileBytes(installed), fixtures::demoDatabase());
    EXPECT_EQ(entriesOf(inbox), std::vector<std::string>{kTarget});
    EXPECT_EQ(installMark(userOf("alice").number), 1);
}

}  // namespace
}  // namespace ferrovel::gui
