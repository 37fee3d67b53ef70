// The read of a database of any bytes that the database fuzz target and the
// mutation sweep of the unit tests share.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "database/Catalogue.h"
#include "database/Container.h"
#include "database/RecordCheck.h"

namespace ferrovel::fuzzing {

// Reads the database as the window and the tool do: validated, the catalogue
// listed, the first images composed, the records checked. Returns what
// disagrees, or "": the image count must match the listing and a composed
// image must hold the pixels of its size.
inline std::string readDatabase(std::FILE* file, std::size_t fileBytes) {
    isImageDatabase(file);
    const std::vector<CatalogueEntry> entries = listCatalogue(file);
    std::int16_t count = -1;
    queryCatalogue(file, 0, {&count, nullptr, nullptr});
    if (count != static_cast<std::int16_t>(entries.size())) return "the image count differs";
    for (std::int16_t i = 0; i < std::min<std::int16_t>(count, 8); ++i) {
        RgbImage image;
        const std::int16_t status = composeImage(file, i, image);
        if (status != 0 && status != kComposeNoMemory)
            return "compose status " + std::to_string(status);
        const auto size =
            static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
        if (status == 0 && (image.width < 0 || image.height < 0 || image.pixels.size() != 3 * size))
            return "image " + std::to_string(i) + " does not hold its pixels";
    }
    const std::int16_t records = readRecordCount(file);
    for (std::int16_t r = 0; r < std::min<std::int16_t>(records, 64); ++r)
        checkRecord(file, r, fileBytes);
    return "";
}

}  // namespace ferrovel::fuzzing
