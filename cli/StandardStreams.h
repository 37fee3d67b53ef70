// Bitmaps through standard input and output. The bitmap code reads and
// writes files by name, and its reader seeks, which a pipe cannot; so a
// bitmap from standard input is first copied into a scratch file, and one
// for standard output is written into a scratch file and then copied out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace ferrovel {

// A new, empty file of this process in the system's temporary folder,
// removed when the record goes; path is empty when none could be created.
struct ScratchFile {
    std::string path;  // UTF-8, as the file code takes it
    std::filesystem::path native;
    ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile();
};

enum class CopyResult {
    Copied,
    TooLarge,  // the input holds more than the given number of bytes
    Failed,    // a read or a write failed
};

// Copies all of in into the scratch file, stopping as soon as more than
// maxBytes have come, so that no input of any length fills the disk.
CopyResult copyInput(std::FILE* in, const ScratchFile& scratch, std::uint64_t maxBytes);

// Copies the scratch file to out; false when it cannot be read. A failed
// write to out is left in out's error flag.
bool copyToOutput(const ScratchFile& scratch, std::FILE* out);

}  // namespace ferrovel
