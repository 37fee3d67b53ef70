// The catalogue: how tile and layer records make up images, and composition
// of one whole image from its records.
//
// Every record's label reads "#(column,row) - WIDTHxHEIGHT {layer/layerCount} name"
// (signed 16-bit decimals; a blank matches any run of white space, none
// included; the layer part is optional). A record continues the image before
// it when column != 0, row != 0 or layer > 1; every other record starts an
// image. A label whose first four numbers cannot be read is an image of its own.
//
// Record order of an image of T = tilesAcross x tilesDown tiles: the record of
// layer k (0 = bottom), tile row ty and tile column tx is
//   firstRecord + k * T + ty * tilesAcross + tx.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "database/ImageRecord.h"
#include "database/RgbImage.h"

namespace ferrovel {

inline constexpr std::int16_t kImageNotFound = -1;
inline constexpr std::int16_t kComposeNoMemory = -64;  // the image buffer cannot be allocated

inline constexpr std::int32_t kTileSize = 160;

struct TileLabel {
    std::int16_t column = 0;
    std::int16_t row = 0;
    std::int16_t imageWidth = 0;
    std::int16_t imageHeight = 0;
    std::int16_t layer = 0;       // 0 when absent
    std::int16_t layerCount = 0;  // 0 when absent
    int fieldsRead = 0;           // how many of the six numbers were read
};

struct ImageInfo {
    std::int16_t firstRecord = 0;
    std::int16_t tilesAcross = 1;
    std::int16_t tilesDown = 1;
    std::int16_t width = 160;
    std::int16_t height = 160;
    std::int16_t bitsPerPixel = 1;
    std::int16_t layerCount = 1;
    std::uint32_t byteSize = 0;  // 32-bit total of the stored pixel bytes
};

// What a catalogue query asks for; a null pointer is not asked for.
struct CatalogueQuery {
    std::int16_t* imageCount = nullptr;  // images in the whole database
    std::string* name = nullptr;
    ImageInfo* info = nullptr;  // byteSize is left as it was when the image is missing
};

// One image of a whole-database listing.
struct CatalogueEntry {
    std::string name;
    ImageInfo info;
};

// Parses a label as "#(%hd,%hd) - %hdx%hd {%hd/%hd} ". When fewer than four
// numbers are read, column and row count as 0.
TileLabel parseTileLabel(const std::string& label);

// True when the label gives a size: both image dimensions read and nonzero.
bool labelGivesSize(const TileLabel& label);

// True when a record with this label continues the image before it.
bool isContinuationRecord(const TileLabel& label);

// Where the name starts in a label: after the position, size and layer
// parts when the label gives a size, else at its first character (the whole
// label is the name).
std::size_t labelNameStart(const std::string& label, const TileLabel& parsed);

// The image name a starting record's label gives.
std::string imageNameFromLabel(const std::string& label, const TileLabel& parsed);

// Looks up image imageIndex: 0 when it exists, kImageNotFound when not (the
// outputs then hold the defaults of ImageInfo).
std::int16_t queryCatalogue(std::FILE* stream, std::int16_t imageIndex,
                            const CatalogueQuery& query);

// Every image of the database in one walk over the records; the same names
// and details queryCatalogue gives image by image.
std::vector<CatalogueEntry> listCatalogue(std::FILE* stream);

// The same listing made from records already read (readAllRecordInfo), for
// a caller that also looks at the records themselves.
std::vector<CatalogueEntry> catalogueFromRecords(const std::vector<RecordInfo>& records);

// Composes the image the catalogue described by info from its tile and layer
// records: 0, or kComposeNoMemory. Pixels no bottom-layer tile covers are
// white. A caller that has the whole listing composes each image from it
// without walking the catalogue again.
std::int16_t composeImage(std::FILE* stream, const ImageInfo& info, RgbImage& image);

// Composes image imageIndex: its details from queryCatalogue, then as above.
std::int16_t composeImage(std::FILE* stream, std::int16_t imageIndex, RgbImage& image);

}  // namespace ferrovel
