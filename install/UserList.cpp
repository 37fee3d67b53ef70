#include "install/UserList.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "database/FileOpen.h"

namespace ferrovel {
namespace {

// The earliest positions of the two fields searched for: a folder name
// needs the number, two length bytes and a name (possibly empty) before it;
// a user name needs the number and its length byte.
constexpr std::size_t kFirstFolderAt = 6;
constexpr std::size_t kFirstNameAt = 5;
constexpr std::size_t kReadChunkBytes = 64 * 1024;

// The last position at which text fits, or nothing when none is at or after
// first. A position is a byte of the file, so even empty text needs one.
std::optional<std::size_t> lastFit(std::size_t fileSize, std::size_t textSize, std::size_t first) {
    const std::size_t needed = std::max<std::size_t>(textSize, 1);
    if (fileSize < needed || fileSize - needed < first) return std::nullopt;
    return fileSize - needed;
}

// True when text stands at at, preceded by its length byte.
bool standsAt(std::span<const std::uint8_t> list, std::size_t at, const std::string& text) {
    return list[at - 1] == static_cast<std::uint8_t>(text.size() & 0xFFu) &&
           (text.empty() || std::memcmp(list.data() + at, text.data(), text.size()) == 0);
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool isAsciiLetterOrDigit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

std::int16_t readUserList(const std::string& path, std::vector<std::uint8_t>& bytes,
                          std::size_t maxBytes) {
    bytes.clear();
    std::FILE* file = openFile(path, "rb");
    if (!file) return kUserListUnreadable;
    // Read in chunks rather than trusting a size from the file system: the
    // 32-bit ftell of the Windows build cannot tell a file over 2 GiB.
    std::int16_t status = 0;
    try {
        std::vector<std::uint8_t> chunk(kReadChunkBytes);
        std::vector<std::uint8_t> read;
        for (;;) {
            const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file);
            if (got > maxBytes - read.size()) {
                status = kUserListUnreadable;
                break;
            }
            read.insert(read.end(), chunk.begin(),
                        chunk.begin() + static_cast<std::ptrdiff_t>(got));
            if (got < chunk.size()) break;
        }
        if (std::ferror(file)) status = kUserListUnreadable;
        if (status == 0) bytes = std::move(read);
    } catch (const std::bad_alloc&) {
        status = kUserListUnreadable;
    }
    std::fclose(file);
    return status;
}

std::string lookUpUserName(std::span<const std::uint8_t> userList, const std::string& folderName) {
    const std::optional<std::size_t> last =
        lastFit(userList.size(), folderName.size(), kFirstFolderAt);
    if (!last) return folderName;
    for (std::size_t p = *last; p >= kFirstFolderAt; --p) {
        if (!standsAt(userList, p, folderName)) continue;
        // The name ends before the folder's length byte and starts after the
        // nearest control byte, but never before position 1.
        const std::size_t end = p - 1;
        std::size_t start = end;
        while (start > 1 && userList[start - 1] >= 32) --start;
        return std::string(userList.begin() + static_cast<std::ptrdiff_t>(start),
                           userList.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return folderName;
}

std::optional<std::int32_t> findUserNumber(std::span<const std::uint8_t> userList,
                                           const std::string& userName) {
    const std::optional<std::size_t> last = lastFit(userList.size(), userName.size(), kFirstNameAt);
    if (!last) return std::nullopt;
    for (std::size_t j = kFirstNameAt; j <= *last; ++j) {
        if (!standsAt(userList, j, userName)) continue;
        const std::uint8_t* number = userList.data() + (j - kFirstNameAt);
        const std::uint32_t bits = static_cast<std::uint32_t>(number[0]) |
                                   static_cast<std::uint32_t>(number[1]) << 8 |
                                   static_cast<std::uint32_t>(number[2]) << 16 |
                                   static_cast<std::uint32_t>(number[3]) << 24;
        return static_cast<std::int32_t>(bits);
    }
    return std::nullopt;
}

std::string installMarkPath(std::int32_t userNumber) {
    return std::string(kHotSyncManagerKey) + "\\Install" + std::to_string(userNumber);
}

std::string databaseBaseName(const std::string& databasePath) {
    std::size_t nameStart = databasePath.size() >= 2 && databasePath[1] == ':' ? 2 : 0;
    const std::size_t separator = databasePath.find_last_of("\\/");
    if (separator != std::string::npos) nameStart = std::max(nameStart, separator + 1);
    const std::string name = databasePath.substr(nameStart);
    return name.substr(0, name.rfind('.'));
}

std::string cleanInstallBaseName(const std::string& baseName) {
    std::string cleaned = baseName;
    if (!cleaned.empty() && cleaned.front() == '"') cleaned.erase(0, 1);
    if (!cleaned.empty() && cleaned.back() == '"') cleaned.pop_back();
    std::string out;
    for (char c : cleaned) {
        // A character of several UTF-8 bytes becomes one "_".
        if (isContinuationByte(c)) continue;
        out.push_back(isAsciiLetterOrDigit(c) ? c : '_');
    }
    return out;
}

std::string buildInstallTarget(const std::vector<PalmUser>& users, const std::string& userName,
                               const std::string& baseName) {
    std::string folder = userName;
    const auto user = std::find_if(users.begin(), users.end(),
                                   [&](const PalmUser& u) { return u.userName == userName; });
    if (user != users.end()) folder = user->installFolder;
    if (baseName.empty()) return folder;
    return folder + "\\" + cleanInstallBaseName(baseName) + ".pdb";
}

}  // namespace ferrovel
