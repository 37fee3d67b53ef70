// readPictureBytes on arbitrary bytes: one of its statuses, and on success a
// canvas of the size it reports, at least 160 x 144.
#include <cstdlib>

#include "interchange/PictureFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ferrovel::PictureReadResult result = ferrovel::readPictureBytes({data, size});
    const ferrovel::BgrImage& canvas = result.canvas;
    const std::size_t pixels =
        static_cast<std::size_t>(canvas.width) * static_cast<std::size_t>(canvas.height);
    const bool known = result.status == 0 || result.status == ferrovel::kPictureBadFormat ||
                       result.status == ferrovel::kPictureNoMemory;
    const bool whole = result.status != 0 || (canvas.pixels.size() == 3 * pixels &&
                                              canvas.width >= 160 && canvas.height >= 144);
    if (!known || !whole) std::abort();
    return 0;
}
