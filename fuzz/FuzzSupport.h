// Small helpers shared by the fuzz targets.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace ferrovel::fuzzing {

// A file of this process holding the input, for the readers that take a path.
inline std::string writeInput(const char* stem, const std::uint8_t* data, std::size_t size) {
    const std::string path = "/tmp/ferrovel-fuzz-" + std::string(stem) + "-" + std::to_string(getpid());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
    return path;
}

}  // namespace ferrovel::fuzzing
