#include "database/Catalogue.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "database/Container.h"
#include "database/ImageRecord.h"
#include "database/ShortDecimal.h"
#include "database/SizeMath.h"

namespace ferrovel {
namespace {

// A cursor over a label for the scanf-style pattern.
struct LabelScanner {
    const std::string& text;
    std::size_t at = 0;

    bool isSpace(char c) const {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    }
    void skipSpace() {
        while (at < text.size() && isSpace(text[at])) ++at;
    }
    bool literal(char c) {
        if (at < text.size() && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    }
    bool number(std::int16_t& value) { return scanShortDecimal(text, at, value); }
};

int scanLabelNumbers(const std::string& text, TileLabel& label) {
    LabelScanner scan{text};
    if (!scan.literal('#') || !scan.literal('(') || !scan.number(label.column)) return 0;
    if (!scan.literal(',') || !scan.number(label.row)) return 1;
    if (!scan.literal(')')) return 2;
    scan.skipSpace();
    if (!scan.literal('-')) return 2;
    if (!scan.number(label.imageWidth)) return 2;
    if (!scan.literal('x') || !scan.number(label.imageHeight)) return 3;
    scan.skipSpace();
    if (!scan.literal('{') || !scan.number(label.layer)) return 4;
    if (!scan.literal('/') || !scan.number(label.layerCount)) return 5;
    return 6;
}

// The details of the image that record index starts.
CatalogueEntry entryForStart(std::int16_t index, const RecordInfo& start, const TileLabel& label) {
    CatalogueEntry entry;
    ImageInfo& info = entry.info;
    info.firstRecord = index;
    info.bitsPerPixel = start.bitsPerPixel;
    info.byteSize = start.pixelSize;
    if (labelGivesSize(label)) {
        info.tilesAcross =
            static_cast<std::int16_t>((label.imageWidth + kTileSize - 1) / kTileSize);
        info.tilesDown = static_cast<std::int16_t>((label.imageHeight + kTileSize - 1) / kTileSize);
        info.width = label.imageWidth;
        info.height = label.imageHeight;
        info.layerCount = label.layerCount != 0 ? label.layerCount : std::int16_t{1};
    } else {
        info.tilesAcross = 1;
        info.tilesDown = 1;
        info.width = start.width;
        info.height = start.height;
        info.layerCount = 1;
    }
    entry.name = imageNameFromLabel(start.label, label);
    return entry;
}

void copyTile(const RgbImage& tile, std::int32_t tileX, std::int32_t tileY, bool bottomLayer,
              RgbImage& image) {
    if (tile.width <= 0 || tile.height <= 0) return;  // a tile without pixels covers nothing
    const std::size_t imageRowBytes = static_cast<std::size_t>(image.width) * 3;
    for (std::int32_t y = 0; y < tile.height; ++y) {
        std::uint8_t* out = image.pixels.data() +
                            static_cast<std::size_t>(tileY + y) * imageRowBytes +
                            static_cast<std::size_t>(tileX) * 3;
        const std::uint8_t* in = tile.pixels.data() + static_cast<std::size_t>(y) *
                                                          static_cast<std::size_t>(tile.width) * 3;
        if (bottomLayer) {
            std::memcpy(out, in, static_cast<std::size_t>(tile.width) * 3);
            continue;
        }
        for (std::int32_t x = 0; x < tile.width; ++x, in += 3, out += 3) {
            // A pixel whose three channels are all 248 or more is transparent.
            if (in[0] < 248 || in[1] < 248 || in[2] < 248) std::memcpy(out, in, 3);
        }
    }
}

void composeTiles(std::FILE* stream, const ImageInfo& info, RgbImage& image) {
    const std::int32_t recordCount = readRecordCount(stream);
    const std::int32_t tilesPerLayer = std::int32_t{info.tilesAcross} * info.tilesDown;
    for (std::int32_t ty = 0; ty < info.tilesDown; ++ty) {
        for (std::int32_t tx = 0; tx < info.tilesAcross; ++tx) {
            // Only the part of a tile inside the image is ever copied.
            const std::int32_t maxWidth = info.width - tx * kTileSize;
            const std::int32_t maxHeight = info.height - ty * kTileSize;
            if (maxWidth <= 0 || maxHeight <= 0) continue;
            for (std::int32_t k = 0; k < info.layerCount; ++k) {
                const std::int64_t record = std::int64_t{info.firstRecord} +
                                            std::int64_t{k} * tilesPerLayer +
                                            ty * info.tilesAcross + tx;
                // A tile past the last record is missing, as is every higher layer.
                if (record >= recordCount) break;
                const std::optional<RgbImage> tile = decodeRecordClipped(
                    stream, static_cast<std::int16_t>(record), maxWidth, maxHeight);
                if (tile) copyTile(*tile, tx * kTileSize, ty * kTileSize, k == 0, image);
            }
        }
    }
}

}  // namespace

TileLabel parseTileLabel(const std::string& text) {
    TileLabel label;
    label.fieldsRead = scanLabelNumbers(text, label);
    if (label.fieldsRead < 4) {
        label.column = 0;
        label.row = 0;
    }
    return label;
}

bool labelGivesSize(const TileLabel& label) {
    return label.fieldsRead >= 4 && label.imageWidth != 0 && label.imageHeight != 0;
}

bool isContinuationRecord(const TileLabel& label) {
    return label.column != 0 || label.row != 0 || label.layer > 1;
}

std::size_t labelNameStart(const std::string& text, const TileLabel& label) {
    if (!labelGivesSize(label)) return 0;
    const std::size_t x = text.find('x');
    const std::size_t blank = x == std::string::npos ? x : text.find(' ', x);
    if (blank == std::string::npos) return text.size();
    const std::size_t start = blank + 1;
    if (start < text.size() && text[start] == '{' && label.layerCount != 0) {
        const std::size_t next = text.find(' ', start);
        return next == std::string::npos ? text.size() : next + 1;
    }
    return start;
}

std::string imageNameFromLabel(const std::string& text, const TileLabel& label) {
    return text.substr(labelNameStart(text, label));
}

std::int16_t queryCatalogue(std::FILE* stream, std::int16_t imageIndex,
                            const CatalogueQuery& query) {
    const std::vector<std::uint32_t> offsets = readRecordOffsets(stream);
    CatalogueEntry wanted;
    if (query.info) wanted.info.byteSize = query.info->byteSize;
    bool found = false;
    bool inWanted = false;  // the most recent starting record is the wanted image's
    bool wantedSized = false;
    std::int32_t images = 0;
    std::int32_t countdown = imageIndex;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        const RecordInfo record = readRecordInfoAt(stream, offsets[i], true);
        const TileLabel label = parseTileLabel(record.label);
        if (isContinuationRecord(label)) {
            if (inWanted && wantedSized) wanted.info.byteSize += record.pixelSize;
            continue;
        }
        // Without the count, the walk ends once the wanted image is behind it.
        if (found && !query.imageCount) break;
        ++images;
        inWanted = countdown == 0;
        if (inWanted) {
            wanted = entryForStart(static_cast<std::int16_t>(i), record, label);
            found = true;
            wantedSized = labelGivesSize(label);
            if (!wantedSized && !query.imageCount) break;
        }
        --countdown;
    }
    if (query.imageCount) *query.imageCount = static_cast<std::int16_t>(images);
    if (query.info) *query.info = wanted.info;
    if (query.name) *query.name = found ? wanted.name : std::string();
    return found ? 0 : kImageNotFound;
}

std::vector<CatalogueEntry> catalogueFromRecords(const std::vector<RecordInfo>& records) {
    std::vector<CatalogueEntry> entries;
    bool lastSized = false;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const TileLabel label = parseTileLabel(records[i].label);
        if (isContinuationRecord(label)) {
            if (!entries.empty() && lastSized) entries.back().info.byteSize += records[i].pixelSize;
            continue;
        }
        entries.push_back(entryForStart(static_cast<std::int16_t>(i), records[i], label));
        lastSized = labelGivesSize(label);
    }
    return entries;
}

std::vector<CatalogueEntry> listCatalogue(std::FILE* stream) {
    return catalogueFromRecords(readAllRecordInfo(stream));
}

std::int16_t composeImage(std::FILE* stream, const ImageInfo& info, RgbImage& image) {
    if (info.tilesAcross <= 1 && info.tilesDown <= 1 && info.layerCount <= 1) {
        std::optional<RgbImage> record = decodeRecord(stream, info.firstRecord);
        if (!record) return kComposeNoMemory;
        image = std::move(*record);
        return 0;
    }
    const std::optional<std::size_t> bytes = pixelBufferBytes(info.width, info.height);
    if (!bytes) return kComposeNoMemory;
    RgbImage composed;
    composed.width = info.width;
    composed.height = info.height;
    try {
        composed.pixels.assign(*bytes, 0xFF);
    } catch (const std::bad_alloc&) {
        return kComposeNoMemory;
    }
    composeTiles(stream, info, composed);
    image = std::move(composed);
    return 0;
}

std::int16_t composeImage(std::FILE* stream, std::int16_t imageIndex, RgbImage& image) {
    ImageInfo info;
    queryCatalogue(stream, imageIndex, CatalogueQuery{nullptr, nullptr, &info});
    return composeImage(stream, info, image);
}

}  // namespace ferrovel
