#include <memory>

#include "cli/Commands.h"
#include "cli/Imagedb.h"
#include "database/Container.h"
#include "database/FileOpen.h"

namespace ferrovel {
namespace {

struct NewArguments {
    std::string path;
    bool force = false;
};

int runNew(const Tool& tool, const NewArguments& args) {
    if (!args.force) {
        if (std::FILE* existing = openFile(args.path, "rb")) {
            std::fclose(existing);
            return fail(tool, args.path + ": the file exists; give --force to replace it");
        }
    }
    if (createEmptyDatabase(args.path) != 0) {
        return fail(tool, args.path +
                              ": the database cannot be created; check that its folder exists "
                              "and may be written to");
    }
    std::fprintf(tool.out, "created %s (%u bytes, no images)\n", args.path.c_str(),
                 kEmptyDatabaseBytes);
    return kExitOk;
}

}  // namespace

Command addNewCommand(CLI::App& tool) {
    auto args = std::make_shared<NewArguments>();
    CLI::App* command = tool.add_subcommand("new", "create an empty image database");
    command->footer(
        "Creates DB.pdb as an empty image database (80 bytes) named after the file.\n"
        "An existing file is left alone unless --force is given.");
    addDatabaseArgument(*command, args->path);
    command->add_flag("--force", args->force, "replace a file that exists");
    return {command, [args](const Tool& t) { return runNew(t, *args); }};
}

}  // namespace ferrovel
