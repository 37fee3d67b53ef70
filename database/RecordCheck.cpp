#include "database/RecordCheck.h"

#include <algorithm>
#include <vector>

#include "database/ByteStream.h"
#include "database/Container.h"
#include "database/ImageRecord.h"
#include "database/RunLengthCodec.h"

namespace ferrovel {
namespace {

// True when decoding the record's rows would read past the end of the file.
bool pixelDataCut(std::FILE* stream, const RecordInfo& info, std::uint64_t fileSize) {
    const std::uint64_t rowBytes = storedRowBytes(info.bitsPerPixel, info.width);
    const std::uint64_t total = rowBytes * static_cast<std::uint64_t>(info.height);
    if (total == 0) return false;
    if (!info.compressed) return info.pixelDataOffset + total > fileSize;
    if (info.pixelDataOffset >= fileSize) return true;
    seekTo(stream, info.pixelDataOffset);
    RunLengthDecoder decoder;
    beginDecode(decoder, stream);
    std::vector<std::uint8_t> scratch(
        static_cast<std::size_t>(std::max<std::uint64_t>(rowBytes, 1)));
    for (std::int32_t y = 0; y < info.height && !decoder.sourceEnded; ++y) {
        decodeBytes(decoder, scratch.data(), scratch.size());
    }
    endDecode(decoder);
    return decoder.sourceEnded;
}

}  // namespace

RecordProblem checkRecord(std::FILE* stream, std::int16_t recordIndex, std::uint64_t fileSize) {
    const std::uint64_t start = recordOffset(stream, recordIndex);
    if (start >= fileSize) return RecordProblem::StartPastEnd;
    if (start + kFullHeaderSize > fileSize) return RecordProblem::HeaderCut;
    const ImageRecordHeader header = readImageRecordHeader(stream, start);
    if (header.width < 0 || header.height < 0) return RecordProblem::NegativeSize;
    const RecordInfo info = readRecordInfo(stream, recordIndex, false);
    if (pixelDataCut(stream, info, fileSize)) return RecordProblem::PixelDataCut;
    if (start + header.labelOffset >= fileSize) return RecordProblem::LabelPastEnd;
    return RecordProblem::None;
}

const char* recordProblemText(RecordProblem problem) {
    switch (problem) {
        case RecordProblem::None:
            return "no problem";
        case RecordProblem::StartPastEnd:
            return "starts past the end of the file";
        case RecordProblem::HeaderCut:
            return "its header is cut short by the end of the file";
        case RecordProblem::NegativeSize:
            return "has a negative width or height";
        case RecordProblem::PixelDataCut:
            return "its pixel data run past the end of the file";
        case RecordProblem::LabelPastEnd:
            return "its label lies past the end of the file";
    }
    return "unknown problem";
}

}  // namespace ferrovel
