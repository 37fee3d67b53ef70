// The New and Load commands: which database file the program works on.
#pragma once

#include <cstdint>
#include <string>

#include "app/AppState.h"

namespace ferrovel {

// 0 when a new database was created and made current; -1 when cancelled or
// creation failed.
std::int16_t newDatabaseCommand(AppState& state);

// 0 when a file was chosen and shown; -1 when cancelled.
std::int16_t loadDatabaseCommand(AppState& state);

// Makes path the current database and shows it, as Load does once a file is chosen.
void openDatabasePath(AppState& state, const std::string& path);

}  // namespace ferrovel
