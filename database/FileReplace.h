// What replacing a file in one step needs from the system: following
// symbolic links to the file they name, telling whether two paths name the
// same file, an exclusive lock among writers, creating a new file without
// following anything planted at its name, flushing to stable storage and the
// atomic rename itself.
//
// On POSIX systems the rename is rename(2) followed by an fsync of the
// folder; on Windows it is MoveFileExW with replace-existing and
// write-through, after the replaced file's attributes were given to the new
// one. A reader that holds the file open on Windows (or under Wine) makes the
// rename fail for as long as it does: the rename is retried for a while.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace ferrovel {

// The file a path finally names: a symbolic link in the last component is
// followed, link after link (a relative link from its own folder), so that a
// file written beside the result lands beside the real file. A path that is
// no link comes back as it is.
std::string resolveLinks(const std::string& path);

// Which file a path names: device and file number, and its count of names.
struct FileIdentity {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    std::uint32_t links = 0;  // hard links to the file
};

FileIdentity fileIdentity(const std::string& path);

// True when both paths name one existing file (not when their text agrees).
bool sameFile(const std::string& first, const std::string& second);

bool fileExists(const std::string& path);

// Removes a file; true when it is gone afterwards.
bool removeFile(const std::string& path);

// An exclusive lock among the writers of one file, held through a lock file
// that exists only while somebody holds or waits for it. A process that dies
// loses its lock.
struct WriterLock {
    std::intptr_t handle = -1;
    std::string path;
};

// Waits until the lock at lockPath is ours; false when the lock file cannot
// be made (a folder that cannot be written, for instance).
bool lockWriters(const std::string& lockPath, WriterLock& lock);
void unlockWriters(WriterLock& lock);

// Creates path as a new, empty file for writing ("wb"); fails when anything,
// a link included, already exists there.
std::FILE* createNewFile(const std::string& path);

// Gives the open file the permission bits (and, where allowed, the owner) of
// the file at model. Nothing to do on Windows, where replaceFile keeps the
// attributes.
bool copyPermissions(std::FILE* file, const std::string& model);

// Writes the stream's buffer and waits until the system has the bytes on
// stable storage.
bool flushToDisk(std::FILE* file);

// Puts source in target's place in one step: at every instant target names
// the complete old file or the complete new one. Source must be closed.
bool replaceFile(const std::string& source, const std::string& target);

}  // namespace ferrovel
