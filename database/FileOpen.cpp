#include "database/FileOpen.h"

#include "database/TextEncoding.h"

namespace ferrovel {

std::FILE* openFile(const std::string& path, const char* mode) {
#ifdef _WIN32
    return _wfopen(toWide(path).c_str(), toWide(mode).c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

}  // namespace ferrovel
