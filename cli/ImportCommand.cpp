#include <algorithm>
#include <array>
#include <memory>

#include "app/Import.h"
#include "cli/Commands.h"
#include "cli/Imagedb.h"
#include "cli/StandardStreams.h"
#include "convert/Adjust.h"
#include "database/Append.h"
#include "database/ByteStream.h"
#include "database/Container.h"
#include "database/FileOpen.h"
#include "database/SizeMath.h"
#include "database/TextEncoding.h"
#include "database/WorkFile.h"
#include "interchange/Bmp.h"
#include "interchange/PictureFile.h"

namespace ferrovel {
namespace {

constexpr const char* kStandardInput = "-";
constexpr const char* kStandardInputName = "stdin";  // the default image name for "-"
#ifdef _WIN32
constexpr const char* kReadablePictures =
    "imagedb imports PNG, JPEG, GIF and TIFF pictures and uncompressed Windows bitmaps of 1, 2, "
    "4, 8 or 24 bits per pixel";
#else
constexpr const char* kReadablePictures =
    "imagedb imports PNG, JPEG and GIF pictures and uncompressed Windows bitmaps of 1, 2, 4, 8 "
    "or 24 bits per pixel";
#endif

// The largest bitmap the reader takes has at most kMaxPixelBytes of rows;
// headers and palette fit in the rest. More from standard input is refused
// before it fills the disk.
constexpr std::uint64_t kMaxInputBytes = kMaxPixelBytes + 64 * 1024;

// New records are held in memory until this much is waiting, then written
// in one rewrite; a batch of any ordinary size is one rewrite.
constexpr std::size_t kMaxPendingBytes = 256u * 1024 * 1024;

constexpr const char* kSizePresets[] = {"original", "160x160", "320x320", "320x480", "480x320"};

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

// What the command line gives, before it is checked and converted.
struct ImportCommandLine {
    ImportArguments parsed;
    std::string size = "original";
    bool stretch = false;
    bool noDither = false;
    const CLI::Option* nameOption = nullptr;
};

bool parseSize(const std::string& text, ImportArguments& parsed) {
    for (std::int16_t i = 0; i < 5; ++i) {
        if (text == kSizePresets[i]) {
            parsed.sizePreset = i;
            return true;
        }
    }
    const std::size_t x = text.find('x');
    if (x == std::string::npos) return false;
    const std::optional<int> width = numberIn(text.substr(0, x), 1, INT16_MAX);
    const std::optional<int> height = numberIn(text.substr(x + 1), 1, INT16_MAX);
    if (!width || !height) return false;
    parsed.sizePreset = 5;
    parsed.customSize = {static_cast<std::int16_t>(*width), static_cast<std::int16_t>(*height)};
    return true;
}

// The first bytes of a file, zero past its end: enough to tell a bitmap's
// size and depth, or what else the file is.
struct FileHead {
    std::array<std::uint8_t, 68> bytes{};
    std::size_t size = 0;

    bool startsWith(std::string_view magic, std::size_t at = 0) const {
        for (std::size_t i = 0; i < magic.size(); ++i) {
            if (at + i >= size || bytes[at + i] != static_cast<unsigned char>(magic[i]))
                return false;
        }
        return true;
    }
    std::int32_t le32(std::size_t at) const {
        std::uint32_t value = 0;
        for (std::size_t i = 4; i-- > 0;) value = value << 8 | bytes[at + i];
        return static_cast<std::int32_t>(value);
    }
};

FileHead readHead(const std::string& path) {
    FileHead head;
    if (std::FILE* file = openFile(path, "rb")) {
        head.size = std::fread(head.bytes.data(), 1, head.bytes.size(), file);
        std::fclose(file);
    }
    return head;
}

// What a file that is no bitmap the reader takes shows itself to be.
std::string whatTheFileIs(const FileHead& head) {
    if (head.size == 0) return "is empty";
    if (head.startsWith("BM") && head.size < 30) return "is too short for a Windows bitmap";
    if (head.startsWith("BM")) {
        if (head.le32(18) < 0) return "is a Windows bitmap with a negative width";
        return "is a Windows bitmap of " + std::to_string(head.bytes[28] | head.bytes[29] << 8) +
               " bits per pixel";
    }
    if (head.startsWith("\xFF\xD8\xFF")) return "is a JPEG picture";
    if (head.startsWith("\x89PNG")) return "is a PNG picture";
    if (head.startsWith("GIF8")) return "is a GIF picture";
    if (head.startsWith(std::string_view("II*\0", 4)) ||
        head.startsWith(std::string_view("MM\0*", 4)))
        return "is a TIFF picture";
    if (head.startsWith("WEBP", 8)) return "is a WebP picture";
    if (head.startsWith("Qvrl", 64)) return "is an image database";
    return "is no picture imagedb knows";
}

// Why a picture was refused, in a sentence that follows its name.
std::string pictureProblem(const PictureReadResult& picture, const std::string& path) {
    switch (picture.problem) {
        case PictureProblem::OpenFailed:
            return "cannot be opened; check its name and that it may be read";
        case PictureProblem::NotAPicture:
        case PictureProblem::BitmapDepth:
            return whatTheFileIs(readHead(path)) + "; " + kReadablePictures;
        default:
            return "was not imported: " + pictureProblemText(picture);
    }
}

// The bitmap file to read for an input: the file itself, or a scratch copy
// of standard input.
struct InputFile {
    std::string shown;  // how messages name it
    std::string path;
    std::unique_ptr<ScratchFile> scratch;
};

int openInput(const Tool& tool, const std::string& file, InputFile& input) {
    input.shown = file == kStandardInput ? "standard input" : file;
    input.path = file;
    if (file != kStandardInput) return kExitOk;
    input.scratch = std::make_unique<ScratchFile>();
    if (input.scratch->path.empty())
        return fail(tool, "standard input: no scratch file can be made in the temporary folder");
    input.path = input.scratch->path;
    useBinaryMode(tool.in);
    switch (copyInput(tool.in, *input.scratch, kMaxInputBytes)) {
        case CopyResult::Copied:
            return kExitOk;
        case CopyResult::TooLarge:
            return fail(tool,
                        "standard input: more than " + std::to_string(kMaxInputBytes >> 20) +
                            " MiB came, more than any bitmap imagedb imports; it was skipped");
        case CopyResult::Failed:
            break;
    }
    return fail(tool, "standard input cannot be copied into " + input.scratch->path);
}

TargetSize targetSizeFor(const ImportArguments& parsed, const BgrImage& canvas) {
    const TargetSize picture{canvas.width, canvas.height};
    const TargetSize box = presetBox(parsed.sizePreset, picture, parsed.customSize);
    return parsed.keepProportions ? fitProportions(box, picture) : box;
}

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

// The line that tells what became of one picture. The reader puts every
// picture on a canvas of at least 160 x 144, which is the size stored from
// then on; a picture smaller than that says so.
std::string importedLine(const InputFile& input, const std::string& name, TargetSize stored,
                         std::int16_t bits, const PictureReadResult& picture) {
    const BgrImage& canvas = picture.canvas;
    std::string line = "imported " + input.shown + " as \"" + handheldToUtf8(name) +
                       "\": " + std::to_string(stored.width) + " x " +
                       std::to_string(stored.height) + ", " + bitsText(bits) + " per pixel";
    std::int64_t width = picture.pictureWidth, height = picture.pictureHeight;
    if (picture.format == PictureFormat::Bmp) {
        const FileHead head = readHead(input.path);
        width = head.le32(18);
        height = head.le32(22);
    }
    if (height > 0 && (width != canvas.width || height != canvas.height)) {
        line += " (the " + std::to_string(width) + " x " + std::to_string(height) +
                " picture was placed on a white handheld canvas of " +
                std::to_string(canvas.width) + " x " + std::to_string(canvas.height) + ")";
    }
    return line + "\n";
}

// The reader takes no rows of a bitmap stored top row first (a negative
// height): its picture comes out blank, which nothing else would tell.
void warnOfTopDown(const Tool& tool, const InputFile& input) {
    if (readHead(input.path).le32(22) >= 0) return;
    warn(tool, input.shown +
                   " is stored top row first (its height is negative); its rows are not read, "
                   "so the image is blank");
}

// Prepares one bitmap's records: kExitOk, kExitFailed, or -1 when the batch must stop.
int importOne(const Tool& tool, const ImportArguments& parsed, const std::string& file,
              ImportBatch& batch) {
    InputFile input;
    if (openInput(tool, file, input) != kExitOk) return kExitFailed;
    const PictureReadResult bitmap = readPicture(input.path);
    if (bitmap.status != 0)
        return fail(tool, input.shown + " " + pictureProblem(bitmap, input.path));
    if (bitmap.format == PictureFormat::Bmp) warnOfTopDown(tool, input);
    AppendOptions options = parsed.append;
    const std::string name = parsed.nameGiven         ? parsed.name
                             : file == kStandardInput ? kStandardInputName
                                                      : pathBaseName(file);
    options.name = utf8ToHandheld(name).substr(0, kMaxImageNameChars);
    const TargetSize target = targetSizeFor(parsed, bitmap.canvas);
    if (target.width <= 0 || target.height <= 0) {
        fail(tool, input.shown + ": in this size box the picture comes out " +
                       std::to_string(target.width) + " x " + std::to_string(target.height) +
                       ", which cannot be stored; it and the pictures after it were not imported");
        return -1;
    }
    options.targetWidth = target.width;
    options.targetHeight = target.height;
    const std::int16_t status = prepareImageRecords(bitmap.canvas, options, batch.records);
    if (status != 0) return fail(tool, input.shown + ": " + importStatusMessage(status));
    batch.done.push_back(importedLine(input, options.name, target, options.bits, bitmap));
    return kExitOk;
}

int runImport(const Tool& tool, const ImportCommandLine& line) {
    ImportArguments parsed = line.parsed;
    if (parsed.nameGiven && parsed.files.size() > 1)
        return usageError(tool, "import", "--name names one picture; several were given");
    if (std::count(parsed.files.begin(), parsed.files.end(), kStandardInput) > 1)
        return usageError(tool, "import", "standard input (\"-\") can be read once only");
    parseSize(line.size, parsed);
    parsed.keepProportions = !line.stretch;
    parsed.append.dither = line.noDither ? 0 : 1;
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

void addImportOptions(CLI::App& command, ImportCommandLine& line) {
    ImportArguments& parsed = line.parsed;
    line.nameOption =
        command.add_option("--name", parsed.name, "the image's name (one picture only)")
            ->type_name("NAME");
    command.add_option("--format", parsed.append.bits, "bits per pixel (default 1)")
        ->type_name("1|2|4|8|16")
        ->check(accepting(
            [](const std::string& text) {
                return text == "1" || text == "2" || text == "4" || text == "8" || text == "16";
            },
            "1, 2, 4, 8 or 16"));
    command.add_option("--size", line.size, "the box the picture is stored in (default original)")
        ->type_name("SIZE")
        ->check(accepting(
            [](const std::string& text) {
                ImportArguments ignored;
                return parseSize(text, ignored);
            },
            "original, 160x160, 320x320, 320x480, 480x320 or WIDTHxHEIGHT"));
    CLI::Option* keep = command.add_flag("--keep-proportions")
                            ->description("fit the picture's proportions into the box (default)");
    command.add_flag("--stretch", line.stretch, "fill the box exactly")->excludes(keep);
    CLI::Option* dither = command.add_flag("--dither")->description("ordered dither (default)");
    command.add_flag("--no-dither", line.noDither, "no dither")->excludes(dither);
    const auto adjustment = accepting(
        [](const std::string& text) {
            return numberIn(text, kMinAdjustment, kMaxAdjustment).has_value();
        },
        "a whole number from -100 to 100");
    command.add_option("--contrast", parsed.append.contrast, "-100 to 100 (default 0)")
        ->type_name("N")
        ->check(adjustment);
    command.add_option("--brightness", parsed.append.brightness, "-100 to 100 (default 0)")
        ->type_name("N")
        ->check(adjustment);
}

}  // namespace

Command addImportCommand(CLI::App& tool) {
    auto line = std::make_shared<ImportCommandLine>();
    CLI::App* command = tool.add_subcommand("import", "append pictures as new images");
    command->footer(
        "Appends each picture as one new image, in the order given; \"-\" reads one\n"
        "from standard input. The database is rewritten once for the whole command.\n"
        "The default name is the file name without folder and extension, \"stdin\" for\n"
        "\"-\"; names are stored in the handheld's character set (Windows code page 1252),\n"
        "a character it lacks as \"?\", cut to 255 bytes.\n"
        "SIZE is original, 160x160, 320x320, 320x480, 480x320 or WIDTHxHEIGHT.\n"
        "--keep-proportions and --stretch, --dither and --no-dither exclude each other.\n"
        "A picture narrower than 160 or lower than 144 pixels is placed on a white canvas\n"
        "of at least 160 x 144 (a wider one is widened to a multiple of 16) before it is\n"
        "scaled into the size box.\n"
        "Pictures are told by their content: PNG, JPEG (turned upright by its EXIF\n"
        "orientation), GIF (its first frame), TIFF in the Windows build, and uncompressed\n"
        "Windows bitmaps of 1, 2, 4, 8 or 24 bits per pixel. Transparency becomes white.\n"
        "Another file is reported and skipped, and the exit status is then 1.");
    addDatabaseArgument(*command, line->parsed.databasePath);
    command->add_option("PICTURE", line->parsed.files, "the pictures to import, or \"-\"")
        ->required();
    addImportOptions(*command, *line);
    return {command, [line](const Tool& t) {
                ImportCommandLine given = *line;
                given.parsed.nameGiven = line->nameOption->count() > 0;
                return runImport(t, given);
            }};
}

}  // namespace ferrovel
