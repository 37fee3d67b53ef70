#include "install/PalmDesktop.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "database/TextEncoding.h"
#include "platform/Registry.h"
#include "platform/WinUtil.h"

namespace ferrovel {
namespace {

// Longer scan paths are skipped rather than cut into a different path.
constexpr std::size_t kMaxScanPathChars = 511;
constexpr DWORD kModuleBytes = 40;
constexpr DWORD kDirectoryBytes = 256;
constexpr int kInstallConduits = 2;
constexpr DWORD kPathValueBytes = 512;

// The value is read with its full 512 bytes; the text ends at the stored
// terminator, or after all 512 bytes when there is none.
std::optional<std::string> readPathValue(const char* company, const char* product) {
    char path[300];
    std::snprintf(path, sizeof path, "%s\\%s\\%s\\%s\\%s", "Software", company, product, "Core",
                  "Path");
    std::vector<char> folder(kPathValueBytes + 1, '\0');
    if (readRegistryValue(path, folder.data(), kPathValueBytes) != 0) return std::nullopt;
    return std::string(folder.data());
}

// A registry text of at most size bytes, terminated here even when the
// stored value is not.
std::optional<std::string> readRegistryText(const std::string& path, DWORD size) {
    std::vector<char> text(size + 1, '\0');
    if (readRegistryValue(path, text.data(), size) != 0) return std::nullopt;
    return std::string(text.data());
}

// The subfolder named by the first install conduit that is HotSync's own
// (its module begins with "inscn") and has a directory; else "Install".
std::string installFolderName() {
    for (int conduit = 1; conduit <= kInstallConduits; ++conduit) {
        const std::string key =
            std::string(kHotSyncManagerKey) + "\\InstallConduit" + std::to_string(conduit);
        const std::optional<std::string> module = readRegistryText(key + "\\Module", kModuleBytes);
        if (!module || !module->starts_with("inscn")) continue;
        if (auto directory = readRegistryText(key + "\\Directory", kDirectoryBytes)) {
            return *directory;
        }
    }
    return "Install";
}

std::string userListPath(const PalmDesktop& desktop) {
    return desktop.palmFolder + "\\users.dat";
}

bool isUserFolder(const WIN32_FIND_DATAW& entry) {
    const std::wstring_view name = entry.cFileName;
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && name != L"." &&
           name != L"..";
}

// The user list holds the handheld's names in its character set: a folder
// is looked up in it, and its user's name comes back, through that set. A
// folder without a user of its own keeps its name as it is.
std::string userNameOf(const std::vector<std::uint8_t>& userList, const std::string& folder) {
    const std::string listed = utf8ToHandheld(folder);
    const std::string name = lookUpUserName(userList, listed);
    return name == listed ? folder : handheldToUtf8(name);
}

// Appends the folder's user when it has the install subfolder.
void addUserOf(PalmDesktop& desktop, const std::string& folder,
               const std::vector<std::uint8_t>& userList) {
    const std::string install =
        desktop.palmFolder + "\\" + folder + "\\" + desktop.installFolderName;
    if (install.size() > kMaxScanPathChars) return;
    if (GetFileAttributesW(toWide(install).c_str()) == INVALID_FILE_ATTRIBUTES) return;
    desktop.users.push_back(PalmUser{userNameOf(userList, folder), install});
}

// The Palm folder's entries in the file system's order, until the table is full.
void scanUserFolders(PalmDesktop& desktop) {
    const std::string pattern = desktop.palmFolder + "\\*";
    if (pattern.size() > kMaxScanPathChars) return;
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileW(toWide(pattern).c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    // An unreadable list leaves it empty, and every user is named by its folder.
    std::vector<std::uint8_t> userList;
    readUserList(userListPath(desktop), userList);
    do {
        if (isUserFolder(entry)) addUserOf(desktop, toUtf8(entry.cFileName), userList);
    } while (desktop.users.size() < kMaxPalmUsers && FindNextFileW(find, &entry));
    FindClose(find);
}

}  // namespace

std::optional<std::string> palmDesktopFolder() {
    if (auto folder = readPathValue("U.S. Robotics", "Pilot Desktop")) return folder;
    return readPathValue("3Com", "Palm Desktop");
}

std::int16_t locatePalmUsers(PalmDesktop& desktop) {
    desktop = PalmDesktop{};
    const std::optional<std::string> folder = palmDesktopFolder();
    if (!folder) {
        showMessage("Cannot locate a path to the Palm folder", "Registry Error");
        return -1;
    }
    desktop.palmFolder = *folder;
    desktop.installFolderName = installFolderName();
    scanUserFolders(desktop);
    return 0;
}

std::int16_t markUserForInstall(const PalmDesktop& desktop, const std::string& userName) {
    const bool listed =
        std::any_of(desktop.users.begin(), desktop.users.end(),
                    [&](const PalmUser& user) { return user.userName == userName; });
    if (!listed) return -1;
    std::vector<std::uint8_t> userList;
    if (readUserList(userListPath(desktop), userList) != 0) return -1;
    const std::optional<std::int32_t> number = findUserNumber(userList, utf8ToHandheld(userName));
    if (!number) return -1;
    const DWORD mark = 1;
    return writeRegistryValue(installMarkPath(*number), &mark, sizeof mark, REG_DWORD);
}

}  // namespace ferrovel
