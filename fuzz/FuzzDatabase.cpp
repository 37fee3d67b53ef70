// A database of arbitrary bytes, read as the window and the tool read it.
#include <cstdio>
#include <cstdlib>

#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!file) return 0;
    const std::string problem = ferrovel::fuzzing::readDatabase(file, size);
    std::fclose(file);
    if (!problem.empty()) std::abort();
    return 0;
}
