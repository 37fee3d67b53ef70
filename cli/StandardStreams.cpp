#include "cli/StandardStreams.h"

#include <vector>

#include "database/FileOpen.h"

#ifdef _WIN32
#include <windows.h>

#include "database/TextEncoding.h"
#else
#include <stdlib.h>
#include <unistd.h>
#endif

namespace ferrovel {
namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

// Creates the file, so that no other program can take its name first.
std::filesystem::path createUniqueFile() {
#ifdef _WIN32
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    wchar_t name[MAX_PATH];
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"idb", 0, name) == 0)
        return {};
    return name;
#else
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) folder = "/tmp";
    std::string pattern = (folder / "imagedb-XXXXXX").string();
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0) return {};
    close(descriptor);
    return pattern;
#endif
}

}  // namespace

ScratchFile::ScratchFile() : native(createUniqueFile()) {
#ifdef _WIN32
    path = toUtf8(native.wstring());
#else
    path = native.string();
#endif
}

ScratchFile::~ScratchFile() {
    std::error_code ignored;
    if (!native.empty()) std::filesystem::remove(native, ignored);
}

CopyResult copyInput(std::FILE* in, const ScratchFile& scratch, std::uint64_t maxBytes) {
    std::FILE* file = openFile(scratch.path, "wb");
    if (!file) return CopyResult::Failed;
    std::vector<char> chunk(kChunkBytes);
    std::uint64_t total = 0;
    CopyResult result = CopyResult::Copied;
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), in);
        total += got;
        if (total > maxBytes) {
            result = CopyResult::TooLarge;
            break;
        }
        if (std::fwrite(chunk.data(), 1, got, file) != got) {
            result = CopyResult::Failed;
            break;
        }
        if (got < chunk.size()) {
            if (std::ferror(in)) result = CopyResult::Failed;
            break;
        }
    }
    if (std::fclose(file) != 0 && result == CopyResult::Copied) result = CopyResult::Failed;
    return result;
}

bool copyToOutput(const ScratchFile& scratch, std::FILE* out) {
    std::FILE* file = openFile(scratch.path, "rb");
    if (!file) return false;
    std::vector<char> chunk(kChunkBytes);
    for (std::size_t got; (got = std::fread(chunk.data(), 1, chunk.size(), file)) > 0;) {
        if (std::fwrite(chunk.data(), 1, got, out) != got) break;
    }
    const bool readOk = std::ferror(file) == 0;
    std::fclose(file);
    return readOk;
}

}  // namespace ferrovel
