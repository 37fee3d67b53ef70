// The run-length encoder against the decoder: whatever the encoder accepts
// decodes back to itself, and it never writes past its output area.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "database/RunLengthCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> encoded(size + 16, 0xA5);
    const std::size_t length = ferrovel::encodeRuns(data, size, encoded.data());
    if (std::count(encoded.begin() + static_cast<long>(size), encoded.end(), 0xA5) != 16)
        std::abort();  // written past the area
    if (length == 0) return 0;
    std::FILE* file = fmemopen(encoded.data(), length, "rb");
    ferrovel::RunLengthDecoder decoder;
    ferrovel::beginDecode(decoder, file);
    std::vector<std::uint8_t> decoded(size);
    ferrovel::decodeBytes(decoder, decoded.data(), decoded.size());
    ferrovel::endDecode(decoder);
    std::fclose(file);
    if (std::memcmp(decoded.data(), data, size) != 0) std::abort();
    return 0;
}
