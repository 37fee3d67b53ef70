// Registry value paths of the settings store: components separated by "\",
// every component but the last a key (the first under the current user's
// hive), the last the value's name.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ferrovel {

inline constexpr std::size_t kMaxRegistryPathChars = 299;
inline constexpr std::size_t kMaxRegistryKeys = 10;

struct RegistryValuePath {
    std::vector<std::string> keys;
    std::string valueName;
};

// Splits a value path; empty components (doubled, leading or trailing
// separators) are skipped. Nothing for a path over 299 characters, one of
// more than 10 keys, or one without a value name.
std::optional<RegistryValuePath> splitRegistryPath(const std::string& path);

// The folder Load starts in: the current database when there is one, else
// the Palm Desktop folder followed by "\*.pdb" ("\*.pdb" alone without one).
// A folder too long for the 511 characters of the start text is not cut
// into a different folder: the start falls back to "\*.pdb".
std::string loadStartText(const std::string& currentDatabasePath,
                          const std::optional<std::string>& palmDesktopFolder);

inline constexpr std::size_t kMaxLoadStartChars = 511;

}  // namespace ferrovel
