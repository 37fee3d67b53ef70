#include <memory>

#include "cli/Commands.h"
#include "cli/Imagedb.h"
#include "database/ByteStream.h"
#include "database/Catalogue.h"
#include "database/Container.h"

namespace ferrovel {
namespace {

int runInfo(const Tool& tool, const std::string& path) {
    Database database;
    if (const int status = openDatabase(tool, path, database)) return status;
    const std::vector<RecordInfo> records = readRecords(tool, path, database.file);
    const std::int64_t size = streamSize(database.file);
    warnOfDamage(tool, path, structureDamage(records, static_cast<std::uint64_t>(size)));
    const std::size_t images = catalogueFromRecords(records).size();
    std::fprintf(tool.out, "File Size: %lld bytes\nDatabase Records: %d\nImages: %d\n",
                 static_cast<long long>(size), readRecordCount(database.file),
                 static_cast<int>(images));
    return kExitOk;
}

}  // namespace

Command addInfoCommand(CLI::App& tool) {
    auto path = std::make_shared<std::string>();
    CLI::App* command =
        tool.add_subcommand("info", "print the file size, record count and image count");
    addDatabaseArgument(*command, *path);
    return {command, [path](const Tool& t) { return runInfo(t, *path); }};
}

}  // namespace ferrovel
