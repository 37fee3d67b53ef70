#include "database/Append.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "convert/Adjust.h"
#include "convert/Reduce.h"
#include "convert/Scale.h"
#include "database/ByteStream.h"
#include "database/Container.h"
#include "database/RunLengthCodec.h"
#include "database/WorkFile.h"

namespace ferrovel {
namespace {

constexpr std::int16_t kIconWidth = 20;
constexpr std::int16_t kIconHeight = 18;
constexpr std::uint32_t kMonoIconBytes = 72;
constexpr std::uint32_t kColorIconBytes = 360;
constexpr std::int32_t kTile = 160;
constexpr std::int32_t kMaxRecords = 32767;

// The picture and icons, ready to be cut into tiles.
struct PreparedImage {
    std::vector<std::uint8_t> working;  // packed rows of the target format
    std::uint32_t rowBytes = 0;         // ((bits * width + 15) / 16) * 2
    std::vector<std::uint8_t> monoIcon;
    std::vector<std::uint8_t> colorIcon;  // empty below 8 bits
};

bool hasColorIcon(std::int16_t bits) {
    return bits >= 8;
}

bool isStoredFormat(std::int16_t bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16;
}

void adjustAll(std::vector<std::uint8_t>& pixels, std::int16_t brightness, std::int16_t contrast) {
    for (std::size_t i = 0; i + 2 < pixels.size(); i += 3) {
        std::int16_t first = pixels[i], second = pixels[i + 1], third = pixels[i + 2];
        adjustPixel(first, second, third, brightness, contrast);
        pixels[i] = static_cast<std::uint8_t>(first);
        pixels[i + 1] = static_cast<std::uint8_t>(second);
        pixels[i + 2] = static_cast<std::uint8_t>(third);
    }
}

// Scales, adjusts, makes the icons and reduces; 0 or the status of the step that failed.
std::int16_t prepare(const BgrImage& picture, const AppendOptions& options, PreparedImage& out) {
    const std::size_t sourceBytes =
        static_cast<std::size_t>(std::max<std::int16_t>(picture.width, 0)) *
        static_cast<std::size_t>(std::max<std::int16_t>(picture.height, 0)) * 3;
    if (picture.pixels.size() < sourceBytes ||
        scaleImage(out.working, options.targetWidth, options.targetHeight, picture.pixels.data(),
                   picture.width, picture.height) != 0) {
        return kAppendScaleFailed;
    }
    adjustAll(out.working, options.brightness, options.contrast);
    if (scaleImage(out.monoIcon, kIconWidth, kIconHeight, out.working.data(), options.targetWidth,
                   options.targetHeight) != 0) {
        return kAppendMonoIconScaleFailed;
    }
    if (hasColorIcon(options.bits) &&
        scaleImage(out.colorIcon, kIconWidth, kIconHeight, out.working.data(), options.targetWidth,
                   options.targetHeight) != 0) {
        return kAppendColorIconScaleFailed;
    }
    if (reduceImage(out.monoIcon.data(), kIconWidth, kIconHeight, 1, 1) != 0) {
        return kAppendMonoIconConvertFailed;
    }
    out.monoIcon.resize(kMonoIconBytes);
    if (hasColorIcon(options.bits)) {
        if (reduceImage(out.colorIcon.data(), kIconWidth, kIconHeight, 8, 0) != 0) {
            return kAppendColorIconConvertFailed;
        }
        out.colorIcon.resize(kColorIconBytes);
    }
    if (!isStoredFormat(options.bits) ||
        reduceImage(out.working.data(), options.targetWidth, options.targetHeight, options.bits,
                    options.dither) != 0) {
        return kAppendConvertFailed;
    }
    out.rowBytes = static_cast<std::uint32_t>((options.bits * options.targetWidth + 15) / 16 * 2);
    return 0;
}

std::int32_t tileCount(const AppendOptions& options) {
    return ((options.targetWidth + kTile - 1) / kTile) *
           ((options.targetHeight + kTile - 1) / kTile);
}

// Refuses a file that is no image database, or one whose record count would
// pass 32767 and so read as negative: the database would seem empty.
std::int16_t checkDatabase(std::FILE* database, std::size_t newRecords) {
    if (!isImageDatabase(database)) return kAppendNotImageDatabase;
    const std::int32_t count = readRecordCount(database);
    if (count < 0 || newRecords > static_cast<std::size_t>(kMaxRecords - count)) {
        return kAppendDatabaseFull;
    }
    return 0;
}

// Copies tile (x, y) of the packed picture into tile.
void cutTile(const PreparedImage& image, const AppendOptions& options, std::int32_t x,
             std::int32_t y, std::uint8_t* tile) {
    const std::uint32_t tileRowBytes = 20u * static_cast<std::uint32_t>(options.bits);
    std::memset(tile, options.bits == 16 ? 0xFF : 0x00, tileRowBytes * kTile);
    const std::uint32_t start = static_cast<std::uint32_t>(x * options.bits / 8);
    const std::uint32_t count = std::min(image.rowBytes - start, tileRowBytes);
    const std::int32_t lastRow = std::min(y + kTile - 1, options.targetHeight - 1);
    for (std::int32_t row = y; row <= lastRow; ++row) {
        std::memcpy(tile + static_cast<std::size_t>(row - y) * tileRowBytes,
                    image.working.data() + static_cast<std::size_t>(row) * image.rowBytes + start,
                    count);
    }
}

// Cuts the picture into tiles, each compressed when that is smaller, and
// adds one record per tile to records.
void addTileRecords(const PreparedImage& image, const AppendOptions& options,
                    std::vector<std::uint8_t>& work, PendingRecords& records) {
    const std::uint32_t rawBytes = 3200u * static_cast<std::uint32_t>(options.bits);
    std::uint8_t* const tile = work.data();
    std::uint8_t* const encoded = work.data() + rawBytes;
    const std::string name = options.name.substr(0, kMaxImageNameChars);
    for (std::int32_t y = 0; y < options.targetHeight; y += kTile) {
        for (std::int32_t x = 0; x < options.targetWidth; x += kTile) {
            cutTile(image, options, x, y, tile);
            const std::size_t packed = encodeRuns(tile, rawBytes, encoded);
            const bool compressed = packed > 0 && packed < rawBytes;
            if (compressed) std::memcpy(tile, encoded, packed);
            const std::string label =
                tileLabel(x / kTile, y / kTile, options.targetWidth, options.targetHeight, name);
            const std::size_t before = records.bytes.size();
            appendTileRecord(records.bytes, image.monoIcon, image.colorIcon, tile,
                             compressed ? static_cast<std::uint32_t>(packed) : rawBytes, compressed,
                             options.bits, label);
            records.sizes.push_back(static_cast<std::uint32_t>(records.bytes.size() - before));
        }
    }
}

// Writes the database with the pending records appended: the new record
// list, the old file's bytes behind its list, then the new records.
std::int16_t writeAppended(void* context, std::FILE* database, std::FILE* work) {
    const PendingRecords& records = *static_cast<const PendingRecords*>(context);
    if (const std::int16_t refused = checkDatabase(database, records.sizes.size())) return refused;
    const std::int64_t size = streamSize(database);
    if (size < 0) return kAppendWorkFileUnreadable;
    std::vector<std::uint8_t> list;
    try {
        list = appendedRecordList(database, static_cast<std::uint64_t>(size), records.sizes);
    } catch (const std::bad_alloc&) {
        return kAppendNoWorkBuffer;
    }
    const bool written =
        writeWorkBytes(work, list.data(), list.size()) &&
        copySpanToWork(database, recordListEnd(database), static_cast<std::uint64_t>(size), work) &&
        writeWorkBytes(work, records.bytes.data(), records.bytes.size());
    return written ? std::int16_t{0} : kAppendDatabaseUnwritable;
}

void putU16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    putU16(out, value >> 16);
    putU16(out, value & 0xFFFF);
}

}  // namespace

std::string tileLabel(std::int32_t column, std::int32_t row, std::int32_t width,
                      std::int32_t height, const std::string& name) {
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "#(%d,%d) - %dx%d ", column, row, width, height);
    return prefix + name;
}

void appendTileRecord(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& monoIcon,
                      const std::vector<std::uint8_t>& colorIcon, const std::uint8_t* tileData,
                      std::uint32_t tileBytes, bool compressed, std::int16_t bits,
                      const std::string& label) {
    const bool color = !colorIcon.empty();
    const std::uint32_t pixelOffset = color ? 476 : 116;
    putU32(out, 28);
    putU32(out, 88);
    putU32(out, pixelOffset);
    putU32(out, tileBytes);
    putU32(out, pixelOffset + tileBytes);
    out.push_back(color ? 4 : 0);
    out.push_back(compressed ? 1 : 0);
    putU16(out, 160);
    putU16(out, 160);
    putU16(out, static_cast<std::uint32_t>(bits));
    putU16(out, 20);
    putU16(out, 18);
    putU16(out, 4);
    putU16(out, 0);
    putU32(out, 0);
    putU32(out, 0);
    out.insert(out.end(), monoIcon.begin(), monoIcon.end());
    out.insert(out.end(), colorIcon.begin(), colorIcon.end());
    out.insert(out.end(), tileData, tileData + tileBytes);
    out.insert(out.end(), label.begin(), label.end());
    out.push_back(0);
}

std::int16_t prepareImageRecords(const BgrImage& picture, const AppendOptions& options,
                                 PendingRecords& records) {
    PreparedImage image;
    if (const std::int16_t status = prepare(picture, options, image)) return status;
    const std::size_t before = records.bytes.size(), recordsBefore = records.sizes.size();
    try {
        std::vector<std::uint8_t> work(2 * 3200u * static_cast<std::size_t>(options.bits) + 100);
        const std::size_t tiles = static_cast<std::size_t>(tileCount(options));
        records.sizes.reserve(recordsBefore + tiles);
        // Room for the largest records these tiles can make, grown at least
        // twofold so that a batch of pictures copies its records a few times only.
        const std::size_t needed = before + tiles * (work.size() / 2 + 476 + 300);
        if (records.bytes.capacity() < needed) {
            records.bytes.reserve(std::max(needed, 2 * records.bytes.capacity()));
        }
        addTileRecords(image, options, work, records);
    } catch (const std::bad_alloc&) {
        records.bytes.resize(before);
        records.sizes.resize(recordsBefore);
        return kAppendNoWorkBuffer;
    }
    return 0;
}

std::int16_t appendRecords(const std::string& databasePath, const PendingRecords& records,
                           RewriteReport* report) {
    return rewriteDatabase(databasePath, RewriteMode::ExistingDatabase, writeAppended,
                           const_cast<PendingRecords*>(&records), report);
}

std::int16_t appendImage(const std::string& databasePath, const BgrImage& picture,
                         const AppendOptions& options, RewriteReport* report) {
    PendingRecords records;
    if (const std::int16_t status = prepareImageRecords(picture, options, records)) return status;
    return appendRecords(databasePath, records, report);
}

}  // namespace ferrovel
