// readBmp on arbitrary bytes: a status, a canvas of the size it reports.
#include <cstdlib>

#include "fuzz/FuzzSupport.h"
#include "interchange/Bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = ferrovel::fuzzing::writeInput("bmp", data, size);
    const ferrovel::BmpReadResult result = ferrovel::readBmp(path);
    if (result.status == 0 &&
        result.canvas.pixels.size() != static_cast<std::size_t>(result.canvas.width) *
                                           static_cast<std::size_t>(result.canvas.height) * 3) {
        std::abort();
    }
    return 0;
}
