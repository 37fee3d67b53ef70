// delete, rename and move: each one rewrite of the database, or with
// --dry-run only the words of what it would do.
#include <algorithm>
#include <memory>
#include <set>

#include "app/Import.h"
#include "cli/Commands.h"
#include "cli/Imagedb.h"
#include "database/Append.h"
#include "database/Catalogue.h"
#include "database/ImageEdit.h"
#include "database/TextEncoding.h"

namespace ferrovel {
namespace {

struct EditArguments {
    std::string database;
    std::vector<int> indices;  // delete: the images; rename and move: one
    std::string name;          // rename
    int to = 0;                // move
    bool dryRun = false;
};

// "image 3 "Sunset" (2 records)".
std::string imageText(const std::vector<CatalogueEntry>& images,
                      const std::vector<RecordInfo>& records, std::size_t index) {
    const std::size_t first = static_cast<std::size_t>(images[index].info.firstRecord);
    const std::size_t last = index + 1 < images.size()
                                 ? static_cast<std::size_t>(images[index + 1].info.firstRecord)
                                 : records.size();
    const std::size_t count = last - first;
    return "image " + std::to_string(index) + " \"" + displayText(images[index].name) + "\" (" +
           std::to_string(count) + (count == 1 ? " record)" : " records)");
}

// The images of the database, read once; an index beyond them is told.
struct Catalogue {
    std::vector<RecordInfo> records;
    std::vector<CatalogueEntry> images;
};

int readCatalogue(const Tool& tool, const std::string& path, const std::vector<int>& indices,
                  Catalogue& catalogue) {
    Database database;
    if (const int status = openDatabase(tool, path, database)) return status;
    catalogue.records = readRecords(tool, path, database.file);
    catalogue.images = catalogueFromRecords(catalogue.records);
    const int count = static_cast<int>(catalogue.images.size());
    for (const int index : indices) {
        if (index >= 0 && index < count) continue;
        return fail(tool,
                    path + ": there is no image " + std::to_string(index) +
                        (count == 0 ? "; the database holds none"
                                    : "; the database holds " + std::to_string(count) +
                                          ", numbered from 0 to " + std::to_string(count - 1)) +
                        ". Nothing was changed.");
    }
    return kExitOk;
}

// Runs the change, or only says what it would do.
int apply(const Tool& tool, const EditArguments& args, const std::vector<std::string>& lines,
          const std::function<std::int16_t(RewriteReport*)>& change) {
    const char* prefix = args.dryRun ? "would " : "";
    if (!args.dryRun) {
        RewriteReport report;
        const std::int16_t status = change(&report);
        reportRewrite(tool, args.database, report);
        if (status != 0) {
            return fail(tool, args.database + ": " + importStatusMessage(status) +
                                  " The database is unchanged.");
        }
    }
    for (const std::string& line : lines) std::fprintf(tool.out, "%s%s\n", prefix, line.c_str());
    return kExitOk;
}

std::vector<std::int16_t> shortIndices(const std::vector<int>& indices) {
    std::vector<std::int16_t> out;
    for (const int index : indices) out.push_back(static_cast<std::int16_t>(index));
    return out;
}

int runDelete(const Tool& tool, const EditArguments& args) {
    Catalogue catalogue;
    if (const int status = readCatalogue(tool, args.database, args.indices, catalogue))
        return status;
    std::vector<std::string> lines;
    for (const int index : std::set<int>(args.indices.begin(), args.indices.end())) {
        lines.push_back("delete " + imageText(catalogue.images, catalogue.records,
                                              static_cast<std::size_t>(index)));
    }
    return apply(tool, args, lines, [&](RewriteReport* report) {
        return deleteImages(args.database, shortIndices(args.indices), report);
    });
}

int runRename(const Tool& tool, const EditArguments& args) {
    Catalogue catalogue;
    if (const int status = readCatalogue(tool, args.database, args.indices, catalogue))
        return status;
    const std::string stored = utf8ToHandheld(args.name).substr(0, kMaxImageNameChars);
    const std::size_t index = static_cast<std::size_t>(args.indices.front());
    const std::string line = "rename " + imageText(catalogue.images, catalogue.records, index) +
                             " to \"" + displayText(stored) + "\"";
    return apply(tool, args, {line}, [&](RewriteReport* report) {
        return renameImage(args.database, static_cast<std::int16_t>(index), stored, report);
    });
}

int runMove(const Tool& tool, const EditArguments& args) {
    Catalogue catalogue;
    std::vector<int> named = args.indices;
    named.push_back(args.to);
    if (const int status = readCatalogue(tool, args.database, named, catalogue)) return status;
    const std::size_t index = static_cast<std::size_t>(args.indices.front());
    const std::string line = "move " + imageText(catalogue.images, catalogue.records, index) +
                             " to index " + std::to_string(args.to);
    return apply(tool, args, {line}, [&](RewriteReport* report) {
        return moveImage(args.database, static_cast<std::int16_t>(index),
                         static_cast<std::int16_t>(args.to), report);
    });
}

CLI::Validator imageIndex() {
    return accepting(
        [](const std::string& text) { return numberIn(text, 0, INT16_MAX).has_value(); },
        "an image index, a whole number from 0 to 32767");
}

CLI::App* editCommand(CLI::App& tool, const char* name, const char* what, const char* footer,
                      EditArguments& args) {
    CLI::App* command = tool.add_subcommand(name, what);
    command->footer(std::string(footer) +
                    "\nThe database is rewritten once, atomically; an index that names no image "
                    "changes\nnothing and exits 1. --dry-run only says what would change.");
    addDatabaseArgument(*command, args.database);
    command->add_flag("--dry-run", args.dryRun, "say what would change, and change nothing");
    return command;
}

}  // namespace

Command addDeleteCommand(CLI::App& tool) {
    auto args = std::make_shared<EditArguments>();
    CLI::App* command = editCommand(tool, "delete", "delete images",
                                    "Deletes each image given, with all its records.", *args);
    command->add_option("INDEX", args->indices, "the images to delete")
        ->required()
        ->check(imageIndex());
    return {command, [args](const Tool& t) { return runDelete(t, *args); }};
}

Command addRenameCommand(CLI::App& tool) {
    auto args = std::make_shared<EditArguments>();
    CLI::App* command = editCommand(
        tool, "rename", "rename an image",
        "Gives the image a new name in every one of its labels, stored in the handheld's\n"
        "character set (Windows code page 1252; a character it lacks becomes \"?\"), cut\n"
        "to 255 bytes.",
        *args);
    args->indices.resize(1);
    command->add_option("INDEX", args->indices.front(), "the image")
        ->required()
        ->check(imageIndex());
    command->add_option("NAME", args->name, "its new name")->required();
    return {command, [args](const Tool& t) { return runRename(t, *args); }};
}

Command addMoveCommand(CLI::App& tool) {
    auto args = std::make_shared<EditArguments>();
    CLI::App* command =
        editCommand(tool, "move", "move an image to another index",
                    "Moves the image, all its records, so that it ends up at index TO.", *args);
    args->indices.resize(1);
    command->add_option("INDEX", args->indices.front(), "the image")
        ->required()
        ->check(imageIndex());
    command->add_option("TO", args->to, "the index it ends up at")->required()->check(imageIndex());
    return {command, [args](const Tool& t) { return runMove(t, *args); }};
}

}  // namespace ferrovel
