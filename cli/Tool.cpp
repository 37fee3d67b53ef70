#include "cli/Tool.h"

#include <charconv>

#include "cli/Imagedb.h"
#include "database/Container.h"
#include "database/FileOpen.h"
#include "database/TextEncoding.h"
#include "database/WorkFile.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace ferrovel {
namespace {

constexpr const char* kNotImageDatabase = "File is not a valid Brushwick image database.";
constexpr const char* kCannotOpenDatabase = "Error opening database file.";
constexpr std::size_t kMaxDamageShown = 20;

// Says so when a reader finds beside the database a work file that may hold
// its last complete copy; reading changes nothing.
void reportWorkFile(const Tool& tool, const std::string& path) {
    if (inspectWorkFile(path) != WorkFileState::LastCopy) return;
    warn(tool, path + ": " + workFilePath(path) +
                   " may hold the last complete copy of this database, left by an interrupted "
                   "write; the next change of the database puts it back (nothing was changed now)");
}

}  // namespace

void reportRewrite(const Tool& tool, const std::string& path, const RewriteReport& report) {
    if (report.restoredFromWork) {
        warn(tool, path + ": the database was first put back from " + workFilePath(path) +
                       ", the last complete copy an interrupted write had left");
    }
    if (report.otherLinksKept) {
        warn(tool,
             path + ": the file had other hard links; they keep the database as it was before");
    }
}

int fail(const Tool& tool, const std::string& what) {
    std::fprintf(tool.err, "imagedb: %s\n", what.c_str());
    return kExitFailed;
}

void warn(const Tool& tool, const std::string& what) {
    std::fprintf(tool.err, "imagedb: warning: %s\n", what.c_str());
}

int usageError(const Tool& tool, const std::string& command, const std::string& what) {
    const std::string hint = command.empty()
                                 ? "Run 'imagedb --help' to see the commands."
                                 : "Run 'imagedb " + command + " --help' to see how it is given.";
    std::fprintf(tool.err, "imagedb: %s\n%s\n", what.c_str(), hint.c_str());
    return kExitUsage;
}

CLI::Validator accepting(std::function<bool(const std::string&)> ok, const std::string& takes) {
    return CLI::Validator(
        [ok = std::move(ok), takes](std::string& value) {
            return ok(value) ? std::string() : "takes " + takes + ", not \"" + value + "\"";
        },
        "");
}

std::optional<int> numberIn(const std::string& text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < low || value > high) return std::nullopt;
    return value;
}

void addDatabaseArgument(CLI::App& command, std::string& path) {
    command.add_option("DB.pdb", path, "the image database")
        ->required()
        ->check(CLI::Validator(
            [](const std::string& text) {
                return text == "-" ? "\"-\" (standard input or output) cannot hold a database; "
                                     "give the database's file name"
                                   : std::string();
            },
            ""));
}

Database::~Database() {
    if (file) std::fclose(file);
}

int openDatabase(const Tool& tool, const std::string& path, Database& database) {
    reportWorkFile(tool, path);
    database.file = openFile(path, "rb");
    if (!database.file) return fail(tool, path + ": " + kCannotOpenDatabase);
    if (!isImageDatabase(database.file)) return fail(tool, path + ": " + kNotImageDatabase);
    return kExitOk;
}

std::vector<RecordInfo> readRecords(const Tool& tool, const std::string& path, std::FILE* file) {
    if (readRecordCount(file) < 0) {
        warn(tool, path + ": the record count is 32768 or more, so the database reads as empty");
    }
    return readAllRecordInfo(file);
}

std::string recordDamageText(RecordProblem problem, std::size_t record) {
    const std::string r = "record " + std::to_string(record);
    switch (problem) {
        case RecordProblem::None:
            return r + " is sound";
        case RecordProblem::StartPastEnd:
            return r + " starts past the end of the file";
        case RecordProblem::HeaderCut:
            return "the header of " + r + " is cut short by the end of the file";
        case RecordProblem::NegativeSize:
            return r + " gives a negative width or height";
        case RecordProblem::PixelDataCut:
            return "the pixel rows of " + r + " run past the end of the file";
        case RecordProblem::LabelPastEnd:
            return "the label of " + r + " lies past the end of the file";
    }
    return r + " is damaged";
}

std::vector<Damage> structureDamage(const std::vector<RecordInfo>& records,
                                    std::uint64_t fileSize) {
    std::vector<Damage> damage;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const RecordProblem problem = checkRecordStructure(records[i], fileSize);
        if (problem != RecordProblem::None) damage.push_back({i, problem});
    }
    return damage;
}

void warnOfDamage(const Tool& tool, const std::string& path, const std::vector<Damage>& damage) {
    for (std::size_t i = 0; i < damage.size() && i < kMaxDamageShown; ++i)
        warn(tool, path + ": " + recordDamageText(damage[i].problem, damage[i].record));
    if (damage.size() > kMaxDamageShown) {
        warn(tool, path + ": " + std::to_string(damage.size() - kMaxDamageShown) +
                       " more records are damaged");
    }
    if (!damage.empty()) {
        warn(tool, path + ": damaged records are read as far as they go; 'imagedb check " + path +
                       "' examines every record");
    }
}

std::string displayText(std::string_view handheld) {
    std::string text;
    for (const char c : handheldToUtf8(handheld)) {
        switch (c) {
            case '\t':
                text += "\\t";
                break;
            case '\r':
                text += "\\r";
                break;
            case '\n':
                text += "\\n";
                break;
            case '\\':
                text += "\\\\";
                break;
            default:
                text += c;
        }
    }
    return text;
}

std::string bitsText(int bits) {
    return std::to_string(bits) + (bits == 1 ? " bit" : " bits");
}

void useBinaryMode([[maybe_unused]] std::FILE* stream) {
#ifdef _WIN32
    _setmode(_fileno(stream), _O_BINARY);
#endif
}

}  // namespace ferrovel
