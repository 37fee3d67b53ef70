// The Import command: bitmap files chosen in the open dialog, each through
// the Import Image dialog (or Import All's settings) into the database.
#pragma once

#include <cstdint>
#include <string>

#include "app/AppState.h"
#include "app/Import.h"

namespace ferrovel {

void importCommand(AppState& state);

// Imports the files of a selection: 0, or -1 when the user cancelled (the
// rest of the batch is dropped then). appendedAny, when given, tells whether
// at least one picture went into the database, cancelled or not.
std::int16_t importFiles(AppState& state, const std::string& databasePath,
                         const Selection& selection, bool* appendedAny = nullptr);

}  // namespace ferrovel
