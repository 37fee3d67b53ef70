// Appending one record by rewriting the database through its work file, and
// putting a database back together after a rewrite that did not finish.
//
// A record is appended in these steps, each visible on disk:
//   1. a left-over work file is deleted (after recovery, below, made sure it
//      holds nothing that is not also in the database);
//   2. the database is renamed to the work file; a failed rename stops here,
//      so the database is never rebuilt from a stale work file;
//   3. the database path is written anew: header, record count + 1, every
//      entry's offset + 8, the new entry, the old records, the new record;
//   4. the work file is deleted.
// The work file is the database path with its extension replaced by "$$$".
//
// Whatever moment the process dies, the database path holds the old or the
// new database complete, or recoverDatabase puts the old one back from the
// work file: it is called by every operation that opens a database.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ferrovel {

inline constexpr std::int16_t kAppendWorkFileUnreadable = -17;  // the work file cannot be opened
inline constexpr std::int16_t kAppendDatabaseUnwritable = -16;  // the database cannot be written

// "C:\Images\Pics.pdb" gives "C:\Images\Pics$$$"; without extension "$$$" is appended.
std::string workFilePath(const std::string& databasePath);

enum class Recovery {
    NothingToDo,       // no work file
    StaleWorkRemoved,  // the database was complete; the left-over work file is gone
    DatabaseRestored,  // an unfinished rewrite was undone from the work file
    Failed,            // the work file holds the only copy and could not be put back
};

Recovery recoverDatabase(const std::string& databasePath);

// Appends record (header to label) as the database's last record: 0,
// kAppendWorkFileUnreadable or kAppendDatabaseUnwritable. On failure the
// database path holds the database as it was.
std::int16_t appendRecord(const std::string& databasePath, const std::vector<std::uint8_t>& record);

// Test hook: called at each step of appendRecord that touches the disk, with
// a running count. Returning true makes that step fail as a full disk would.
using AppendFaultHook = bool (*)(void* context, int step);
void setAppendFaultHook(AppendFaultHook hook, void* context);

}  // namespace ferrovel
