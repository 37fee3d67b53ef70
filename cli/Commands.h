// The commands of imagedb, one source file each: every function adds its
// command to the tool's command line and returns what runs it.
#pragma once

#include "cli/Tool.h"

namespace ferrovel {

// new DB.pdb [--force]: an empty image database (NewCommand.cpp).
Command addNewCommand(CLI::App& tool);

// info DB.pdb: file size, record count and image count (InfoCommand.cpp).
Command addInfoCommand(CLI::App& tool);

// list DB.pdb [--json]: the images with their details (ListCommand.cpp).
Command addListCommand(CLI::App& tool);

// check DB.pdb [--verbose]: every damaged record and label, and with
// --verbose the database's structure (CheckCommand.cpp).
Command addCheckCommand(CLI::App& tool);

// export DB.pdb OUT [--index N | --all numbered|names] [--format bmp|png] (ExportCommand.cpp).
Command addExportCommand(CLI::App& tool);

// import DB.pdb PICTURE... [options]: pictures appended as new images (ImportCommand.cpp).
Command addImportCommand(CLI::App& tool);

// delete DB.pdb INDEX..., rename DB.pdb INDEX NAME, move DB.pdb INDEX TO,
// each with --dry-run (EditCommands.cpp).
Command addDeleteCommand(CLI::App& tool);
Command addRenameCommand(CLI::App& tool);
Command addMoveCommand(CLI::App& tool);

}  // namespace ferrovel
