// Appending a small picture to a database of arbitrary bytes: the result is
// a database with one image more, or the append fails and the file is as it was.
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "database/Append.h"
#include "database/Catalogue.h"
#include "tests/fixtures/DatabaseBuilder.h"

namespace {

std::int32_t imageCount(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return -1;
    std::int16_t count = 0;
    ferrovel::queryCatalogue(file, 0, ferrovel::CatalogueQuery{&count, nullptr, nullptr});
    std::fclose(file);
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20) return 0;
    const std::string path = "/tmp/ferrovel-fuzz-append-" + std::to_string(getpid());
    const ferrovel::fixtures::Bytes input(data, data + size);
    ferrovel::fixtures::writeFileBytes(path, input);
    const std::int32_t before = imageCount(path);
    const auto bits = static_cast<std::int16_t>(size > 0 ? 1 << (data[0] % 5) : 1);
    if (ferrovel::appendImage(path, {24, 17, std::vector<std::uint8_t>(24 * 17 * 3, 0x5A)},
                              {"fuzz", 24, 17, bits}) != 0
            ? ferrovel::fixtures::readFileBytes(path) != input
            : imageCount(path) != before + 1)
        std::abort();
    return 0;
}
