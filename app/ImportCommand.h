// The Import command: bitmap files chosen in the open dialog, each through
// the Import Image dialog (or Import All's settings) into the database.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/AppState.h"

namespace ferrovel {

void importCommand(AppState& state);

// Imports the files of a selection text: 0, or -1 when the user cancelled
// (the rest of the batch is dropped then).
std::int16_t importFiles(AppState& state, const std::string& databasePath,
                         const std::string& selection, std::size_t fileOffset);

}  // namespace ferrovel
