// The texts of the database view: the two details boxes.
#pragma once

#include <cstdint>
#include <string>

#include "database/Catalogue.h"

namespace ferrovel {

inline constexpr const char* kNoImagesLoaded = "No Images Loaded";
inline constexpr const char* kNotImageDatabaseText =
    "File is not a valid Brushwick image database.";
inline constexpr const char* kFileFormatErrorCaption = "File Format Error";
inline constexpr const char* kErrorOpeningDatabase = "Error opening database file.";
inline constexpr const char* kFileIoErrorCaption = "File I/O Error";

// Told when a database's work file may hold its last complete copy: on
// opening (nothing is changed then) and after a write put it back.
std::string lastCopyFoundText(const std::string& workPath);
std::string restoredFromWorkText(const std::string& workPath);

// "File Size: %ld bytes\r\nDatabase Records: %hd\r\nImages: %hd"
std::string databaseDetailsText(std::int32_t fileSize, std::int16_t records, std::int16_t images);

// "Image Size: %hd x %hd x %hd layer%c\r\nFormat: %hd bits\r\nFile Size: %ld bytes";
// the letter is 's' for more than one layer, else a blank.
std::string imageDetailsText(const ImageInfo& info);

}  // namespace ferrovel
