// Where the Load command's open dialog starts.
#pragma once

#include <optional>
#include <string>

namespace ferrovel {

// The folder Load starts in: the current database when there is one, else
// the Palm Desktop folder followed by "\*.pdb" ("\*.pdb" alone without one).
// A folder too long for the 511 characters of the start text is not cut
// into a different folder: the start falls back to "\*.pdb".
std::string loadStartText(const std::string& currentDatabasePath,
                          const std::optional<std::string>& palmDesktopFolder);

inline constexpr std::size_t kMaxLoadStartChars = 511;

}  // namespace ferrovel
