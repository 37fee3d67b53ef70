#include "cli/Imagedb.h"

#include <charconv>
#include <cstdint>
#include <cstring>

#include "app/Export.h"
#include "app/Import.h"
#include "convert/Adjust.h"
#include "database/Append.h"
#include "database/ByteStream.h"
#include "database/Catalogue.h"
#include "database/Container.h"
#include "database/RecordCheck.h"
#include "database/WorkFile.h"
#include "interchange/Bmp.h"

namespace ferrovel {
namespace {

constexpr const char* kNotImageDatabase = "File is not a valid Brushwick image database.";
constexpr const char* kCannotOpenDatabase = "Error opening database file.";
constexpr int kMaxProblemsShown = 20;

constexpr const char* kUsage =
    "usage: imagedb <command> [arguments]\n"
    "\n"
    "Commands:\n"
    "  new DB.pdb [--force]               create an empty image database\n"
    "  info DB.pdb                        file size, record count and image count\n"
    "  list DB.pdb [--json]               the images with their details\n"
    "  export DB.pdb OUT.bmp [--index N]  one image to a 24-bit bitmap\n"
    "  export DB.pdb OUT.bmp --all numbered|names\n"
    "                                     every image, to numbered files or by name\n"
    "  import DB.pdb IN.bmp... [options]  append bitmaps as new images\n"
    "\n"
    "Run 'imagedb <command> --help' for the details of a command.\n";

constexpr const char* kNewUsage =
    "usage: imagedb new DB.pdb [--force]\n"
    "\n"
    "Creates DB.pdb as an empty image database (80 bytes) named after the file.\n"
    "An existing file is left alone unless --force is given.\n";

constexpr const char* kInfoUsage =
    "usage: imagedb info DB.pdb\n"
    "\n"
    "Prints the database's file size, record count and image count.\n";

constexpr const char* kListUsage =
    "usage: imagedb list DB.pdb [--json]\n"
    "\n"
    "Prints one line per image: index, name, width x height, bits per pixel,\n"
    "layers and stored bytes, separated by tabs. With --json, prints an array of\n"
    "objects with the keys index, name, width, height, bits, layers, bytes,\n"
    "firstRecord, tilesAcross and tilesDown.\n";

constexpr const char* kImportUsage =
    "usage: imagedb import DB.pdb IN.bmp... [options]\n"
    "\n"
    "Appends each bitmap as one new image, in the order given.\n"
    "\n"
    "Options:\n"
    "  --name NAME          the image's name (one file only; default: the file name\n"
    "                       without folder and extension)\n"
    "  --format 1|2|4|8|16  bits per pixel (default 1)\n"
    "  --size SIZE          original (default), 160x160, 320x320, 320x480, 480x320\n"
    "                       or WxH: the box the picture is stored in\n"
    "  --keep-proportions   fit the picture's proportions into the box (default)\n"
    "  --stretch            fill the box exactly\n"
    "  --dither             ordered dither (default)\n"
    "  --no-dither          no dither\n"
    "  --contrast N         -100 to 100 (default 0)\n"
    "  --brightness N       -100 to 100 (default 0)\n"
    "\n"
    "A file that is not a readable bitmap is reported and skipped; the exit\n"
    "status is then 1.\n";

constexpr const char* kExportUsage =
    "usage: imagedb export DB.pdb OUT.bmp [--index N]\n"
    "       imagedb export DB.pdb OUT.bmp --all numbered|names\n"
    "\n"
    "Writes images as 24-bit bitmaps. Without --all, image N (default 0) goes to\n"
    "OUT.bmp. --all numbered writes every image to OUT000.bmp, OUT001.bmp, ...;\n"
    "--all names writes every image into OUT.bmp's folder, named after the image\n"
    "(\" [2]\" to \" [9]\" added while such a file exists; an unnamed image goes to\n"
    "OUT.bmp).\n";

struct Tool {
    std::FILE* out;
    std::FILE* err;
};

int fail(const Tool& tool, const std::string& what) {
    std::fprintf(tool.err, "imagedb: %s\n", what.c_str());
    return kExitFailed;
}

int usageError(const Tool& tool, const std::string& what, const char* usage) {
    std::fprintf(tool.err, "imagedb: %s\n%s", what.c_str(), usage);
    return kExitUsage;
}

bool isHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

bool wantsHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (isHelp(arg)) return true;
    }
    return false;
}

// Says so when a reader finds beside the database a work file that may hold
// its last complete copy; reading changes nothing.
void reportWorkFile(const Tool& tool, const std::string& path) {
    if (inspectWorkFile(path) != WorkFileState::LastCopy) return;
    std::fprintf(tool.err,
                 "imagedb: %s: %s may hold the last complete copy of this database, left by an "
                 "interrupted write; the next import puts it back (nothing was changed now)\n",
                 path.c_str(), workFilePath(path).c_str());
}

// Says what a rewrite did besides the change itself.
void reportRewrite(const Tool& tool, const std::string& path, const RewriteReport& report) {
    if (report.restoredFromWork) {
        std::fprintf(tool.err,
                     "imagedb: %s: the database was first put back from %s, the last complete "
                     "copy an interrupted write had left\n",
                     path.c_str(), workFilePath(path).c_str());
    }
    if (report.otherLinksKept) {
        std::fprintf(tool.err,
                     "imagedb: %s: the file had other hard links; they keep the database as it "
                     "was before\n",
                     path.c_str());
    }
}

// An open database that was found valid; closed when it goes.
struct Database {
    std::FILE* file = nullptr;
    ~Database() {
        if (file) std::fclose(file);
    }
};

// Opens path for reading and checks that it is an image database.
int openDatabase(const Tool& tool, const std::string& path, Database& database) {
    reportWorkFile(tool, path);
    database.file = std::fopen(path.c_str(), "rb");
    if (!database.file) return fail(tool, path + ": " + kCannotOpenDatabase);
    if (!isImageDatabase(database.file)) return fail(tool, path + ": " + kNotImageDatabase);
    return kExitOk;
}

// Tells the user about every damaged record; returns how many there are.
// Only the structure check runs, on the records the command has read anyway:
// listing, counting and exporting never pay for a decode of every record.
int reportDamage(const Tool& tool, const std::string& path, std::FILE* file,
                 const std::vector<RecordInfo>& records) {
    if (readRecordCount(file) < 0) {
        fail(tool, path + ": the record count is 0x8000 or more; the database is read as empty");
        return 1;
    }
    const std::int64_t size = streamSize(file);
    int damaged = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const RecordProblem problem =
            checkRecordStructure(records[i], static_cast<std::uint64_t>(size));
        if (problem == RecordProblem::None) continue;
        if (++damaged <= kMaxProblemsShown) {
            fail(tool, path + ": record " + std::to_string(i) + " " + recordProblemText(problem));
        }
    }
    if (damaged > kMaxProblemsShown) {
        fail(tool,
             path + ": " + std::to_string(damaged - kMaxProblemsShown) + " more damaged records");
    }
    return damaged;
}

int runNew(const Tool& tool, const std::vector<std::string>& args) {
    std::string path;
    bool force = false;
    for (const std::string& arg : args) {
        if (arg == "--force") {
            force = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return usageError(tool, "new: unknown option " + arg, kNewUsage);
        } else if (path.empty()) {
            path = arg;
        } else {
            return usageError(tool, "new: too many arguments", kNewUsage);
        }
    }
    if (path.empty()) return usageError(tool, "new: no database file given", kNewUsage);
    if (!force) {
        if (std::FILE* existing = std::fopen(path.c_str(), "rb")) {
            std::fclose(existing);
            return fail(tool, path + ": the file exists; use --force to replace it");
        }
    }
    if (createEmptyDatabase(path) != 0) return fail(tool, path + ": cannot create the database");
    std::fprintf(tool.out, "created %s (%u bytes, no images)\n", path.c_str(), kEmptyDatabaseBytes);
    return kExitOk;
}

// Parses the one database argument of info and list, with an optional flag.
bool oneDatabaseArgument(const std::vector<std::string>& args, const char* flag, std::string& path,
                         bool& flagSet, std::string& problem) {
    for (const std::string& arg : args) {
        if (flag && arg == flag) {
            flagSet = true;
        } else if (!arg.empty() && arg[0] == '-') {
            problem = "unknown option " + arg;
            return false;
        } else if (path.empty()) {
            path = arg;
        } else {
            problem = "too many arguments";
            return false;
        }
    }
    if (path.empty()) problem = "no database file given";
    return !path.empty();
}

int runInfo(const Tool& tool, const std::vector<std::string>& args) {
    std::string path, problem;
    bool unused = false;
    if (!oneDatabaseArgument(args, nullptr, path, unused, problem)) {
        return usageError(tool, "info: " + problem, kInfoUsage);
    }
    Database database;
    if (const int status = openDatabase(tool, path, database)) return status;
    const std::vector<RecordInfo> records = readAllRecordInfo(database.file);
    const int damaged = reportDamage(tool, path, database.file, records);
    const std::int64_t size = streamSize(database.file);
    const std::size_t images = catalogueFromRecords(records).size();
    std::fprintf(tool.out, "File Size: %lld bytes\nDatabase Records: %d\nImages: %d\n",
                 static_cast<long long>(size), readRecordCount(database.file),
                 static_cast<int>(images));
    return damaged ? kExitFailed : kExitOk;
}

void printJsonString(std::FILE* out, const std::string& text) {
    std::fputc('"', out);
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            std::fprintf(out, "\\%c", c);
        } else if (c < 0x20 || c >= 0x7F) {
            // Labels are bytes of the handheld's character set, not UTF-8:
            // each byte goes out as the Latin-1 character of that code.
            std::fprintf(out, "\\u%04x", c);
        } else {
            std::fputc(c, out);
        }
    }
    std::fputc('"', out);
}

void printJsonEntry(std::FILE* out, int index, const CatalogueEntry& entry) {
    const ImageInfo& info = entry.info;
    std::fprintf(out, "  {\"index\": %d, \"name\": ", index);
    printJsonString(out, entry.name);
    std::fprintf(out,
                 ", \"width\": %d, \"height\": %d, \"bits\": %d, \"layers\": %d, \"bytes\": %u, "
                 "\"firstRecord\": %d, \"tilesAcross\": %d, \"tilesDown\": %d}",
                 info.width, info.height, info.bitsPerPixel, info.layerCount,
                 static_cast<unsigned>(info.byteSize), info.firstRecord, info.tilesAcross,
                 info.tilesDown);
}

void printListLine(std::FILE* out, int index, const CatalogueEntry& entry) {
    const ImageInfo& info = entry.info;
    std::fprintf(out, "%d\t%s\t%d x %d\t%d bits\t%d %s\t%u bytes\n", index, entry.name.c_str(),
                 info.width, info.height, info.bitsPerPixel, info.layerCount,
                 info.layerCount == 1 ? "layer" : "layers", static_cast<unsigned>(info.byteSize));
}

int runList(const Tool& tool, const std::vector<std::string>& args) {
    std::string path, problem;
    bool json = false;
    if (!oneDatabaseArgument(args, "--json", path, json, problem)) {
        return usageError(tool, "list: " + problem, kListUsage);
    }
    Database database;
    if (const int status = openDatabase(tool, path, database)) return status;
    const std::vector<RecordInfo> records = readAllRecordInfo(database.file);
    const int damaged = reportDamage(tool, path, database.file, records);
    const std::vector<CatalogueEntry> entries = catalogueFromRecords(records);
    if (json) std::fputs("[\n", tool.out);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!json) {
            printListLine(tool.out, static_cast<int>(i), entries[i]);
            continue;
        }
        printJsonEntry(tool.out, static_cast<int>(i), entries[i]);
        std::fputs(i + 1 < entries.size() ? ",\n" : "\n", tool.out);
    }
    if (json) std::fputs("]\n", tool.out);
    return damaged ? kExitFailed : kExitOk;
}

struct ExportArguments {
    std::string databasePath;
    std::string fileName;
    std::int16_t mode = kExportSelected;
    std::int16_t index = 0;
    bool indexGiven = false;
};

bool parseIndex(const std::string& text, std::int16_t& index) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < 0 || value > INT16_MAX) return false;
    index = static_cast<std::int16_t>(value);
    return true;
}

// Parses the export command line; an empty problem means success.
std::string parseExport(const std::vector<std::string>& args, ExportArguments& parsed) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--index" || arg == "--all") {
            if (i + 1 >= args.size()) return arg + " needs a value";
            const std::string& value = args[++i];
            if (arg == "--index") {
                if (!parseIndex(value, parsed.index))
                    return "--index needs a number from 0 to 32767";
                parsed.indexGiven = true;
            } else if (value == "numbered") {
                parsed.mode = kExportNumbered;
            } else if (value == "names") {
                parsed.mode = kExportByName;
            } else {
                return "--all takes numbered or names, not " + value;
            }
        } else if (!arg.empty() && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (parsed.databasePath.empty()) {
            parsed.databasePath = arg;
        } else if (parsed.fileName.empty()) {
            parsed.fileName = arg;
        } else {
            return "too many arguments";
        }
    }
    if (parsed.fileName.empty()) return "a database file and an output file are needed";
    if (parsed.indexGiven && parsed.mode != kExportSelected)
        return "--index and --all exclude each other";
    return std::string();
}

struct ExportReport {
    const Tool* tool;
    std::string currentPath;
    int written = 0;
};

void reportPath(void* context, const std::string& path) {
    static_cast<ExportReport*>(context)->currentPath = path;
}

void reportMessage(void* context, const char* text) {
    const ExportReport& report = *static_cast<ExportReport*>(context);
    fail(*report.tool, report.currentPath + ": " + text);
}

void reportWritten(void* context, std::int16_t index, const std::string& path) {
    ExportReport& report = *static_cast<ExportReport*>(context);
    ++report.written;
    std::fprintf(report.tool->out, "wrote image %d to %s\n", index, path.c_str());
}

int runExport(const Tool& tool, const std::vector<std::string>& args) {
    ExportArguments parsed;
    const std::string problem = parseExport(args, parsed);
    if (!problem.empty()) return usageError(tool, "export: " + problem, kExportUsage);
    Database database;
    if (const int status = openDatabase(tool, parsed.databasePath, database)) return status;
    const std::vector<RecordInfo> records = readAllRecordInfo(database.file);
    const int damaged = reportDamage(tool, parsed.databasePath, database.file, records);
    const auto images = static_cast<std::int16_t>(catalogueFromRecords(records).size());
    if (images == 0) return fail(tool, parsed.databasePath + ": the database holds no images");
    if (parsed.index >= images) {
        return fail(tool, parsed.databasePath + ": there is no image " +
                              std::to_string(parsed.index) + " (the database holds " +
                              std::to_string(images) + ")");
    }
    ExportReport report{&tool, std::string(), 0};
    ExportHooks hooks;
    hooks.context = &report;
    hooks.showOutputPath = reportPath;
    hooks.showMessage = reportMessage;
    hooks.imageWritten = reportWritten;
    const ExportRequest request{parsed.databasePath, parsed.fileName, parsed.mode, images,
                                parsed.index};
    const std::int16_t status = exportImages(request, hooks);
    if (status == kComposeNoMemory) {
        fail(tool, report.currentPath + ": the image is too large to compose");
    } else if (status == kExportNoDatabase) {
        fail(tool, parsed.databasePath + ": " + kMessageNoSourceDatabase);
    }
    return status != 0 || damaged ? kExitFailed : kExitOk;
}

struct ImportArguments {
    std::string databasePath;
    std::vector<std::string> files;
    std::string name;
    bool nameGiven = false;
    std::int16_t sizePreset = 0;  // 0 original, 1-4 the screens, 5 custom
    TargetSize customSize;
    bool keepProportions = true;
    AppendOptions append;
};

bool parseNumber(const std::string& text, int low, int high, std::int16_t& value) {
    int parsed = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (ec != std::errc() || ptr != end || parsed < low || parsed > high) return false;
    value = static_cast<std::int16_t>(parsed);
    return true;
}

bool parseSize(const std::string& text, ImportArguments& parsed) {
    static const char* const kPresets[] = {"original", "160x160", "320x320", "320x480", "480x320"};
    for (std::int16_t i = 0; i < 5; ++i) {
        if (text == kPresets[i]) {
            parsed.sizePreset = i;
            return true;
        }
    }
    const std::size_t x = text.find('x');
    if (x == std::string::npos) return false;
    parsed.sizePreset = 5;
    return parseNumber(text.substr(0, x), 1, INT16_MAX, parsed.customSize.width) &&
           parseNumber(text.substr(x + 1), 1, INT16_MAX, parsed.customSize.height);
}

// Parses one option that takes a value; an empty result means success.
std::string parseImportValue(const std::string& option, const std::string& value,
                             ImportArguments& parsed) {
    if (option == "--name") {
        parsed.name = value;
        parsed.nameGiven = true;
    } else if (option == "--format") {
        std::int16_t bits = 0;
        if (!parseNumber(value, 1, 16, bits) ||
            (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16)) {
            return "--format takes 1, 2, 4, 8 or 16, not " + value;
        }
        parsed.append.bits = bits;
    } else if (option == "--size") {
        if (!parseSize(value, parsed))
            return "--size takes original, 160x160, 320x320, 320x480, 480x320 or WxH, not " + value;
    } else if (!parseNumber(
                   value, kMinAdjustment, kMaxAdjustment,
                   option == "--contrast" ? parsed.append.contrast : parsed.append.brightness)) {
        return option + " takes a number from -100 to 100, not " + value;
    }
    return std::string();
}

std::string parseImport(const std::vector<std::string>& args, ImportArguments& parsed) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--name" || arg == "--format" || arg == "--size" || arg == "--contrast" ||
            arg == "--brightness") {
            if (i + 1 >= args.size()) return arg + " needs a value";
            const std::string problem = parseImportValue(arg, args[++i], parsed);
            if (!problem.empty()) return problem;
        } else if (arg == "--keep-proportions" || arg == "--stretch") {
            parsed.keepProportions = arg == "--keep-proportions";
        } else if (arg == "--dither" || arg == "--no-dither") {
            parsed.append.dither = arg == "--dither" ? 1 : 0;
        } else if (!arg.empty() && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (parsed.databasePath.empty()) {
            parsed.databasePath = arg;
        } else {
            parsed.files.push_back(arg);
        }
    }
    if (parsed.files.empty()) return "a database file and at least one bitmap are needed";
    if (parsed.nameGiven && parsed.files.size() > 1) return "--name goes with one bitmap only";
    return std::string();
}

TargetSize targetSizeFor(const ImportArguments& parsed, const BgrImage& canvas) {
    const TargetSize picture{canvas.width, canvas.height};
    const TargetSize box = presetBox(parsed.sizePreset, picture, parsed.customSize);
    return parsed.keepProportions ? fitProportions(box, picture) : box;
}

// New records are held in memory until this much is waiting, then written
// in one rewrite; a batch of any ordinary size is one rewrite.
constexpr std::size_t kMaxPendingBytes = 256u * 1024 * 1024;

// The pictures of an import batch waiting for their rewrite, and what to
// tell once they are in the database.
struct ImportBatch {
    PendingRecords records;
    std::vector<std::string> done;
    bool earlierStored = false;  // a batch this big was written in parts
};

// Writes the waiting records; false when the database could not be changed.
bool commitBatch(const Tool& tool, const std::string& path, ImportBatch& batch) {
    if (batch.records.sizes.empty()) return true;
    RewriteReport report;
    const std::int16_t status = appendRecords(path, batch.records, &report);
    reportRewrite(tool, path, report);
    if (status != 0) {
        fail(tool,
             path + ": " + importStatusMessage(status) +
                 (batch.earlierStored ? " The pictures not reported as imported were not stored."
                                      : " Nothing was imported; the database is unchanged."));
        return false;
    }
    for (const std::string& line : batch.done) std::fputs(line.c_str(), tool.out);
    batch = ImportBatch{};
    batch.earlierStored = true;
    return true;
}

// Prepares one bitmap's records: kExitOk, kExitFailed, or -1 when the batch must stop.
int importOne(const Tool& tool, const ImportArguments& parsed, const std::string& file,
              ImportBatch& batch) {
    const BmpReadResult bitmap = readBmp(file);
    if (bitmap.status != 0) return fail(tool, file + ": " + bmpStatusText(bitmap.status));
    AppendOptions options = parsed.append;
    options.name = parsed.nameGiven ? parsed.name : pathBaseName(file);
    const TargetSize target = targetSizeFor(parsed, bitmap.canvas);
    if (target.width <= 0 || target.height <= 0) {
        fail(tool, file + ": the picture does not fit the size box (it comes out " +
                       std::to_string(target.width) + " x " + std::to_string(target.height) +
                       "); the rest is not imported");
        return -1;
    }
    options.targetWidth = target.width;
    options.targetHeight = target.height;
    const std::int16_t status = prepareImageRecords(bitmap.canvas, options, batch.records);
    if (status != 0) return fail(tool, file + ": " + importStatusMessage(status));
    batch.done.push_back("imported " + file + " as \"" + options.name + "\" (" +
                         std::to_string(target.width) + " x " + std::to_string(target.height) +
                         ", " + std::to_string(options.bits) + " bits)\n");
    return kExitOk;
}

int runImport(const Tool& tool, const std::vector<std::string>& args) {
    ImportArguments parsed;
    const std::string problem = parseImport(args, parsed);
    if (!problem.empty()) return usageError(tool, "import: " + problem, kImportUsage);
    // A database whose last copy lies in its work file is put back by the
    // rewrite; any other must be there and be a database before pictures are read.
    if (inspectWorkFile(parsed.databasePath) != WorkFileState::LastCopy) {
        Database database;
        if (const int status = openDatabase(tool, parsed.databasePath, database)) return status;
    }
    int result = kExitOk;
    ImportBatch batch;
    for (const std::string& file : parsed.files) {
        const int status = importOne(tool, parsed, file, batch);
        if (status != kExitOk) result = kExitFailed;
        if (status < 0) break;
        if (batch.records.bytes.size() >= kMaxPendingBytes &&
            !commitBatch(tool, parsed.databasePath, batch)) {
            return kExitFailed;
        }
    }
    return commitBatch(tool, parsed.databasePath, batch) ? result : kExitFailed;
}

struct Command {
    const char* name;
    int (*run)(const Tool&, const std::vector<std::string>&);
    const char* usage;
};

constexpr Command kCommands[] = {
    {"new", runNew, kNewUsage},          {"info", runInfo, kInfoUsage},
    {"list", runList, kListUsage},       {"export", runExport, kExportUsage},
    {"import", runImport, kImportUsage},
};

const Command* findCommand(const std::string& name) {
    for (const Command& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

}  // namespace

int runImagedb(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    const Tool tool{out, err};
    if (args.empty()) return usageError(tool, "no command given", kUsage);
    if (isHelp(args[0]) || args[0] == "help") {
        const Command* command = args.size() > 1 ? findCommand(args[1]) : nullptr;
        std::fputs(command ? command->usage : kUsage, out);
        return kExitOk;
    }
    const Command* command = findCommand(args[0]);
    if (!command) return usageError(tool, "unknown command " + args[0], kUsage);
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (wantsHelp(rest)) {
        std::fputs(command->usage, out);
        return kExitOk;
    }
    return command->run(tool, rest);
}

}  // namespace ferrovel
