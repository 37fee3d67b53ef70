#include "app/Import.h"

#include <algorithm>

#include "database/Append.h"
#include "database/Container.h"
#include "database/WorkFile.h"

namespace ferrovel {

TargetSize presetBox(std::int16_t sizePreset, TargetSize picture, TargetSize lastCustom) {
    switch (sizePreset) {
        case 0:
            return picture;
        case 1:
            return {160, 160};
        case 2:
            return {320, 320};
        case 3:
            return {320, 480};
        case 4:
            return {480, 320};
        default:
            return lastCustom;
    }
}

TargetSize fitProportions(TargetSize box, TargetSize picture) {
    TargetSize fitted = box;
    const std::int32_t boxW = box.width, boxH = box.height;
    const std::int32_t picW = picture.width, picH = picture.height;
    if (picW <= 0 || picH <= 0) return {0, 0};
    if (boxH * picW > boxW * picH) {
        fitted.height = static_cast<std::int16_t>(boxW * picH / picW);
    } else {
        fitted.width = static_cast<std::int16_t>(boxH * picW / picH);
    }
    return fitted;
}

Selection parseSelection(std::string_view text) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0; start < text.size() && text[start] != '\0';) {
        const std::size_t end = std::min(text.find('\0', start), text.size());
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    Selection selection;
    if (parts.size() == 1) {
        const std::string path(parts[0]);
        selection.files.push_back({path, pathBaseName(path)});
    } else if (parts.size() > 1) {
        selection.severalFiles = true;
        const std::string folder(parts[0]);
        // A drive's root comes with its separator, any other folder without.
        const bool separated = folder.ends_with('\\') || folder.ends_with('/');
        for (std::size_t i = 1; i < parts.size(); ++i) {
            const std::string name(parts[i]);
            selection.files.push_back({folder + (separated ? "" : "\\") + name, name});
        }
    }
    return selection;
}

const char* importStatusMessage(std::int16_t status) {
    switch (status) {
        case kAppendScaleFailed:
            return "Could not scale image.";
        case kAppendMonoIconScaleFailed:
            return "Could not scale monochrome icon.";
        case kAppendColorIconScaleFailed:
            return "Could not scale color icon.";
        case kAppendMonoIconConvertFailed:
            return "Could not convert monochrome icon.";
        case kAppendColorIconConvertFailed:
            return "Could not convert color icon.";
        case kAppendConvertFailed:
            return "Could not convert image.";
        case kAppendNoWorkBuffer:
            return "Could not allocate temporary work buffer.";
        case kAppendWorkFileUnreadable:
            return "Could not open temporary work file.";
        case kAppendDatabaseUnwritable:
            return "Could not open target database file for write.";
        case kAppendNotImageDatabase:
            return "File is not a valid Brushwick image database.";
        default:
            return "Could not import image into database.";
    }
}

}  // namespace ferrovel
