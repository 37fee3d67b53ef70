// A database of arbitrary bytes: validated, its whole catalogue walked, every
// image composed and checked, as the window and the tool do.
#include <cstdio>
#include <cstdlib>

#include "database/Catalogue.h"
#include "database/Container.h"
#include "database/RecordCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!file) return 0;
    if (ferrovel::isImageDatabase(file)) {
        const std::vector<ferrovel::CatalogueEntry> images = ferrovel::listCatalogue(file);
        std::int16_t count = 0;
        ferrovel::queryCatalogue(file, 0, ferrovel::CatalogueQuery{&count, nullptr, nullptr});
        if (count != static_cast<std::int16_t>(images.size())) std::abort();
        for (std::size_t i = 0; i < images.size() && i < 8; ++i) {
            ferrovel::RgbImage image;
            if (ferrovel::composeImage(file, static_cast<std::int16_t>(i), image) == 0 &&
                image.pixels.size() !=
                    static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3) {
                std::abort();
            }
        }
        const std::int16_t records = ferrovel::readRecordCount(file);
        for (std::int16_t i = 0; i < records && i < 64; ++i) ferrovel::checkRecord(file, i, size);
    }
    std::fclose(file);
    return 0;
}
