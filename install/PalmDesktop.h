// Palm Desktop on this PC: its folder from the registry, the name of the
// users' install subfolder from HotSync Manager's install conduits, the
// users that have one, and HotSync Manager's install mark.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "install/UserList.h"

namespace ferrovel {

struct PalmDesktop {
    std::string palmFolder;                     // from the registry
    std::string installFolderName = "Install";  // unless an install conduit names another
    std::vector<PalmUser> users;                // at most kMaxPalmUsers, in the scan's order
};

// The Palm Desktop folder from the registry, when one of its two keys has it.
std::optional<std::string> palmDesktopFolder();

// Fills desktop anew from the registry and the folder scan: 0 when the Palm
// folder is named in the registry (also when no user has an install folder),
// -1 after telling the user ("Registry Error") that it is not.

std::int16_t locatePalmUsers(PalmDesktop& desktop);

// Writes the install mark of the user called userName (REG_DWORD 1 named by
// the user's number in "users.dat"): 0, or -1 when the user is not in the
// table or the file, the file cannot be read, or the write fails.
std::int16_t markUserForInstall(const PalmDesktop& desktop, const std::string& userName);

}  // namespace ferrovel
