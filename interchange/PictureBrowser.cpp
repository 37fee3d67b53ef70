// The picture codecs of the browser build: the page decodes pictures with
// the browser's own decoders and hands their pixels over as RGBA, and writes
// PNG files through the browser's canvas, so no file is decoded or encoded
// here.
#include "interchange/PictureCodecs.h"

namespace ferrovel {

PictureProblem decodePng(std::span<const std::uint8_t>, PictureCanvas&) {
    return PictureProblem::NotInThisBuild;
}
PictureProblem decodeJpeg(std::span<const std::uint8_t>, PictureCanvas&) {
    return PictureProblem::NotInThisBuild;
}
PictureProblem decodeGif(std::span<const std::uint8_t>, PictureCanvas&) {
    return PictureProblem::NotInThisBuild;
}
PictureProblem decodeTiff(std::span<const std::uint8_t>, PictureCanvas&) {
    return PictureProblem::NotInThisBuild;
}

std::vector<std::uint8_t> encodePng(const RgbImage&, std::int32_t, std::int32_t) {
    return {};
}

}  // namespace ferrovel
