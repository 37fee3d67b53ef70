#include <memory>
#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "cli/Imagedb.h"
#include "database/ByteStream.h"
#include "database/Catalogue.h"
#include "database/TextEncoding.h"

namespace ferrovel {
namespace {

struct ListArguments {
    std::string path;
    bool json = false;
};

std::string hexBytes(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

// The JSON library leaves DEL and the C1 controls (U+0080 to U+009F, which
// five undefined handheld bytes stand for) as they are; every control
// character is escaped here, which only string contents can hold.
std::string escapeRemainingControls(const std::string& json) {
    std::string text;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const auto c = static_cast<unsigned char>(json[i]);
        const auto next = i + 1 < json.size() ? static_cast<unsigned char>(json[i + 1]) : 0u;
        char escape[8];
        if (c == 0x7F) {
            text += "\\u007f";
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", next);
            text += escape;
            ++i;
        } else {
            text += json[i];
        }
    }
    return text;
}

nlohmann::ordered_json jsonEntry(int index, const CatalogueEntry& entry) {
    const ImageInfo& info = entry.info;
    return {{"index", index},
            {"name", handheldToUtf8(entry.name)},
            {"nameHex", hexBytes(entry.name)},
            {"width", info.width},
            {"height", info.height},
            {"bits", info.bitsPerPixel},
            {"layers", info.layerCount},
            {"bytes", info.byteSize},
            {"firstRecord", info.firstRecord},
            {"tilesAcross", info.tilesAcross},
            {"tilesDown", info.tilesDown}};
}

// One object a line, so that line tools can take the array apart too.
void printJson(std::FILE* out, const std::vector<CatalogueEntry>& entries) {
    std::fputs("[\n", out);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string object = jsonEntry(static_cast<int>(i), entries[i]).dump();
        std::fprintf(out, "  %s%s\n", escapeRemainingControls(object).c_str(),
                     i + 1 < entries.size() ? "," : "");
    }
    std::fputs("]\n", out);
}

void printLines(std::FILE* out, const std::vector<CatalogueEntry>& entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ImageInfo& info = entries[i].info;
        std::fprintf(out, "%d\t%s\t%d x %d\t%s\t%d %s\t%u bytes\n", static_cast<int>(i),
                     displayText(entries[i].name).c_str(), info.width, info.height,
                     bitsText(info.bitsPerPixel).c_str(), info.layerCount,
                     info.layerCount == 1 ? "layer" : "layers",
                     static_cast<unsigned>(info.byteSize));
    }
}

int runList(const Tool& tool, const ListArguments& args) {
    Database database;
    if (const int status = openDatabase(tool, args.path, database)) return status;
    const std::vector<RecordInfo> records = readRecords(tool, args.path, database.file);
    const auto size = static_cast<std::uint64_t>(streamSize(database.file));
    warnOfDamage(tool, args.path, structureDamage(records, size));
    const std::vector<CatalogueEntry> entries = catalogueFromRecords(records);
    if (args.json) {
        printJson(tool.out, entries);
    } else {
        printLines(tool.out, entries);
    }
    return kExitOk;
}

}  // namespace

Command addListCommand(CLI::App& tool) {
    auto args = std::make_shared<ListArguments>();
    CLI::App* command = tool.add_subcommand("list", "print the images with their details");
    command->footer(
        "Prints one line per image: index, name, width x height, bits per pixel, layers\n"
        "and stored bytes, separated by tabs. A tab, carriage return, line feed or\n"
        "backslash in a name is written \\t, \\r, \\n or \\\\. Names are converted from the\n"
        "handheld's character set (Windows code page 1252) to UTF-8.\n"
        "With --json, prints an array of objects, one a line, with the keys index, name,\n"
        "nameHex (the name's bytes as stored, in hexadecimal), width, height, bits,\n"
        "layers, bytes, firstRecord, tilesAcross and tilesDown.");
    addDatabaseArgument(*command, args->path);
    command->add_flag("--json", args->json, "print JSON");
    return {command, [args](const Tool& t) { return runList(t, *args); }};
}

}  // namespace ferrovel
