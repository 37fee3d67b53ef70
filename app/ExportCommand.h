// The Export command: the Export Image(s) dialog, the save dialog and the
// export loop with the window's title showing each output path.
#pragma once

#include "app/AppState.h"

namespace ferrovel {

void exportCommand(AppState& state);

// Runs the Export Image(s) dialog; afterwards state.exportMode holds the
// choice, or the previous mode when the dialog was closed.
void showExportModeDialog(AppState& state);

// The save dialog's title for an export mode.
const char* exportSaveTitle(std::int16_t mode);

}  // namespace ferrovel
