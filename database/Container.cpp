#include "database/Container.h"

#include <algorithm>
#include <cstring>

#include "database/ByteStream.h"
#include "database/FileOpen.h"
#include "database/TextEncoding.h"
#include "database/WorkFile.h"

namespace ferrovel {
namespace {

// Every new database carries the same fixed date, never the current time.
constexpr std::uint32_t kFixedDate = 0x33B8BDA5;
constexpr std::uint16_t kBackupAttribute = 0x0008;

void readArray(std::FILE* stream, std::uint8_t* out, std::size_t count) {
    readBytes(stream, out, count);
}

// Offsets are 32-bit fields: a sum past 4 GiB wraps as the field does.
std::uint32_t offsetField(std::uint64_t offset) {
    return static_cast<std::uint32_t>(offset);
}

std::int16_t writeEmptyDatabase(void* context, std::FILE*, std::FILE* work) {
    const DatabaseHeader& header = *static_cast<const DatabaseHeader*>(context);
    writeDatabaseHeader(work, header);
    const std::uint8_t gap[2] = {0, 0};  // the two zero bytes after the (empty) record list
    // A short write would leave a file that is no database: say so rather
    // than report success.
    const bool written = writeWorkBytes(work, gap, sizeof gap) && !std::ferror(work);
    return written ? std::int16_t{0} : kCreateFailed;
}

}  // namespace

DatabaseHeader readDatabaseHeader(std::FILE* stream) {
    DatabaseHeader header;
    seekTo(stream, 0);
    readArray(stream, header.name.data(), header.name.size());
    header.attributes = readU16BE(stream);
    header.version = readU16BE(stream);
    header.creationDate = readU32BE(stream);
    header.modificationDate = readU32BE(stream);
    header.lastBackupDate = readU32BE(stream);
    header.modificationNumber = readU32BE(stream);
    header.appInfoOffset = readU32BE(stream);
    header.sortInfoOffset = readU32BE(stream);
    readArray(stream, header.type.data(), header.type.size());
    readArray(stream, header.creator.data(), header.creator.size());
    header.uniqueIdSeed = readU32BE(stream);
    header.nextRecordListId = readU32BE(stream);
    header.recordCount = static_cast<std::int16_t>(readU16BE(stream));
    return header;
}

void writeDatabaseHeader(std::FILE* stream, const DatabaseHeader& header) {
    std::fwrite(header.name.data(), 1, header.name.size(), stream);
    writeU16BE(stream, header.attributes);
    writeU16BE(stream, header.version);
    writeU32BE(stream, header.creationDate);
    writeU32BE(stream, header.modificationDate);
    writeU32BE(stream, header.lastBackupDate);
    writeU32BE(stream, header.modificationNumber);
    writeU32BE(stream, header.appInfoOffset);
    writeU32BE(stream, header.sortInfoOffset);
    std::fwrite(header.type.data(), 1, header.type.size(), stream);
    std::fwrite(header.creator.data(), 1, header.creator.size(), stream);
    writeU32BE(stream, header.uniqueIdSeed);
    writeU32BE(stream, header.nextRecordListId);
    writeU16BE(stream, static_cast<std::uint16_t>(header.recordCount));
}

RecordEntry readRecordEntry(std::FILE* stream, std::int16_t index) {
    // A negative index has no entry; it reads past the end like any missing one.
    const std::int64_t at = kHeaderBytes + std::int64_t{kRecordEntryBytes} * index;
    seekTo(stream, at < 0 ? UINT64_MAX / 2 : static_cast<std::uint64_t>(at));
    RecordEntry entry;
    entry.offset = readU32BE(stream);
    entry.recordAttributes = readU32BE(stream);
    return entry;
}

bool isImageDatabase(std::FILE* stream) {
    seekTo(stream, 64);
    return readU32BE(stream) == kCreatorQvrl;
}

bool isImageDatabaseFile(const std::string& path) {
    std::FILE* file = openFile(path, "rb");
    if (!file) return false;
    const bool database = isImageDatabase(file);
    std::fclose(file);
    return database;
}

std::int16_t readRecordCount(std::FILE* stream) {
    seekTo(stream, 76);
    return static_cast<std::int16_t>(readU16BE(stream));
}

std::uint32_t recordOffset(std::FILE* stream, std::int16_t index) {
    return readRecordEntry(stream, index).offset;
}

std::string pathBaseName(const std::string& path) {
    const std::size_t folderEnd = path.find_last_of("\\/:");
    const std::size_t start = folderEnd == std::string::npos ? 0 : folderEnd + 1;
    const std::size_t dot = path.find_last_of('.');
    const std::size_t end = dot == std::string::npos || dot < start ? path.size() : dot;
    return path.substr(start, end - start);
}

DatabaseHeader newDatabaseHeader(const std::string& path) {
    DatabaseHeader header;
    // The name the handheld shows, in its own character set.
    const std::string base = utf8ToHandheld(pathBaseName(path));
    const std::size_t chars = std::min(base.size(), kMaxDatabaseNameChars);
    std::memcpy(header.name.data(), base.data(), chars);
    header.attributes = kBackupAttribute;
    header.creationDate = kFixedDate;
    header.modificationDate = kFixedDate;
    header.lastBackupDate = kFixedDate;
    header.modificationNumber = 1;
    std::memcpy(header.type.data(), "Data", 4);
    std::memcpy(header.creator.data(), "Qvrl", 4);
    return header;
}

std::uint64_t recordListEnd(std::FILE* stream) {
    const std::int16_t count = readRecordCount(stream);
    return kHeaderBytes + std::uint64_t{kRecordEntryBytes} *
                              static_cast<std::uint64_t>(std::max<std::int16_t>(count, 0));
}

std::vector<std::uint8_t> appendedRecordList(std::FILE* stream, std::uint64_t fileSize,
                                             const std::vector<std::uint32_t>& newRecordSizes) {
    const std::uint64_t added = newRecordSizes.size();
    const std::uint64_t shift = added * kRecordEntryBytes;
    const std::uint64_t oldEnd = recordListEnd(stream);
    std::vector<std::uint8_t> list(static_cast<std::size_t>(oldEnd + shift));
    seekTo(stream, 0);
    readBytes(stream, list.data(), static_cast<std::size_t>(oldEnd));
    for (std::size_t field : {std::size_t{52}, std::size_t{56}}) {
        const std::uint32_t offset = loadU32BE(&list[field]);
        if (offset != 0) storeU32BE(&list[field], offsetField(offset + shift));
    }
    const std::int16_t count = static_cast<std::int16_t>(list[76] << 8 | list[77]);
    const std::uint16_t newCount =
        static_cast<std::uint16_t>(count + static_cast<std::int64_t>(added));
    list[76] = static_cast<std::uint8_t>(newCount >> 8);
    list[77] = static_cast<std::uint8_t>(newCount);
    std::uint8_t* entry = list.data() + kHeaderBytes;
    for (; entry < list.data() + oldEnd; entry += kRecordEntryBytes) {
        storeU32BE(entry, offsetField(loadU32BE(entry) + shift));
    }
    std::uint64_t next = fileSize + shift;
    for (const std::uint32_t size : newRecordSizes) {
        storeU32BE(entry, offsetField(next));
        storeU32BE(entry + 4, 0);
        entry += kRecordEntryBytes;
        next += size;
    }
    return list;
}

std::int16_t createEmptyDatabase(const std::string& path) {
    DatabaseHeader header = newDatabaseHeader(path);
    const std::int16_t status =
        rewriteDatabase(path, RewriteMode::CreateOrReplace, writeEmptyDatabase, &header);
    return status == 0 ? std::int16_t{0} : kCreateFailed;
}

}  // namespace ferrovel
