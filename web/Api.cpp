// The C API the web page calls. The page keeps the open database as a file
// of emscripten's in-memory file system and hands its path to every call, so
// that each change goes through the very rewrite the native programs use and
// the bytes come out the same. Results too large for a return value (pixels,
// the listing) are left in this module's own buffers until the next call.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "app/Export.h"
#include "app/Import.h"
#include "app/ImportPreview.h"
#include "app/PreviewFit.h"
#include "app/ViewText.h"
#include "database/Append.h"
#include "database/Catalogue.h"
#include "database/Container.h"
#include "database/FileOpen.h"
#include "database/ImageEdit.h"
#include "database/TextEncoding.h"
#include "interchange/Bmp.h"
#include "interchange/Canvas.h"
#include "interchange/PixelRows.h"

namespace ferrovel {
namespace {

// The last result of a call that makes pixels: RGBA, rows top-down.
struct PixelResult {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgba;
};

PixelResult pixels;
std::string text;                        // the last text result
std::vector<std::uint8_t> pictureInput;  // RGBA handed in by the page
BgrImage picture;                        // the picture being imported, on its canvas

struct FileCloser {
    std::FILE* file;
    ~FileCloser() {
        if (file) std::fclose(file);
    }
};

void appendJsonString(std::string& out, const std::string& utf8) {
    out += '"';
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
}

std::string listingJson(std::int32_t fileSize, std::int16_t records,
                        const std::vector<CatalogueEntry>& entries) {
    std::string json = "{\"details\":";
    appendJsonString(
        json, databaseDetailsText(fileSize, records, static_cast<std::int16_t>(entries.size())));
    json += ",\"images\":[";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ImageInfo& info = entries[i].info;
        if (i > 0) json += ',';
        json += "{\"name\":";
        appendJsonString(json, handheldToUtf8(entries[i].name));
        json += ",\"details\":";
        appendJsonString(json, imageDetailsText(info));
        json += ",\"width\":" + std::to_string(info.width) +
                ",\"height\":" + std::to_string(info.height) +
                ",\"bits\":" + std::to_string(info.bitsPerPixel) +
                ",\"layers\":" + std::to_string(info.layerCount) +
                ",\"bytes\":" + std::to_string(info.byteSize) + "}";
    }
    return json + "]}";
}

// True when the record list or a record's header, pixels or label lies past
// the end of the file: a cut-short copy, which the page does not open.
bool endsEarly(std::FILE* database, std::uint64_t size) {
    if (recordListEnd(database) > size) return true;
    for (const RecordInfo& record : readAllRecordInfo(database)) {
        if (record.start + kFullHeaderSize > size || record.pixelDataOffset > size ||
            record.labelStart >= size)
            return true;
    }
    return false;
}

// The PNG export's size: the catalogue's, within the composition.
std::int16_t croppedSide(std::int16_t label, std::int16_t composed) {
    return label > 0 && label < composed ? label : composed;
}

// The top-left width x height pixels of image.
RgbImage croppedImage(const RgbImage& image, std::int16_t width, std::int16_t height) {
    RgbImage cropped{width, height, {}};
    const auto rowBytes = static_cast<std::size_t>(width) * 3;
    cropped.pixels.reserve(rowBytes * static_cast<std::size_t>(height));
    for (std::int16_t y = 0; y < height; ++y) {
        const auto row = image.pixels.begin() +
                         static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) *
                                                     static_cast<std::size_t>(image.width) * 3);
        cropped.pixels.insert(cropped.pixels.end(), row,
                              row + static_cast<std::ptrdiff_t>(rowBytes));
    }
    return cropped;
}

void keepRgb(const RgbImage& image, std::int32_t width, std::int32_t height) {
    pixels.width = width;
    pixels.height = height;
    pixels.rgba.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 255);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* from =
            &image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) * 3];
        std::uint8_t* to =
            &pixels.rgba[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4];
        for (std::int32_t x = 0; x < width; ++x, from += 3, to += 4) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
}

void keepBgrx(const std::vector<std::uint32_t>& bgrx, std::int32_t width, std::int32_t height) {
    pixels.width = width;
    pixels.height = height;
    pixels.rgba.resize(bgrx.size() * 4);
    for (std::size_t i = 0; i < bgrx.size(); ++i) {
        pixels.rgba[i * 4] = static_cast<std::uint8_t>(bgrx[i] >> 16);
        pixels.rgba[i * 4 + 1] = static_cast<std::uint8_t>(bgrx[i] >> 8);
        pixels.rgba[i * 4 + 2] = static_cast<std::uint8_t>(bgrx[i]);
        pixels.rgba[i * 4 + 3] = 255;
    }
}

// Composes image index and the details the catalogue gives of it.
std::int16_t composeIndexed(const char* path, int index, RgbImage& image, ImageInfo& info) {
    const FileCloser database{openFile(path, "rb")};
    if (!database.file) return kExportNoDatabase;
    if (queryCatalogue(database.file, static_cast<std::int16_t>(index),
                       CatalogueQuery{nullptr, nullptr, &info}) != 0)
        return kImageNotFound;
    return composeImage(database.file, info, image);
}

PreviewSettings previewSettings(int width, int height, int bits, int dither, int brightness,
                                int contrast) {
    PreviewSettings settings;
    settings.targetWidth = static_cast<std::int16_t>(width);
    settings.targetHeight = static_cast<std::int16_t>(height);
    settings.formatBits = static_cast<std::int16_t>(bits);
    settings.dither = static_cast<std::int16_t>(dither);
    settings.brightness = static_cast<std::int16_t>(brightness);
    settings.contrast = static_cast<std::int16_t>(contrast);
    return settings;
}

// Runs job, which allocates; memory that cannot be had gives status, as
// nothing may be thrown through the C API.
template <typename Job>
int withMemory(int status, Job job) {
    try {
        return job();
    } catch (const std::bad_alloc&) {
        return status;
    }
}

}  // namespace
}  // namespace ferrovel

using namespace ferrovel;

extern "C" {

// Creates an empty database at path, named after its base name: 0 or a status.
EMSCRIPTEN_KEEPALIVE int fv_create(const char* path) {
    return createEmptyDatabase(path);
}

// The database's details and image list as JSON, or an empty text when the
// file is no image database.
EMSCRIPTEN_KEEPALIVE const char* fv_list(const char* path) {
    text.clear();
    const FileCloser database{openFile(path, "rb")};
    if (!database.file || !isImageDatabase(database.file)) return text.c_str();
    std::fseek(database.file, 0, SEEK_END);
    const long size = std::ftell(database.file);
    if (endsEarly(database.file, static_cast<std::uint64_t>(size))) {
        text = "{\"problem\":\"ends before its records do: it is damaged or was cut short\"}";
        return text.c_str();
    }
    const std::int16_t records = readRecordCount(database.file);
    const std::vector<CatalogueEntry> entries = listCatalogue(database.file);
    text = listingJson(static_cast<std::int32_t>(size), records < 0 ? 0 : records, entries);
    return text.c_str();
}

// Composes image index cropped to its catalogue size, as the PNG export
// writes it, into the pixel result: 0 or a status.
EMSCRIPTEN_KEEPALIVE int fv_compose(const char* path, int index) {
    return withMemory(kComposeNoMemory, [&] {
        RgbImage image;
        ImageInfo info;
        const std::int16_t status = composeIndexed(path, index, image, info);
        if (status != 0) return int{status};
        keepRgb(image, croppedSide(info.width, image.width),
                croppedSide(info.height, image.height));
        return 0;
    });
}

// Image index fitted into a box x box square, as the desktop's preview fits it.
EMSCRIPTEN_KEEPALIVE int fv_thumbnail(const char* path, int index, int box) {
    return withMemory(kComposeNoMemory, [&] {
        RgbImage image;
        ImageInfo info;
        const std::int16_t status = composeIndexed(path, index, image, info);
        if (status != 0) return int{status};
        const FittedPixels fitted =
            renderFitted(croppedImage(image, croppedSide(info.width, image.width),
                                      croppedSide(info.height, image.height)),
                         box, box, box, box);
        keepBgrx(fitted.bgrx, fitted.visible.width, fitted.visible.height);
        return 0;
    });
}

// Writes image index as a 24-bit bitmap at outPath through the export loop.
EMSCRIPTEN_KEEPALIVE int fv_export_bmp(const char* path, int index, int imageCount,
                                       const char* outPath) {
    const ExportRequest request{path,
                                outPath,
                                kExportSelected,
                                static_cast<std::int16_t>(imageCount),
                                static_cast<std::int16_t>(index),
                                ExportFormat::Bmp};
    return exportImages(request, ExportHooks{});
}

// The file name an image of that name is exported under (without ending).
EMSCRIPTEN_KEEPALIVE const char* fv_file_name(const char* name) {
    text = fileNameFromImageName(utf8ToHandheld(name));
    return text.c_str();
}

EMSCRIPTEN_KEEPALIVE std::uint8_t* fv_pixels() {
    return pixels.rgba.data();
}
EMSCRIPTEN_KEEPALIVE int fv_pixels_width() {
    return pixels.width;
}
EMSCRIPTEN_KEEPALIVE int fv_pixels_height() {
    return pixels.height;
}

// Room for a width x height RGBA picture the page decoded, in place of the
// picture imported before; null when the picture passes the canvas cap or
// the memory cannot be had.
EMSCRIPTEN_KEEPALIVE std::uint8_t* fv_picture_buffer(int width, int height) {
    picture = BgrImage{};
    if (width < 1 || height < 1 || !canvasBytesFor(width, height)) return nullptr;
    const int status = withMemory(kBmpNoMemory, [&] {
        pictureInput.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4,
                            0);
        return 0;
    });
    return status == 0 ? pictureInput.data() : nullptr;
}

// Puts the RGBA picture in the buffer on the import canvas, transparency
// composed onto white as the native decoders compose it: 0 or a status.
EMSCRIPTEN_KEEPALIVE int fv_take_picture(int width, int height) {
    PictureCanvas canvas;
    if (pictureInput.size() !=
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
        return kBmpBadFormat;
    if (openPictureCanvas(canvas, width, height) != CanvasOpen::Opened) return kBmpNoMemory;
    constexpr std::int32_t kBand = 1024;  // pixels converted at a time
    std::array<std::uint8_t, 3 * kBand> bgr;
    const std::uint8_t* rgba = pictureInput.data();
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; x += kBand) {
            const std::int32_t count = std::min(kBand, width - x);
            rgbaToBgr(rgba, count, bgr.data());
            placeRow(canvas, y, x, 1, bgr.data(), count);
            rgba += 4 * count;
        }
    }
    picture = std::move(canvas.image);
    std::vector<std::uint8_t>().swap(pictureInput);
    return 0;
}

EMSCRIPTEN_KEEPALIVE int fv_canvas_width() {
    return picture.width;
}
EMSCRIPTEN_KEEPALIVE int fv_canvas_height() {
    return picture.height;
}

// The size an Import All gives the current picture: width * 65536 + height.
EMSCRIPTEN_KEEPALIVE int fv_batch_size(int preset, int keep, int customWidth, int customHeight) {
    const TargetSize own{picture.width, picture.height};
    const TargetSize box = presetBox(
        static_cast<std::int16_t>(preset), own,
        {static_cast<std::int16_t>(customWidth), static_cast<std::int16_t>(customHeight)});
    const TargetSize size = keep ? fitProportions(box, own) : box;
    return size.width * 65536 + (size.height & 0xFFFF);
}

// The import preview of the current picture in a box of innerWidth x
// innerHeight, into the pixel result: 0, or -1 when scaling failed.
EMSCRIPTEN_KEEPALIVE int fv_preview(int innerWidth, int innerHeight, int width, int height,
                                    int bits, int dither, int brightness, int contrast) {
    const PreviewSettings settings =
        previewSettings(width, height, bits, dither, brightness, contrast);
    const PreviewPlacement placement =
        placePreview(innerWidth, innerHeight, settings.targetWidth, settings.targetHeight);
    return withMemory(-1, [&] {
        std::vector<std::uint32_t> drawn;
        if (!renderImportPreview(picture, settings, placement, drawn)) return -1;
        keepBgrx(drawn, placement.drawWidth, placement.drawHeight);
        return 0;
    });
}

// Appends the current picture as one new image: 0 or an append status.
EMSCRIPTEN_KEEPALIVE int fv_import(const char* path, const char* name, int width, int height,
                                   int bits, int dither, int brightness, int contrast) {
    AppendOptions options;
    options.name = utf8ToHandheld(name).substr(0, kMaxImageNameChars);
    options.targetWidth = static_cast<std::int16_t>(width);
    options.targetHeight = static_cast<std::int16_t>(height);
    options.bits = static_cast<std::int16_t>(bits);
    options.dither = static_cast<std::int16_t>(dither);
    options.brightness = static_cast<std::int16_t>(brightness);
    options.contrast = static_cast<std::int16_t>(contrast);
    return withMemory(kAppendNoWorkBuffer,
                      [&] { return int{appendImage(path, picture, options)}; });
}

// The words for an append status.
EMSCRIPTEN_KEEPALIVE const char* fv_import_message(int status) {
    return importStatusMessage(static_cast<std::int16_t>(status));
}

EMSCRIPTEN_KEEPALIVE int fv_delete(const char* path, int index) {
    return deleteImages(path, {static_cast<std::int16_t>(index)});
}

EMSCRIPTEN_KEEPALIVE int fv_rename(const char* path, int index, const char* name) {
    return renameImage(path, static_cast<std::int16_t>(index),
                       utf8ToHandheld(name).substr(0, kMaxImageNameChars));
}

EMSCRIPTEN_KEEPALIVE int fv_move(const char* path, int index, int to) {
    return moveImage(path, static_cast<std::int16_t>(index), static_cast<std::int16_t>(to));
}

}  // extern "C"
