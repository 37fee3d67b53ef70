// Deleting, renaming and moving images: each change is one rewrite of the
// database through its work file (see WorkFile.h).
//
// An image is its starting record and the continuation records that follow
// it up to the next starting record: every tile of every layer, in their
// order. Records before the first starting record belong to no image and
// stay where they are. The new file is
//
//   the 76 header bytes, unchanged (but for application and sort info
//     offsets, which move with the record list's length when set),
//   the new record count,
//   one entry per remaining record: its new offset, its attribute word kept,
//   the bytes between the old record list and the first record (the two gap
//     bytes, and any info blocks),
//   the remaining records byte for byte, in their new order.
//
// A rename rewrites the name part of each of the image's labels and keeps the
// position, size and layer parts and every other byte of the record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/WorkFile.h"

namespace ferrovel {

inline constexpr std::int16_t kEditNoSuchImage = -96;  // an index names no image
inline constexpr std::int16_t kEditLabelOutsideRecord =
    -97;  // a label to rename is not in its record

// Deletes the images of the given indices (each once, in any order): 0 or a
// negative status, and then the database is as it was.
std::int16_t deleteImages(const std::string& path, const std::vector<std::int16_t>& indices,
                          RewriteReport* report = nullptr);

// Gives image index the name (in the handheld's character set, at most 255
// bytes; longer names are cut).
std::int16_t renameImage(const std::string& path, std::int16_t index, const std::string& name,
                         RewriteReport* report = nullptr);

// Moves image index so that it ends up at index to.
std::int16_t moveImage(const std::string& path, std::int16_t index, std::int16_t to,
                       RewriteReport* report = nullptr);

}  // namespace ferrovel
