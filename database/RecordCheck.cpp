#include "database/RecordCheck.h"

#include <algorithm>
#include <vector>

#include "database/ByteStream.h"
#include "database/ImageRecord.h"
#include "database/RunLengthCodec.h"

namespace ferrovel {
namespace {

std::uint64_t pixelDataBytes(const RecordInfo& record) {
    // Rows of at most 64 KiB, at most 32767 of them: far from wrapping.
    return std::uint64_t{storedRowBytes(record.bitsPerPixel, record.width)} *
           static_cast<std::uint64_t>(std::max<std::int16_t>(record.height, 0));
}

// True when the header alone shows that the pixel rows cannot all be read:
// raw rows that run past the end, or compressed data that starts there.
bool pixelDataCutByHeader(const RecordInfo& record, std::uint64_t fileSize) {
    const std::uint64_t total = pixelDataBytes(record);
    if (total == 0) return false;
    if (!record.compressed) return record.pixelDataOffset + total > fileSize;
    return record.pixelDataOffset >= fileSize;
}

// True when decoding the compressed rows would read past the end of the file.
bool compressedDataCut(std::FILE* stream, const RecordInfo& record) {
    const std::uint64_t rowBytes = storedRowBytes(record.bitsPerPixel, record.width);
    if (rowBytes == 0 || record.height <= 0) return false;
    seekTo(stream, record.pixelDataOffset);
    RunLengthDecoder decoder;
    beginDecode(decoder, stream);
    std::vector<std::uint8_t> scratch(static_cast<std::size_t>(rowBytes));
    for (std::int32_t y = 0; y < record.height && !decoder.sourceEnded; ++y) {
        decodeBytes(decoder, scratch.data(), scratch.size());
    }
    endDecode(decoder);
    return decoder.sourceEnded;
}

}  // namespace

RecordProblem checkRecordStructure(const RecordInfo& record, std::uint64_t fileSize) {
    if (record.start >= fileSize) return RecordProblem::StartPastEnd;
    if (record.start + kFullHeaderSize > fileSize) return RecordProblem::HeaderCut;
    if (record.width < 0 || record.height < 0) return RecordProblem::NegativeSize;
    if (pixelDataCutByHeader(record, fileSize)) return RecordProblem::PixelDataCut;
    if (record.labelStart >= fileSize) return RecordProblem::LabelPastEnd;
    return RecordProblem::None;
}

RecordProblem checkRecord(std::FILE* stream, std::int16_t recordIndex, std::uint64_t fileSize,
                          CheckDepth depth) {
    const RecordInfo record = readRecordInfo(stream, recordIndex, false);
    const RecordProblem problem = checkRecordStructure(record, fileSize);
    // Cut pixel data is told before a label past the end, whichever depth found it.
    const bool decode = depth == CheckDepth::Decode && record.compressed &&
                        (problem == RecordProblem::None || problem == RecordProblem::LabelPastEnd);
    if (decode && compressedDataCut(stream, record)) return RecordProblem::PixelDataCut;
    return problem;
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
