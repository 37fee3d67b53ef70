#include "app/Export.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "database/Catalogue.h"
#include "database/FileOpen.h"
#include "database/RgbImage.h"
#include "database/TextEncoding.h"
#include "interchange/Bmp.h"
#include "interchange/PictureFile.h"

namespace ferrovel {
namespace {

constexpr std::int16_t kFirstDuplicateNumber = 2;

const char* extensionOf(ExportFormat format) {
    return format == ExportFormat::Png ? ".png" : ".bmp";
}

// True when path ends in extension (".bmp" or ".png"), letters in any case.
bool endsWith(const std::string& path, const char* extension) {
    if (path.size() < 4) return false;
    const char* end = path.c_str() + path.size() - 4;
    for (int i = 0; i < 4; ++i) {
        if (std::tolower(static_cast<unsigned char>(end[i])) != extension[i]) return false;
    }
    return true;
}

bool isReplacedInFileName(unsigned char c) {
    return c < 32 || std::strchr("\"*/:<>?\\`{|}", c) != nullptr;
}

bool fileExists(const ExportHooks& hooks, const std::string& path) {
    if (hooks.fileExists) return hooks.fileExists(hooks.context, path);
    std::FILE* file = openFile(path, "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

void tell(const ExportHooks& hooks, const char* text) {
    if (hooks.showMessage) hooks.showMessage(hooks.context, text);
}

std::string outputPath(const ExportRequest& request, const std::string& imageName,
                       std::int16_t index, const ExportHooks& hooks) {
    if (request.mode == kExportNumbered)
        return numberedExportPath(request.fileName, index, request.format);
    if (request.mode != kExportByName) return request.fileName;
    return namedExportPath(request.fileName, imageName, hooks, request.format);
}

// The PNG's size: the catalogue's, within the composition, as a damaged
// label may claim more than its tiles hold or nothing at all.
std::int16_t croppedSide(std::int16_t label, std::int16_t composed) {
    return label > 0 && label < composed ? label : composed;
}

// Composes and writes one image; the status of the step that failed, or 0.
std::int16_t exportOne(std::FILE* database, const CatalogueEntry& image, std::int16_t index,
                       const std::string& path, ExportFormat format, const ExportHooks& hooks) {
    RgbImage picture;
    const std::int16_t composed = composeImage(database, image.info, picture);
    if (composed != 0) return composed;
    const std::int16_t written =
        format == ExportFormat::Png
            ? writePng(path, picture, croppedSide(image.info.width, picture.width),
                       croppedSide(image.info.height, picture.height))
            : writeBmp(path, picture);
    if (written == kBmpWriteOpenFailed) {
        tell(hooks, kMessageNoTargetFile);
    } else if (written != 0) {
        tell(hooks, kMessageExportFailed);
    } else if (hooks.imageWritten) {
        hooks.imageWritten(hooks.context, index, path);
    }
    return written;
}

// What the catalogue tells of image index: from the listing taken once for an
// export of every image, or looked up for the one image of the other modes.
// An index past the last image has no name and the catalogue's defaults.
CatalogueEntry imageToExport(std::FILE* database, const std::vector<CatalogueEntry>& listing,
                             bool everyImage, std::int16_t index) {
    CatalogueEntry entry;
    if (!everyImage) {
        queryCatalogue(database, index, CatalogueQuery{nullptr, nullptr, &entry.info});
    } else if (index >= 0 && static_cast<std::size_t>(index) < listing.size()) {
        entry = listing[static_cast<std::size_t>(index)];
    }
    return entry;
}

}  // namespace

ExportFormat exportFormatOfPath(const std::string& path, ExportFormat otherwise) {
    if (endsWith(path, ".png")) return ExportFormat::Png;
    if (endsWith(path, ".bmp")) return ExportFormat::Bmp;
    return otherwise;
}

std::string numberedExportPath(const std::string& fileName, std::int16_t index,
                               ExportFormat format) {
    std::string path = fileName;
    if (path.size() > 4 && endsWith(path, extensionOf(format))) path.resize(path.size() - 4);
    char number[16];
    std::snprintf(number, sizeof number, "%03hd%s", index, extensionOf(format));
    return path + number;
}

bool isDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

std::string fileNameFromImageName(const std::string& imageName) {
    std::string name = imageName.substr(0, kMaxNameChars);
    for (char& c : name) {
        if (isReplacedInFileName(static_cast<unsigned char>(c))) c = '_';
    }
    if (isDeviceName(name)) name.insert(0, "_");
    return handheldToUtf8(name);
}

std::string namedExportPath(const std::string& fileName, const std::string& imageName,
                            const ExportHooks& hooks, ExportFormat format) {
    if (imageName.empty()) return fileName;
    const std::size_t folderEnd = fileName.find_last_of(":\\/");
    const std::string folder =
        folderEnd == std::string::npos ? "" : fileName.substr(0, folderEnd + 1);
    std::string path = folder + fileNameFromImageName(imageName);
    if (!endsWith(path, extensionOf(format))) path += extensionOf(format);
    if (!fileExists(hooks, path)) return path;
    const std::string stem = path.substr(0, path.size() - 4);
    for (std::int16_t number = kFirstDuplicateNumber;; ++number) {
        char ending[24];
        std::snprintf(ending, sizeof ending, " [%hd]%s", number, extensionOf(format));
        path = stem + ending;
        // The last number is taken whether or not its file exists.
        if (number >= hooks.lastDuplicateNumber || !fileExists(hooks, path)) return path;
    }
}

std::int16_t exportImages(const ExportRequest& request, const ExportHooks& hooks) {
    std::FILE* database = openFile(request.databasePath, "rb");
    if (!database) {
        tell(hooks, kMessageNoSourceDatabase);
        return kExportNoDatabase;
    }
    const bool everyImage = request.mode == kExportByName || request.mode == kExportNumbered;
    std::int16_t status = 0;
    if (request.imageCount >= 1) {
        // One walk over the catalogue serves every image of the export.
        const std::vector<CatalogueEntry> listing =
            everyImage ? listCatalogue(database) : std::vector<CatalogueEntry>();
        std::int16_t index = everyImage ? std::int16_t{0} : request.selectedImage;
        while (status == 0) {
            const CatalogueEntry image = imageToExport(database, listing, everyImage, index);
            const std::string path = outputPath(request, image.name, index, hooks);
            if (hooks.showOutputPath) hooks.showOutputPath(hooks.context, path);
            status = exportOne(database, image, index, path, request.format, hooks);
            if (!everyImage || index + 1 >= request.imageCount) break;
            ++index;
        }
    }
    std::fclose(database);
    return status;
}

}  // namespace ferrovel
