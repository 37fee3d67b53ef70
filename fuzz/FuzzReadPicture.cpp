// Arbitrary bytes as a picture and as a clipboard bitmap block.
// readPictureBytes gives one of its statuses, and on success a canvas of the
// size it reports, at least 160 x 144. dibFileHeader refuses the block as too
// short or gives the file header of a file that holds its pixel offset.
#include <cstdlib>

#include "interchange/DibBlock.h"
#include "interchange/PictureFile.h"

namespace {

bool goodBlockHeader(const std::uint8_t* data, std::size_t size) {
    const ferrovel::DibFileHeader header = ferrovel::dibFileHeader({data, size});
    if (header.status == ferrovel::kDibTooShort) return true;
    const std::uint64_t fileSize = size + ferrovel::kBmpFileHeaderBytes;
    decltype(header.bytes) expected{'B', 'M'};
    for (int i = 0; i < 4; ++i) {
        expected[2 + i] = static_cast<std::uint8_t>(fileSize >> (8 * i));
        expected[10 + i] = static_cast<std::uint8_t>(header.pixelOffset >> (8 * i));
    }
    return header.status == 0 && header.pixelOffset >= 54 && header.pixelOffset <= fileSize &&
           header.bytes == expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ferrovel::PictureReadResult result = ferrovel::readPictureBytes({data, size});
    const ferrovel::BgrImage& canvas = result.canvas;
    const std::size_t pixels =
        static_cast<std::size_t>(canvas.width) * static_cast<std::size_t>(canvas.height);
    const bool known = result.status == 0 || result.status == ferrovel::kPictureBadFormat ||
                       result.status == ferrovel::kPictureNoMemory;
    const bool whole = result.status != 0 || (canvas.pixels.size() == 3 * pixels &&
                                              canvas.width >= 160 && canvas.height >= 144);
    if (!known || !whole || !goodBlockHeader(data, size)) std::abort();
    return 0;
}
