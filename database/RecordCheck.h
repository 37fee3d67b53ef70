// Checks of a record's structure against the file it lives in. Reading never
// needs them (a damaged record still reads, with defined values), but a tool
// that reports on a database tells its user which records are damaged.
//
// Two depths: the structure check looks only at the offsets and sizes of the
// record header, so a walk over the catalogue can run it on what it has read
// anyway; the decode check also runs the run-length decoder over compressed
// pixel data to find data that runs off the end of the file, which costs a
// decode of the record.
#pragma once

#include <cstdint>
#include <cstdio>

#include "database/ImageRecord.h"

namespace ferrovel {

enum class RecordProblem {
    None,
    StartPastEnd,  // the record's offset lies at or past the end of the file
    HeaderCut,     // the 28 header bytes do not all lie in the file
    NegativeSize,  // width or height is negative
    PixelDataCut,  // the pixel rows run past the end of the file
    LabelPastEnd,  // the label starts at or past the end of the file
};

// How far a check goes.
enum class CheckDepth {
    Structure,  // the header's offsets and sizes against the file's size
    Decode,     // also runs the decoder over compressed pixel data
};

// The first problem the structure check finds in a record read by
// readRecordInfo from a file of fileSize bytes.
RecordProblem checkRecordStructure(const RecordInfo& record, std::uint64_t fileSize);

// The first problem of record index in a file of fileSize bytes, to the given depth.
RecordProblem checkRecord(std::FILE* stream, std::int16_t recordIndex, std::uint64_t fileSize,
                          CheckDepth depth = CheckDepth::Decode);

const char* recordProblemText(RecordProblem problem);

}  // namespace ferrovel
