#include <memory>

#include "app/Export.h"
#include "cli/Commands.h"
#include "cli/Imagedb.h"
#include "cli/StandardStreams.h"
#include "database/ByteStream.h"
#include "database/Catalogue.h"

namespace ferrovel {
namespace {

constexpr const char* kStandardOutput = "-";

struct ExportArguments {
    std::string database;
    std::string output;
    std::int16_t index = 0;
    std::string all;     // empty, "numbered" or "names"
    std::string format;  // empty, "bmp" or "png"
};

// What the export loop tells the tool, and the file it is writing.
struct ExportReport {
    const Tool* tool = nullptr;
    std::string shownPath;
    bool toStandardOutput = false;
};

void reportPath(void* context, const std::string& path) {
    auto& report = *static_cast<ExportReport*>(context);
    report.shownPath =
        report.toStandardOutput ? path + " (the scratch file for standard output)" : path;
}

void reportMessage(void* context, const char* text) {
    const auto& report = *static_cast<ExportReport*>(context);
    fail(*report.tool, report.shownPath + ": " + text);
}

void reportWritten(void* context, std::int16_t index, const std::string& path) {
    const auto& report = *static_cast<ExportReport*>(context);
    if (report.toStandardOutput) return;
    std::fprintf(report.tool->out, "wrote image %d to %s\n", index, path.c_str());
}

// Runs the export loop; a by-name export numbers its files on rather than
// replace one.
int exportTo(const Tool& tool, const ExportRequest& request, ExportReport& report) {
    report.tool = &tool;
    ExportHooks hooks;
    hooks.context = &report;
    hooks.showOutputPath = reportPath;
    hooks.showMessage = reportMessage;
    hooks.imageWritten = reportWritten;
    hooks.lastDuplicateNumber = INT16_MAX;
    const std::int16_t status = exportImages(request, hooks);
    if (status == kComposeNoMemory) {
        return fail(tool, report.shownPath +
                              ": the image is too large to be put together in memory; it was "
                              "not written");
    }
    if (status == kExportNoDatabase)
        return fail(tool, request.databasePath + ": " + kMessageNoSourceDatabase);
    return status == 0 ? kExitOk : kExitFailed;  // a failed write was told through the hooks
}

int exportToStandardOutput(const Tool& tool, ExportRequest request) {
    const ScratchFile scratch;
    if (scratch.path.empty()) {
        return fail(tool,
                    "no scratch file for standard output can be created in the temporary folder");
    }
    request.fileName = scratch.path;
    ExportReport report;
    report.toStandardOutput = true;
    if (const int status = exportTo(tool, request, report)) return status;
    useBinaryMode(tool.out);
    if (!copyToOutput(scratch, tool.out))
        return fail(tool, scratch.path + ": the bitmap written for standard output cannot be read");
    return kExitOk;
}

// True when the catalogue composes image info from this record.
bool composesFrom(const ImageInfo& info, std::size_t record) {
    const std::int64_t count = std::int64_t{info.layerCount} * info.tilesAcross * info.tilesDown;
    const auto at = static_cast<std::int64_t>(record);
    return at >= info.firstRecord && at < info.firstRecord + std::max<std::int64_t>(count, 1);
}

// A single export warns of its own image's damage one by one and of the
// other records' in one line: it did not need them.
void warnOfImageDamage(const Tool& tool, const std::string& path, const std::vector<Damage>& damage,
                       const CatalogueEntry& image, std::int16_t index) {
    std::size_t others = 0;
    bool own = false;
    for (const Damage& d : damage) {
        if (!composesFrom(image.info, d.record)) {
            ++others;
            continue;
        }
        own = true;
        warn(tool, path + ": " + recordDamageText(d.problem, d.record));
    }
    if (own) {
        warn(tool, path + ": image " + std::to_string(index) +
                       " is exported as far as its records can be read");
    }
    if (others > 0) {
        warn(tool, path + ": " + std::to_string(others) + " record" +
                       (others == 1 ? " of other images is" : "s of other images are") +
                       " damaged; 'imagedb check " + path + "' lists them");
    }
}

int runExport(const Tool& tool, const ExportArguments& args) {
    const bool everyImage = !args.all.empty();
    if (args.output == kStandardOutput && everyImage) {
        return usageError(tool, "export",
                          "--all writes a file for every image; \"-\" (standard output) takes "
                          "a single image");
    }
    Database database;
    if (const int status = openDatabase(tool, args.database, database)) return status;
    const std::vector<RecordInfo> records = readRecords(tool, args.database, database.file);
    const std::vector<CatalogueEntry> images = catalogueFromRecords(records);
    if (images.empty()) return fail(tool, args.database + ": the database holds no images");
    const auto count = static_cast<std::int16_t>(images.size());
    if (args.index >= count) {
        return fail(tool, args.database + ": there is no image " + std::to_string(args.index) +
                              "; the database holds " + std::to_string(count) +
                              ", numbered from 0 to " + std::to_string(count - 1));
    }
    const std::vector<Damage> damage =
        structureDamage(records, static_cast<std::uint64_t>(streamSize(database.file)));
    if (everyImage) {
        warnOfDamage(tool, args.database, damage);
    } else {
        warnOfImageDamage(tool, args.database, damage, images[static_cast<std::size_t>(args.index)],
                          args.index);
    }
    const std::int16_t mode = args.all == "numbered" ? kExportNumbered
                              : args.all == "names"  ? kExportByName
                                                     : kExportSelected;
    // The format a --format names, else the output's ending, else a bitmap.
    const ExportFormat format = args.format == "png" ? ExportFormat::Png
                                : args.format == "bmp"
                                    ? ExportFormat::Bmp
                                    : exportFormatOfPath(args.output, ExportFormat::Bmp);
    const ExportRequest request{args.database, args.output, mode, count, args.index, format};
    if (args.output == kStandardOutput) return exportToStandardOutput(tool, request);
    ExportReport report;
    return exportTo(tool, request, report);
}

}  // namespace

Command addExportCommand(CLI::App& tool) {
    auto args = std::make_shared<ExportArguments>();
    CLI::App* command =
        tool.add_subcommand("export", "write images as 24-bit bitmaps or PNG pictures");
    command->footer(
        "Without --all, image N goes to OUT.bmp, or to standard output when OUT.bmp is \"-\".\n"
        "--all numbered writes every image to OUT000.bmp, OUT001.bmp, ...\n"
        "--all names writes every image into OUT.bmp's folder under the image's name;\n"
        "\" [2]\", \" [3]\", ... is added while such a file exists, so that no file is\n"
        "replaced, and an unnamed image goes to OUT.bmp.\n"
        "--index and --all exclude each other. A damaged record is warned of and read\n"
        "as far as it goes; the exit status stays 0.\n"
        "An output ending in .png, or --format png, writes PNG pictures (numbered and\n"
        "by-name files then end in .png); a PNG holds the image at its own size, where a\n"
        "bitmap of a one-tile image holds the whole 160 x 160 tile.");
    addDatabaseArgument(*command, args->database);
    command->add_option("OUT.bmp", args->output, "the bitmap to write, or \"-\"")->required();
    CLI::Option* index =
        command
            ->add_option("--index", args->index, "the image to write, counted from 0 (default 0)")
            ->type_name("N")
            ->check(accepting(
                [](const std::string& text) { return numberIn(text, 0, INT16_MAX).has_value(); },
                "a whole number from 0 to 32767"));
    command->add_option("--format", args->format, "bmp or png (default: by OUT's ending, else bmp)")
        ->type_name("bmp|png")
        ->check(accepting([](const std::string& text) { return text == "bmp" || text == "png"; },
                          "bmp or png"));
    command->add_option("--all", args->all, "write every image, to numbered files or by name")
        ->type_name("numbered|names")
        ->check(
            accepting([](const std::string& text) { return text == "numbered" || text == "names"; },
                      "numbered or names"))
        ->excludes(index);
    return {command, [args](const Tool& t) { return runExport(t, *args); }};
}

}  // namespace ferrovel
