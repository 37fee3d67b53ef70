#include <memory>

#include "cli/Commands.h"
#include "cli/Imagedb.h"
#include "database/ByteStream.h"
#include "database/Catalogue.h"
#include "database/Container.h"
#include "database/TextEncoding.h"

namespace ferrovel {
namespace {

struct CheckArguments {
    std::string path;
    bool verbose = false;
};

// Where the catalogue puts a record: the image it belongs to (-1 for none)
// and, within that image, the layer and tile its place stands for.
struct RecordPlace {
    int image = -1;
    bool surplus = false;  // past the image's last tile: never shown
    std::int64_t layer = 0, column = 0, row = 0;
};

std::int64_t recordsOf(const ImageInfo& info) {
    return std::int64_t{info.layerCount} * info.tilesAcross * info.tilesDown;
}

// Every record belongs to the last image that starts at or before it; its
// place in that image follows from its distance to the image's first record.
std::vector<RecordPlace> placeRecords(const std::vector<CatalogueEntry>& images,
                                      std::size_t recordCount) {
    std::vector<RecordPlace> places(recordCount);
    std::size_t next = 0;
    for (std::size_t r = 0; r < recordCount; ++r) {
        while (next < images.size() && static_cast<std::size_t>(images[next].info.firstRecord) <= r)
            ++next;
        if (next == 0) continue;
        const ImageInfo& info = images[next - 1].info;
        RecordPlace& place = places[r];
        place.image = static_cast<int>(next - 1);
        const auto offset = static_cast<std::int64_t>(r) - info.firstRecord;
        const std::int64_t perLayer = std::int64_t{info.tilesAcross} * info.tilesDown;
        place.surplus = perLayer <= 0 || offset >= recordsOf(info);
        if (place.surplus) continue;
        place.layer = offset / perLayer;
        place.row = offset % perLayer / info.tilesAcross;
        place.column = offset % perLayer % info.tilesAcross;
    }
    return places;
}

std::string imageText(int image) {
    return "image " + std::to_string(image);
}

// What is wrong with the label of a record that starts an image.
std::string startLabelProblem(const RecordInfo& record, const TileLabel& label, std::size_t r) {
    const std::string of = "the label of record " + std::to_string(r);
    if (label.fieldsRead < 4) {
        return of + " (\"" + displayText(record.label) +
               "\") does not read as \"#(column,row) - WIDTHxHEIGHT name\"; the record is shown "
               "as an image of its own";
    }
    if (!labelGivesSize(label)) {
        return of + " gives the image a size of " + std::to_string(label.imageWidth) + " x " +
               std::to_string(label.imageHeight) + "; the record is shown as an image of its own";
    }
    return {};
}

// What is wrong with the label of a record that continues an image.
std::string continuationLabelProblem(const TileLabel& label, const RecordPlace& place,
                                     const ImageInfo& info, std::size_t r) {
    const std::string of = "the label of record " + std::to_string(r);
    const std::int64_t layer = label.layer > 1 ? label.layer : 1;
    if (label.column != place.column || label.row != place.row || layer != place.layer + 1) {
        return of + " names tile (" + std::to_string(label.column) + "," +
               std::to_string(label.row) + ") of layer " + std::to_string(layer) +
               ", but the record's place makes it tile (" + std::to_string(place.column) + "," +
               std::to_string(place.row) + ") of layer " + std::to_string(place.layer + 1) +
               " of " + imageText(place.image) + ", where it is shown";
    }
    if (label.imageWidth != info.width || label.imageHeight != info.height) {
        return of + " gives the image a size of " + std::to_string(label.imageWidth) + " x " +
               std::to_string(label.imageHeight) + ", but " + imageText(place.image) + " is " +
               std::to_string(info.width) + " x " + std::to_string(info.height);
    }
    return {};
}

std::string labelProblem(const RecordInfo& record, const RecordPlace& place,
                         const std::vector<CatalogueEntry>& images, std::size_t r) {
    const std::string of = "record " + std::to_string(r);
    if (place.image < 0)
        return of + " continues an image, but none starts before it; it is never shown";
    if (place.surplus) {
        return of + " lies past the last tile of " + imageText(place.image) + "; it is never shown";
    }
    const TileLabel label = parseTileLabel(record.label);
    const ImageInfo& info = images[static_cast<std::size_t>(place.image)].info;
    if (static_cast<std::size_t>(info.firstRecord) == r) return startLabelProblem(record, label, r);
    return continuationLabelProblem(label, place, info, r);
}

// An image whose labels ask for more records than follow it before the next
// image or the end of the file.
std::string shortImageProblem(const std::vector<CatalogueEntry>& images, std::size_t i,
                              std::size_t recordCount) {
    const ImageInfo& info = images[i].info;
    const std::size_t end = i + 1 < images.size()
                                ? static_cast<std::size_t>(images[i + 1].info.firstRecord)
                                : recordCount;
    const std::int64_t has = static_cast<std::int64_t>(end) - info.firstRecord;
    if (has >= recordsOf(info)) return {};
    return imageText(static_cast<int>(i)) + " needs " + std::to_string(recordsOf(info)) +
           " records (" + std::to_string(info.tilesAcross) + " x " +
           std::to_string(info.tilesDown) + " tiles in " + std::to_string(info.layerCount) +
           (info.layerCount == 1 ? " layer" : " layers") + "), but only " + std::to_string(has) +
           " come before " + (i + 1 < images.size() ? "the next image" : "the end of the file");
}

// Every problem of the database: damaged records (decoded to the end of
// their pixel data) and labels that do not tie the records into images.
std::vector<std::string> findProblems(std::FILE* file, const std::vector<RecordInfo>& records,
                                      const std::vector<CatalogueEntry>& images,
                                      std::uint64_t fileSize) {
    std::vector<std::string> problems;
    if (readRecordCount(file) < 0)
        problems.push_back("the record count is 32768 or more, so the database reads as empty");
    const std::vector<RecordPlace> places = placeRecords(images, records.size());
    for (std::size_t r = 0; r < records.size(); ++r) {
        const RecordProblem damage =
            checkRecord(file, static_cast<std::int16_t>(r), fileSize, CheckDepth::Decode);
        if (damage != RecordProblem::None) problems.push_back(recordDamageText(damage, r));
        // A label that does not lie in the file has no words to check.
        if (records[r].start + kFullHeaderSize > fileSize || records[r].labelStart >= fileSize)
            continue;
        std::string label = labelProblem(records[r], places[r], images, r);
        if (!label.empty()) problems.push_back(std::move(label));
    }
    for (std::size_t i = 0; i < images.size(); ++i) {
        std::string shortOf = shortImageProblem(images, i, records.size());
        if (!shortOf.empty()) problems.push_back(std::move(shortOf));
    }
    return problems;
}

std::string fixedText(const std::uint8_t* bytes, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(bytes), size);
    text.resize(std::min(text.find('\0'), text.size()));
    return "\"" + displayText(text) + "\"";
}

void dumpHeader(std::FILE* out, const DatabaseHeader& h, std::uint64_t fileSize) {
    std::fprintf(
        out,
        "header\n  name                %s\n  attributes          0x%04X\n"
        "  version             %u\n  creationDate        0x%08lX\n"
        "  modificationDate    0x%08lX\n  lastBackupDate      0x%08lX\n"
        "  modificationNumber  %lu\n  appInfoOffset       %lu\n"
        "  sortInfoOffset      %lu\n  type                %s\n  creator             %s\n"
        "  uniqueIdSeed        %lu\n  nextRecordListId    %lu\n"
        "  recordCount         %u\n  file size           %llu bytes\n",
        fixedText(h.name.data(), h.name.size()).c_str(), h.attributes, h.version,
        static_cast<unsigned long>(h.creationDate), static_cast<unsigned long>(h.modificationDate),
        static_cast<unsigned long>(h.lastBackupDate),
        static_cast<unsigned long>(h.modificationNumber),
        static_cast<unsigned long>(h.appInfoOffset), static_cast<unsigned long>(h.sortInfoOffset),
        fixedText(h.type.data(), h.type.size()).c_str(),
        fixedText(h.creator.data(), h.creator.size()).c_str(),
        static_cast<unsigned long>(h.uniqueIdSeed), static_cast<unsigned long>(h.nextRecordListId),
        static_cast<unsigned>(static_cast<std::uint16_t>(h.recordCount)),
        static_cast<unsigned long long>(fileSize));
}

void dumpRecord(std::FILE* out, std::FILE* file, const RecordInfo& record, std::size_t r,
                const RecordPlace& place, std::uint64_t fileSize) {
    const RecordEntry entry = readRecordEntry(file, static_cast<std::int16_t>(r));
    const std::string image =
        place.image < 0 ? "no image"
        : place.surplus
            ? imageText(place.image) + ", past its last tile"
            : imageText(place.image) + ", layer " + std::to_string(place.layer + 1) + ", tile (" +
                  std::to_string(place.column) + "," + std::to_string(place.row) + ")";
    std::fprintf(out, "  record %zu  offset %lu  attributes 0x%02X  uniqueId %lu  %s\n", r,
                 static_cast<unsigned long>(entry.offset), entry.recordAttributes >> 24,
                 static_cast<unsigned long>(entry.recordAttributes & 0xFFFFFF), image.c_str());
    if (record.start + kFullHeaderSize > fileSize) {
        std::fputs("    (its header lies past the end of the file)\n", out);
        return;
    }
    const ImageRecordHeader h = readImageRecordHeader(file, record.start);
    std::fprintf(out,
                 "    headerSize %lu  iconBlockSize %lu  pixelOffset %lu  pixelSize %lu  "
                 "labelOffset %lu\n    colorIcon %u  compressed %u  width %d  height %d  "
                 "bitsPerPixel %u\n    label \"%s\"\n",
                 static_cast<unsigned long>(h.headerSize),
                 static_cast<unsigned long>(h.iconBlockSize),
                 static_cast<unsigned long>(h.pixelOffset), static_cast<unsigned long>(h.pixelSize),
                 static_cast<unsigned long>(h.labelOffset), h.colorIcon, h.compressed, h.width,
                 h.height, h.bitsPerPixel, displayText(record.label).c_str());
}

// The structure as a person reads it who wants to understand the file.
void dumpStructure(std::FILE* out, std::FILE* file, const std::vector<RecordInfo>& records,
                   const std::vector<CatalogueEntry>& images, std::uint64_t fileSize) {
    dumpHeader(out, readDatabaseHeader(file), fileSize);
    std::fputs("records\n", out);
    const std::vector<RecordPlace> places = placeRecords(images, records.size());
    for (std::size_t r = 0; r < records.size(); ++r)
        dumpRecord(out, file, records[r], r, places[r], fileSize);
}

int runCheck(const Tool& tool, const CheckArguments& args) {
    Database database;
    if (const int status = openDatabase(tool, args.path, database)) return status;
    std::FILE* file = database.file;
    const std::vector<RecordInfo> records = readAllRecordInfo(file);
    const std::vector<CatalogueEntry> images = catalogueFromRecords(records);
    const auto fileSize = static_cast<std::uint64_t>(streamSize(file));
    if (args.verbose) dumpStructure(tool.out, file, records, images, fileSize);
    const std::vector<std::string> problems = findProblems(file, records, images, fileSize);
    for (const std::string& problem : problems) std::fprintf(tool.out, "%s\n", problem.c_str());
    std::fprintf(tool.out, "%s: %zu records, %zu images, ", args.path.c_str(), records.size(),
                 images.size());
    if (problems.empty()) {
        std::fputs("no damage found\n", tool.out);
        return kExitOk;
    }
    std::fprintf(tool.out, "%zu %s found\n", problems.size(),
                 problems.size() == 1 ? "problem" : "problems");
    return kExitFailed;
}

}  // namespace

Command addCheckCommand(CLI::App& tool) {
    auto args = std::make_shared<CheckArguments>();
    CLI::App* command =
        tool.add_subcommand("check", "report every damaged record and label of a database");
    command->footer(
        "Decodes every record to the end of its pixel data and checks that the labels tie\n"
        "the records into images. Prints one line per problem and a summary; the exit\n"
        "status is 1 when anything was found. With --verbose, first prints the header\n"
        "fields and every record: its offset and attributes, its header fields, its\n"
        "label and the image it belongs to.");
    addDatabaseArgument(*command, args->path);
    command->add_flag("-v,--verbose", args->verbose, "print the database's structure too");
    return {command, [args](const Tool& t) { return runCheck(t, *args); }};
}

}  // namespace ferrovel
