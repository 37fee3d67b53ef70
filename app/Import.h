// The parts of the import flow that decide without windows: the size boxes
// of Import All with the proportional fit, and the messages for the statuses
// of an append.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ferrovel {

inline constexpr const char* kImportCaption = "Image Import";

struct TargetSize {
    std::int16_t width = 0;
    std::int16_t height = 0;
};

// The box of a size preset: 0 the picture's own size, 1 160 x 160,
// 2 320 x 320, 3 320 x 480, 4 480 x 320, 5 the last custom size.
TargetSize presetBox(std::int16_t sizePreset, TargetSize picture, TargetSize lastCustom);

// Fits the picture's proportions into the box, in 32-bit integers truncating
// toward zero: the side that would overflow the box is shortened.
TargetSize fitProportions(TargetSize box, TargetSize picture);

// One file of an open dialog's selection.
struct SelectedFile {
    std::string path;
    std::string proposedName;  // a single file: its name without folder and extension
};

struct Selection {
    std::vector<SelectedFile> files;
    bool severalFiles = false;
};

// Takes apart what an Explorer-style open dialog with multiple selection
// returns (in UTF-8, its zero characters kept): one path, or the folder
// followed by the chosen names, each part ended by a zero character and the
// list by a second one. Names are the files' long names and may hold
// blanks; each of several files is proposed under its name as listed, a
// single file under its name without folder and extension.
Selection parseSelection(std::string_view text);

// The message the user reads for an append status other than 0.
const char* importStatusMessage(std::int16_t status);

}  // namespace ferrovel
