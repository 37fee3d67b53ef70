// The Install command: copies the current database into the install folder
// of a Palm Desktop user chosen in the "Install Database to Handheld"
// dialog, and marks that user for install at the next HotSync.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/AppState.h"

namespace ferrovel {

inline constexpr const char* kInstallCaption = "Install Database";

struct UserChooserData {
    std::vector<std::string> userNames;  // in: list index i is table entry i
    std::int16_t chosenUser = -1;        // out: the selected index, -1 for none
};

// Runs the chooser modally, owned by the main window; the result is left in
// data.chosenUser.
void showUserChooser(const AppState& state, UserChooserData& data);

// The Install button's handler, run once the main window has found a
// current database with at least one image.
void installCommand(const AppState& state);

}  // namespace ferrovel
