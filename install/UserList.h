// The Palm Desktop users an install can go to: the user list file
// "users.dat" and the table of users with an install folder.
//
// "users.dat" is never parsed from its start. It is read whole and only
// searched for the pattern in which each user is assumed to be stored,
// somewhere in the file:
//
//   offset  size  field
//   0       4     user number, little-endian signed (names the install mark)
//   4       1     n, length of the user name
//   5       n     user name, no terminator
//   5+n     1     m, length of the folder name
//   6+n     m     folder name, no terminator: the user's folder in the Palm folder
//
// Nothing else in the file is read or relied on. Positions below are byte
// offsets from the start of the file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ferrovel {

// A larger user list is refused as unreadable rather than held in memory.
inline constexpr std::size_t kMaxUserListBytes = 16u * 1024u * 1024u;
inline constexpr std::int16_t kUserListUnreadable = -1;  // cannot be opened, read or held

inline constexpr std::size_t kMaxPalmUsers = 50;

inline constexpr const char* kHotSyncManagerKey =
    "Software\\U.S. Robotics\\Pilot Desktop\\HotSync Manager";

// One user with an install folder. Both texts are kept whole: a name or a
// path is never cut to a length at which it would name another folder.
struct PalmUser {
    std::string userName;       // as the chooser shows it
    std::string installFolder;  // full path of the user's install folder
};

// Reads the whole file into bytes: 0, or kUserListUnreadable with bytes
// empty (no file, a read error, more than maxBytes, or no memory).
std::int16_t readUserList(const std::string& path, std::vector<std::uint8_t>& bytes,
                          std::size_t maxBytes = kMaxUserListBytes);

// The name shown for the user whose folder is folderName. The file is
// searched from its end: the last position p (at least 6) where the folder
// name stands, preceded by its length byte (low 8 bits), gives the name as
// the run of bytes of 32 and up that ends just before that length byte,
// reaching back at most to position 1; the run may be empty. Without a
// match the folder name itself.
std::string lookUpUserName(std::span<const std::uint8_t> userList, const std::string& folderName);

// The number of the user called userName. The file is searched from its
// start: the first position j (at least 5) where the name stands, preceded
// by its length byte (low 8 bits), gives the 32-bit little-endian number at
// j - 5. Nothing without a match.
std::optional<std::int32_t> findUserNumber(std::span<const std::uint8_t> userList,
                                           const std::string& userName);

// The registry value path of a user's install mark: kHotSyncManagerKey plus
// "\Install" and the number in decimal.
std::string installMarkPath(std::int32_t userNumber);

// The database's file name without folder, drive and last extension.
std::string databaseBaseName(const std::string& databasePath);

// One leading and then one trailing double quote dropped, and every
// character (of the UTF-8 name) that is not an ASCII letter or digit made
// "_": "My Paint (2)" gives "My_Paint__2_".
std::string cleanInstallBaseName(const std::string& baseName);

// Where the database goes: the install folder of the first user called
// userName (userName itself when none is), then "\", the cleaned base name
// and ".pdb". An empty base name gives the folder alone.
std::string buildInstallTarget(const std::vector<PalmUser>& users, const std::string& userName,
                               const std::string& baseName);

}  // namespace ferrovel
