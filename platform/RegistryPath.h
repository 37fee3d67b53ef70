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

}  // namespace ferrovel
