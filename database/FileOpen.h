// Opening a file by its path, which is UTF-8 on every platform.
#pragma once

#include <cstdio>
#include <string>

namespace ferrovel {

// As std::fopen. On Windows the path goes through the wide-character call,
// so that every file name opens, whatever code page the process runs under.
std::FILE* openFile(const std::string& path, const char* mode);

}  // namespace ferrovel
