#include "database/FileReplace.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: io.h relies on its types.
#include <io.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#endif

#include <vector>

#include "database/FileOpen.h"
#include "database/TextEncoding.h"

namespace ferrovel {
#ifdef _WIN32
namespace {

// A reader holding the target open makes the rename fail; readers hold a
// database for milliseconds, so a few seconds of retries ride them out.
constexpr int kReplaceAttempts = 300;
constexpr DWORD kRetryPauseMs = 10;
// A lock file is refused only for the moment its last holder closes it.
constexpr int kLockOpenAttempts = 100;

// Paths are UTF-8, whatever code page the process runs under.
std::wstring wide(const std::string& path) {
    return toWide(path);
}

bool isPassingFailure(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

}  // namespace

std::string resolveLinks(const std::string& path) {
    // Links on Windows need privileges few users have; a path names its file.
    return path;
}

FileIdentity fileIdentity(const std::string& path) {
    FileIdentity identity;
    HANDLE file =
        CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return identity;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(file, &info)) {
        identity.exists = true;
        identity.device = info.dwVolumeSerialNumber;
        identity.index = std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
        identity.links = info.nNumberOfLinks;
    }
    CloseHandle(file);
    return identity;
}

bool fileExists(const std::string& path) {
    return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool removeFile(const std::string& path) {
    return DeleteFileW(wide(path).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

// The lock file is opened shared and deleted when its last handle closes;
// the byte lock on it is what excludes. While the file is being deleted a
// new open is refused, and that too only means waiting.
bool lockWriters(const std::string& lockPath, WriterLock& lock) {
    const std::wstring name = wide(lockPath);
    for (int attempt = 0;; ++attempt) {
        HANDLE file = CreateFileW(
            name.c_str(), GENERIC_READ | GENERIC_WRITE,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
            FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (!isPassingFailure(GetLastError()) || attempt >= kLockOpenAttempts) return false;
            Sleep(kRetryPauseMs);
            continue;
        }
        OVERLAPPED at{};
        if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
            CloseHandle(file);
            return false;
        }
        lock.handle = reinterpret_cast<std::intptr_t>(file);
        lock.path = lockPath;
        return true;
    }
}

void unlockWriters(WriterLock& lock) {
    if (lock.handle == -1) return;
    HANDLE file = reinterpret_cast<HANDLE>(lock.handle);
    OVERLAPPED at{};
    UnlockFileEx(file, 0, 1, 0, &at);
    CloseHandle(file);
    lock.handle = -1;
}

std::FILE* createNewFile(const std::string& path) {
    HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return streamOverHandle(file, true);
}

bool copyPermissions(std::FILE*, const std::string&) {
    return true;
}

bool flushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    const intptr_t handle = _get_osfhandle(_fileno(file));
    return handle != -1 && FlushFileBuffers(reinterpret_cast<HANDLE>(handle));
}

bool replaceFile(const std::string& source, const std::string& target) {
    const std::wstring from = wide(source), to = wide(target);
    // Hidden, system and archive marks belong to the database, not to one copy of it.
    const DWORD attributes = GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;  // no file replaces a folder, however long it waits
    }
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        SetFileAttributesW(from.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        if (!isPassingFailure(GetLastError()) || attempt >= kReplaceAttempts) return false;
        Sleep(kRetryPauseMs);
    }
}

#else
namespace {

constexpr int kMaxLinkHops = 40;

// The folder part of a path, separator included; empty for a bare name.
std::string folderOf(const std::string& path) {
    const std::size_t end = path.rfind('/');
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

bool isAbsolute(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

}  // namespace

std::string resolveLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        std::vector<char> target(PATH_MAX + 1);
        const ssize_t length = readlink(current.c_str(), target.data(), PATH_MAX);
        if (length < 0) return current;  // no link (or nothing there): this is the file
        const std::string link(target.data(), static_cast<std::size_t>(length));
        current = isAbsolute(link) ? link : folderOf(current) + link;
    }
    return current;  // a loop of links: opening it fails later with a clear status
}

FileIdentity fileIdentity(const std::string& path) {
    FileIdentity identity;
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return identity;
    identity.exists = true;
    identity.device = static_cast<std::uint64_t>(status.st_dev);
    identity.index = static_cast<std::uint64_t>(status.st_ino);
    identity.links = static_cast<std::uint32_t>(status.st_nlink);
    return identity;
}

bool fileExists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

bool removeFile(const std::string& path) {
    return unlink(path.c_str()) == 0 || errno == ENOENT;
}

// flock on a lock file that its holder removes before letting go. A waiter
// that wakes on a file no longer at the lock path starts again, so that
// every holder locked the one file the path names at that moment.
bool lockWriters(const std::string& lockPath, WriterLock& lock) {
    for (;;) {
        const int descriptor =
            open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (descriptor < 0) return false;
        int locked;
        do {
            locked = flock(descriptor, LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        struct stat held {
        }, named{};
        if (locked == 0 && fstat(descriptor, &held) == 0 && stat(lockPath.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            lock.handle = descriptor;
            lock.path = lockPath;
            return true;
        }
        close(descriptor);
        if (locked != 0) return false;
    }
}

void unlockWriters(WriterLock& lock) {
    if (lock.handle == -1) return;
    unlink(lock.path.c_str());
    close(static_cast<int>(lock.handle));
    lock.handle = -1;
}

std::FILE* createNewFile(const std::string& path) {
    const int descriptor =
        open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor < 0) return nullptr;
    std::FILE* stream = fdopen(descriptor, "wb");
    if (!stream) close(descriptor);
    return stream;
}

bool copyPermissions(std::FILE* file, const std::string& model) {
    struct stat status {};
    if (stat(model.c_str(), &status) != 0) return true;  // a new file keeps the default
    const int descriptor = fileno(file);
    // Only the owner's and root's changes succeed; keeping the group where
    // possible is enough for a shared folder.
    if (fchown(descriptor, status.st_uid, status.st_gid) != 0) {
        [[maybe_unused]] const int ignored =
            fchown(descriptor, static_cast<uid_t>(-1), status.st_gid);
    }
    return fchmod(descriptor, status.st_mode & 07777) == 0;
}

bool flushToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

bool replaceFile(const std::string& source, const std::string& target) {
    if (std::rename(source.c_str(), target.c_str()) != 0) return false;
    // The rename itself reaches the disk only with the folder's entries.
    const std::string folder = folderOf(target);
    const int descriptor =
        open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        fsync(descriptor);
        close(descriptor);
    }
    return true;
}

#endif

bool sameFile(const std::string& first, const std::string& second) {
    const FileIdentity a = fileIdentity(first), b = fileIdentity(second);
    return a.exists && b.exists && a.device == b.device && a.index == b.index;
}

}  // namespace ferrovel
