// GIF files through giflib (Linux): the first image only, a line at a time
// onto the canvas. giflib's whole-file reader is not used: it would decode
// every frame of an animation, each as large as its descriptor claims.
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "interchange/PictureCodecs.h"

namespace ferrovel {
namespace {

// Interlaced rows come in four passes: from this row, every so many rows.
constexpr int kPassFirstRow[4] = {0, 4, 2, 1};
constexpr int kPassRowStep[4] = {8, 8, 4, 2};

// Blue, green, red; an index the colour table does not reach stays black.
using Palette = std::array<std::array<std::uint8_t, 3>, 256>;

struct GifInput {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
};

int readInput(GifFileType* gif, GifByteType* out, int wanted) {
    auto* input = static_cast<GifInput*>(gif->UserData);
    const std::size_t count =
        std::min(input->bytes.size() - input->at, static_cast<std::size_t>(std::max(wanted, 0)));
    if (count > 0) std::memcpy(out, input->bytes.data() + input->at, count);
    input->at += count;
    return static_cast<int>(count);
}

struct GifClose {
    void operator()(GifFileType* gif) const {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};

PictureProblem problemOfGif(int error) {
    switch (error) {
        case D_GIF_ERR_READ_FAILED:
        case D_GIF_ERR_EOF_TOO_SOON:
            return PictureProblem::Truncated;
        case D_GIF_ERR_NOT_ENOUGH_MEM:
            return PictureProblem::NoMemory;
        default:
            return PictureProblem::Damaged;
    }
}

// Extensions before the first image; a graphic control block may make one
// of its colours transparent.
PictureProblem readExtension(GifFileType* gif, int& transparent) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return problemOfGif(gif->Error);
    GraphicsControlBlock control;
    if (code == GRAPHICS_EXT_FUNC_CODE && block &&
        DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
        transparent = control.TransparentColor;
    while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return problemOfGif(gif->Error);
    }
    return PictureProblem::None;
}

Palette paletteOf(const ColorMapObject& map, int transparent) {
    Palette palette{};
    const int count = std::clamp(map.ColorCount, 0, 256);
    for (int i = 0; i < count; ++i) {
        const GifColorType& colour = map.Colors[i];
        palette[static_cast<std::size_t>(i)] = {colour.Blue, colour.Green, colour.Red};
    }
    if (transparent >= 0 && transparent < 256)
        palette[static_cast<std::size_t>(transparent)] = {0xFF, 0xFF, 0xFF};
    return palette;
}

PictureProblem readLines(GifFileType* gif, const Palette& palette, PictureCanvas& canvas) {
    const GifImageDesc& image = gif->Image;
    std::vector<GifPixelType> line(static_cast<std::size_t>(image.Width));
    std::vector<std::uint8_t> bgr(line.size() * 3);
    const int passes = image.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int first = image.Interlace ? kPassFirstRow[pass] : 0;
        const int step = image.Interlace ? kPassRowStep[pass] : 1;
        for (int y = first; y < image.Height; y += step) {
            if (DGifGetLine(gif, line.data(), image.Width) == GIF_ERROR)
                return problemOfGif(gif->Error);
            for (std::size_t x = 0; x < line.size(); ++x)
                std::memcpy(&bgr[3 * x], palette[line[x]].data(), 3);
            placeRow(canvas, y, 0, 1, bgr.data(), image.Width);
        }
    }
    return PictureProblem::None;
}

PictureProblem readFirstImage(GifFileType* gif, int transparent, PictureCanvas& canvas) {
    if (DGifGetImageDesc(gif) == GIF_ERROR) return problemOfGif(gif->Error);
    const GifImageDesc& image = gif->Image;
    const ColorMapObject* map = image.ColorMap ? image.ColorMap : gif->SColorMap;
    if (!map || image.Width <= 0 || image.Height <= 0) return PictureProblem::Damaged;
    const CanvasOpen open = openPictureCanvas(canvas, image.Width, image.Height);
    if (open != CanvasOpen::Opened) return problemOf(open);
    return readLines(gif, paletteOf(*map, transparent), canvas);
}

}  // namespace

PictureProblem decodeGif(std::span<const std::uint8_t> bytes, PictureCanvas& canvas) {
    GifInput input{bytes};
    int error = 0;
    const std::unique_ptr<GifFileType, GifClose> gif{DGifOpen(&input, readInput, &error)};
    if (!gif) return problemOfGif(error);
    int transparent = NO_TRANSPARENT_COLOR;
    // Every record read consumes input, so the loop ends with the file.
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) return problemOfGif(gif->Error);
        if (type == IMAGE_DESC_RECORD_TYPE) return readFirstImage(gif.get(), transparent, canvas);
        if (type != EXTENSION_RECORD_TYPE) return PictureProblem::Damaged;  // no image at all
        const PictureProblem problem = readExtension(gif.get(), transparent);
        if (problem != PictureProblem::None) return problem;
    }
}

}  // namespace ferrovel
