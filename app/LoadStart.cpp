#include "app/LoadStart.h"

namespace ferrovel {

std::string loadStartText(const std::string& currentDatabasePath,
                          const std::optional<std::string>& palmDesktopFolder) {
    if (!currentDatabasePath.empty()) return currentDatabasePath.substr(0, kMaxLoadStartChars);
    const std::string pattern = "\\*.pdb";
    const std::string folder = palmDesktopFolder.value_or(std::string());
    if (folder.size() + pattern.size() > kMaxLoadStartChars) return pattern;
    return folder + pattern;
}

}  // namespace ferrovel
