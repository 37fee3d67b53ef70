#include "app/ViewText.h"

#include <cstdio>

namespace ferrovel {

std::string databaseDetailsText(std::int32_t fileSize, std::int16_t records, std::int16_t images) {
    char text[160];
    std::snprintf(text, sizeof text, "File Size: %ld bytes\r\nDatabase Records: %hd\r\nImages: %hd",
                  static_cast<long>(fileSize), records, images);
    return text;
}

std::string imageDetailsText(const ImageInfo& info) {
    char text[200];
    // The stored byte total is shown as the signed 32-bit number it is kept in.
    std::snprintf(text, sizeof text,
                  "Image Size: %hd x %hd x %hd layer%c\r\nFormat: %hd bits\r\nFile Size: %ld bytes",
                  info.width, info.height, info.layerCount, info.layerCount > 1 ? 's' : ' ',
                  info.bitsPerPixel, static_cast<long>(static_cast<std::int32_t>(info.byteSize)));
    return text;
}

std::string lastCopyFoundText(const std::string& workPath) {
    return "The file " + workPath +
           " may hold the last complete copy of this database, left by an interrupted write.\n"
           "The next import puts it back in place. Nothing has been changed.";
}

std::string restoredFromWorkText(const std::string& workPath) {
    return "The database was first put back from " + workPath +
           ", the last complete copy an interrupted write had left.";
}

}  // namespace ferrovel
