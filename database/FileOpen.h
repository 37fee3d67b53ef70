// Opening a file by its path, which is UTF-8 on every platform.
#pragma once

#include <cstdio>
#include <string>

namespace ferrovel {

// As std::fopen. On Windows the path goes through the wide-character call,
// so that every file name opens, whatever code page the process runs under,
// and a file opened only for reading is shared for deletion too: a writer
// can rename a new database over it, and a reader is not refused while one
// does.
std::FILE* openFile(const std::string& path, const char* mode);

#ifdef _WIN32
// A C stream over an open Windows file handle (a HANDLE), which it then
// owns; on failure the handle is closed and the result is null.
std::FILE* streamOverHandle(void* handle, bool forWriting);
#endif

}  // namespace ferrovel
