#include "database/WorkFile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "database/ByteStream.h"
#include "database/Container.h"
#include "database/FileOpen.h"
#include "database/FileReplace.h"

namespace ferrovel {
namespace {

constexpr std::size_t kCopyChunk = 256 * 1024;
constexpr std::uint64_t kMaxRecordTail = 1024 * 1024;  // far beyond any record we write

WriteFaultHook faultHook = nullptr;
void* faultContext = nullptr;
int faultStep = 0;

// True when the test hook says this step fails.
bool faultAt() {
    return faultHook && faultHook(faultContext, faultStep++);
}

// The writers of one database, and of every database that shares its work
// file ("Pics.pdb" and "Pics.old"), take turns on this lock.
std::string writerLockPath(const std::string& databasePath) {
    return workFilePath(databasePath) + ".lock";
}

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
    const std::uint32_t labelOffset = loadU32BE(&bytes[16]);
    if (labelOffset >= bytes.size()) return false;
    const void* zero = std::memchr(&bytes[labelOffset], 0, bytes.size() - labelOffset);
    return zero == &bytes.back();
}

// How far the database matches the work file with one more record appended,
// which is what a writer that renames the database away first and appends
// a record at a time leaves when it dies.
enum class Match { Unrelated, Partial, Complete };

Match compareWithWork(std::FILE* database, std::FILE* work) {
    const std::int64_t workSize = streamSize(work);
    const std::int64_t dbSize = streamSize(database);
    if (workSize < 0 || dbSize < 0) return Match::Unrelated;
    const std::uint64_t old = static_cast<std::uint64_t>(workSize);
    const std::vector<std::uint8_t> head = appendedRecordList(work, old, {0});
    const std::uint64_t expectedBefore = old + kRecordEntryBytes;
    const std::uint64_t db = static_cast<std::uint64_t>(dbSize);
    seekTo(database, 0);
    const std::size_t headPart = static_cast<std::size_t>(std::min<std::uint64_t>(db, head.size()));
    if (!sameBytes(database, head.data(), headPart)) return Match::Unrelated;
    if (db <= head.size()) return Match::Partial;
    // The old records must follow unchanged.
    seekTo(work, recordListEnd(work));
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

WorkFileState stateOf(const std::string& database, const std::string& work) {
    if (!fileExists(work) || !isImageDatabaseFile(work)) {
        return fileExists(work) && fileExists(database) ? WorkFileState::Debris
                                                        : WorkFileState::None;
    }
    if (!fileExists(database)) return WorkFileState::LastCopy;
    std::FILE* databaseFile = openFile(database, "rb");
    std::FILE* workFile = openFile(work, "rb");
    Match match = Match::Unrelated;
    if (databaseFile && workFile) match = compareWithWork(databaseFile, workFile);
    if (databaseFile) std::fclose(databaseFile);
    if (workFile) std::fclose(workFile);
    return match == Match::Partial ? WorkFileState::LastCopy : WorkFileState::Debris;
}

// Under the lock: puts a work file that may be the last complete copy back
// as the database, and removes debris. False when neither can be done.
bool settleWorkFile(const std::string& database, const std::string& work, WorkFileState state,
                    RewriteReport& report) {
    if (state == WorkFileState::LastCopy) {
        if (faultAt() || !replaceFile(work, database)) return false;
        report.restoredFromWork = true;
        return true;
    }
    return !fileExists(work) || (!faultAt() && removeFile(work));
}

// Writes the new database into the work file and puts it in place; the
// caller holds the lock and has settled the work file. The current database
// is closed before the replacement: Windows replaces no file held open.
std::int16_t writeAndReplace(const std::string& database, const std::string& work,
                             std::FILE* current, DatabaseWriter writer, void* context) {
    std::FILE* out = faultAt() ? nullptr : createNewFile(work);
    if (!out) {
        if (current) std::fclose(current);
        return kAppendWorkFileUnreadable;
    }
    if (current) copyPermissions(out, database);
    std::int16_t status = writer(context, current, out);
    if (current) std::fclose(current);
    if (status == 0 && (faultAt() || !flushToDisk(out))) status = kAppendDatabaseUnwritable;
    if (std::fclose(out) != 0 && status == 0) status = kAppendDatabaseUnwritable;
    if (status == 0 && (faultAt() || !replaceFile(work, database))) {
        status = kAppendDatabaseUnwritable;
    }
    if (status != 0) removeFile(work);
    return status;
}

std::int16_t rewriteLocked(const std::string& database, RewriteMode mode, DatabaseWriter writer,
                           void* context, RewriteReport& report) {
    const std::string work = workFilePath(database);
    const WorkFileState state = stateOf(database, work);
    // Nothing to change, and nothing of the user's to touch.
    if (mode == RewriteMode::ExistingDatabase && state != WorkFileState::LastCopy &&
        !fileExists(database)) {
        return kAppendWorkFileUnreadable;
    }
    if (!settleWorkFile(database, work, state, report)) return kAppendWorkFileUnreadable;
    std::FILE* current = faultAt() ? nullptr : openFile(database, "rb");
    if (!current && (mode == RewriteMode::ExistingDatabase || fileExists(database))) {
        return kAppendWorkFileUnreadable;
    }
    report.otherLinksKept = fileIdentity(database).links > 1;
    return writeAndReplace(database, work, current, writer, context);
}

}  // namespace

std::string workFilePath(const std::string& databasePath) {
    const std::size_t folderEnd = databasePath.find_last_of("\\/:");
    const std::size_t dot = databasePath.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (folderEnd == std::string::npos || dot > folderEnd);
    return (hasExtension ? databasePath.substr(0, dot) : databasePath) + "$$$";
}

std::int16_t rewriteDatabase(const std::string& path, RewriteMode mode, DatabaseWriter writer,
                             void* context, RewriteReport* report) {
    const std::string database = resolveLinks(path);
    RewriteReport ignored;
    RewriteReport& told = report ? *report : ignored;
    told = RewriteReport{};
    WriterLock lock;
    if (faultAt() || !lockWriters(writerLockPath(database), lock)) return kAppendWorkFileUnreadable;
    const std::int16_t status = rewriteLocked(database, mode, writer, context, told);
    unlockWriters(lock);
    return status;
}

bool writeWorkBytes(std::FILE* work, const std::uint8_t* bytes, std::size_t count) {
    if (faultAt()) return false;
    return std::fwrite(bytes, 1, count, work) == count;
}

bool copySpanToWork(std::FILE* from, std::uint64_t start, std::uint64_t end, std::FILE* work) {
    std::vector<std::uint8_t> chunk(kCopyChunk);
    seekTo(from, start);
    for (std::uint64_t at = start; at < end;) {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), end - at));
        if (readBytes(from, chunk.data(), count) < count) return false;
        if (!writeWorkBytes(work, chunk.data(), count)) return false;
        at += count;
    }
    return true;
}

WorkFileState inspectWorkFile(const std::string& databasePath) {
    const std::string database = resolveLinks(databasePath);
    return stateOf(database, workFilePath(database));
}

void setWriteFaultHook(WriteFaultHook hook, void* context) {
    faultHook = hook;
    faultContext = context;
    faultStep = 0;
}

}  // namespace ferrovel
