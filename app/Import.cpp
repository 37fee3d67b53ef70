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

Selection parseSelection(const std::string& text, std::size_t fileOffset) {
    Selection selection;
    if (fileOffset > text.size()) fileOffset = 0;
    const std::string names = text.substr(fileOffset);
    if (names.find(' ') == std::string::npos) {
        selection.files.push_back({text, pathBaseName(text)});
        return selection;
    }
    selection.severalFiles = true;
    std::string folder = text.substr(0, fileOffset);
    if (!folder.empty() && (folder.back() == ' ' || folder.back() == '\\')) folder.pop_back();
    const bool needsSeparator = !folder.empty() && folder.back() != '\\' && folder.back() != '/';
    std::size_t start = 0;
    while (start < names.size()) {
        const std::size_t end = std::min(names.find(' ', start), names.size());
        if (end > start) {
            const std::string name = names.substr(start, end - start);
            selection.files.push_back({folder + (needsSeparator ? "\\" : "") + name, name});
        }
        start = end + 1;
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
