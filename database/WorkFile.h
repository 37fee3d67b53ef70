// Every change of a database is one rewrite through its work file:
//
//   1. the writers' lock of the database is taken (a lock file beside the
//      work file), so that two programs changing one database take turns;
//   2. a left-over work file is settled: where it may hold the database's
//      last complete copy (the database is missing, or is a cut-short
//      rewrite of it, as a crash of a rename-first writer leaves it), it is
//      put back as the database first; otherwise it is debris of an
//      interrupted write and is removed;
//   3. the new database is written into the work file, created anew, with
//      the database's permission bits, and flushed to stable storage;
//   4. the work file atomically replaces the database.
//
// At every instant the database path holds the complete old or the complete
// new database, whatever fails or dies; nothing is ever renamed away from it.
// Readers take no lock and change nothing: they see the old file or the new
// one. A symbolic link is followed, so the work file lies beside the real
// database and the link stays a link. The work file is the database path
// with its extension replaced by "$$$".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace ferrovel {

inline constexpr std::int16_t kAppendWorkFileUnreadable = -17;  // no work file, or no database
inline constexpr std::int16_t kAppendDatabaseUnwritable =
    -16;  // the new database cannot be put in place

// "C:\Images\Pics.pdb" gives "C:\Images\Pics$$$"; without extension "$$$" is appended.
std::string workFilePath(const std::string& databasePath);

// What a rewrite did besides the change it was asked for.
struct RewriteReport {
    bool restoredFromWork = false;  // the work file was first put back as the database
    bool otherLinksKept = false;    // the file had other hard links; they keep the old contents
};

// Writes the new database into work from the current one (null when there
// is none yet); 0, or the status that stops the rewrite and leaves the
// database as it was. Writes go through writeWorkBytes.
using DatabaseWriter = std::int16_t (*)(void* context, std::FILE* database, std::FILE* work);

enum class RewriteMode {
    ExistingDatabase,  // a missing database is kAppendWorkFileUnreadable
    CreateOrReplace,   // the database may be missing
};

// One rewrite of the database at path by writer: 0, the writer's status,
// kAppendWorkFileUnreadable when the lock, the work file or the database
// cannot be opened, kAppendDatabaseUnwritable when the new database cannot
// be written or put in place.
std::int16_t rewriteDatabase(const std::string& path, RewriteMode mode, DatabaseWriter writer,
                             void* context, RewriteReport* report = nullptr);

// Writes count bytes to the work file; false on a failed write.
bool writeWorkBytes(std::FILE* work, const std::uint8_t* bytes, std::size_t count);

// Copies the bytes [start, end) of from to the work file; false when from
// ends early or a write fails.
bool copySpanToWork(std::FILE* from, std::uint64_t start, std::uint64_t end, std::FILE* work);

// What a reader finds beside a database, without changing anything.
enum class WorkFileState {
    None,      // no work file, or one that is no database of ours
    Debris,    // left by an interrupted write; the next write removes it
    LastCopy,  // may hold the last complete copy; the next write puts it back
};

WorkFileState inspectWorkFile(const std::string& databasePath);

// Test hook: called at each step of a rewrite that touches the disk, with a
// running count. Returning true makes that step fail as a full disk would.
using WriteFaultHook = bool (*)(void* context, int step);
void setWriteFaultHook(WriteFaultHook hook, void* context);

}  // namespace ferrovel
