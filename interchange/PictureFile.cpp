#include "interchange/PictureFile.h"

#include <cstdio>
#include <new>
#include <vector>

#include "database/ByteStream.h"
#include "database/FileOpen.h"
#include "database/SizeMath.h"
#include "interchange/PictureCodecs.h"

namespace ferrovel {
namespace {

// A compressed picture is smaller than the largest canvas it could fill, so
// a larger file is refused before it is read into memory.
constexpr std::int64_t kMaxFileBytes = static_cast<std::int64_t>(kMaxPixelBytes);

struct FileCloser {
    std::FILE* file;
    ~FileCloser() {
        if (file) std::fclose(file);
    }
};

std::int16_t statusOf(PictureProblem problem) {
    switch (problem) {
        case PictureProblem::None:
            return 0;
        case PictureProblem::OpenFailed:
            return kPictureOpenFailed;
        case PictureProblem::TooLarge:
        case PictureProblem::NoMemory:
            return kPictureNoMemory;
        default:
            return kPictureBadFormat;
    }
}

PictureReadResult refused(PictureProblem problem) {
    PictureReadResult result;
    result.status = statusOf(problem);
    result.problem = problem;
    return result;
}

PictureReadResult fromBitmap(BmpReadResult bitmap) {
    PictureReadResult result;
    result.status = bitmap.status;
    result.format = PictureFormat::Bmp;
    if (bitmap.status == kBmpOpenFailed) result.problem = PictureProblem::OpenFailed;
    if (bitmap.status == kBmpBadFormat) result.problem = PictureProblem::BitmapDepth;
    if (bitmap.status == kBmpNoMemory) result.problem = PictureProblem::TooLarge;
    result.canvas = std::move(bitmap.canvas);
    return result;
}

// What the file's own structure already rules out, before any decoder runs.
PictureProblem problemOfHeader(const PictureHeader& header) {
    switch (header.format) {
        case PictureFormat::Unknown:
            return PictureProblem::NotAPicture;
        case PictureFormat::WebP:
        case PictureFormat::Heif:
            return PictureProblem::NeverRead;
        case PictureFormat::Tiff:
            if (!kReadsTiff) return PictureProblem::NotInThisBuild;
            break;
        default:
            break;
    }
    if (header.layout == PictureLayout::Truncated) return PictureProblem::Truncated;
    if (header.layout == PictureLayout::Damaged) return PictureProblem::Damaged;
    if (header.width > 0 && header.height > 0) {
        const bool sideways = header.orientation >= 5;
        if (!canvasBytesFor(sideways ? header.height : header.width,
                            sideways ? header.width : header.height))
            return PictureProblem::TooLarge;
    }
    return PictureProblem::None;
}

PictureProblem decode(PictureFormat format, std::span<const std::uint8_t> bytes,
                      PictureCanvas& canvas) {
    switch (format) {
        case PictureFormat::Png:
            return decodePng(bytes, canvas);
        case PictureFormat::Jpeg:
            return decodeJpeg(bytes, canvas);
        case PictureFormat::Gif:
            return decodeGif(bytes, canvas);
        case PictureFormat::Tiff:
            if constexpr (kReadsTiff) return decodeTiff(bytes, canvas);
            return PictureProblem::NotInThisBuild;
        default:
            return PictureProblem::NotAPicture;
    }
}

std::string formatted(const char* pattern, PictureFormat format) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, pictureFormatName(format));
    return text;
}

}  // namespace

PictureReadResult readPictureBytes(std::span<const std::uint8_t> bytes) {
    const PictureHeader header = readPictureHeader(bytes);
    if (header.format == PictureFormat::Bmp) return fromBitmap(readBmpBytes(bytes));
    PictureReadResult result;
    result.format = header.format;
    const bool sideways = header.orientation >= 5;
    result.pictureWidth = sideways ? header.height : header.width;
    result.pictureHeight = sideways ? header.width : header.height;
    result.problem = problemOfHeader(header);
    PictureCanvas canvas;
    canvas.orientation = header.orientation;
    if (result.problem == PictureProblem::None)
        result.problem = decode(header.format, bytes, canvas);
    result.status = statusOf(result.problem);
    if (result.status == 0) result.canvas = std::move(canvas.image);
    return result;
}

PictureReadResult readPicture(const std::string& path) {
    FileCloser closer{openFile(path, "rb")};
    std::FILE* file = closer.file;
    if (!file) return refused(PictureProblem::OpenFailed);
    std::uint8_t start[2] = {};
    if (std::fread(start, 1, 2, file) == 2 && start[0] == 'B' && start[1] == 'M')
        return fromBitmap(readBmp(path));
    const std::int64_t size = streamSize(file);
    if (size < 0) return refused(PictureProblem::OpenFailed);
    if (size > kMaxFileBytes) return refused(PictureProblem::TooLarge);
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return refused(PictureProblem::NoMemory);
    }
    seekTo(file, 0);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    return readPictureBytes(bytes);
}

std::string pictureProblemText(const PictureReadResult& result) {
    const PictureFormat format = result.format;
    switch (result.problem) {
        case PictureProblem::None:
            return "";
        case PictureProblem::OpenFailed:
            return "The file cannot be opened.";
        case PictureProblem::NotAPicture:
            return kReadsTiff ? "The file is not a BMP, PNG, JPEG, GIF or TIFF picture."
                              : "The file is not a BMP, PNG, JPEG or GIF picture.";
        case PictureProblem::BitmapDepth:
            return "The bitmap is not one of 1, 2, 4, 8 or 24 bits per pixel.";
        case PictureProblem::Truncated:
            return formatted("The %s file ends before its picture does.", format);
        case PictureProblem::Damaged:
            return formatted("The %s file is damaged.", format);
        case PictureProblem::Unsupported:
            return formatted("This kind of %s file cannot be read.", format);
        case PictureProblem::NotInThisBuild:
            return "TIFF pictures are read by the Windows version only.";
        case PictureProblem::NeverRead:
            return formatted("%s pictures cannot be read; save the picture as PNG or JPEG first.",
                             format);
        case PictureProblem::TooLarge:
            return "The picture is too large to import: at most 256 MB of pixels, 32752 "
                   "across and 32767 down.";
        case PictureProblem::NoMemory:
            return "There is not enough memory for the picture.";
    }
    return "";
}

std::int16_t writePng(const std::string& path, const RgbImage& picture, std::int16_t width,
                      std::int16_t height) {
    if (width <= 0 || height <= 0 || width > picture.width || height > picture.height ||
        picture.pixels.size() <
            static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 3)
        return kPngWriteFailed;
    const std::vector<std::uint8_t> png = encodePng(picture, width, height);
    if (png.empty()) return kPngWriteFailed;
    std::FILE* file = openFile(path, "wb");
    if (!file) return kPngWriteOpenFailed;
    std::fwrite(png.data(), 1, png.size(), file);
    // A full disk must not pass for a written picture.
    const bool writeFailed = std::ferror(file) != 0;
    const bool closeFailed = std::fclose(file) != 0;
    return writeFailed || closeFailed ? kPngWriteFailed : 0;
}

}  // namespace ferrovel
