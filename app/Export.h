// The export loop: images of a database to 24-bit bitmap files or to PNG
// files, the selected one to a chosen file, or every image to numbered files or to files named
// after the images. The window's Export and Copy commands and the imagedb
// tool all run this one loop; they differ only in the hooks they pass.
#pragma once

#include <cstdint>
#include <string>

namespace ferrovel {

enum ExportMode : std::int16_t {
    kExportCancelled = -1,
    kExportSelected = 0,     // the selected image, to the chosen file
    kExportToGivenFile = 1,  // the selected image, to the given file (clipboard copy)
    kExportByName = 2,       // every image, named after the image, in the chosen folder
    kExportNumbered = 3,     // every image, the chosen name plus a three-digit number
};

// A bitmap holds the whole composition, a one-tile image's 160 x 160 record
// included; a PNG is cropped to the catalogue's width x height.
enum class ExportFormat : std::uint8_t { Bmp, Png };

inline constexpr std::int16_t kExportNoDatabase = -1;  // the database cannot be opened

inline constexpr const char* kExportCaption = "Image Export";
inline constexpr const char* kMessageNoSourceDatabase =
    "Could not open source database for export.";
inline constexpr const char* kMessageNoTargetFile = "Could not open target image for write.";
inline constexpr const char* kMessageExportFailed = "Could not export image from database.";

inline constexpr std::size_t kMaxNameChars = 32;  // of an image name used as a file name

struct ExportRequest {
    std::string databasePath;
    std::string fileName;
    std::int16_t mode = kExportSelected;
    std::int16_t imageCount = 0;     // the entries of the image list
    std::int16_t selectedImage = 0;  // the image of the single-image modes
    ExportFormat format = ExportFormat::Bmp;
};

// The format a path's ending names (".bmp" or ".png", in any case), or
// otherwise when it names neither.
ExportFormat exportFormatOfPath(const std::string& path, ExportFormat otherwise);

// What the loop tells its caller, and how it asks whether a file exists. A
// null hook is skipped; a null fileExists tries to open the file for reading.
struct ExportHooks {
    void* context = nullptr;
    void (*showOutputPath)(void* context, const std::string& path) = nullptr;
    void (*showMessage)(void* context, const char* text) = nullptr;
    void (*imageWritten)(void* context, std::int16_t index, const std::string& path) = nullptr;
    bool (*fileExists)(void* context, const std::string& path) = nullptr;
    // The highest " [N]" of a by-name export. The window takes " [9]" whether
    // or not its file exists; a caller that must never replace a file asks
    // for more room.
    std::int16_t lastDuplicateNumber = 9;
};

// The file name of a numbered export: the format's ending (".bmp" or ".png")
// dropped, then "%03hd" and that ending.
std::string numberedExportPath(const std::string& fileName, std::int16_t index,
                               ExportFormat format = ExportFormat::Bmp);

// An image name made fit for a file name: control bytes and " * / : < > ? \ `
// { | } become "_", the result is cut to 32 characters, a Windows device name
// (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, with or without an extension)
// gets a "_" in front so that no device is ever opened, and the name goes
// from the handheld's character set into the UTF-8 of paths, each character
// kept.
std::string fileNameFromImageName(const std::string& imageName);

// True when name, before its first '.', is a Windows device name.
bool isDeviceName(const std::string& name);

// The path an image named imageName is written to in a by-name export: the
// file name's folder plus the image name plus the format's ending, numbered
// " [2]" up to hooks.lastDuplicateNumber while that path exists. An empty
// image name gives the file name itself.
std::string namedExportPath(const std::string& fileName, const std::string& imageName,
                            const ExportHooks& hooks, ExportFormat format = ExportFormat::Bmp);

// Runs the export: 0, kExportNoDatabase, or the first failing status of
// composing (-64) or writing an image.
std::int16_t exportImages(const ExportRequest& request, const ExportHooks& hooks);

}  // namespace ferrovel
