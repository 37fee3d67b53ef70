#include "database/WorkFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "database/ByteStream.h"
#include "database/Container.h"

namespace ferrovel {
namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;
constexpr std::uint64_t kMaxRecordTail = 1024 * 1024;  // far beyond any record we write

AppendFaultHook faultHook = nullptr;
void* faultContext = nullptr;
int faultStep = 0;

// True when the test hook says this step fails.
bool faultAt() {
    return faultHook && faultHook(faultContext, faultStep++);
}

bool fileExists(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

bool writeAll(std::FILE* file, const std::uint8_t* bytes, std::size_t count) {
    if (faultAt()) return false;
    return std::fwrite(bytes, 1, count, file) == count;
}

std::uint32_t getU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

void putU32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 24);
    p[1] = static_cast<std::uint8_t>(value >> 16);
    p[2] = static_cast<std::uint8_t>(value >> 8);
    p[3] = static_cast<std::uint8_t>(value);
}

// The new file's bytes up to its old records: the header, the record count
// plus one, every entry moved by 8 and the new entry. The application and
// sort info blocks, when there are any, lie behind the record list and so
// move by 8 as well.
std::vector<std::uint8_t> rewrittenHead(std::FILE* work, std::uint64_t workSize) {
    std::vector<std::uint8_t> head(kHeaderBytes);
    readBytes(work, head.data(), head.size());
    for (std::size_t field : {std::size_t{52}, std::size_t{56}}) {
        const std::uint32_t offset = getU32(&head[field]);
        if (offset != 0) putU32(&head[field], offset + kRecordEntryBytes);
    }
    const std::int16_t count = static_cast<std::int16_t>(head[76] << 8 | head[77]);
    const std::uint16_t newCount = static_cast<std::uint16_t>(count + 1);
    head[76] = static_cast<std::uint8_t>(newCount >> 8);
    head[77] = static_cast<std::uint8_t>(newCount);
    const std::size_t entries = static_cast<std::size_t>(std::max<std::int16_t>(count, 0));
    head.resize(kHeaderBytes + (entries + 1) * kRecordEntryBytes);
    std::uint8_t* entry = head.data() + kHeaderBytes;
    readBytes(work, entry, entries * kRecordEntryBytes);
    for (std::size_t i = 0; i < entries; ++i, entry += kRecordEntryBytes) {
        putU32(entry, getU32(entry) + kRecordEntryBytes);
    }
    putU32(entry, static_cast<std::uint32_t>(workSize + kRecordEntryBytes));
    putU32(entry + 4, 0);
    return head;
}

// Where the old file's bytes after its record list start.
std::uint64_t oldBodyStart(std::size_t headSize) {
    return headSize - kRecordEntryBytes;
}

bool copyRest(std::FILE* from, std::FILE* to) {
    std::vector<std::uint8_t> chunk(kCopyChunk);
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), from);
        if (got == 0) return !std::ferror(from);
        if (!writeAll(to, chunk.data(), got)) return false;
    }
}

// Writes the new database from the open work file; false on any write error.
bool writeRewritten(std::FILE* work, std::uint64_t workSize, std::FILE* database,
                    const std::vector<std::uint8_t>& record) {
    const std::vector<std::uint8_t> head = rewrittenHead(work, workSize);
    if (!writeAll(database, head.data(), head.size())) return false;
    seekTo(work, oldBodyStart(head.size()));
    if (!copyRest(work, database)) return false;
    return writeAll(database, record.data(), record.size());
}

// How far the database matches what a rewrite from the work file produces.
enum class Match { Unrelated, Partial, Complete };

bool sameBytes(std::FILE* file, const std::uint8_t* expected, std::size_t count) {
    if (count == 0) return true;
    std::vector<std::uint8_t> got(count);
    return std::fread(got.data(), 1, count, file) == count &&
           std::memcmp(got.data(), expected, count) == 0;
}

// True when the bytes from the record's start to the end of the file are one
// whole record: its label ends with the file's last byte.
bool recordIsWhole(std::FILE* database, std::uint64_t recordStart, std::uint64_t fileSize) {
    const std::uint64_t tail = fileSize - recordStart;
    if (tail > kMaxRecordTail) return true;  // not a record of ours: leave the file alone
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(tail));
    seekTo(database, recordStart);
    if (std::fread(bytes.data(), 1, bytes.size(), database) != bytes.size()) return false;
    if (bytes.size() < 20) return false;
    const std::uint32_t labelOffset = getU32(&bytes[16]);
    if (labelOffset >= bytes.size()) return false;
    const void* zero = std::memchr(&bytes[labelOffset], 0, bytes.size() - labelOffset);
    return zero == &bytes.back();
}

Match compareWithWork(std::FILE* database, std::FILE* work) {
    const std::int64_t workSize = streamSize(work);
    const std::int64_t dbSize = streamSize(database);
    if (workSize < 0 || dbSize < 0) return Match::Unrelated;
    seekTo(work, 0);
    const std::vector<std::uint8_t> head =
        rewrittenHead(work, static_cast<std::uint64_t>(workSize));
    const std::uint64_t expectedBefore = static_cast<std::uint64_t>(workSize) + kRecordEntryBytes;
    const std::uint64_t db = static_cast<std::uint64_t>(dbSize);
    seekTo(database, 0);
    const std::size_t headPart = static_cast<std::size_t>(std::min<std::uint64_t>(db, head.size()));
    if (!sameBytes(database, head.data(), headPart)) return Match::Unrelated;
    if (db <= head.size()) return Match::Partial;
    // The old records must follow unchanged.
    seekTo(work, oldBodyStart(head.size()));
    std::vector<std::uint8_t> chunk(kCopyChunk);
    std::uint64_t compared = head.size();
    const std::uint64_t bodyEnd = std::min(db, expectedBefore);
    while (compared < bodyEnd) {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), bodyEnd - compared));
        if (readBytes(work, chunk.data(), count) < count ||
            !sameBytes(database, chunk.data(), count)) {
            return Match::Unrelated;
        }
        compared += count;
    }
    if (db <= expectedBefore) return Match::Partial;
    return recordIsWhole(database, expectedBefore, db) ? Match::Complete : Match::Partial;
}

Match matchDatabase(const std::string& databasePath, const std::string& work) {
    std::FILE* database = std::fopen(databasePath.c_str(), "rb");
    std::FILE* workFile = std::fopen(work.c_str(), "rb");
    Match match = Match::Unrelated;
    if (database && workFile) match = compareWithWork(database, workFile);
    if (database) std::fclose(database);
    if (workFile) std::fclose(workFile);
    return match;
}

// Moves the work file back under the database's name.
bool restoreFromWork(const std::string& databasePath, const std::string& work) {
    std::remove(databasePath.c_str());
    return std::rename(work.c_str(), databasePath.c_str()) == 0;
}

}  // namespace

std::string workFilePath(const std::string& databasePath) {
    const std::size_t folderEnd = databasePath.find_last_of("\\/:");
    const std::size_t dot = databasePath.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (folderEnd == std::string::npos || dot > folderEnd);
    return (hasExtension ? databasePath.substr(0, dot) : databasePath) + "$$$";
}

Recovery recoverDatabase(const std::string& databasePath) {
    const std::string work = workFilePath(databasePath);
    if (!fileExists(work)) return Recovery::NothingToDo;
    if (!fileExists(databasePath)) {
        return restoreFromWork(databasePath, work) ? Recovery::DatabaseRestored : Recovery::Failed;
    }
    if (matchDatabase(databasePath, work) == Match::Partial) {
        return restoreFromWork(databasePath, work) ? Recovery::DatabaseRestored : Recovery::Failed;
    }
    // The database is whole: the work file is a left-over copy of an older state.
    std::remove(work.c_str());
    return Recovery::StaleWorkRemoved;
}

std::int16_t appendRecord(const std::string& databasePath,
                          const std::vector<std::uint8_t>& record) {
    const std::string work = workFilePath(databasePath);
    if (recoverDatabase(databasePath) == Recovery::Failed) return kAppendWorkFileUnreadable;
    std::remove(work.c_str());
    if (faultAt() || std::rename(databasePath.c_str(), work.c_str()) != 0) {
        return kAppendWorkFileUnreadable;
    }
    std::FILE* workFile = faultAt() ? nullptr : std::fopen(work.c_str(), "rb");
    if (!workFile) {
        std::rename(work.c_str(), databasePath.c_str());
        return kAppendWorkFileUnreadable;
    }
    const std::int64_t workSize = streamSize(workFile);
    seekTo(workFile, 0);
    std::FILE* database = faultAt() ? nullptr : std::fopen(databasePath.c_str(), "wb");
    if (!database || workSize < 0) {
        if (database) std::fclose(database);
        std::fclose(workFile);
        restoreFromWork(databasePath, work);
        return kAppendDatabaseUnwritable;
    }
    bool written = writeRewritten(workFile, static_cast<std::uint64_t>(workSize), database, record);
    written = std::fclose(database) == 0 && !faultAt() && written;
    std::fclose(workFile);
    if (!written) {
        // A full disk or a failed write: the old database goes back in place.
        restoreFromWork(databasePath, work);
        return kAppendDatabaseUnwritable;
    }
    std::remove(work.c_str());
    return 0;
}

void setAppendFaultHook(AppendFaultHook hook, void* context) {
    faultHook = hook;
    faultContext = context;
    faultStep = 0;
}

}  // namespace ferrovel
