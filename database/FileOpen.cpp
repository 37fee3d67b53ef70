#include "database/FileOpen.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: io.h relies on its types.
#include <fcntl.h>
#include <io.h>
#endif

#include <cstring>

#include "database/TextEncoding.h"

namespace ferrovel {
#ifdef _WIN32
namespace {

// While a writer renames a new database over the old one, an open that
// does not share deletion is refused for a moment; a reader waits that out.
constexpr int kOpenAttempts = 100;
constexpr DWORD kRetryPauseMs = 10;

bool isReadOnlyMode(const char* mode) {
    return mode[0] == 'r' && std::strchr(mode, '+') == nullptr;
}

// A reader shares everything, deletion included, so that it never stands
// in the way of a writer replacing the file, nor a writer in its way.
std::FILE* openForReading(const std::wstring& path) {
    for (int attempt = 0;; ++attempt) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return streamOverHandle(file, false);
        if (GetLastError() != ERROR_SHARING_VIOLATION || attempt >= kOpenAttempts) {
            return nullptr;
        }
        Sleep(kRetryPauseMs);
    }
}

}  // namespace

std::FILE* streamOverHandle(void* handle, bool forWriting) {
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                           _O_BINARY | (forWriting ? _O_WRONLY : _O_RDONLY));
    if (descriptor < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* stream = _fdopen(descriptor, forWriting ? "wb" : "rb");
    if (!stream) _close(descriptor);
    return stream;
}
#endif

std::FILE* openFile(const std::string& path, const char* mode) {
#ifdef _WIN32
    if (isReadOnlyMode(mode)) return openForReading(toWide(path));
    return _wfopen(toWide(path).c_str(), toWide(mode).c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

}  // namespace ferrovel
